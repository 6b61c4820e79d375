// The keyboard on the shown window: a focused control keeps the keyboard across the wait for each
// edit's acknowledgement, every key pressed on it after the reply acts, one pressed during the
// wait acts on nothing, and Tab moves on from it.
#include "ShownWindow.h"

using namespace apptest;

namespace
{
using Request = Interface::Request;

enum class Link
{
    fast,
    slow
};

void PrintTo (Link link, std::ostream* os) { *os << (link == Link::fast ? "fast link" : "slow link"); }

/** The window with keyboard tests' common checks. */
class KeyboardTest : public ShownWindow
{
protected:
    /** Expects a second Down on "Min Select" (presets 1 to 3, on 2 after the first Down) to have
        sent its write and left "Min Select" on 3, in the window and on the interface. */
    void expectTheSecondDownSteppedMinSelect (Interface& box)
    {
        ASSERT_TRUE (harness::pumpUntil ([&] { return box.getRequestCount (Request::selectorWrite) == 2; }))
            << "the Down was lost; the keyboard is on " << focusedName();

        auto& combo = mc().minPresetCombo;
        ASSERT_TRUE (backOn (combo));
        settle (150);
        EXPECT_EQ (combo.getSelectedId(), 3);
        EXPECT_EQ (box.getSelector (0).minPreset, 3);
    }
};

class Keyboard : public KeyboardTest, public ::testing::WithParamInterface<Link>
{
protected:
    std::shared_ptr<Interface> readOverTheLink() { return readInFocusedWindow (GetParam() == Link::slow ? 100 : 0); }

    /** Presses a key `times` times on the focused control, each after the reply to the one before,
        and expects each to send one request of the kind counted by `sent`. */
    void pressEachAfterTheReply (juce::Component& control, int keyCode, int times, const std::function<int()>& sent)
    {
        for (int i = 1; i <= times; ++i)
        {
            SCOPED_TRACE (i);
            ASSERT_TRUE (backOn (control)) << "the focus is not back on the control";
            press (keyCode);
            ASSERT_TRUE (harness::pumpUntil ([&] { return sent() == i; })) << "the press sent nothing";
        }

        ASSERT_TRUE (backOn (control));
        settle();
        EXPECT_EQ (sent(), times);
    }
};

TEST_P (Keyboard, FiveDownPressesOnAFocusedComboBoxSendFiveWrites)
{
    auto box = readOverTheLink();
    auto& m = mc();
    harness::choose (m.selectorCombo, 2); // Scene: Control Change, with ccId1 7 selected (ID 8)
    ASSERT_EQ (m.ccId1Combo.getSelectedId(), 8);
    focus (m.ccId1Combo);

    pressEachAfterTheReply (
        m.ccId1Combo, juce::KeyPress::downKey, 5, [&box] { return box->getRequestCount (Request::selectorWrite); });

    EXPECT_EQ (m.ccId1Combo.getSelectedId(), 13);
    EXPECT_EQ (box->getSelector (1).ccId1, 12);
}

TEST_P (Keyboard, FiveReturnPressesOnAFocusedChannelBoxSendFiveWrites)
{
    auto box = readOverTheLink();
    auto& channel2 = mc().channelCheckboxes[1]; // the Preset selector listens on channels 1 and 3
    focus (channel2);

    pressEachAfterTheReply (
        channel2, juce::KeyPress::returnKey, 5, [&box] { return box->getRequestCount (Request::selectorWrite); });

    EXPECT_TRUE (channel2.getToggleState());
    EXPECT_EQ (box->getSelector (0).channelMask, 0x0007);
}

TEST_P (Keyboard, ReturnOnAFocusedSaveSettingsStoresEachTime)
{
    auto box = readOverTheLink();
    focus (mc().saveSettingsButton);

    pressEachAfterTheReply (
        mc().saveSettingsButton, juce::KeyPress::returnKey, 2, [&box] { return box->getStoreCount(); });
}

TEST_P (Keyboard, AfterAnEditTabMovesTheFocusOnToTheNextControl)
{
    auto box = readOverTheLink();
    auto& m = mc();
    focus (m.enableToggle);

    press (juce::KeyPress::returnKey);
    ASSERT_TRUE (backOn (m.enableToggle));
    EXPECT_EQ (box->getSelector (0).enabled, 0);

    press (juce::KeyPress::tabKey);
    EXPECT_TRUE (m.minPresetCombo.hasKeyboardFocus (false)) << "next to Enable, from left to right";
}

INSTANTIATE_TEST_SUITE_P (OnEachLink,
                          Keyboard,
                          ::testing::Values (Link::fast, Link::slow),
                          [] (const auto& info) { return info.param == Link::fast ? "fast" : "slow"; });

//==============================================================================
class KeyboardDuringAWait : public KeyboardTest
{
};

TEST_F (KeyboardDuringAWait, KeysActOnNothingAndTheFocusComesBackAfterIt)
{
    auto box = readInFocusedWindow (600);
    auto& m = mc();

    // Presets 1 to 3, "Min Select" on 1.
    focus (m.minPresetCombo);
    press (juce::KeyPress::downKey);
    ASSERT_EQ (m.requestState, MainComponent::WritingSettings);
    ASSERT_FALSE (m.minPresetCombo.isEnabled());
    EXPECT_TRUE (m.hasKeyboardFocus (false)) << "the keyboard waits in the window";
    const auto during = look();

    const auto tryKeys = [this]
    {
        for (int key : { juce::KeyPress::downKey, juce::KeyPress::returnKey, juce::KeyPress::tabKey })
            press (key);
    };

    tryKeys();

    // Away to another window and back, and the window told again that it has the system focus.
    window->getPeer()->handleFocusLoss();
    windowGainsFocus();
    EXPECT_TRUE (m.hasKeyboardFocus (false));
    tryKeys();
    windowGainsFocus();
    tryKeys();

    EXPECT_EQ (m.requestState, MainComponent::WritingSettings) << "the wait ended before the keys were tried";
    EXPECT_EQ (look(), during);
    EXPECT_TRUE (m.hasKeyboardFocus (false)) << "Tab moved the focus during the wait";

    ASSERT_TRUE (backOn (m.minPresetCombo));
    EXPECT_EQ (m.minPresetCombo.getSelectedId(), 2);
    press (juce::KeyPress::downKey);
    ASSERT_TRUE (backOn (m.minPresetCombo));
    EXPECT_EQ (m.minPresetCombo.getSelectedId(), 3);

    settle();
    EXPECT_EQ (box->getRequestCount (Request::selectorWrite), 2);
    EXPECT_EQ (box->getSelector (0).minPreset, 3);
}

// When the system focus comes back late (after an alert, or after a control took the keyboard),
// JUCE no longer knows where it was and gives it to the window itself.
TEST_F (KeyboardDuringAWait, WhenTheWindowItselfIsGivenTheFocusTheControlGetsItBack)
{
    auto box = readInFocusedWindow (600);
    auto& m = mc();
    focus (m.minPresetCombo);

    window->grabKeyboardFocus();
    ASSERT_TRUE (backOn (m.minPresetCombo)) << "the window kept the keyboard";

    press (juce::KeyPress::downKey);
    ASSERT_EQ (m.requestState, MainComponent::WritingSettings);
    const auto during = look();
    window->grabKeyboardFocus();
    EXPECT_TRUE (harness::pumpUntil ([&m] { return m.hasKeyboardFocus (false); }, 300)) << "the keyboard left the wait";
    press (juce::KeyPress::downKey);
    EXPECT_EQ (m.requestState, MainComponent::WritingSettings) << "the wait ended before the key was tried";
    EXPECT_EQ (look(), during);

    ASSERT_TRUE (backOn (m.minPresetCombo));
    press (juce::KeyPress::downKey);
    ASSERT_TRUE (backOn (m.minPresetCombo));
    settle();
    EXPECT_EQ (m.minPresetCombo.getSelectedId(), 3);
    EXPECT_EQ (box->getSelector (0).minPreset, 3);
    EXPECT_EQ (box->getRequestCount (Request::selectorWrite), 2);
}

// The reply comes while the window is minimised: the keyboard goes back to the control when the
// window comes back, in time for a key that follows at once.
TEST_F (KeyboardDuringAWait, AKeyPressedAsAWindowMinimisedDuringTheWaitIsRestoredActsOnTheControl)
{
    auto box = readInFocusedWindow (800);
    auto& m = mc();
    auto* peer = window->getPeer();

    focus (m.minPresetCombo);
    press (juce::KeyPress::downKey);

    ASSERT_TRUE (minimise()) << "no window manager?";
    ASSERT_EQ (m.requestState, MainComponent::WritingSettings) << "the reply came before the window was minimised";
    ASSERT_TRUE (harness::pumpUntil ([&m] { return m.requestState == MainComponent::Idle; }, 5000));
    ASSERT_TRUE (peer->isMinimised());

    restoreAndPressAtOnce ("Down");
    expectTheSecondDownSteppedMinSelect (*box);
}

// The window system may hand over a step and a Return together; the list that Return asks for
// would open only after the step's write has greyed the box.
TEST_F (KeyboardDuringAWait, ReturnRightAfterAStepOpensNoListOnTheGreyedBox)
{
    auto box = readInFocusedWindow (600);
    auto& m = mc();
    focus (m.minPresetCombo);

    window->getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::downKey));
    window->getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::returnKey));
    harness::handlePending();
    harness::pump (50);

    ASSERT_EQ (m.requestState, MainComponent::WritingSettings);
    EXPECT_FALSE (m.minPresetCombo.isPopupActive());
    EXPECT_EQ (juce::ModalComponentManager::getInstance()->getNumModalComponents(), 0) << "a list is open";

    ASSERT_TRUE (backOn (m.minPresetCombo));
    settle();
    EXPECT_EQ (box->getRequestCount (Request::selectorWrite), 1);
    EXPECT_EQ (box->getSelector (0).minPreset, 2);
}

TEST_F (KeyboardDuringAWait, AfterATimeOutOrARefusalTheFocusIsBackOnTheControlOnceTheAlertIsAnswered)
{
    auto box = readInFocusedWindow (0);
    auto& m = mc();
    harness::AlertCatcher catcher;

    auto silent = noReply();
    silent.times = 1;
    box->setFault (Request::selectorWrite, silent);
    auto& control = m.channelCheckboxes[3];
    focus (control);

    press (juce::KeyPress::returnKey);
    ASSERT_TRUE (harness::pumpUntil ([&] { return catcher.alerts.size() == 1 && catcher.openCount() == 0; }));
    EXPECT_EQ (catcher.alerts[0].title, "Time Out Error");
    ASSERT_TRUE (backOn (control));

    Interface::Fault refused;
    refused.errorAck = Interface::AckReply { -1, 0, 9 };
    refused.times = 1;
    box->setFault (Request::selectorWrite, refused);
    press (juce::KeyPress::returnKey);
    ASSERT_TRUE (harness::pumpUntil ([&] { return catcher.alerts.size() == 2 && catcher.openCount() == 0; }));
    EXPECT_EQ (catcher.alerts[1].title, "Ack Error");
    ASSERT_TRUE (backOn (control));

    press (juce::KeyPress::returnKey);
    ASSERT_TRUE (harness::pumpUntil ([&] { return box->getRequestCount (Request::selectorWrite) == 3; }));
    ASSERT_TRUE (backOn (control));
    settle();
    EXPECT_EQ (catcher.alerts.size(), 2u);
    EXPECT_TRUE (control.getToggleState());
    EXPECT_EQ (box->getSelector (0).channelMask, 0x0005 | 0x0008);
}

//==============================================================================
// An alert takes the keyboard from the window before the window hears that it lost the system
// focus. When that focus comes back, however late, the keyboard must be where the user had it.
enum class Alert
{
    timeOut,
    refusal
};

void PrintTo (Alert alert, std::ostream* os) { *os << (alert == Alert::timeOut ? "time-out" : "refusal"); }

class KeyboardAfterAnAlert : public KeyboardTest, public ::testing::WithParamInterface<Alert>
{
protected:
    /** The next selector write ends in the alert of this test's kind, a refusal `delayMs` after
        the write. */
    void nextWriteEndsInTheAlert (Interface& box, int delayMs = 100)
    {
        Interface::Fault fault;
        fault.noReply = GetParam() == Alert::timeOut;

        if (GetParam() == Alert::refusal)
            fault.errorAck = Interface::AckReply { -1, 0, 9 };

        fault.delayMs = delayMs;
        fault.times = 1;
        box.setFault (Request::selectorWrite, fault);
    }

    /** Presses a key on the focused control and waits until the alert it ends in is answered. */
    void pressAndAnswerTheAlert (int keyCode)
    {
        const auto seen = catcher.alerts.size();
        press (keyCode);
        ASSERT_TRUE (
            harness::pumpUntil ([&] { return catcher.alerts.size() == seen + 1 && catcher.openCount() == 0; }, 5000));
        EXPECT_EQ (catcher.alerts.back().title, GetParam() == Alert::timeOut ? "Time Out Error" : "Ack Error");
    }

    // Open long enough for the window to hear that it lost the system focus, as with a user.
    harness::AlertCatcher catcher { 200 };
};

TEST_P (KeyboardAfterAnAlert, TheKeyboardIsBackOnTheUsersControlNotOnOneLeftBefore)
{
    auto box = readInFocusedWindow (100);
    auto& m = mc();
    auto& channel2 = m.channelCheckboxes[1]; // the Preset selector listens on channels 1 and 3
    auto& channel5 = m.channelCheckboxes[4];

    focus (channel5);
    window->getPeer()->handleFocusLoss();
    windowGainsFocus();
    ASSERT_TRUE (channel5.hasKeyboardFocus (false));

    focus (channel2);
    nextWriteEndsInTheAlert (*box);
    pressAndAnswerTheAlert (juce::KeyPress::returnKey);
    ASSERT_EQ (box->getRequestCount (Request::selectorWrite), 1);

    window->getPeer()->handleFocusGain();
    EXPECT_TRUE (channel2.hasKeyboardFocus (false)) << "the keyboard is on " << focusedName();

    press (juce::KeyPress::returnKey);
    ASSERT_TRUE (harness::pumpUntil ([&] { return box->getRequestCount (Request::selectorWrite) == 2; }))
        << "the Return sent nothing";
    settle (150);
    EXPECT_FALSE (channel2.getToggleState());
    EXPECT_FALSE (channel5.getToggleState());
    EXPECT_EQ (box->getSelector (0).channelMask, 0x0005) << "only channels 1 and 3, as before both Returns";
}

TEST_P (KeyboardAfterAnAlert, AKeyPressedAsTheWindowGetsTheSystemFocusBackActsOnTheControl)
{
    auto box = readInFocusedWindow (100);
    auto& m = mc();

    // Presets 1 to 3, "Min Select" on 1.
    focus (m.minPresetCombo);
    nextWriteEndsInTheAlert (*box);
    pressAndAnswerTheAlert (juce::KeyPress::downKey);
    ASSERT_EQ (m.minPresetCombo.getSelectedId(), 2);

    // The system focus comes back, and the user's next key follows it at once.
    window->getPeer()->handleFocusGain();
    window->getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::downKey));
    expectTheSecondDownSteppedMinSelect (*box);
}

// The user moves on before the window hears that it has the system focus back.
TEST_P (KeyboardAfterAnAlert, AControlTheUserTabsToBeforeTheSystemFocusComesBackKeepsTheKeyboard)
{
    auto box = readInFocusedWindow (100);
    auto& m = mc();
    auto& channel2 = m.channelCheckboxes[1];
    auto& channel3 = m.channelCheckboxes[2];

    focus (channel2);
    nextWriteEndsInTheAlert (*box);
    pressAndAnswerTheAlert (juce::KeyPress::returnKey);
    press (juce::KeyPress::tabKey);
    ASSERT_TRUE (channel3.hasKeyboardFocus (false));

    window->getPeer()->handleFocusGain();
    EXPECT_TRUE (channel3.hasKeyboardFocus (false)) << "the keyboard is on " << focusedName();

    press (juce::KeyPress::returnKey);
    ASSERT_TRUE (harness::pumpUntil ([&] { return box->getRequestCount (Request::selectorWrite) == 2; }));
    settle (150);
    EXPECT_TRUE (channel2.getToggleState());
    EXPECT_FALSE (channel3.getToggleState());
    EXPECT_EQ (box->getSelector (0).channelMask, 0x0003) << "channel 2 as the first Return left it, channel 3 off";
}

// The window is minimised while the reply is awaited, and the alert comes and is answered before
// the user brings the window back: a key pressed as the window gets the system focus back acts on
// the control the user had.
TEST_P (KeyboardAfterAnAlert, AKeyPressedAsAWindowMinimisedDuringTheWaitIsRestoredActsOnTheControl)
{
    auto box = readInFocusedWindow (100);
    auto& m = mc();
    auto* peer = window->getPeer();

    focus (m.minPresetCombo);
    nextWriteEndsInTheAlert (*box, 600);
    press (juce::KeyPress::downKey);

    ASSERT_TRUE (minimise()) << "no window manager?";
    ASSERT_TRUE (catcher.alerts.empty()) << "the alert came before the window was minimised";
    ASSERT_TRUE (harness::pumpUntil ([&] { return catcher.alerts.size() == 1 && catcher.openCount() == 0; }, 5000));
    ASSERT_TRUE (peer->isMinimised()) << "the alert brought the window back";
    ASSERT_EQ (box->getRequestCount (Request::selectorWrite), 1);

    restoreAndPressAtOnce ("Down");
    expectTheSecondDownSteppedMinSelect (*box);
}

INSTANTIATE_TEST_SUITE_P (AfterEachAlert,
                          KeyboardAfterAnAlert,
                          ::testing::Values (Alert::timeOut, Alert::refusal),
                          [] (const auto& info) { return info.param == Alert::timeOut ? "timeOut" : "refusal"; });

//==============================================================================
// A late reply, while an alert is open, carries a stalled read on and greys "Save Settings", which
// had the keyboard when the alert came: after the alert the keyboard waits, as for any greyed
// control, and goes back to the button when the read ends.
TEST_F (KeyboardDuringAWait, AControlGreyedWhileAnAlertIsOpenGetsTheKeyboardBackOnlyWhenItCanAct)
{
    auto box = addInterface (smallInterface());
    auto& m = makeFocusedWindow();
    ASSERT_TRUE (searchSelectAndRead());

    const auto late = [&box] (Request request, int delayMs)
    {
        Interface::Fault fault;
        fault.delayMs = delayMs;
        fault.times = 1;
        box->setFault (request, fault);
    };

    // The first two steps' replies come after their time-outs: the first once its alert is answered,
    // the second while its alert is open. The third comes in time, after that alert is answered.
    late (Request::midiInfo, 2200);
    late (Request::deviceInfo, 1800);
    late (Request::presetName, 700);

    // The first alert is answered at once, the second only once the late reply has carried the
    // read on to the preset names.
    juce::StringArray titles;
    juce::Component::SafePointer<juce::AlertWindow> seen, answered;
    Probe answerer (
        [&]
        {
            auto* alert = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());

            if (alert == nullptr || alert == answered)
                return;

            if (alert != seen)
                titles.add ((seen = alert)->getName());

            if (titles.size() == 2 && m.requestState != MainComponent::ReadingPresetNames)
                return;

            answered = alert;
            harness::findButton (*alert, "Shucks")->triggerClick();
        });
    const auto answeredAndClosed = [&] (int count)
    {
        return harness::pumpUntil (
            [&] { return titles.size() == count && juce::Component::getNumCurrentlyModalComponents() == 0; }, 5000);
    };

    focus (m.getSettingsButton);
    press (juce::KeyPress::returnKey);
    ASSERT_TRUE (answeredAndClosed (1));
    ASSERT_TRUE (m.saveSettingsButton.isEnabled()) << "a stalled read holds nothing back";
    focus (m.saveSettingsButton);

    ASSERT_TRUE (answeredAndClosed (2));
    ASSERT_EQ (m.requestState, MainComponent::ReadingPresetNames);
    ASSERT_FALSE (m.saveSettingsButton.isEnabled());

    window->getPeer()->handleFocusGain();
    EXPECT_TRUE (m.hasKeyboardFocus (false)) << "the keyboard is on " << focusedName();
    const auto during = look();
    press (juce::KeyPress::returnKey);
    EXPECT_EQ (look(), during);
    EXPECT_EQ (m.requestState, MainComponent::ReadingPresetNames) << "the Return started another request";

    ASSERT_TRUE (backOn (m.saveSettingsButton));
    ASSERT_TRUE (m.settingsLoaded);
    press (juce::KeyPress::returnKey);
    ASSERT_TRUE (harness::pumpUntil ([&box] { return box->getStoreCount() == 1; }));
    settle();
    EXPECT_EQ (titles, juce::StringArray ({ "Time Out Error", "Time Out Error" }));
}
} // namespace
