#pragma once

// Input as the window system delivers it to the shown window: real mouse clicks through the X
// server, and key presses through the window's peer to the focused component. Tests built on this
// run alone, so that no other test's window lies over theirs or takes the system focus from it.
#include "AppTestSupport.h"
#include <harness/XEventQueue.h>

namespace apptest
{
class ShownWindow : public AppTest
{
protected:
    /** The program's main window on the display, with the system focus, so that controls can take
        the keyboard focus. */
    MainComponent& makeFocusedWindow()
    {
        auto& m = makeMainWindow();
        window->toFront (true);
        harness::pumpUntil ([this] { return window->getPeer() != nullptr && window->getPeer()->isFocused(); }, 5000);
        harness::pump (100);
        return m;
    }

    /** An interface read in a focused window, every write and store answered after `delayMs`. */
    std::shared_ptr<Interface> readInFocusedWindow (int delayMs)
    {
        auto box = addInterface (smallInterface());
        makeFocusedWindow();
        showMessages();
        EXPECT_TRUE (searchSelectAndRead());

        Interface::Fault link;
        link.delayMs = delayMs;

        for (auto request :
             { Interface::Request::selectorWrite, Interface::Request::routeWrite, Interface::Request::store })
            box->setFault (request, link);

        return box;
    }

    /** Moves the pointer to the middle of `target` on the screen and clicks the left button. */
    void realClick (juce::Component& target)
    {
        const juce::File xdotool ("/usr/bin/xdotool");
        ASSERT_TRUE (xdotool.existsAsFile()) << "needs xdotool, which the test command installs";
        ASSERT_TRUE (target.isShowing());

        struct MouseButtons : juce::MouseListener
        {
            void mouseDown (const juce::MouseEvent&) override { ++downs; }
            void mouseUp (const juce::MouseEvent&) override { ++ups; }
            int downs = 0, ups = 0;
        } buttons;

        // Every component's mouse events reach a global listener, a greyed one's too.
        juce::Desktop::getInstance().addGlobalMouseListener (&buttons);
        const auto centre = target.getScreenBounds().getCentre();
        juce::ChildProcess process;
        ASSERT_TRUE (process.start (juce::StringArray { xdotool.getFullPathName(),
                                                        "mousemove",
                                                        "--sync",
                                                        juce::String (centre.x),
                                                        juce::String (centre.y),
                                                        "click",
                                                        "1" }));
        const bool done = harness::pumpUntil ([&process] { return ! process.isRunning(); }, 10000);
        // A list that opens on the press takes the release itself, once it is shown.
        const auto modal = [] { return juce::ModalComponentManager::getInstance()->getNumModalComponents() > 0; };
        // JUCE 7.0.5 reads X events only when its connection has new data. A round trip on the
        // message thread (the desktop asks for the pointer every 100 ms while this listener is on; a
        // paint asks whether the last one is done) can pull the click into Xlib's queue, where it
        // waits for the next event from the server: in use, the user's next move of the mouse.
        // Handing such events on stands in for that move.
        const bool handled = harness::pumpUntil (
            [&]
            {
                if (buttons.ups > 0 || (buttons.downs > 0 && modal()))
                    return true;

                harness::deliverEventsXlibHasRead();
                return false;
            },
            10000);
        juce::Desktop::getInstance().removeGlobalMouseListener (&buttons);
        ASSERT_TRUE (done && process.getExitCode() == 0);
        ASSERT_TRUE (handled) << "the click never reached the window";
        harness::handlePending();
        harness::pump (20);
    }

    /** Asks the window manager to minimise the window; false if the window never was. */
    bool minimise()
    {
        window->setMinimised (true);
        return harness::pumpUntil ([this] { return window->getPeer()->isMinimised(); }, 5000);
    }

    /** Brings the minimised window back through the window manager, as the user does, and
        presses a real key as soon as the window has the system focus. Nothing is handled here
        until both are done, so the window hears of its return, of the system focus and of the key
        together, as a quick user's window does, before anything it posts in reply is handled. */
    void restoreAndPressAtOnce (const juce::String& key)
    {
        ASSERT_TRUE (juce::File ("/usr/bin/xdotool").existsAsFile())
            << "needs xdotool, which the test command installs";
        const auto id = juce::String ((juce::pointer_sized_uint) window->getPeer()->getNativeHandle());

        // The input focus, not the window manager's note of the active window: the key goes to it.
        const auto script = "xdotool windowactivate " + id
                            + " 2>/dev/null; for i in $(seq 500); do "
                              "[ \"$(xdotool getwindowfocus)\" = "
                            + id + " ] && exec xdotool key " + key + "; sleep 0.01; done; exit 1";
        juce::ChildProcess process;
        ASSERT_TRUE (process.start (juce::StringArray { "/bin/sh", "-c", script }));
        ASSERT_TRUE (process.waitForProcessToFinish (15000));
        ASSERT_EQ (process.getExitCode(), 0u) << "the window never got the system focus back";
        harness::handlePending();
        harness::pump (20);
    }

    /** Presses a key as the window system delivers it: to the window's peer, which hands it to
        the focused component (or to the window when nothing has the focus). */
    void press (int keyCode)
    {
        auto* peer = window->getPeer();
        ASSERT_NE (peer, nullptr);
        peer->handleKeyPress (juce::KeyPress (keyCode));
        harness::handlePending();
        harness::pump (5);
    }

    /** Puts the keyboard focus on a control, as Tab or a click would, and lets the change be
        seen by whoever listens for it. */
    void focus (juce::Component& control)
    {
        control.grabKeyboardFocus();
        ASSERT_TRUE (control.hasKeyboardFocus (false));
        harness::handlePending();
    }

    /** Waits until `control` can act again (no reply is awaited) and has the keyboard focus. */
    bool backOn (juce::Component& control)
    {
        return harness::pumpUntil ([&] { return control.isEnabled() && control.hasKeyboardFocus (false); }, 5000);
    }

    /** The window gains the system focus, as when the user comes back to it from another one. */
    void windowGainsFocus()
    {
        window->getPeer()->handleFocusGain();
        harness::handlePending();
    }

    /** The component that has the keyboard focus, for a failure's message. */
    static juce::String focusedName()
    {
        auto* focused = juce::Component::getCurrentlyFocusedComponent();

        if (focused == nullptr)
            return "nothing";

        auto* button = dynamic_cast<juce::Button*> (focused);
        const auto text = button != nullptr ? button->getButtonText() : focused->getName();
        return juce::String (typeid (*focused).name()) + " '" + text + "'";
    }

    /** What an input could change: every toggle, every combo's selection, what was sent, an open
        popup or alert. */
    juce::String look()
    {
        juce::String text;

        for (auto* toggle : harness::findAll<juce::ToggleButton> (mc()))
            text << (toggle->getToggleState() ? "1" : "0");

        for (auto* combo : harness::findAll<juce::ComboBox> (mc()))
            text << " " << combo->getSelectedId() << (combo->isPopupActive() ? "+" : "");

        int sent = 0;

        for (auto& line : monitorLines())
            sent += line.contains (" S ") ? 1 : 0;

        return text << " sent " << sent << " modal "
                    << juce::ModalComponentManager::getInstance()->getNumModalComponents();
    }
};
} // namespace apptest
