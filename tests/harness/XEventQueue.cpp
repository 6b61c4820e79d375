// Reaches JUCE's own X connection, which only its X11 headers name.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "XEventQueue.h"
#include <juce_events/native/juce_linux_EventLoopInternal.h>

namespace harness
{
bool deliverEventsXlibHasRead()
{
    auto* display = juce::XWindowSystem::getInstance()->getDisplay();

    if (display == nullptr)
        return false;

    {
        juce::XWindowSystemUtilities::ScopedXLock lock;

        if (juce::X11Symbols::getInstance()->xEventsQueued (display, QueuedAlready) == 0)
            return false;
    }

    juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (
        juce::X11Symbols::getInstance()->xConnectionNumber (display));
    return true;
}
} // namespace harness
