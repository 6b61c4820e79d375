#include "AppTestSupport.h"

#include <map>
#include <tuple>

using namespace apptest;

namespace
{
using R = juce::Rectangle<int>;
using Items = std::vector<std::pair<int, juce::String>>;

Items itemsOf (const juce::ComboBox& combo)
{
    Items items;

    for (int i = 0; i < combo.getNumItems(); ++i)
        items.emplace_back (combo.getItemId (i), combo.getItemText (i));

    return items;
}

/** The sixteen controls that only updateGUI places (the CC Mode pair is placed by resized). */
std::vector<juce::Component*> modeDependent (MainComponent& c)
{
    return { &c.ccId1Label,    &c.ccId1Combo,    &c.ccId2Label,     &c.ccId2Combo,
             &c.minValueLabel, &c.minValueCombo, &c.maxValueLabel,  &c.maxValueCombo,
             &c.onValueLabel,  &c.onValueCombo,  &c.offPresetLabel, &c.offPresetCombo,
             &c.onPresetLabel, &c.onPresetCombo, &c.invertToggle,   &c.wraparoundToggle };
}

int visibleCount (MainComponent& c)
{
    int n = c.ccModeLabel.isVisible() + c.ccModeCombo.isVisible();

    for (auto* control : modeDependent (c))
        n += control->isVisible();

    return n;
}

void addPort (zun::PresetSelectorBlock& s, int type, int numberA, bool routed, const juce::String& name)
{
    auto& port = s.ports[s.portCount++];
    port.number = s.portCount;
    port.type = (juce::uint8) type;
    port.numberA = (juce::uint8) numberA;
    port.routedToSelectors = routed ? 1 : 0;
    port.name = name;
}

/** A model as a completed read leaves it, showing the Preset selector in Continuous mode. */
void fillModel (zun::PresetSelectorBlock& s)
{
    s.selectorMask = 7;
    s.presetCount = 3;
    s.sceneCount = 2;
    s.snapshotCount = 2;
    const char* names[] = { "Clean", "Crunch", "Lead" };

    for (int j = 0; j < 3; ++j)
        s.presets[j] = { (juce::uint8) (j + 1), names[j] };

    addPort (s, 1, 1, true, "DIN 1"); // port 1, routed
    addPort (s, 1, 0, false, "DIN out 1"); // a DIN output: not listed
    addPort (s, 2, 1, false, "USBD 1-1");
    addPort (s, 5, 0, true, "Preset Selector"); // a function port: not listed
    addPort (s, 3, 1, false, ""); // no name: no item
    addPort (s, 4, 1, true, ""); // no name, but routed: "* "
    addPort (s, 2, 0, false, "USBD 0-1"); // numberA 0 only hides DIN ports
    s.routingPort = 1;
    s.currentSelector = 1;

    auto& r = s.selectors[0];
    r.enabled = 1;
    r.useControlChange = 1;
    r.invert = 1;
    r.channelMask = 0x8005;
    r.minPreset = 1;
    r.maxPreset = 3;
    r.ccMode = 1;
    r.ccId1 = 7;
    r.ccId2 = 8;
    r.maxValue = 127;
    r.onValue = 64;
    r.offPreset = 2;
    r.onPreset = 3;
}

class EditorControls : public AppTest
{
};

class EditorView : public AppTest
{
};

//==============================================================================
TEST_F (EditorControls, ItemListsAfterConstruction)
{
    auto& c = makeComponent();

    const std::map<int, const char*> named = { { 0, "Bank (MSB)" },
                                               { 1, "Modulation" },
                                               { 2, "Breath" },
                                               { 4, "Foot" },
                                               { 5, "Portamento Time" },
                                               { 6, "Data Entry" },
                                               { 7, "Volume" },
                                               { 8, "Balance" },
                                               { 10, "Pan" },
                                               { 11, "Expression" },
                                               { 12, "Effect 1" },
                                               { 13, "Effect 2" },
                                               { 16, "General 1" },
                                               { 17, "General 2" },
                                               { 18, "General 3" },
                                               { 19, "General 4" },
                                               { 32, "Bank (LSB)" },
                                               { 33, "Modulation (LSB)" },
                                               { 34, "Breath (LSB)" },
                                               { 36, "Foot (LSB)" },
                                               { 37, "Portamento Time (LSB)" },
                                               { 38, "Data Entry (LSB)" },
                                               { 39, "Volume (LSB)" },
                                               { 40, "Balance (LSB)" },
                                               { 42, "Pan (LSB)" },
                                               { 43, "Expression (LSB)" },
                                               { 44, "Effect 1 (LSB)" },
                                               { 45, "Effect 2 (LSB)" },
                                               { 48, "General 1 (LSB)" },
                                               { 49, "General 2 (LSB)" },
                                               { 50, "General 3 (LSB)" },
                                               { 51, "General 4 (LSB)" },
                                               { 64, "Damper Pedal" },
                                               { 65, "Portamento Switch" },
                                               { 66, "Sostenuto" },
                                               { 67, "Soft Pedal" },
                                               { 68, "Legato" },
                                               { 69, "Hold2" },
                                               { 70, "Variation" },
                                               { 71, "Harmonic" },
                                               { 72, "Release" },
                                               { 73, "Attack" },
                                               { 74, "Brightness" },
                                               { 75, "Sound Controller 6" },
                                               { 76, "Sound Controller 7" },
                                               { 77, "Sound Controller 8" },
                                               { 78, "Sound Controller 9" },
                                               { 79, "Sound Controller 10" },
                                               { 80, "General 5" },
                                               { 81, "General 6" },
                                               { 82, "General 7" },
                                               { 83, "General 8" },
                                               { 91, "Reverb" },
                                               { 92, "Tremolo" },
                                               { 93, "Chorus" },
                                               { 94, "Celeste" },
                                               { 95, "Phaser" },
                                               { 96, "Data Increment" },
                                               { 97, "Data Decrement" },
                                               { 98, "NRPN (LSB)" },
                                               { 99, "NRPN (MSB)" },
                                               { 100, "RPN (LSB)" },
                                               { 101, "RPN (MSB)" },
                                               { 120, "All Sound Off" },
                                               { 121, "Reset All Controllers" },
                                               { 122, "Local Control" },
                                               { 123, "All Notes Off" },
                                               { 124, "Omni Off" },
                                               { 125, "Omni On" },
                                               { 126, "Mono On" },
                                               { 127, "Poly On" } };
    ASSERT_EQ (named.size(), 71u);

    Items controllers, values;

    for (int n = 0; n < 128; ++n)
    {
        controllers.emplace_back (n + 1,
                                  juce::String::formatted ("%03d ", n) + (named.count (n) != 0 ? named.at (n) : "---"));
        values.emplace_back (n + 1, juce::String (n));
    }

    for (auto* combo : { &c.ccId1Combo, &c.ccId2Combo })
    {
        const auto items = itemsOf (*combo);
        EXPECT_EQ (items, controllers);

        for (auto& [id, text] : Items { { 1, "000 Bank (MSB)" },
                                        { 4, "003 ---" },
                                        { 70, "069 Hold2" },
                                        { 80, "079 Sound Controller 10" },
                                        { 128, "127 Poly On" } })
            EXPECT_NE (std::find (items.begin(), items.end(), std::make_pair (id, text)), items.end()) << text;
    }

    for (auto* combo : { &c.minValueCombo, &c.maxValueCombo, &c.onValueCombo })
        EXPECT_EQ (itemsOf (*combo), values);

    EXPECT_EQ (itemsOf (c.ccModeCombo), (Items { { 1, "Continuous" }, { 2, "Inc/Dec" }, { 3, "Toggle" } }));

    for (auto* combo : { &c.selectorCombo,
                         &c.midiInputPortCombo,
                         &c.minPresetCombo,
                         &c.maxPresetCombo,
                         &c.offPresetCombo,
                         &c.onPresetCombo })
        EXPECT_EQ (combo->getNumItems(), 0);
}

TEST_F (EditorControls, LabelAndToggleTexts)
{
    auto& c = makeComponent();

    const std::pair<juce::Label*, const char*> labels[] = {
        { &c.selectorLabel, "Selector" },    { &c.minPresetLabel, "Min Select" },
        { &c.maxPresetLabel, "Max Select" }, { &c.ccModeLabel, "CC Mode" },
        { &c.ccId1Label, "CCID1" },          { &c.ccId2Label, "CCID2" },
        { &c.minValueLabel, "Min Value" },   { &c.maxValueLabel, "Max Value" },
        { &c.onValueLabel, "On Value" },     { &c.offPresetLabel, "Off Select" },
        { &c.onPresetLabel, "On Select" },   { &c.midiInputPortLabel, "MIDI Input Port" }
    };
    const std::tuple<juce::Button*, const char*, int> toggles[] = {
        { &c.enableToggle, "Enable", 0 },
        { &c.useProgramChangeToggle, "Use Program Change", 1 },
        { &c.useControlChangeToggle, "Use Control Change", 1 },
        { &c.invertToggle, "Invert", 0 },
        { &c.wraparoundToggle, "Wraparound", 0 },
        { &c.routeToAllSelectorsToggle, "Route to All Selectors", 0 }
    };

    for (auto& [label, text] : labels)
        EXPECT_EQ (label->getText(), text);

    for (auto& [toggle, text, radioGroup] : toggles)
    {
        EXPECT_EQ (toggle->getButtonText(), text);
        EXPECT_EQ (toggle->getRadioGroupId(), radioGroup) << text;
        EXPECT_FALSE (toggle->getToggleState()) << text;
    }

    for (size_t k = 0; k < 16; ++k)
    {
        EXPECT_EQ (c.channelLabels[k].getText(), juce::String ((int) k + 1));
        EXPECT_EQ (c.channelCheckboxes[k].getButtonText(), "");
    }

    EXPECT_EQ (c.globalRoutingGroup.getText(), "Global Routing");
    EXPECT_EQ (c.routeToAllSelectorsToggle.getParentComponent(), &c.globalRoutingGroup);
    EXPECT_EQ (c.midiInputPortLabel.getParentComponent(), &c.globalRoutingGroup);
}

TEST_F (EditorControls, TheTwoMessageTypeTogglesAreOneRadioPair)
{
    auto& c = makeComponent();

    // Greyed until settings are shown, so turned on as a click would; the grouping is what counts.
    const auto turnOn = [] (juce::Button& b) { b.setToggleState (true, juce::sendNotification); };

    turnOn (c.useProgramChangeToggle);
    EXPECT_TRUE (c.useProgramChangeToggle.getToggleState());
    EXPECT_FALSE (c.useControlChangeToggle.getToggleState());

    turnOn (c.useControlChangeToggle);
    EXPECT_FALSE (c.useProgramChangeToggle.getToggleState());
    EXPECT_TRUE (c.useControlChangeToggle.getToggleState());

    // The other toggles stand alone.
    turnOn (c.enableToggle);
    turnOn (c.invertToggle);
    EXPECT_TRUE (c.enableToggle.getToggleState());
    EXPECT_TRUE (c.invertToggle.getToggleState());
    EXPECT_TRUE (c.useControlChangeToggle.getToggleState());
}

//==============================================================================
TEST_F (EditorView, EachModeShowsExactlyItsControlsInTheirPlaces)
{
    auto& c = makeComponent();
    auto& s = c.device.settings;
    s.currentSelector = 1;

    struct Placed
    {
        juce::Component* control;
        R bounds;
        juce::String text = {};
    };

    struct Case
    {
        int useControlChange, ccMode;
        std::vector<Placed> shown;
    };

    const Case cases[] = {
        { 0, 2, {} }, // Program Change hides the whole column, whatever the mode
        { 1,
          1,
          { { &c.ccId1Label, { 362, 338, 80, 24 }, "Control ID" },
            { &c.ccId1Combo, { 442, 338, 200, 24 } },
            { &c.minValueLabel, { 362, 368, 80, 24 }, "Min Value" },
            { &c.minValueCombo, { 442, 368, 80, 24 } },
            { &c.maxValueLabel, { 362, 398, 80, 24 }, "Max Value" },
            { &c.maxValueCombo, { 442, 398, 80, 24 } },
            { &c.invertToggle, { 362, 428, 88, 24 } } } },
        { 1,
          2,
          { { &c.ccId1Label, { 362, 338, 80, 24 }, "Inc Cntl ID" },
            { &c.ccId1Combo, { 442, 338, 200, 24 } },
            { &c.ccId2Label, { 362, 368, 80, 24 }, "Dec Cntl ID" },
            { &c.ccId2Combo, { 442, 368, 200, 24 } },
            { &c.onValueLabel, { 362, 398, 80, 24 }, "On Value" },
            { &c.onValueCombo, { 442, 398, 80, 24 } },
            { &c.wraparoundToggle, { 362, 428, 104, 24 } } } },
        { 1,
          3,
          { { &c.ccId1Label, { 362, 338, 80, 24 }, "Control ID" },
            { &c.ccId1Combo, { 442, 338, 200, 24 } },
            { &c.onValueLabel, { 362, 368, 80, 24 }, "On Value" },
            { &c.onValueCombo, { 442, 368, 80, 24 } },
            { &c.offPresetLabel, { 362, 398, 80, 24 }, "Off Select" },
            { &c.offPresetCombo, { 442, 398, 164, 24 } },
            { &c.onPresetLabel, { 362, 428, 80, 24 }, "On Select" },
            { &c.onPresetCombo, { 442, 428, 164, 24 } } } },
    };

    const R untouched (1, 2, 3, 4);

    for (auto& [useControlChange, ccMode, shown] : cases)
    {
        SCOPED_TRACE (
            juce::String::formatted ("useControlChange %d, ccMode %d", useControlChange, ccMode).toStdString());

        c.ccModeLabel.setVisible (useControlChange == 0);
        c.ccModeCombo.setVisible (useControlChange == 0);

        for (auto* control : modeDependent (c))
        {
            control->setVisible (true);
            control->setBounds (untouched);
        }

        s.selectors[0].useControlChange = (juce::uint8) useControlChange;
        s.selectors[0].ccMode = (juce::uint8) ccMode;
        c.updateGUI();

        EXPECT_EQ (c.ccModeLabel.isVisible(), useControlChange != 0);
        EXPECT_EQ (c.ccModeCombo.isVisible(), useControlChange != 0);
        EXPECT_EQ (c.ccModeLabel.getBounds(), R (362, 308, 64, 24));
        EXPECT_EQ (c.ccModeCombo.getBounds(), R (442, 308, 120, 24));

        const auto controls = modeDependent (c);

        for (size_t i = 0; i < controls.size(); ++i)
        {
            auto* control = controls[i];
            const auto placed =
                std::find_if (shown.begin(), shown.end(), [control] (auto& p) { return p.control == control; });
            const bool isShown = placed != shown.end();

            EXPECT_EQ (control->isVisible(), isShown) << "control " << i;
            EXPECT_EQ (control->getBounds(), isShown ? placed->bounds : untouched);

            if (auto* label = dynamic_cast<juce::Label*> (control); label != nullptr && isShown)
            {
                EXPECT_EQ (label->getText(), placed->text);
            }
        }
    }
}

TEST_F (EditorView, NoModeAndModeChangesLeaveWhatTheyDoNotSet)
{
    auto& c = makeComponent();
    auto& r = c.device.settings.selectors[0];
    c.device.settings.currentSelector = 1;
    r.useControlChange = 1;
    r.ccMode = 2;
    c.updateGUI();

    const auto lookOf = [&]
    {
        std::vector<std::tuple<bool, R, juce::String>> look;

        for (auto* control : modeDependent (c))
        {
            auto* label = dynamic_cast<juce::Label*> (control);
            look.emplace_back (
                control->isVisible(), control->getBounds(), label != nullptr ? label->getText() : juce::String());
        }

        return look;
    };

    // Inc/Dec to Continuous: the first label is renamed, the hidden second keeps its text. The
    // combo is greyed without a read, so its handler is reached as a choice would reach it.
    c.ccModeCombo.setSelectedId (1, juce::sendNotificationSync);
    EXPECT_EQ (r.ccMode, 1);
    EXPECT_EQ (c.ccId1Label.getText(), "Control ID");
    EXPECT_FALSE (c.ccId2Label.isVisible());
    EXPECT_EQ (c.ccId2Label.getText(), "Dec Cntl ID");

    // Mode 0: the CC Mode pair is shown with nothing chosen, the rest looks as it did.
    r.ccMode = 2;
    c.updateGUI();
    const auto before = lookOf();
    c.ccModeLabel.setVisible (false);
    c.ccModeCombo.setVisible (false);
    r.ccMode = 0;
    c.setGUI (false);
    EXPECT_TRUE (c.ccModeLabel.isVisible());
    EXPECT_TRUE (c.ccModeCombo.isVisible());
    EXPECT_EQ (c.ccModeCombo.getSelectedId(), 0);
    EXPECT_TRUE (lookOf() == before);
}

TEST_F (EditorView, WithoutARecordEveryModeDependentControlIsHidden)
{
    auto& c = makeComponent();

    // Built visible, without a place; the pending notification of the constructor's clear
    // then lays the editor out for a model that holds no record.
    for (auto* control : modeDependent (c))
        EXPECT_TRUE (control->isVisible() && control->getBounds().isEmpty());

    harness::pump (20);
    EXPECT_EQ (visibleCount (c), 0);

    // A layout on screen, then Search empties the model.
    auto& s = c.device.settings;
    s.currentSelector = 1;
    s.selectors[0].useControlChange = 1;
    s.selectors[0].ccMode = 3;
    c.updateGUI();
    ASSERT_EQ (visibleCount (c), 10);

    ASSERT_TRUE (search());
    harness::pump (20);
    EXPECT_EQ (s.currentSelector, 0);
    EXPECT_EQ (visibleCount (c), 0);

    harness::click (c.useControlChangeToggle);
    EXPECT_EQ (visibleCount (c), 0);
}

TEST_F (EditorView, ClearingEmptiesTheEditorFullyOrKeepsTheSelectorAndRouting)
{
    auto& c = makeComponent();
    fillModel (c.device.settings);
    c.setGUI (true);
    ASSERT_TRUE (c.settingsLoaded);

    juce::Button* toggles[] = {
        &c.enableToggle, &c.invertToggle, &c.wraparoundToggle, &c.useProgramChangeToggle, &c.useControlChangeToggle
    };
    juce::ComboBox* values[] = { &c.minPresetCombo, &c.maxPresetCombo, &c.ccModeCombo,   &c.ccId1Combo,
                                 &c.ccId2Combo,     &c.minValueCombo,  &c.maxValueCombo, &c.onValueCombo,
                                 &c.offPresetCombo, &c.onPresetCombo };
    const auto expectCleared = [&]
    {
        EXPECT_FALSE (c.settingsLoaded);

        for (auto* toggle : toggles)
            EXPECT_FALSE (toggle->getToggleState()) << toggle->getButtonText();

        for (auto& box : c.channelCheckboxes)
            EXPECT_FALSE (box.getToggleState());

        for (auto* combo : values)
        {
            EXPECT_EQ (combo->getSelectedId(), 0);
            EXPECT_EQ (combo->getText(), "");
            EXPECT_GT (combo->getNumItems(), 0); // the items stay
        }
    };

    c.clrGUI (false);
    expectCleared();
    EXPECT_EQ (c.selectorCombo.getText(), "Preset");
    EXPECT_EQ (c.selectorCombo.getNumItems(), 3);
    EXPECT_EQ (c.midiInputPortCombo.getText(), "* DIN 1");
    EXPECT_EQ (c.midiInputPortCombo.getNumItems(), 4);
    EXPECT_TRUE (c.routeToAllSelectorsToggle.getToggleState());

    c.clrGUI (true);
    expectCleared();
    EXPECT_EQ (c.selectorCombo.getNumItems(), 0);
    EXPECT_EQ (c.midiInputPortCombo.getNumItems(), 0);
    EXPECT_FALSE (c.routeToAllSelectorsToggle.getToggleState());
}

TEST_F (EditorView, ShowsARecordExactly)
{
    auto& c = makeComponent();
    fillModel (c.device.settings);
    c.setGUI (true);

    EXPECT_TRUE (c.settingsLoaded);
    EXPECT_TRUE (c.enableToggle.getToggleState());
    EXPECT_TRUE (c.invertToggle.getToggleState());
    EXPECT_FALSE (c.wraparoundToggle.getToggleState());
    EXPECT_TRUE (c.useControlChangeToggle.getToggleState());
    EXPECT_FALSE (c.useProgramChangeToggle.getToggleState());
    EXPECT_TRUE (c.routeToAllSelectorsToggle.getToggleState());

    for (size_t k = 0; k < 16; ++k)
        EXPECT_EQ (c.channelCheckboxes[k].getToggleState(), k == 0 || k == 2 || k == 15) << "channel " << k + 1;

    const std::tuple<juce::ComboBox*, int, const char*> selections[] = {
        { &c.selectorCombo, 1, "Preset" },    { &c.minPresetCombo, 1, "1 - Clean" },
        { &c.maxPresetCombo, 3, "3 - Lead" }, { &c.ccModeCombo, 1, "Continuous" },
        { &c.ccId1Combo, 8, "007 Volume" },   { &c.ccId2Combo, 9, "008 Balance" },
        { &c.minValueCombo, 1, "0" },         { &c.maxValueCombo, 128, "127" },
        { &c.onValueCombo, 65, "64" },        { &c.offPresetCombo, 2, "2 - Crunch" },
        { &c.onPresetCombo, 3, "3 - Lead" },  { &c.midiInputPortCombo, 1, "* DIN 1" }
    };

    for (auto& [combo, id, text] : selections)
    {
        EXPECT_EQ (combo->getSelectedId(), id) << text;
        EXPECT_EQ (combo->getText(), text);
    }

    for (auto* combo : { &c.minPresetCombo, &c.maxPresetCombo, &c.offPresetCombo, &c.onPresetCombo })
        EXPECT_EQ (itemsOf (*combo), (Items { { 1, "1 - Clean" }, { 2, "2 - Crunch" }, { 3, "3 - Lead" } }));

    EXPECT_EQ (itemsOf (c.selectorCombo), (Items { { 1, "Preset" }, { 2, "Scene" }, { 3, "Mixer Snapshot" } }));
    EXPECT_EQ (itemsOf (c.midiInputPortCombo),
               (Items { { 1, "* DIN 1" }, { 3, "USBD 1-1" }, { 6, "* " }, { 7, "USBD 0-1" } }));
    EXPECT_TRUE (c.invertToggle.isVisible()); // laid out for Continuous
}

TEST_F (EditorView, PresetListsFollowTheSelectorType)
{
    auto& c = makeComponent();
    auto& s = c.device.settings;
    fillModel (s);

    s.currentSelector = 2;
    s.sceneCount = 28;
    c.setGUI (true);
    const auto scenes = itemsOf (c.onPresetCombo);
    ASSERT_EQ (scenes.size(), 28u);

    for (auto& [index, item] : std::map<size_t, std::pair<int, juce::String>> { { 0, { 1, "1 - Scene A" } },
                                                                                { 1, { 2, "2 - Scene B" } },
                                                                                { 25, { 26, "26 - Scene Z" } },
                                                                                { 26, { 27, "27 - Scene [" } },
                                                                                { 27, { 28, "28 - Scene \\" } } })
        EXPECT_EQ (scenes[index], item);

    s.currentSelector = 3;
    c.setGUI (true);
    EXPECT_EQ (itemsOf (c.minPresetCombo), (Items { { 1, "1 - Snapshot 1" }, { 2, "2 - Snapshot 2" } }));

    s.snapshotCount = 0;
    c.setGUI (true);
    EXPECT_EQ (c.minPresetCombo.getNumItems(), 0);
}

TEST_F (EditorView, SelectorAndPortListsShowNoTextForAnEntryTheyLack)
{
    auto& c = makeComponent();
    auto& s = c.device.settings;
    fillModel (s);

    s.selectorMask = 5;
    c.setGUI (true);
    EXPECT_EQ (itemsOf (c.selectorCombo), (Items { { 1, "Preset" }, { 3, "Mixer Snapshot" } }));

    // No Preset selector, yet the Preset record is shown; the routing port is a DIN output.
    s.selectorMask = 6;
    s.routingPort = 2;
    s.ports[1].routedToSelectors = 1;
    c.setGUI (true);
    EXPECT_EQ (itemsOf (c.selectorCombo), (Items { { 2, "Scene" }, { 3, "Mixer Snapshot" } }));
    EXPECT_EQ (c.selectorCombo.getText(), "");
    EXPECT_EQ (c.selectorCombo.getSelectedId(), 0);
    EXPECT_EQ (c.midiInputPortCombo.getText(), "");
    EXPECT_TRUE (c.routeToAllSelectorsToggle.getToggleState());
}

TEST_F (EditorView, SettingsLoadedIsSetLastAndClearedByEveryClear)
{
    auto& c = makeComponent();
    harness::pump (20); // every mode-dependent control hidden: setGUI will show some

    struct Probe : juce::ComponentListener
    {
        explicit Probe (MainComponent& owner)
            : c (owner)
        {
        }
        void componentVisibilityChanged (juce::Component&) override { seen.push_back (c.settingsLoaded); }
        MainComponent& c;
        std::vector<bool> seen;
    } probe (c);

    c.ccModeCombo.addComponentListener (&probe);
    c.settingsLoaded = true; // as after an earlier read
    fillModel (c.device.settings);
    c.setGUI (true);
    c.ccModeCombo.removeComponentListener (&probe);

    EXPECT_EQ (probe.seen, std::vector<bool> { false }); // the layout comes before the flag
    EXPECT_TRUE (c.settingsLoaded);

    for (bool full : { false, true })
    {
        c.settingsLoaded = true;
        c.clrGUI (full);
        EXPECT_FALSE (c.settingsLoaded);
    }
}

TEST_F (EditorView, PendingNotificationsOfEmptiedListsChangeNothing)
{
    auto& c = makeComponent();
    showMessages();
    harness::pump (20);

    auto& s = c.device.settings;
    fillModel (s);
    s.selectors[0].minPreset = 9; // not in the list
    const auto before = s;
    const auto transactionId = c.device.sysex.transactionId;

    c.setGUI (true);
    EXPECT_EQ (c.minPresetCombo.getText(), "");
    harness::pump (50);

    for (int k = 0; k < 3; ++k)
        EXPECT_EQ (fieldsOf (s.selectors[k]), fieldsOf (before.selectors[k])) << "selector " << k + 1;

    EXPECT_EQ (s.currentSelector, before.currentSelector);
    EXPECT_EQ (s.routingPort, before.routingPort);
    EXPECT_EQ (c.device.sysex.transactionId, transactionId); // no frame built
    EXPECT_TRUE (monitorLines().isEmpty());
    EXPECT_EQ (c.requestState, MainComponent::Idle);
    EXPECT_TRUE (c.settingsLoaded);
}

TEST_F (EditorView, CountsBeyondTheModelListOnlyTheRecordsItHolds)
{
    auto& c = makeComponent();
    auto& s = c.device.settings;
    fillModel (s);
    s.portCount = 0;

    for (int k = 0; k < zun::PresetSelectorBlock::maxPorts; ++k)
        addPort (s, 2, 1, false, "Port " + juce::String (k + 1));

    for (int j = 0; j < zun::PresetSelectorBlock::maxPresets; ++j)
        s.presets[j] = { (juce::uint8) (j + 1), "P" + juce::String (j + 1) };

    s.portCount = 120;
    s.presetCount = 40;
    s.routingPort = 96;
    s.selectors[0].maxPreset = 32;
    c.setGUI (true);
    harness::pump (20);

    EXPECT_EQ (c.minPresetCombo.getNumItems(), 32);
    EXPECT_EQ (c.maxPresetCombo.getText(), "32 - P32");
    EXPECT_EQ (c.midiInputPortCombo.getNumItems(), 96);
    EXPECT_EQ (c.midiInputPortCombo.getText(), "Port 96");
}
} // namespace
