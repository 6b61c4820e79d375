// The program in a real window, driven as a user drives it: buttons found by their text, list
// rows and combo items chosen, and pictures of the editor taken on the way.
#include "AppTestSupport.h"

using namespace apptest;

namespace
{
class UserJourney : public AppTest
{
protected:
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
} // namespace
