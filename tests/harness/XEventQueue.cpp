// Reaches JUCE's own X connection, which only its X11 headers name.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "XEventQueue.h"
#include <juce_events/native/juce_linux_EventLoopInternal.h>

namespace harness
{
int eventsXlibHasRead()
{
    auto* display = juce::XWindowSystem::getInstance()->getDisplay();

    if (display == nullptr)
        return 0;

    juce::XWindowSystemUtilities::ScopedXLock lock;
    return juce::X11Symbols::getInstance()->xEventsQueued (display, QueuedAlready);
}

bool deliverEventsXlibHasRead()
{
    if (eventsXlibHasRead() == 0)
        return false;

    auto* display = juce::XWindowSystem::getInstance()->getDisplay();
    juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (
        juce::X11Symbols::getInstance()->xConnectionNumber (display));
    return true;
}
} // namespace harness
