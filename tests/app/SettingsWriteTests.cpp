// Edits, "Route to All Selectors" and "Save Settings": what each stores, what goes out on the
// wire, how acknowledgements end the wait, and that no fault of an interface breaks the program.
#include "AppTestSupport.h"
#include "app/MidiCallbackMessage.h"
#include "sim/Frame.h"

using namespace apptest;

namespace
{
using Request = Interface::Request;
using Fault = Interface::Fault;
using Shape = Interface::Shape;
using Bytes = std::vector<juce::uint8>;
using S = zun::SelectorSettings;

juce::String hex (const Bytes& bytes) { return juce::String::toHexString (bytes.data(), (int) bytes.size()); }

/** The small interface with a Preset record that uses every field and a full Scene record. */
Interface::Config editable()
{
    auto c = smallInterface();
    c.selectors[0] = { 1, 1, 1, 0, 0x0001, 1, 3, 1, 5, 9, 3, 90, 64, 1, 2 };
    c.selectors[1] = { 1, 1, 1, 1, 0xC1A5, 1, 2, 2, 7, 8, 3, 100, 127, 2, 1 };
    return c;
}

class SettingsWrite : public AppTest
{
protected:
    /** Adds the interface, searches, selects its row and reads it; its received list then starts empty. */
    bool read (const Interface::Config& config = editable())
    {
        iface = addInterface (config);
        makeComponent();

        if (! search())
            return false;

        selectRow (rowOf (*iface));

        if (! getSettings (20000))
            return false;

        iface->clearReceived();
        return true;
    }

    /** Waits for the acknowledgement of what was just sent; the payloads the interface received since the last call. */
    std::vector<Bytes> sent (Interface* from = nullptr)
    {
        auto& i = from != nullptr ? *from : *iface;
        harness::pumpUntil ([this] { return mc().requestState == MainComponent::Idle; });
        settle();
        std::vector<Bytes> payloads;

        for (auto& m : i.getReceived())
            if (auto frame = sim::Frame::parse (m))
                payloads.push_back (frame->payload);

        i.clearReceived();
        return payloads;
    }

    void feed (const Bytes& payload)
    {
        sim::Frame frame;
        frame.productId = iface->getProductId();
        frame.serialNumber = iface->getSerialNumber();
        frame.sessionId = mc().device.sysex.sessionId;
        frame.payload = payload;
        mc().handleMessage (MidiCallbackMessage (nullptr, frame.toMessage()));
    }

    zun::PresetSelectorBlock& model() { return mc().device.settings; }
    S& record() { return model().selectors[model().currentSelector - 1]; }
    bool timerRunning() { return timersOf (mc()).isTimerRunning (MainComponent::replyTimer); }

    std::shared_ptr<Interface> iface;
};

//==============================================================================
TEST_F (SettingsWrite, EachComboStoresItsValueAndSendsTheRecordOnce)
{
    ASSERT_TRUE (read());

    struct Row
    {
        juce::ComboBox MainComponent::*combo;
        int id;
        const char* text;
        juce::uint8 S::*field;
        int value, position;
    };

    const Row rows[] = {
        { &MainComponent::ccId1Combo, 1, "000 Bank (MSB)", &S::ccId1, 0, 26 },
        { &MainComponent::ccId2Combo, 8, "007 Volume", &S::ccId2, 7, 28 },
        { &MainComponent::minValueCombo, 11, "10", &S::minValue, 10, 30 },
        { &MainComponent::maxValueCombo, 128, "127", &S::maxValue, 127, 32 },
        { &MainComponent::onValueCombo, 1, "0", &S::onValue, 0, 34 },
        { &MainComponent::minPresetCombo, 2, "2 - Crunch", &S::minPreset, 2, 20 },
        { &MainComponent::maxPresetCombo, 2, "2 - Crunch", &S::maxPreset, 2, 22 },
        { &MainComponent::offPresetCombo, 3, "3 - Lead", &S::offPreset, 3, 36 },
        { &MainComponent::onPresetCombo, 1, "1 - Clean", &S::onPreset, 1, 38 },
        { &MainComponent::ccModeCombo, 3, "Toggle", &S::ccMode, 3, 24 },
    };

    for (auto& row : rows)
    {
        SCOPED_TRACE (row.text);
        auto& combo = mc().*row.combo;
        harness::choose (combo, row.id);
        const auto payloads = sent();

        EXPECT_EQ (combo.getText(), row.text);
        EXPECT_EQ (record().*row.field, row.value);
        ASSERT_EQ (payloads.size(), 1u);
        EXPECT_EQ (Interface::classify (payloads[0]), Request::selectorWrite);
        EXPECT_EQ (payloads[0].at ((size_t) row.position), row.value);
        EXPECT_EQ (fieldsOf (iface->getSelector (0)), fieldsOf (record()));

        // The handler runs again with the value the record already holds.
        mc().comboBoxChanged (&combo);
        EXPECT_TRUE (sent().empty());
    }

    // "Toggle" lays the column out anew.
    EXPECT_TRUE (mc().offPresetCombo.isVisible());
    EXPECT_TRUE (mc().onPresetCombo.isVisible());
    EXPECT_FALSE (mc().ccId2Combo.isVisible());
    EXPECT_FALSE (mc().minValueCombo.isVisible());
}

TEST_F (SettingsWrite, TheWholeSceneRecordTravelsInThirtyNineBytes)
{
    ASSERT_TRUE (read());
    harness::choose (mc().selectorCombo, 2);
    EXPECT_TRUE (sent().empty());

    harness::choose (mc().ccId2Combo, 8);
    const auto payloads = sent();

    ASSERT_EQ (payloads.size(), 1u);
    EXPECT_EQ (
        hex (payloads[0]),
        "10 06 02 05 04 01 05 04 1f 03 01 1c 41 01 0f 02 03 03 25 03 01 04 02 05 02 06 07 07 07 08 03 09 64 0a 7f 0b 02 0c 01");
    EXPECT_EQ (fieldsOf (iface->getSelector (1)), fieldsOf (model().selectors[1]));
    EXPECT_EQ (fieldsOf (iface->getSelector (0)), fieldsOf (editable().selectors[0]));
}

TEST_F (SettingsWrite, EachSwitchAndChannelStoresItsBitAndSendsTheRecord)
{
    ASSERT_TRUE (read());
    auto& m = mc();

    struct Row
    {
        const char* what;
        juce::Button& button;
        size_t sends;
        int flags;
        const char* channelBytes;
        bool ccShown;
    };

    const Row rows[] = {
        { "enable off", m.enableToggle, 1, 0x06, "00 00 01", true },
        { "invert on", m.invertToggle, 1, 0x0E, "00 00 01", true },
        { "wraparound off", m.wraparoundToggle, 1, 0x0A, "00 00 01", true },
        { "program change", m.useProgramChangeToggle, 1, 0x08, "00 00 01", false },
        { "program change again", m.useProgramChangeToggle, 0, 0x08, "00 00 01", false },
        { "control change", m.useControlChangeToggle, 1, 0x0A, "00 00 01", true },
        { "channel 16 on", m.channelCheckboxes[15], 1, 0x0A, "02 00 01", true },
        { "channel 8 on", m.channelCheckboxes[7], 1, 0x0A, "02 01 01", true },
        { "channel 1 off", m.channelCheckboxes[0], 1, 0x0A, "02 01 00", true },
    };

    for (auto& row : rows)
    {
        SCOPED_TRACE (row.what);
        harness::click (row.button);
        const auto payloads = sent();
        const auto& r = record();

        EXPECT_EQ (r.enabled | r.useControlChange << 1 | r.wraparound << 2 | r.invert << 3, row.flags);
        EXPECT_EQ (m.ccModeCombo.isVisible(), row.ccShown);
        ASSERT_EQ (payloads.size(), row.sends);

        if (row.sends == 1)
        {
            EXPECT_EQ (payloads[0].at (14), row.flags);
            EXPECT_EQ (hex (Bytes (payloads[0].begin() + 16, payloads[0].begin() + 19)), row.channelBytes);
            EXPECT_EQ (fieldsOf (iface->getSelector (0)), fieldsOf (r));
        }
    }

    EXPECT_EQ (record().channelMask, 0x8080);
}

TEST_F (SettingsWrite, NothingIsSentWhileTheModelIsEmptyOrSettingsAreNotLoaded)
{
    auto other = addInterface (smallInterface (0x0222, 0x0B0B0B0B), "Other");
    ASSERT_TRUE (read());
    auto& m = mc();

    // A new read has emptied the model; the editor still counts as loaded.
    Fault stuck = noReply();
    stuck.times = 1;
    iface->setFault (Request::midiInfo, stuck);
    harness::click (m.getSettingsButton);
    ASSERT_TRUE (m.settingsLoaded);
    ASSERT_EQ (model().currentSelector, 0);

    harness::choose (m.ccId1Combo, 21);
    harness::click (m.enableToggle);
    harness::click (m.channelCheckboxes[3]);
    harness::click (m.routeToAllSelectorsToggle);
    settle();
    EXPECT_EQ (m.requestState, MainComponent::ReadingMidiInfo);
    EXPECT_EQ (fieldsOf (model().selectors[0]), fieldsOf (Interface::Selector {}));
    ASSERT_EQ (iface->getReceived().size(), 1u);
    EXPECT_EQ (Interface::classify (sim::Frame::parse (iface->getReceived()[0])->payload), Request::midiInfo);

    // Another interface selected: the model stays, the editor is cleared and greyed, so nothing
    // the user tries changes the model either.
    ASSERT_TRUE (getSettings());
    selectRow (rowOf (*other));
    ASSERT_FALSE (m.settingsLoaded);
    iface->clearReceived();
    other->clearReceived();

    harness::choose (m.ccModeCombo, 3);
    harness::choose (m.ccId1Combo, 21);

    for (auto* button : std::initializer_list<juce::Button*> {
             &m.invertToggle, &m.useProgramChangeToggle, &m.channelCheckboxes[3], &m.routeToAllSelectorsToggle })
        harness::click (*button);

    settle();
    EXPECT_EQ (fieldsOf (model().selectors[0]), fieldsOf (editable().selectors[0]));
    EXPECT_FALSE (m.routeToAllSelectorsToggle.getToggleState());
    EXPECT_EQ (m.requestState, MainComponent::Idle);
    EXPECT_TRUE (iface->getReceived().empty());
    EXPECT_TRUE (other->getReceived().empty());
}

TEST_F (SettingsWrite, ChoosingASelectorOrAnInputPortOnlyChangesTheView)
{
    ASSERT_TRUE (read());
    auto& m = mc();

    const ClickCounter clicks (m.routeToAllSelectorsToggle);

    harness::choose (m.selectorCombo, 2);
    EXPECT_EQ (model().currentSelector, 2);
    EXPECT_TRUE (m.useControlChangeToggle.getToggleState());
    EXPECT_TRUE (m.invertToggle.getToggleState());
    EXPECT_EQ (m.ccModeCombo.getText(), "Inc/Dec");
    EXPECT_EQ (m.ccId1Combo.getText(), "007 Volume");
    EXPECT_EQ (m.ccId2Label.getText(), "Dec Cntl ID");
    EXPECT_EQ (m.minPresetCombo.getText(), "1 - Scene A");
    m.comboBoxChanged (&m.selectorCombo);
    EXPECT_EQ (model().currentSelector, 2);
    EXPECT_TRUE (m.settingsLoaded);

    harness::choose (m.midiInputPortCombo, 3);
    EXPECT_EQ (model().routingPort, 3);
    EXPECT_FALSE (m.routeToAllSelectorsToggle.getToggleState());
    harness::choose (m.midiInputPortCombo, 1);
    EXPECT_EQ (model().routingPort, 1);
    EXPECT_TRUE (m.routeToAllSelectorsToggle.getToggleState());

    EXPECT_EQ (clicks.count, 0);
    EXPECT_TRUE (sent().empty());
}

TEST_F (SettingsWrite, RouteToAllSelectorsMarksThePortAndSendsItsMask)
{
    ASSERT_TRUE (read());
    auto& m = mc();
    auto& toggle = m.routeToAllSelectorsToggle;
    ASSERT_EQ (m.midiInputPortCombo.getText(), "* DIN 1");

    struct Row
    {
        int port;
        const char* text;
        const char* payload;
        juce::uint8 mask;
    };

    const Row rows[] = {
        { 1, "DIN 1", "10 06 02 05 04 01 05 01 07 03 01 04 18 00 00", 0x00 },
        { 1, "* DIN 1", "10 06 02 05 04 01 05 01 07 03 01 04 18 08 00", 0x08 },
        { 3, "* USBD 1-1", "10 06 02 05 04 01 05 03 07 03 01 04 18 08 00", 0x08 },
    };

    for (auto& row : rows)
    {
        SCOPED_TRACE (row.text);
        harness::choose (m.midiInputPortCombo, row.port);
        harness::click (toggle);
        const auto payloads = sent();

        EXPECT_EQ (model().ports[row.port - 1].routeMask[0], row.mask);
        EXPECT_EQ (model().ports[row.port - 1].routedToSelectors, row.mask != 0 ? 1 : 0);
        EXPECT_EQ (m.midiInputPortCombo.getText(), row.text);
        EXPECT_EQ (m.midiInputPortCombo.getItemText (m.midiInputPortCombo.indexOfItemId (row.port)), row.text);
        EXPECT_EQ (m.midiInputPortCombo.getSelectedId(), row.port);
        ASSERT_EQ (payloads.size(), 1u);
        EXPECT_EQ (hex (payloads[0]), row.payload);
        EXPECT_EQ (iface->getRouteMask (row.port)[0], row.mask);
    }

    // A click that finds the port already in the toggle's state.
    m.buttonClicked (&toggle);
    EXPECT_TRUE (sent().empty());
}

TEST_F (SettingsWrite, RouteMasksCarryAsManyRouteBytesAsThePortsNeed)
{
    struct Row
    {
        int ports;
        bool firstIsOutput; // a DIN output: not listed, so the combo shows no selection
        const char* payload;
    };

    const juce::String zeros = juce::String::repeatedString ("00 ", 20);
    const juce::String rows64 = "10 06 02 05 04 01 05 01 15 03 01 12 18 05 02 " + zeros.substring (0, 36) + "00 08";
    const juce::String rows96 = "10 06 02 05 04 01 05 01 1d 03 01 1a 18 05 02 " + zeros + "00 08";
    const Row rows[] = {
        { 1, false, "10 06 02 05 04 01 05 01 07 03 01 04 18 05 02" }, // no selector port: the mask is unchanged
        { 8, false, "10 06 02 05 04 01 05 01 07 03 01 04 18 05 0a" },
        { 9, false, "10 06 02 05 04 01 05 01 09 03 01 06 18 05 02 01 00" },
        { 64, false, rows64.toRawUTF8() },
        { 96, false, rows96.toRawUTF8() },
        { 2, true, "10 06 02 05 04 01 05 01 07 03 01 04 18 07 02" },
    };

    for (auto& row : rows)
    {
        SCOPED_TRACE (std::to_string (row.ports) + " ports");
        TearDown();
        SetUp();

        Interface::Config c;
        c.presetNames = { "One" };

        for (int k = 1; k <= row.ports; ++k)
            c.ports.push_back ({ 1, (std::uint8_t) k, 0, {} });

        c.ports[0].routeMask[0] = 0x25;
        c.ports[0].numberA = row.firstIsOutput ? 0 : 1;

        if (row.ports > 1)
            c.ports.back() = { 5, 0, 1, {} };

        ASSERT_TRUE (read (c));
        harness::click (mc().routeToAllSelectorsToggle);
        const auto payloads = sent();

        EXPECT_EQ (model().ports[0].routedToSelectors, 1);
        EXPECT_EQ (mc().midiInputPortCombo.getText(), row.firstIsOutput ? "" : "* DIN in 1");
        EXPECT_EQ (mc().midiInputPortCombo.getSelectedId(), row.firstIsOutput ? 0 : 1);
        ASSERT_EQ (payloads.size(), 1u);
        EXPECT_EQ (hex (payloads[0]), row.payload);
        EXPECT_TRUE (std::equal (std::begin (model().ports[0].routeMask),
                                 std::end (model().ports[0].routeMask),
                                 iface->getRouteMask (1).begin()));
    }
}

TEST_F (SettingsWrite, AcknowledgementsEndTheWaitAndRefusalsAreReported)
{
    ASSERT_TRUE (read());
    harness::AlertCatcher catcher (100);
    int stateAtAlert = -1;
    bool timerAtAlert = true;
    Probe probe (
        [&]
        {
            if (catcher.openCount() > 0 && stateAtAlert < 0)
            {
                stateAtAlert = mc().requestState;
                timerAtAlert = timerRunning();
            }
        });

    struct Row
    {
        Request request;
        Interface::AckReply ack;
        const char* payload;
        const char* message;
    };

    const Row rows[] = {
        { Request::store, { 0x11, 0, 0 }, "40 00 11 00 00", nullptr },
        { Request::store, { 0x11, 0, 9 }, "40 00 11 00 09", "Settings could not be saved." },
        { Request::store, { 0x11, 1, 0 }, "40 00 11 01 00", "Settings could not be saved." },
        { Request::store, { 0x10, 0, 0 }, "40 00 10 00 00", "Settings could not be saved." },
        { Request::selectorWrite, { 0x10, 5, 0 }, "40 00 10 05 00", nullptr },
        { Request::selectorWrite, { 0x11, 0, 0 }, "40 00 11 00 00", "Changes could not be made." },
        { Request::routeWrite, { 0x10, 0, 19 }, "40 00 10 00 13", "Changes could not be made." },
    };

    int id = 10;

    for (auto& row : rows)
    {
        SCOPED_TRACE (row.payload);
        const auto before = catcher.alerts.size();
        stateAtAlert = -1;
        Fault f;
        f.errorAck = row.ack;
        f.times = 1;
        iface->setFault (row.request, f);

        if (row.request == Request::store)
            harness::click (mc().saveSettingsButton);
        else if (row.request == Request::routeWrite)
            harness::click (mc().routeToAllSelectorsToggle);
        else
            harness::choose (mc().ccId1Combo, ++id);

        ASSERT_TRUE (harness::pumpUntil (
            [&]
            {
                return mc().requestState == MainComponent::Idle && catcher.openCount() == 0
                       && (row.message == nullptr || catcher.alerts.size() > before);
            }));
        settle();
        EXPECT_FALSE (timerRunning());

        if (row.message == nullptr)
        {
            EXPECT_EQ (catcher.alerts.size(), before);
            continue;
        }

        ASSERT_EQ (catcher.alerts.size(), before + 1);
        EXPECT_EQ (catcher.alerts.back().title, "Ack Error");
        EXPECT_EQ (catcher.alerts.back().message, row.message);
        EXPECT_EQ (catcher.alerts.back().buttons, juce::StringArray ("Shucks"));
        EXPECT_EQ (stateAtAlert, MainComponent::Idle);
        EXPECT_FALSE (timerAtAlert);
    }

    EXPECT_EQ (iface->getStoreCount(), 0) << "every store was answered in the fault's place";
}

TEST_F (SettingsWrite, AcknowledgementsOfAnotherShapeAreIgnoredUntilTheTimeOut)
{
    ASSERT_TRUE (read());
    harness::AlertCatcher catcher;
    iface->setFault (Request::selectorWrite, noReply());
    iface->setFault (Request::store, noReply());

    for (auto awaited : { MainComponent::WritingSettings, MainComponent::SavingGlobals })
    {
        SCOPED_TRACE ((int) awaited);
        const auto before = catcher.alerts.size();

        if (awaited == MainComponent::SavingGlobals)
            harness::click (mc().saveSettingsButton);
        else
            harness::choose (mc().ccId1Combo, 50);

        for (auto& payload : { Bytes { 0x40, 0x00, 0x10, 0x00, 0x00, 0x00 },
                               Bytes { 0x43, 0x00, 0x11, 0x00, 0x00 },
                               Bytes { 0x40, 0x07, 0x10, 0x00, 0x00 } })
        {
            feed (payload);
            EXPECT_EQ (mc().requestState, awaited) << hex (payload);
        }

        ASSERT_TRUE (harness::pumpUntil ([&] { return catcher.alerts.size() > before; }));
        EXPECT_EQ (catcher.alerts.back().title, "Time Out Error");
        EXPECT_EQ (mc().requestState, awaited);
    }
}

TEST_F (SettingsWrite, SaveSettingsGoesOnlyToTheInterfaceLastRead)
{
    auto other = addInterface (smallInterface (0x0222, 0x0B0B0B0B), "Other");
    iface = addInterface (editable());
    makeComponent();
    showMessages();
    harness::AlertCatcher catcher;

    const auto saveDoesNothing = [&]
    {
        const auto lines = monitorLines().size();
        iface->clearReceived();
        harness::click (mc().saveSettingsButton);
        settle();
        EXPECT_EQ (monitorLines().size(), lines);
        EXPECT_EQ (mc().requestState, MainComponent::Idle);
        EXPECT_TRUE (iface->getReceived().empty());
    };

    ASSERT_TRUE (search());
    selectRow (rowOf (*iface));
    saveDoesNothing(); // before any "Get Settings"

    ASSERT_TRUE (getSettings());
    ASSERT_TRUE (search());
    selectRow (rowOf (*iface));
    saveDoesNothing(); // after a new "Search"

    // On another interface's row the store would go out on that interface's ports, addressed to
    // the one read: it could never arrive.
    ASSERT_TRUE (getSettings());
    selectRow (rowOf (*other));
    EXPECT_FALSE (mc().saveSettingsButton.isEnabled());
    other->clearReceived();
    saveDoesNothing();
    EXPECT_TRUE (other->getReceived().empty());

    // Back on the row read, it stores there.
    selectRow (rowOf (*iface));
    EXPECT_TRUE (mc().saveSettingsButton.isEnabled());
    harness::click (mc().saveSettingsButton);
    ASSERT_TRUE (harness::pumpUntil ([this] { return iface->getStoreCount() == 1; }));
    settle();

    const auto received = iface->getReceived();
    ASSERT_EQ (received.size(), 1u);
    const auto frame = sim::Frame::parse (received[0]);
    ASSERT_TRUE (frame.has_value());
    EXPECT_EQ (hex (frame->payload), "11 00 01 07 06 01 04 02 02 00");
    EXPECT_EQ (frame->productId, iface->getProductId());
    EXPECT_EQ (frame->serialNumber, iface->getSerialNumber());
    EXPECT_EQ (frame->sessionId, mc().device.sysex.sessionId);
    EXPECT_TRUE (other->getReceived().empty());

    EXPECT_TRUE (catcher.alerts.empty());
    EXPECT_EQ (iface->getStoreCount(), 1);
    EXPECT_EQ (other->getStoreCount(), 0);
}

TEST_F (SettingsWrite, EachAcknowledgementIsJudgedByTheRequestItAnswers)
{
    ASSERT_TRUE (read());
    harness::AlertCatcher catcher;
    Fault late;
    late.delayMs = 500;
    late.times = 1;
    iface->setFault (Request::selectorWrite, late);

    harness::choose (mc().ccId1Combo, 40);
    harness::click (mc().saveSettingsButton);
    ASSERT_EQ (mc().requestState, MainComponent::WritingSettings) << "the greyed button took the click";

    // No user can send the store now; sent all the same, through the listener, the write's
    // acknowledgement, held up on the link, comes first and ends no wait; the store's own ends it.
    mc().buttonClicked (&mc().saveSettingsButton);
    ASSERT_EQ (mc().requestState, MainComponent::SavingGlobals);
    ASSERT_TRUE (harness::pumpUntil ([this] { return mc().requestState == MainComponent::Idle; }));
    settle (100);
    EXPECT_TRUE (catcher.alerts.empty());
    EXPECT_EQ (iface->getStoreCount(), 1);
    EXPECT_EQ (iface->getSelector (0).ccId1, 39);

    // Two writes in quick succession: the first one's acknowledgement, already on its way, does
    // not stand in for the second's, which refuses.
    mc().updatePresetSelector();
    bus().waitUntilIdle();
    Fault refused;
    refused.errorAck = Interface::AckReply { 0x10, 0, 9 };
    refused.times = 1;
    iface->setFault (Request::selectorWrite, refused);
    mc().updatePresetSelector();
    ASSERT_TRUE (harness::pumpUntil ([&catcher] { return ! catcher.alerts.empty(); }));
    EXPECT_EQ (catcher.alerts[0].message, "Changes could not be made.");
}

TEST_F (SettingsWrite, EveryEditOfEverySelectorReadsBackTheSame)
{
    auto c = editable();
    c.selectorMask = 0x07;
    c.snapshotCount = 2;
    ASSERT_TRUE (read (c));
    auto& m = mc();
    const auto idle = [&m] { return harness::pumpUntil ([&m] { return m.requestState == MainComponent::Idle; }); };

    std::array<Interface::Selector, 3> expected = c.selectors;

    for (int t = 1; t <= 3; ++t)
    {
        harness::choose (m.selectorCombo, t);
        auto& e = expected[(size_t) t - 1];

        for (auto* button : std::initializer_list<juce::Button*> { &m.enableToggle,
                                                                   &m.useProgramChangeToggle,
                                                                   &m.useControlChangeToggle,
                                                                   &m.invertToggle,
                                                                   &m.wraparoundToggle,
                                                                   &m.channelCheckboxes[(size_t) t + 2] })
        {
            harness::click (*button);
            ASSERT_TRUE (idle());
        }

        e.enabled ^= 1;
        e.useControlChange = 1;
        e.invert ^= 1;
        e.wraparound ^= 1;
        e.channelMask ^= (std::uint16_t) (1 << (t + 2));

        const std::pair<juce::ComboBox*, int> choices[] = { { &m.ccModeCombo, t },        { &m.ccId1Combo, 11 + t },
                                                            { &m.ccId2Combo, 21 + t },    { &m.minValueCombo, 31 + t },
                                                            { &m.maxValueCombo, 41 + t }, { &m.onValueCombo, 51 + t },
                                                            { &m.minPresetCombo, 2 },     { &m.maxPresetCombo, 1 },
                                                            { &m.offPresetCombo, 2 },     { &m.onPresetCombo, 1 } };

        for (auto& [combo, id] : choices)
        {
            harness::choose (*combo, id);
            ASSERT_TRUE (idle());
        }

        e.ccMode = (std::uint8_t) t;
        e.ccId1 = (std::uint8_t) (10 + t);
        e.ccId2 = (std::uint8_t) (20 + t);
        e.minValue = (std::uint8_t) (30 + t);
        e.maxValue = (std::uint8_t) (40 + t);
        e.onValue = (std::uint8_t) (50 + t);
        e.minPreset = 2;
        e.maxPreset = 1;
        e.offPreset = 2;
        e.onPreset = 1;
    }

    harness::choose (m.midiInputPortCombo, 3);
    harness::click (m.routeToAllSelectorsToggle);
    ASSERT_TRUE (idle());
    settle();

    juce::StringArray before;

    for (int t = 0; t < 3; ++t)
    {
        EXPECT_EQ (fieldsOf (iface->getSelector (t)), fieldsOf (expected[(size_t) t])) << "selector " << t + 1;
        before.add (fieldsOf (model().selectors[t]));
    }

    EXPECT_EQ (iface->getRouteMask (3)[0], 0x08);

    for (int p = 0; p < 4; ++p)
        before.add (juce::String::toHexString (model().ports[p].routeMask, 12));

    ASSERT_TRUE (getSettings());
    juce::StringArray after;

    for (int t = 0; t < 3; ++t)
        after.add (fieldsOf (model().selectors[t]));

    for (int p = 0; p < 4; ++p)
        after.add (juce::String::toHexString (model().ports[p].routeMask, 12));

    EXPECT_EQ (after, before);
    EXPECT_EQ (m.midiInputPortCombo.getItemText (m.midiInputPortCombo.indexOfItemId (3)), "* USBD 1-1");
}

//==============================================================================
class Robustness : public SettingsWrite, public ::testing::WithParamInterface<Request>
{
};

TEST_P (Robustness, EveryFaultEndsTheRequestOrTimesOut)
{
    const auto request = GetParam();
    auto c = editable();
    c.selectorMask = 0x07;
    c.snapshotCount = 2;
    ASSERT_TRUE (read (c));
    harness::AlertCatcher catcher;

    const char* const names[] = { "no reply",
                                  "longer",
                                  "shorter",
                                  "wrong marker",
                                  "error ack",
                                  "delay",
                                  "bad checksum",
                                  "entry length 0",
                                  "entry length 1",
                                  "entry length 255",
                                  "number beyond the model",
                                  "interleaved messages" };
    std::array<Fault, std::size (names)> faults {};
    faults[0].noReply = true;
    faults[1].shape = Shape::longer;
    faults[2].shape = Shape::shorter;
    faults[3].shape = Shape::wrongMarker;
    faults[4].errorAck = Interface::AckReply { -1, 0, 9 };
    faults[5].delayMs = 1100;
    faults[6].badChecksum = true;
    faults[7].entryLength = 0;
    faults[8].entryLength = 1;
    faults[9].entryLength = 255;
    faults[10].number = 120;
    faults[11].interleave = true;

    int round = 0;

    for (size_t k = 0; k < faults.size(); ++k)
    {
        SCOPED_TRACE (names[k]);
        iface->clearFaults();
        iface->setFault (request, faults[k]);
        const auto before = catcher.alerts.size();

        switch (request)
        {
            case Request::selectorWrite:
                harness::choose (mc().ccId1Combo, 3 + round++);
                break;
            case Request::routeWrite:
                harness::click (mc().routeToAllSelectorsToggle);
                break;
            case Request::store:
                harness::click (mc().saveSettingsButton);
                break;
            default:
                harness::click (mc().getSettingsButton);
                break;
        }

        EXPECT_TRUE (harness::pumpUntil (
            [&] {
                return (mc().requestState == MainComponent::Idle && mc().settingsLoaded)
                       || catcher.alerts.size() > before;
            },
            5000));

        for (auto k = before; k < catcher.alerts.size(); ++k)
            EXPECT_TRUE (catcher.alerts[k].title == "Time Out Error" || catcher.alerts[k].title == "Ack Error")
                << catcher.alerts[k].title;
    }

    EXPECT_GE (iface->getRequestCount (request), (int) std::size (faults));

    // Still whole afterwards: a clean read goes through.
    iface->clearFaults();
    settle (1200);
    const auto before = catcher.alerts.size();
    ASSERT_TRUE (getSettings());
    EXPECT_EQ (catcher.alerts.size(), before);
    EXPECT_EQ (fieldsOf (model().selectors[2]), fieldsOf (iface->getSelector (2)));
}

std::string requestName (const ::testing::TestParamInfo<Request>& info)
{
    static const char* const names[] = { "discovery",  "productName", "midiInfo",     "deviceInfo", "audioInfo",
                                         "presetName", "portInfo",    "selectorInfo", "routeInfo",  "selectorWrite",
                                         "routeWrite", "store",       "other" };
    return names[(int) info.param];
}

INSTANTIATE_TEST_SUITE_P (EachRequest,
                          Robustness,
                          ::testing::Values (Request::midiInfo,
                                             Request::deviceInfo,
                                             Request::audioInfo,
                                             Request::presetName,
                                             Request::portInfo,
                                             Request::selectorInfo,
                                             Request::routeInfo,
                                             Request::selectorWrite,
                                             Request::routeWrite,
                                             Request::store),
                          requestName);
} // namespace
