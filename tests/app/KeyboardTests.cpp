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

class Keyboard : public ShownWindow, public ::testing::WithParamInterface<Link>
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
class KeyboardDuringAWait : public ShownWindow
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
} // namespace
