#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Hands the X events that Xlib has already read on to the window system, at the next refresh
    of the window.

    Works around JUCE 7.0.5 on X11, which reads X events in one callback that runs only when its
    connection to the X server has new data. Every other call that waits for the server on the
    message thread (the desktop's pointer poll, a paint waiting for the last one to finish, a
    question about the window's state) reads the connection too, and leaves the events it finds in
    Xlib's own queue, where they wait for the next event from the server. A click whose release
    is caught that way acts only when the user next moves the mouse.

    This can go once JUCE's event callback also handles what Xlib has already queued. Elsewhere
    than on X11 it does nothing.
*/
class XEventHandOn : private juce::AsyncUpdater
{
public:
    /** Looks at Xlib's queue at each refresh of the window that shows `content`. */
    explicit XEventHandOn (juce::Component& content);

private:
    void handleAsyncUpdate() override;

    // The look costs no request to the server. The events are handed on from a posted message
    // rather than from the refresh itself, which is still walking the window's refresh listeners.
    // Attached on X11 only.
    juce::VBlankAttachment refresh;

    JUCE_DECLARE_NON_COPYABLE (XEventHandOn)
};
