// JUCE's own connection to the X server is named only by its X11 headers.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "XEventHandOn.h"

#if JUCE_LINUX || JUCE_BSD
#include <juce_events/native/juce_linux_EventLoopInternal.h>

namespace
{
::Display* connection()
{
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    return windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;
}

bool xlibHoldsEvents()
{
    auto* display = connection();

    if (display == nullptr)
        return false;

    // QueuedAlready only counts what Xlib holds: it neither reads the connection nor flushes it.
    juce::XWindowSystemUtilities::ScopedXLock lock;
    return juce::X11Symbols::getInstance()->xEventsQueued (display, QueuedAlready) > 0;
}

void handOnEvents()
{
    if (auto* display = connection())
        juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (
            juce::X11Symbols::getInstance()->xConnectionNumber (display));
}
} // namespace

XEventHandOn::XEventHandOn (juce::Component& content)
    : refresh (&content,
               [this]
               {
                   if (xlibHoldsEvents())
                       triggerAsyncUpdate();
               })
{
}

void XEventHandOn::handleAsyncUpdate()
{
    // The events may have been handled meanwhile, when the server sent more.
    if (xlibHoldsEvents())
        handOnEvents();
}
#else
XEventHandOn::XEventHandOn (juce::Component&) {}

void XEventHandOn::handleAsyncUpdate() {}
#endif
