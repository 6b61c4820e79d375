#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Shows a modal alert at its finished size, with its buttons inside, whatever the window
    manager's timing.

    Works around JUCE 7.0.5 on X11, where an AlertWindow is put on the desktop as it is
    constructed and then sized three times while still hidden: as its message is set, as its
    button is added, and as the default look enlarges it. Under a window manager each size is a
    request that the manager applies when it gets round to it. On each notice that the window was
    configured JUCE adopts the size the server holds at that moment, and at the first paint it
    sends that size out again, so an earlier size read late wins over the last one. The alert,
    which does not lay itself out again, then stays small with its button cut off, and a click on
    the button falls on the window behind it, which the alert blocks.

    The box is built as juce::AlertWindow::showMessageBox builds it, then given a fresh window at
    its finished size before it is shown: that is the only size it ever asks for. This can go once
    JUCE sizes an alert before it gives it a window, or lays an alert out again when its size
    changes.
*/
class WholeAlertWindow
{
public:
    /** As juce::AlertWindow::showMessageBox with no associated component: modal and synchronous,
        drawn by the default look; posted messages and timers go on being handled while it is
        open. */
    static void showMessageBox (juce::MessageBoxIconType icon,
                                const juce::String& title,
                                const juce::String& message,
                                const juce::String& buttonText);
};
