#pragma once

// Input as the window system delivers it to the shown window: real mouse clicks through the X
// server, and key presses through the window's peer to the focused component. Tests built on this
// run alone, so that no other test's window lies over theirs or takes the system focus from it.
#include "AppTestSupport.h"

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

    /** How the window took one real click. */
    struct Click
    {
        bool handled = false; /**< the release reached the window, or a list opened on the press took it */
        double msAfterRelease = 0; /**< from the button's release to the window handling it */
        int refreshesAfterRelease = 0; /**< the window's refreshes in that time */
    };

    /** Moves the pointer to the middle of `target` on the screen and lets it rest there, then
        presses the left button and releases it after `holdMs`, and waits up to `waitMs` for the
        window to handle the click. The pointer stays where it is. `released` is called once the
        button is up.

        While it waits, nothing here asks the X server anything or moves the pointer, as a user's
        still hand asks nothing: whatever Xlib has already read of the click, the program must
        hand on by itself. So the click is watched through a listener on the window, not a global
        one (which would have the desktop ask for the pointer every 100 ms). */
    Click clickWithThePointerStill (
        juce::Component& target,
        int holdMs,
        int waitMs,
        const std::function<void()>& released = [] {})
    {
        const juce::File xdotool ("/usr/bin/xdotool");
        Click click;

        if (! xdotool.existsAsFile() || ! target.isShowing())
        {
            ADD_FAILURE() << "needs xdotool, which the test command installs, and a shown target";
            return click;
        }

        struct MouseButtons : juce::MouseListener
        {
            void mouseDown (const juce::MouseEvent&) override { ++downs; }
            void mouseUp (const juce::MouseEvent&) override
            {
                ++ups;
                upAt = juce::Time::getMillisecondCounterHiRes();
                refreshesAtUp = refreshes;
            }
            int downs = 0, ups = 0, refreshes = 0, refreshesAtUp = 0;
            double upAt = 0;
        } buttons;

        // A greyed control's mouse events reach the window's listeners too.
        auto* window = target.getTopLevelComponent();
        window->addMouseListener (&buttons, true);
        const auto centre = target.getScreenBounds().getCentre();
        juce::StringArray command { xdotool.getFullPathName() };

        // A move to where the pointer already is never ends with --sync: no motion comes.
        if (juce::Desktop::getMousePosition() != centre)
            command.addArray ({ "mousemove", "--sync", juce::String (centre.x), juce::String (centre.y) });

        command.addArray (
            { "sleep", "0.15", "mousedown", "1", "sleep", juce::String (holdMs / 1000.0, 3), "mouseup", "1" });
        juce::ChildProcess process;

        if (! process.start (command))
        {
            window->removeMouseListener (&buttons);
            ADD_FAILURE() << "xdotool did not start";
            return click;
        }

        // Counted from the release, which the server has passed on by the time xdotool ends.
        const juce::VBlankAttachment refreshes (window, [&buttons] { ++buttons.refreshes; });
        double releasedAt = 0;
        const auto buttonUp = [&]
        {
            if (releasedAt == 0 && ! process.isRunning())
            {
                releasedAt = juce::Time::getMillisecondCounterHiRes();
                buttons.refreshes = 0;
                released();
            }

            return releasedAt != 0;
        };
        // Also looked for between posted messages: a busy program may handle them one after the
        // other for a long time before the loop here gets a turn.
        const Probe releaseWatch ([&buttonUp] { buttonUp(); });
        // A list that opens on the press takes the release itself, once it is shown; an alert
        // that is open already is no such list.
        const auto modal = [] { return juce::ModalComponentManager::getInstance()->getNumModalComponents(); };
        const auto listTookIt = [&buttons, &modal, modalBefore = modal()]
        { return buttons.downs > 0 && modal() > modalBefore; };

        const bool ended = harness::pumpUntil (buttonUp, 10000);
        harness::pumpUntil ([&] { return buttons.ups > 0 || listTookIt(); }, waitMs);
        window->removeMouseListener (&buttons);
        EXPECT_TRUE (ended && process.getExitCode() == 0) << "xdotool failed";

        click.handled = buttons.ups > 0 || listTookIt();
        const auto handledAt = buttons.ups > 0 ? buttons.upAt : juce::Time::getMillisecondCounterHiRes();
        click.msAfterRelease = juce::jmax (0.0, handledAt - releasedAt);
        click.refreshesAfterRelease = buttons.ups == 0            ? buttons.refreshes
                                      : buttons.upAt > releasedAt ? buttons.refreshesAtUp
                                                                  : 0;
        return click;
    }

    /** Starts a real click on the middle of `area` (in `target`'s coordinates) that comes
        `delayMs` from now, and returns at once, so that the click can come while the program is
        busy. The pointer is moved there first if it is not there already, and then rests. */
    std::unique_ptr<juce::ChildProcess>
        startClickWithThePointerStill (juce::Component& target, juce::Rectangle<int> area, int delayMs)
    {
        const auto centre = target.localAreaToGlobal (area).getCentre();
        juce::StringArray steps;

        if (juce::Desktop::getMousePosition() != centre)
            steps.addArray ({ "mousemove", "--sync", juce::String (centre.x), juce::String (centre.y) });

        steps.addArray (
            { "sleep", juce::String (delayMs / 1000.0, 3), "mousedown", "1", "sleep", "0.04", "mouseup", "1" });
        return startXdotool (steps);
    }

    /** Starts xdotool with `steps` and returns at once, so that what it does through the X
        server can come while the program is busy. */
    static std::unique_ptr<juce::ChildProcess> startXdotool (const juce::StringArray& steps)
    {
        juce::StringArray command { "/usr/bin/xdotool" };
        command.addArray (steps);
        auto process = std::make_unique<juce::ChildProcess>();
        EXPECT_TRUE (process->start (command)) << "needs xdotool, which the test command installs";
        return process;
    }

    /** Clicks the middle of `target` for real, as clickWithThePointerStill does, and lets what the
        click started be handled. */
    void realClick (juce::Component& target)
    {
        ASSERT_TRUE (clickWithThePointerStill (target, 0, 10000).handled) << "the click never reached the window";
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
