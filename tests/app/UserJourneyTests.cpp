// The program in a real window, driven as a user drives it: buttons found by their text, list
// rows and combo items chosen, and pictures of the editor taken on the way.
#include "AppTestSupport.h"

using namespace apptest;

namespace
{
class UserJourney : public AppTest
{
protected:
    using Request = Interface::Request;

    void press (const juce::String& text)
    {
        auto* button = harness::findButton (mc(), text);
        ASSERT_NE (button, nullptr) << text;
        harness::click (*button);
    }

    bool idle()
    {
        return harness::pumpUntil ([this] { return mc().requestState == MainComponent::Idle; });
    }

    /** Search, the first row, Get Settings: as clicks on the window. */
    void openFirstInterface()
    {
        press ("Search");
        ASSERT_TRUE (harness::pumpUntil (
            [this] { return mc().requestState == MainComponent::Idle && mc().deviceListBox->getNumRows() == 1; },
            5000));
        mc().deviceListBox->selectRow (0);
        harness::pump (20);
        press ("Get Settings");
        ASSERT_TRUE (harness::pumpUntil (
            [this] { return mc().settingsLoaded && mc().requestState == MainComponent::Idle; }, 5000));
    }

    /** "Get Settings" once more, over a read already shown, and its end. On a loaded machine the
        whole read may be over by the time the click has been handled, so the read is counted at
        the interface rather than looked for under way. */
    void readAgain()
    {
        const int reads = interfaces.front()->getRequestCount (Request::midiInfo);
        press ("Get Settings");
        ASSERT_TRUE (idle());
        settle();
        ASSERT_EQ (interfaces.front()->getRequestCount (Request::midiInfo), reads + 1);
    }

    /** Every kind of edit a user may try: another selector, its switches, a channel, the message
        type, a preset choice, then another input port routed to the selectors. */
    void tryEveryEdit()
    {
        auto& m = mc();
        harness::choose (m.selectorCombo, 2); // "Scene"
        press ("Enable");
        harness::click (m.channelCheckboxes[5]);
        press ("Use Program Change");
        harness::choose (m.minPresetCombo, 2);
        harness::choose (m.midiInputPortCombo, 3);
        press ("Route to All Selectors");
    }

    static int writesTo (const Interface& box)
    {
        return box.getRequestCount (Request::selectorWrite) + box.getRequestCount (Request::routeWrite)
               + box.getRequestCount (Request::store);
    }

    /** The interface still holds what it was built with, and the model and the editor show exactly
        that, as after any read: the Preset record and port 1. */
    void expectAsBuiltAndShown (const Interface& box)
    {
        const auto built = smallInterface();
        const auto& s = mc().device.settings;

        for (int k = 0; k < 3; ++k)
        {
            EXPECT_EQ (fieldsOf (box.getSelector (k)), fieldsOf (built.selectors[(size_t) k])) << "selector " << k + 1;
            EXPECT_EQ (fieldsOf (s.selectors[k]), fieldsOf (built.selectors[(size_t) k])) << "selector " << k + 1;
        }

        for (int p = 1; p <= (int) built.ports.size(); ++p)
        {
            const auto& mask = built.ports[(size_t) p - 1].routeMask;
            EXPECT_TRUE (box.getRouteMask (p) == mask) << "port " << p;
            EXPECT_TRUE (std::equal (mask.begin(), mask.end(), s.ports[p - 1].routeMask)) << "port " << p;
        }

        for (int j = 0; j < (int) built.presetNames.size(); ++j)
            EXPECT_EQ (s.presets[j].name, built.presetNames[(size_t) j]);

        auto& m = mc();
        EXPECT_EQ (m.selectorCombo.getText(), "Preset");
        EXPECT_TRUE (m.enableToggle.getToggleState());
        EXPECT_TRUE (m.useProgramChangeToggle.getToggleState());
        EXPECT_FALSE (m.channelCheckboxes[5].getToggleState());
        EXPECT_EQ (m.minPresetCombo.getText(), "1 - Clean");
        EXPECT_EQ (m.midiInputPortCombo.getText(), "* DIN 1");
        EXPECT_EQ (m.midiInputPortCombo.getItemText (m.midiInputPortCombo.indexOfItemId (3)), "USBD 1-1");
        EXPECT_TRUE (m.routeToAllSelectorsToggle.getToggleState());
    }

    /** The next request of one kind answered late, though within the time-out. */
    static Interface::Fault slowOnce()
    {
        Interface::Fault f;
        f.delayMs = 600;
        f.times = 1;
        return f;
    }
};

TEST_F (UserJourney, SearchReadEditRouteAndSaveWithoutAnAlert)
{
    auto box = addInterface (smallInterface());
    auto& m = makeComponent (true);
    harness::AlertCatcher catcher;
    ASSERT_NO_FATAL_FAILURE (openFirstInterface());

    harness::choose (m.selectorCombo, 2); // "Scene"
    harness::choose (m.ccModeCombo, 3); // "Toggle"
    ASSERT_TRUE (idle());
    harness::click (m.channelCheckboxes[9]); // channel 10
    ASSERT_TRUE (idle());
    harness::choose (m.midiInputPortCombo, 3);
    press ("Route to All Selectors");
    ASSERT_TRUE (idle());
    press ("Save Settings");
    ASSERT_TRUE (idle());
    settle();

    EXPECT_TRUE (catcher.alerts.empty());
    EXPECT_EQ (box->getSelector (1).ccMode, 3);
    EXPECT_EQ (box->getSelector (1).channelMask, 0x0200);
    EXPECT_TRUE (box->getSelector (0) == smallInterface().selectors[0]) << "the Preset record is untouched";
    EXPECT_EQ (box->getRouteMask (3)[0], 0x08);
    EXPECT_EQ (box->getRouteMask (1)[0], 0x08);
    EXPECT_EQ (box->getStoreCount(), 1);
    EXPECT_EQ (m.midiInputPortCombo.getText(), "* USBD 1-1");
}

TEST_F (UserJourney, PicturesOfTheLoadedEditorInEachMode)
{
    auto c = smallInterface();
    c.selectors[1].minPreset = 1;
    c.selectors[1].maxPreset = 2;
    c.selectors[1].offPreset = 1;
    c.selectors[1].onPreset = 2;
    c.selectors[1].channelMask = 0x8421;
    addInterface (c);
    auto& m = makeComponent (true);
    ASSERT_NO_FATAL_FAILURE (openFirstInterface());

    struct Shot
    {
        const char* file;
        int selector, mode;
        const char* labels;
    };

    // The Preset record reacts to Program Change; the Scene record to Control Change.
    const Shot shots[] = {
        { "editor-program-change.png", 1, 0, "" },
        { "editor-continuous.png", 2, 1, "CC Mode|Control ID|Min Value|Max Value" },
        { "editor-inc-dec.png", 2, 2, "CC Mode|Inc Cntl ID|Dec Cntl ID|On Value" },
        { "editor-toggle.png", 2, 3, "CC Mode|Control ID|On Value|Off Select|On Select" },
    };

    for (auto& shot : shots)
    {
        SCOPED_TRACE (shot.file);
        harness::choose (m.selectorCombo, shot.selector);

        if (shot.mode != 0)
            harness::choose (m.ccModeCombo, shot.mode);

        ASSERT_TRUE (idle());
        harness::pump (50);

        juce::StringArray shown;

        for (auto* label : { &m.ccModeLabel,
                             &m.ccId1Label,
                             &m.ccId2Label,
                             &m.minValueLabel,
                             &m.maxValueLabel,
                             &m.onValueLabel,
                             &m.offPresetLabel,
                             &m.onPresetLabel })
            if (label->isVisible())
                shown.add (label->getText());

        EXPECT_EQ (shown.joinIntoString ("|"), shot.labels);
        EXPECT_TRUE (m.settingsLoaded);

        const auto file = harness::outputDirectory().getChildFile (shot.file);
        EXPECT_TRUE (harness::saveSnapshot (
            *window, file)); // the window paints the background the editor's white texts stand on
        EXPECT_TRUE (file.existsAsFile());
        EXPECT_GT (file.getSize(), 1000);
    }
}

TEST_F (UserJourney, EditsDuringASlowReadSendNothingAndTheReadEndsAsTheInterfaceIs)
{
    auto box = addInterface (smallInterface());
    auto& m = makeComponent (true);
    harness::AlertCatcher catcher;
    ASSERT_NO_FATAL_FAILURE (openFirstInterface());

    // The selectors of the second read are in; the first route mask is slow to come.
    box->setFault (Request::routeInfo, slowOnce());
    press ("Get Settings");
    ASSERT_TRUE (harness::pumpUntil ([&m] { return m.requestState == MainComponent::ReadingRouteInfo; }));
    tryEveryEdit();
    EXPECT_EQ (m.requestState, MainComponent::ReadingRouteInfo) << "the read goes on";

    ASSERT_TRUE (idle());
    settle();
    EXPECT_TRUE (catcher.alerts.empty());
    EXPECT_EQ (writesTo (*box), 0);
    expectAsBuiltAndShown (*box);
}

TEST_F (UserJourney, AfterAReadTimedOutEditsSendNothingUntilAReadCompletes)
{
    auto box = addInterface (smallInterface());
    auto& m = makeComponent (true);
    harness::AlertCatcher catcher;
    ASSERT_NO_FATAL_FAILURE (openFirstInterface());

    // The second read stops after its selectors: no route mask comes.
    Interface::Fault lost;
    lost.noReply = true;
    lost.times = 1;
    box->setFault (Request::routeInfo, lost);
    press ("Get Settings");
    ASSERT_TRUE (harness::pumpUntil ([&catcher] { return ! catcher.alerts.empty(); }));
    EXPECT_EQ (catcher.alerts[0].title, "Time Out Error");
    tryEveryEdit();
    settle();
    EXPECT_EQ (writesTo (*box), 0);

    // The read has stopped, so the store goes out as ever; edits still wait for a whole read.
    press ("Save Settings");
    ASSERT_TRUE (idle());
    press ("Enable");
    settle();
    EXPECT_EQ (box->getStoreCount(), 1);
    EXPECT_EQ (writesTo (*box), 1);

    ASSERT_NO_FATAL_FAILURE (readAgain());
    expectAsBuiltAndShown (*box);

    // Read whole: the edit goes out, and the interface holds the record as read plus that edit.
    press ("Enable");
    ASSERT_TRUE (idle());
    settle();
    auto expected = smallInterface().selectors;
    expected[0].enabled = 0;

    EXPECT_EQ (box->getRequestCount (Request::selectorWrite), 1);
    EXPECT_EQ (fieldsOf (box->getSelector (0)), fieldsOf (expected[0]));
    EXPECT_EQ (fieldsOf (box->getSelector (1)), fieldsOf (expected[1]));
    EXPECT_EQ (fieldsOf (m.device.settings.selectors[0]), fieldsOf (expected[0]));
    EXPECT_EQ (box->getRouteMask (1)[0], 0x08);
    EXPECT_EQ (catcher.alerts.size(), 1u);
}

TEST_F (UserJourney, SaveSettingsDuringAReadSendsNothingAndTheReadFinishes)
{
    auto box = addInterface (smallInterface());
    auto& m = makeComponent (true);
    harness::AlertCatcher catcher;
    ASSERT_NO_FATAL_FAILURE (openFirstInterface());

    box->setFault (Request::portInfo, slowOnce());
    press ("Get Settings");
    ASSERT_TRUE (harness::pumpUntil ([&m] { return m.requestState == MainComponent::ReadingPortInfo; }));
    press ("Save Settings");
    EXPECT_EQ (m.requestState, MainComponent::ReadingPortInfo) << "the read goes on";

    ASSERT_TRUE (idle());
    settle();
    EXPECT_TRUE (catcher.alerts.empty());
    EXPECT_EQ (box->getRequestCount (Request::store), 0);
    expectAsBuiltAndShown (*box);

    press ("Save Settings");
    ASSERT_TRUE (idle());
    settle();
    EXPECT_EQ (box->getStoreCount(), 1);
    EXPECT_TRUE (catcher.alerts.empty());
}

TEST_F (UserJourney, AnAcknowledgementArrivingDuringAReadDoesNotEndIt)
{
    auto box = addInterface (smallInterface());
    auto& m = makeComponent (true);
    harness::AlertCatcher catcher;
    ASSERT_NO_FATAL_FAILURE (openFirstInterface());

    // The write's and then the store's acknowledgement come late, ahead of the first reply to the
    // read started just after each. Each belongs to the session before the read, and is not the
    // reply the read waits for: the read must take no notice of it.
    box->setFault (Request::selectorWrite, slowOnce());
    press ("Enable");
    ASSERT_EQ (m.requestState, MainComponent::WritingSettings);
    ASSERT_NO_FATAL_FAILURE (readAgain());
    EXPECT_FALSE (m.settingsPartlyRead) << "the read ran to its last route reply";
    EXPECT_EQ (m.device.settings.selectors[0].enabled, 0);
    EXPECT_FALSE (m.enableToggle.getToggleState());

    box->setFault (Request::store, slowOnce());
    press ("Save Settings");
    ASSERT_EQ (m.requestState, MainComponent::SavingGlobals);
    ASSERT_NO_FATAL_FAILURE (readAgain());
    settle();

    auto expected = smallInterface().selectors[0];
    expected.enabled = 0;
    EXPECT_FALSE (m.settingsPartlyRead);
    EXPECT_TRUE (catcher.alerts.empty());
    EXPECT_EQ (box->getStoreCount(), 1);
    EXPECT_EQ (fieldsOf (box->getSelector (0)), fieldsOf (expected));
    EXPECT_EQ (fieldsOf (m.device.settings.selectors[0]), fieldsOf (expected));
    EXPECT_EQ (m.midiInputPortCombo.getText(), "* DIN 1");
}
} // namespace
