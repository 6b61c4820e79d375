// "Get Settings": the chain of read requests, what each reply leaves in the model and the
// editor, and how untrusted or late replies are taken.
#include "AppTestSupport.h"
#include "app/MidiCallbackMessage.h"
#include "sim/Frame.h"

using namespace apptest;

namespace
{
using Request = Interface::Request;
using Fault = Interface::Fault;
using Bytes = std::vector<juce::uint8>;

/** One word per request an interface received, in order: "MIDIInfo", "preset2", "selector41@4"... */
juce::String requestsOf (const Interface& i)
{
    static const char* const words[] = { "discovery",  "productName", "MIDIInfo", "DeviceInfo", "AudioInfo",
                                         "preset",     "port",        "selector", "route",      "selectorWrite",
                                         "routeWrite", "store",       "other" };
    juce::StringArray log;

    for (auto& m : i.getReceived())
    {
        const auto frame = sim::Frame::parse (m);
        const auto kind = frame ? Interface::classify (frame->payload) : Request::other;
        juce::String word (words[(int) kind]);

        if (kind == Request::presetName || kind == Request::portInfo || kind == Request::routeInfo)
            word << (int) frame->payload.at (7);
        else if (kind == Request::selectorInfo)
            word << juce::String::toHexString ((int) frame->payload.at (11)) << "@" << (int) frame->payload.at (7);

        log.add (word);
    }

    return log.joinIntoString (" ");
}

juce::String itemsOf (const juce::ComboBox& combo)
{
    juce::StringArray items;

    for (int i = 0; i < combo.getNumItems(); ++i)
        items.add (juce::String (combo.getItemId (i)) + ":" + combo.getItemText (i));

    return items.joinIntoString ("|");
}

/** Payloads of hand-made replies, laid out as the interface lays them out. */
Bytes instanceReply (juce::uint8 dataClass,
                     juce::uint8 subId,
                     int number,
                     int entryLength,
                     juce::uint8 id,
                     const Bytes& value)
{
    Bytes p { 0x43,
              dataClass,
              0x02,
              0x05,
              0x04,
              0x01,
              subId,
              (juce::uint8) number,
              (juce::uint8) (5 + value.size()),
              0x03,
              0x01,
              (juce::uint8) entryLength,
              id };
    p.insert (p.end(), value.begin(), value.end());
    return p;
}

Bytes presetReply (int number, int entryLength, const Bytes& text)
{
    return instanceReply (0x03, 0x09, number, entryLength, 0x02, text);
}
Bytes routeReply (int port, int entryLength, const Bytes& nibbles)
{
    return instanceReply (0x06, 0x05, port, entryLength, 0x18, nibbles);
}

Bytes selectorReply (int port,
                     int id,
                     juce::uint8 flags,
                     juce::uint16 channels,
                     std::initializer_list<juce::uint8> values)
{
    Bytes v { 0x01,
              flags,
              0x02,
              (juce::uint8) (channels >> 14),
              (juce::uint8) ((channels >> 7) & 0x7F),
              (juce::uint8) (channels & 0x7F) };
    juce::uint8 tag = 0x03;

    for (auto value : values)
        v.insert (v.end(), { tag++, value });

    auto p = instanceReply (0x06, 0x05, port, 0x1C, (juce::uint8) id, v);
    p[8] = 0x1F;
    return p;
}

Bytes midiInfoReply (int portCount, int selectorMask)
{
    return {
        0x43, 0x05, 0x01, 0x0A, 0x03, 0x02, 0x03, 0x01, (juce::uint8) portCount, 0x04, 0x15, (juce::uint8) selectorMask,
        0x00
    };
}

Interface::Port port (int type, int a, int b, std::initializer_list<juce::uint8> route = {})
{
    Interface::Port p { (std::uint8_t) type, (std::uint8_t) a, (std::uint8_t) b, {} };
    std::copy (route.begin(), route.end(), p.routeMask.begin());
    return p;
}

class SettingsRead : public AppTest
{
protected:
    /** Puts the interface on the bus, searches and selects it; its received list starts empty. */
    bool begin (const Interface::Config& config)
    {
        iface = addInterface (config);
        makeComponent();

        if (! search() || mc().deviceListBox->getNumRows() != 1)
            return false;

        selectRow (0);
        iface->clearReceived();
        return true;
    }

    /** Presses "Get Settings" and waits until the read awaits the reply of `state`. */
    bool readUntil (MainComponent::RequestState state)
    {
        harness::click (mc().getSettingsButton);
        return harness::pumpUntil ([this, state] { return mc().requestState == state; });
    }

    /** Hands the component a reply frame from the interface, as its MIDI input would. */
    void feed (const Bytes& payload, juce::uint32 session)
    {
        sim::Frame frame;
        frame.productId = iface->getProductId();
        frame.serialNumber = iface->getSerialNumber();
        frame.sessionId = session;
        frame.payload = payload;
        mc().handleMessage (MidiCallbackMessage (nullptr, frame.toMessage()));
    }

    void feed (const Bytes& payload) { feed (payload, mc().device.sysex.sessionId); }

    zun::PresetSelectorBlock& model() { return mc().device.settings; }

    std::shared_ptr<Interface> iface;
};

//==============================================================================
TEST_F (SettingsRead, EachSelectorMaskReadsItsOwnChainAndFillsTheEditor)
{
    struct Row
    {
        std::uint8_t mask;
        bool reportsMask;
        int presets, ports;
        const char* requests;
        std::uint8_t modelMask;
        const char* selectorItems;
    };

    const Row rows[] = {
        { 0, true, 1, 2, "MIDIInfo DeviceInfo preset1 port1 port2 selector40@2 route1 route2", 0, "" },
        { 7, false, 1, 2, "MIDIInfo DeviceInfo preset1 port1 port2 selector40@2 route1 route2", 1, "1:Preset" },
        { 2,
          true,
          1,
          2,
          "MIDIInfo DeviceInfo preset1 port1 port2 selector40@2 selector41@2 route1 route2",
          2,
          "2:Scene" },
        { 4,
          true,
          1,
          2,
          "MIDIInfo DeviceInfo AudioInfo preset1 port1 port2 selector40@2 selector42@2 route1 route2",
          4,
          "3:Mixer Snapshot" },
        { 5,
          true,
          1,
          2,
          "MIDIInfo DeviceInfo AudioInfo preset1 port1 port2 selector40@2 selector42@2 route1 route2",
          5,
          "1:Preset|3:Mixer Snapshot" },
        { 7,
          true,
          1,
          2,
          "MIDIInfo DeviceInfo AudioInfo preset1 port1 port2 selector40@2 selector41@2 selector42@2 route1 route2",
          7,
          "1:Preset|2:Scene|3:Mixer Snapshot" },
        { 3,
          true,
          2,
          3,
          "MIDIInfo DeviceInfo preset1 preset2 port1 port2 port3 selector40@3 selector41@3 route1 route2 route3",
          3,
          "1:Preset|2:Scene" },
    };

    for (auto& row : rows)
    {
        SCOPED_TRACE (
            juce::String::formatted ("mask %d, %d presets, %d ports", row.mask, row.presets, row.ports).toStdString());
        TearDown();
        SetUp();

        Interface::Config c;
        c.selectorMask = row.mask;
        c.reportsSelectorMask = row.reportsMask;
        c.sceneCount = 2;
        c.snapshotCount = 3;

        for (int k = 1; k <= row.presets; ++k)
            c.presetNames.push_back ("P" + juce::String (k));

        for (int k = 1; k < row.ports; ++k)
            c.ports.push_back (port (1, k, 0));

        c.ports.push_back (port (5, 0, 1));

        for (int t = 0; t < 3; ++t)
            c.selectors[(size_t) t] = { 1, 0, 0, 1, (std::uint16_t) (0x11 << t), 1, 1, 0, (std::uint8_t) (10 + t), 0, 0,
                                        0, 0, 0, 0 };

        ASSERT_TRUE (begin (c));
        ASSERT_TRUE (getSettings());

        EXPECT_EQ (requestsOf (*iface), row.requests);
        EXPECT_EQ (model().selectorMask, row.modelMask);
        EXPECT_EQ (model().portCount, row.ports);
        EXPECT_EQ (model().presetCount, row.presets);
        EXPECT_EQ (model().sceneCount, 2);
        EXPECT_EQ (model().snapshotCount, (row.modelMask & 4) != 0 ? 3 : 0);
        EXPECT_EQ (model().selectorPort, row.ports);

        for (int t = 0; t < 3; ++t)
        {
            const bool read = t == 0 || (row.modelMask & (1 << t)) != 0;
            EXPECT_EQ (fieldsOf (model().selectors[t]),
                       fieldsOf (read ? c.selectors[(size_t) t] : Interface::Selector {}))
                << "selector " << t + 1;
        }

        EXPECT_EQ (itemsOf (mc().selectorCombo), row.selectorItems);
        EXPECT_EQ (mc().selectorCombo.getSelectedId(), (row.modelMask & 1) != 0 ? 1 : 0);
        EXPECT_EQ (mc().minPresetCombo.getItemText (0), "1 - P1");
        EXPECT_EQ (model().routingPort, 1);
        EXPECT_EQ (model().currentSelector, 1);
        EXPECT_EQ (mc().requestState, MainComponent::Idle);
        EXPECT_TRUE (mc().settingsLoaded);
    }
}

TEST_F (SettingsRead, WithNoRowSelectedGetSettingsDoesNothing)
{
    iface = addInterface (smallInterface());
    makeComponent();
    ASSERT_TRUE (search());
    iface->clearReceived();
    const auto transaction = mc().device.sysex.transactionId;

    // Straight to the handler: the greyed button would not pass the click on.
    mc().buttonClicked (&mc().getSettingsButton);
    settle();
    EXPECT_EQ (mc().requestState, MainComponent::Idle);
    EXPECT_EQ (mc().device.sysex.transactionId, transaction);
    EXPECT_EQ (mc().device.sysex.serialNumber, 0u);
    EXPECT_TRUE (iface->getReceived().empty());
}

TEST_F (SettingsRead, ModelAndEditorShowEveryKindOfPortRouteAndSelector)
{
    auto c = smallInterface();
    c.selectorMask = 0x07;
    c.snapshotCount = 2;
    c.ports = { port (1, 1, 1, { 0x00, 0x02 }),
                port (5, 0, 1),
                port (1, 2, 0, { 0xA5, 0x01 }),
                port (1, 0, 3),
                port (1, 0, 0),
                port (2, 1, 2, { 0x21, 0x02 }),
                port (3, 3, 4),
                port (4, 5, 6),
                port (5, 0, 2),
                port (5, 0, 1),
                port (5, 0, 3),
                port (5, 0, 4),
                port (0, 1, 1),
                port (6, 1, 1) };
    c.selectors[0] = { 1, 1, 1, 0, 0xFFFF, 1, 3, 2, 7, 8, 0, 127, 64, 2, 3 };
    c.selectors[1] = { 0, 1, 0, 1, 0x8001, 2, 1, 1, 0, 127, 5, 6, 7, 1, 2 };
    c.selectors[2] = { 1, 0, 0, 0, 0x0100, 1, 2, 3, 4, 5, 6, 7, 8, 2, 1 };
    ASSERT_TRUE (begin (c));
    ASSERT_FALSE (mc().ccModeCombo.isVisible());

    // The editor is loaded while the last route reply is still being handled.
    struct Watch : juce::ComponentListener
    {
        void componentVisibilityChanged (juce::Component&) override
        {
            seen.push_back ({ owner->requestState, owner->settingsLoaded });
        }
        MainComponent* owner;
        std::vector<std::pair<int, bool>> seen;
    } watch;
    watch.owner = &mc();
    mc().ccModeCombo.addComponentListener (&watch);
    ASSERT_TRUE (getSettings());
    mc().ccModeCombo.removeComponentListener (&watch);
    ASSERT_FALSE (watch.seen.empty());
    EXPECT_EQ (watch.seen.front(), std::make_pair ((int) MainComponent::ReadingRouteInfo, false));

    const char* const names[] = {
        "DIN 1",   "Preset Selector",  "DIN in 2",        "DIN out 3",          "DIN out 0", "USBD 1-2", "USBH 3-4",
        "RTP 5-6", "Failover Control", "Preset Selector", "Automation Control", "",          "",         ""
    };
    const int routed[] = { 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0 };

    for (int k = 0; k < 14; ++k)
    {
        const auto& r = model().ports[k];
        const auto& expected = c.ports[(size_t) k];
        EXPECT_EQ (r.number, k + 1);
        EXPECT_EQ (r.name, names[k]) << "port " << k + 1;
        EXPECT_EQ (std::make_tuple (r.type, r.numberA, r.numberB),
                   std::make_tuple (expected.type, expected.numberA, expected.numberB))
            << "port " << k + 1;
        EXPECT_TRUE (std::equal (std::begin (r.routeMask), std::end (r.routeMask), expected.routeMask.begin()))
            << "port " << k + 1;
        EXPECT_EQ (r.routedToSelectors, routed[k]) << "port " << k + 1;
    }

    EXPECT_EQ (model().ports[14].number, 0);
    EXPECT_EQ (
        std::make_tuple ((int) model().selectorPort, (int) model().selectorRouteByte, (int) model().selectorRouteBit),
        std::make_tuple (10, 1, 0x02));
    EXPECT_EQ (model().presets[2].number, 3);
    EXPECT_EQ (model().presets[2].name, "Lead");

    for (int t = 0; t < 3; ++t)
        EXPECT_EQ (fieldsOf (model().selectors[t]), fieldsOf (c.selectors[(size_t) t])) << "selector " << t + 1;

    EXPECT_EQ (itemsOf (mc().midiInputPortCombo), "1:* DIN 1|3:DIN in 2|6:* USBD 1-2|7:USBH 3-4|8:RTP 5-6");
    EXPECT_EQ (mc().midiInputPortCombo.getSelectedId(), 1);
    EXPECT_TRUE (mc().routeToAllSelectorsToggle.getToggleState());
    EXPECT_EQ (itemsOf (mc().minPresetCombo), "1:1 - Clean|2:2 - Crunch|3:3 - Lead");
    EXPECT_EQ (mc().maxPresetCombo.getText(), "3 - Lead");
    EXPECT_EQ (mc().ccId2Combo.getText(), "008 Balance");
    EXPECT_TRUE (mc().channelCheckboxes[15].getToggleState());
    EXPECT_TRUE (mc().wraparoundToggle.isVisible());
}

TEST_F (SettingsRead, WithNoPresetsOrPortsTheFirstOfEachIsStillAskedForAndNotStored)
{
    Interface::Config c;
    c.selectors[0] = { 1, 0, 0, 0, 0x0003, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 };
    ASSERT_TRUE (begin (c));
    ASSERT_TRUE (getSettings());

    EXPECT_EQ (requestsOf (*iface), "MIDIInfo DeviceInfo preset1 port1 selector40@0 route1");
    EXPECT_EQ (model().presets[0].number, 0);
    EXPECT_EQ (model().ports[0].number, 0);
    EXPECT_EQ (model().selectorPort, 0);
    EXPECT_EQ (fieldsOf (model().selectors[0]), fieldsOf (c.selectors[0]));
    EXPECT_EQ (mc().midiInputPortCombo.getNumItems(), 0);
    EXPECT_EQ (mc().minPresetCombo.getNumItems(), 0);
    EXPECT_TRUE (mc().enableToggle.getToggleState());
    EXPECT_EQ (std::make_pair ((int) model().routingPort, (int) model().currentSelector), std::make_pair (1, 1));
}

TEST_F (SettingsRead, PresetNamesAreStoredUnderTheirOwnNumberFromInsideTheFrameOnly)
{
    auto c = smallInterface();
    c.reportedPresetCount = 6;
    ASSERT_TRUE (begin (c));
    iface->setFault (Request::presetName, noReply());
    ASSERT_TRUE (readUntil (MainComponent::ReadingPresetNames));

    struct Row
    {
        int number, entryLength;
        std::string text;
    };

    const Row replies[] = {
        { 1, 7, std::string ("A\0B\0C", 5) }, // zero bytes add nothing
        { 4, 6, "Lead" }, // another number than asked for
        { 3, 2, "" }, // no text at all
        { 2, 0, "XY" }, // entry length below 2: nothing taken
        { 5, 255, "Tail" }, // promises more than the frame holds
        { 33, 6, "Gone" }, // outside the count
    };

    for (size_t k = 0; k < std::size (replies); ++k)
    {
        EXPECT_EQ (mc().device.itemIndex, (int) k + 1);
        feed (presetReply (
            replies[k].number, replies[k].entryLength, Bytes (replies[k].text.begin(), replies[k].text.end())));
    }

    ASSERT_TRUE (harness::pumpUntil ([this] { return mc().settingsLoaded; }));
    EXPECT_TRUE (
        requestsOf (*iface).startsWith ("MIDIInfo DeviceInfo preset1 preset2 preset3 preset4 preset5 preset6 port1 "));

    const std::pair<int, const char*> stored[] = { { 1, "ABC" },  { 2, "" },     { 3, "" },
                                                   { 4, "Lead" }, { 5, "Tail" }, { 0, "" } };

    for (int k = 0; k < 6; ++k)
        EXPECT_EQ (std::make_pair ((int) model().presets[k].number, model().presets[k].name),
                   std::make_pair (stored[k].first, juce::String (stored[k].second)))
            << "preset " << k + 1;

    EXPECT_EQ (itemsOf (mc().minPresetCombo), "1:1 - ABC|2:2 - |3:3 - |4:4 - Lead|5:5 - Tail");
}

TEST_F (SettingsRead, NumbersBeyondTheModelAreAskedForButNeverStored)
{
    auto c = smallInterface();
    c.reportedPresetCount = 40;
    c.reportedPortCount = 100; // 13 route bytes in every route reply, one more than the model holds
    c.ports[0].routeMask[11] = 0x80;
    ASSERT_TRUE (begin (c));

    Fault preset;
    preset.number = 33;
    preset.times = 1;
    Fault port;
    port.number = 97;
    port.times = 1;
    iface->setFault (Request::presetName, preset);
    iface->setFault (Request::portInfo, port);
    ASSERT_TRUE (getSettings (20000));

    EXPECT_EQ (iface->getRequestCount (Request::presetName), 40);
    EXPECT_EQ (iface->getRequestCount (Request::portInfo), 100);
    EXPECT_EQ (iface->getRequestCount (Request::routeInfo), 100);
    EXPECT_EQ (std::make_pair ((int) model().presetCount, (int) model().portCount), std::make_pair (40, 100));

    EXPECT_EQ (model().presets[0].number, 0) << "preset 1's reply named preset 33";
    EXPECT_EQ (model().ports[0].number, 0) << "port 1's reply named port 97";

    for (int k = 1; k < 32; ++k)
        EXPECT_EQ (model().presets[k].number, k + 1);

    for (int k = 1; k < 96; ++k)
        EXPECT_EQ (model().ports[k].number, k + 1);

    EXPECT_EQ (model().ports[0].routeMask[0], 0x08);
    EXPECT_EQ (model().ports[0].routeMask[11], 0x80);
    EXPECT_EQ (model().ports[0].routedToSelectors, 1);
    EXPECT_EQ (model().selectorPort, 4);
    EXPECT_EQ (mc().minPresetCombo.getNumItems(), 31);
    EXPECT_EQ (itemsOf (mc().midiInputPortCombo), "2:DIN in 2|3:USBD 1-1");
    EXPECT_TRUE (mc().settingsLoaded);
}

TEST_F (SettingsRead, RouteNibblesFillOnlyWhatTheModelAndTheFrameHold)
{
    Interface::Config c;
    c.presetNames = { "One" };

    for (int k = 1; k <= 8; ++k)
        c.ports.push_back (port (1, k, 0));

    c.ports.push_back (port (5, 0, 1)); // port 9: route byte 1, bit 01
    ASSERT_TRUE (begin (c));
    iface->setFault (Request::routeInfo, noReply());
    ASSERT_TRUE (readUntil (MainComponent::ReadingRouteInfo));

    const Bytes thirty (30, 0x1F);
    const std::pair<int, Bytes> replies[] = {
        { 3, routeReply (3, 4, { 0x01, 0x02 }) },
        { 1, routeReply (1, 32, thirty) }, // 30 nibbles, upper bits set: 12 route bytes FF
        { 2, routeReply (2, 0, { 0x0F, 0x0F }) },
        { 2, routeReply (2, 1, { 0x0F, 0x0F }) },
        { 4, routeReply (4, 30, { 0x0A, 0x05, 0x01, 0x00 }) }, // promises 28 nibbles, holds 4
        { 5, routeReply (5, 3, { 0x03, 0x04 }) }, // one nibble counted: its pair is still taken
        { 6, routeReply (6, 3, { 0x07 }) }, // the pair's second byte is not in the frame
        { 0, routeReply (0, 4, { 0x0F, 0x0F }) },
        { 10, routeReply (10, 4, { 0x0F, 0x0F }) },
    };

    for (auto& [portNumber, payload] : replies)
    {
        SCOPED_TRACE ("reply for port " + std::to_string (portNumber));
        feed (payload);
    }

    ASSERT_TRUE (harness::pumpUntil ([this] { return mc().settingsLoaded; }));
    settle();
    EXPECT_EQ (requestsOf (*iface).fromFirstOccurrenceOf ("selector40@9 ", false, false),
               "route1 route2 route3 route4 route5 route6 route7 route8 route9");

    std::array<std::array<juce::uint8, 12>, 10> expected {};
    expected[0].fill (0xFF);
    expected[2][0] = 0x21;
    expected[3][0] = 0x5A;
    expected[3][1] = 0x01;
    expected[4][0] = 0x43;
    const int routed[] = { 1, 0, 0, 1, 0, 0, 0, 0, 0, 0 };

    for (int k = 0; k < 10; ++k)
    {
        const auto& r = model().ports[k];
        EXPECT_TRUE (std::equal (std::begin (r.routeMask), std::end (r.routeMask), expected[(size_t) k].begin()))
            << "port " << k + 1 << ": " << juce::String::toHexString (r.routeMask, 12);
        EXPECT_EQ (r.routedToSelectors, routed[k]) << "port " << k + 1;
    }

    EXPECT_EQ (model().ports[9].number, 0);
}

TEST_F (SettingsRead, SelectorRepliesOfAnotherIdOrPortWaitForTheTimeOutAndALateReplyGoesOn)
{
    ASSERT_TRUE (begin (smallInterface()));
    harness::AlertCatcher catcher;
    Fault otherPort;
    otherPort.number = 3;
    otherPort.times = 1;
    iface->setFault (Request::selectorInfo, otherPort);
    ASSERT_TRUE (readUntil (MainComponent::ReadingSelectorInfo));
    settle();

    feed (selectorReply (4, 0x43, 0x0F, 0xFFFF, { 1, 1, 1, 1, 1, 1, 1, 1, 1, 1 }));
    settle();
    EXPECT_EQ (mc().requestState, MainComponent::ReadingSelectorInfo);
    EXPECT_EQ (iface->getRequestCount (Request::selectorInfo), 1);
    EXPECT_EQ (fieldsOf (model().selectors[0]), fieldsOf (Interface::Selector {}));
    EXPECT_EQ (fieldsOf (model().selectors[1]), fieldsOf (Interface::Selector {}));

    ASSERT_TRUE (harness::pumpUntil ([&catcher] { return ! catcher.alerts.empty(); }));
    EXPECT_EQ (catcher.alerts[0].title, "Time Out Error");
    EXPECT_EQ (catcher.alerts[0].message, timeOutMessage);
    EXPECT_EQ (catcher.alerts[0].buttons, juce::StringArray ("Shucks"));
    EXPECT_EQ (mc().requestState, MainComponent::ReadingSelectorInfo);

    // Scene's ID while Preset's was asked for: Scene's record is filled, and the next request is
    // chosen as after Preset's.
    feed (selectorReply (4, 0x41, 0x03, 0x0102, { 1, 2, 3, 4, 5, 6, 7, 8, 1, 2 }));
    EXPECT_EQ (fieldsOf (model().selectors[1]),
               fieldsOf (Interface::Selector { 1, 1, 0, 0, 0x0102, 1, 2, 3, 4, 5, 6, 7, 8, 1, 2 }));
    EXPECT_EQ (mc().device.readingSelector, 0x41);
    EXPECT_EQ (fieldsOf (model().selectors[0]), fieldsOf (Interface::Selector {}));

    ASSERT_TRUE (harness::pumpUntil ([this] { return mc().settingsLoaded; }));
    EXPECT_EQ (
        requestsOf (*iface),
        "MIDIInfo DeviceInfo preset1 preset2 preset3 port1 port2 port3 port4 selector40@4 selector41@4 route1 route2 route3 route4");
    EXPECT_EQ (fieldsOf (model().selectors[1]), fieldsOf (iface->getSelector (1)));
    EXPECT_EQ (catcher.alerts.size(), 1u);
}

TEST_F (SettingsRead, AReplyArrivingWhileTheTimeOutAlertIsOpenCarriesTheReadOn)
{
    ASSERT_TRUE (begin (smallInterface()));
    harness::AlertCatcher catcher (2500);
    Fault late;
    late.delayMs = 1400;
    late.times = 1;
    iface->setFault (Request::deviceInfo, late);

    bool loadedWhileOpen = false;
    Probe probe ([&] { loadedWhileOpen = loadedWhileOpen || (catcher.openCount() == 1 && mc().settingsLoaded); });
    harness::click (mc().getSettingsButton);

    ASSERT_TRUE (harness::pumpUntil ([this] { return mc().settingsLoaded; }, 10000));
    EXPECT_TRUE (loadedWhileOpen);
    ASSERT_EQ (catcher.alerts.size(), 1u);
    EXPECT_EQ (catcher.alerts[0].title, "Time Out Error");
    EXPECT_EQ (model().presets[2].name, "Lead");
    EXPECT_EQ (mc().requestState, MainComponent::Idle);
}

TEST_F (SettingsRead, GetSettingsInTheMiddleOfAReadStartsAgainInANewSession)
{
    ASSERT_TRUE (begin (smallInterface()));
    Fault stuck = noReply();
    stuck.times = 1;
    iface->setFault (Request::portInfo, stuck);
    ASSERT_TRUE (readUntil (MainComponent::ReadingPortInfo));
    ASSERT_EQ (model().presets[0].name, "Clean");
    const auto oldSession = mc().device.sysex.sessionId;

    settle(); // the unanswered request is still on its way to the interface: let it arrive before clearing

    iface->setFault (Request::midiInfo, stuck);
    iface->clearReceived();
    harness::click (mc().getSettingsButton);
    const auto newSession = mc().device.sysex.sessionId;

    EXPECT_NE (newSession, oldSession);
    EXPECT_LE (newSession, 0x0FFFFFFFu);
    EXPECT_EQ (mc().requestState, MainComponent::ReadingMidiInfo);
    EXPECT_EQ (model().presetCount, 0);
    EXPECT_EQ (model().presets[0].name, "");

    feed (midiInfoReply (9, 7), oldSession);
    EXPECT_EQ (mc().requestState, MainComponent::ReadingMidiInfo) << "a reply of the old session";
    EXPECT_EQ (model().portCount, 0);

    feed (midiInfoReply (4, 3), newSession);
    EXPECT_EQ (mc().requestState, MainComponent::ReadingDeviceInfo);
    ASSERT_TRUE (
        harness::pumpUntil ([this] { return mc().settingsLoaded && mc().requestState == MainComponent::Idle; }));
    EXPECT_EQ (
        requestsOf (*iface),
        "MIDIInfo DeviceInfo preset1 preset2 preset3 port1 port2 port3 port4 selector40@4 selector41@4 route1 route2 route3 route4");
    EXPECT_EQ (model().presets[0].name, "Clean");
}
} // namespace
