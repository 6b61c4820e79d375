#include "InterfaceTest.h"
#include "protocol/DeviceDiscoveryItem.h"
#include "protocol/SXMessages.h"

namespace
{
using Bytes = std::vector<juce::uint8>;

Bytes rawBytes (const juce::MidiMessage& m) { return Bytes (m.getRawData(), m.getRawData() + m.getRawDataSize()); }

void expectSameRecord (const zun::SelectorSettings& read, const sim::SimulatedInterface::Selector& kept)
{
    sim::SimulatedInterface::Selector s;
    s.enabled = read.enabled;
    s.useControlChange = read.useControlChange;
    s.wraparound = read.wraparound;
    s.invert = read.invert;
    s.channelMask = read.channelMask;
    s.minPreset = read.minPreset;
    s.maxPreset = read.maxPreset;
    s.ccMode = read.ccMode;
    s.ccId1 = read.ccId1;
    s.ccId2 = read.ccId2;
    s.minValue = read.minValue;
    s.maxValue = read.maxValue;
    s.onValue = read.onValue;
    s.offPreset = read.offPreset;
    s.onPreset = read.onPreset;
    EXPECT_TRUE (s == kept);
}

juce::String nameIn (const Bytes& payload, size_t from, size_t count)
{
    juce::String name;

    for (size_t i = 0; i < count; ++i)
        name += (juce::juce_wchar) payload[from + i];

    return name;
}
} // namespace

using SimulatedInterfaceTest = InterfaceTest;

TEST_F (SimulatedInterfaceTest, DiscoveryReplyHasTheAcceptedShapeAndTheInterfacesIdentity)
{
    auto c = config();
    c.productId = 0x3fff;
    c.serialNumber = 0xf1234567; // the top four bits travel in a byte of their own
    start (c);

    host.device.sysex.CreateMessage (SXMessage_GetProductName, 7); // so the discovery frame has transaction ID 1
    const auto request = host.device.sysex.CreateMessage (SXMessage_DeviceDiscovery, 10);
    const auto replies = host.exchange (request);
    ASSERT_EQ (replies.size(), 1u);

    EXPECT_TRUE (hasLayout (replies[0], 23, { { 0, 0x41 }, { 1, 0x01 }, { 16, 0x01 }, { 20, 0x02 }, { 22, 0x09 } }));
    const auto sent = rawBytes (request);
    const auto got = rawBytes (replies[0]);
    EXPECT_EQ (Bytes (got.begin() + 12, got.begin() + 20), Bytes (sent.begin() + 12, sent.begin() + 20))
        << "session and transaction echoed";
    EXPECT_EQ (got[19], 1);

    zun::DeviceDiscoveryItem found;
    found.AddDevice (replies[0], 0, 0);
    ASSERT_EQ (found.devices.size(), 1);
    EXPECT_EQ (found.devices[0]->productId, 0x3fff);
    EXPECT_EQ (found.devices[0]->serialNumber, 0xf1234567u);
}

TEST_F (SimulatedInterfaceTest, ProductNameReplyMatchesAFrameBuiltByHand)
{
    start();
    const auto reply = host.ask (SXMessage_GetProductName, 7);

    // Identity 0102 / 3, session 0, transaction 0 (the first frame built), payload length 11:
    // 43 02, one block of 8 bytes: ArgValBlock, one entry of length 5: ID 01, "Hub".
    // Checksum: bytes 5 to 32 sum to 02+02+03+0B + 43+02+01+08+03+01+05+01+48+75+62 = 393;
    // 393 mod 128 = 9, so the checksum is 128 - 9 = 119 = 77 (hex).
    const Bytes expected { 0xf0, 0x00, 0x3a, 0x5c, 0x7d, 0x02, 0x02, 0x00, 0x00, 0x00, 0x00, 0x03,
                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0b, 0x43, 0x02,
                           0x01, 0x08, 0x03, 0x01, 0x05, 0x01, 0x48, 0x75, 0x62, 0x77, 0xf7 };
    EXPECT_EQ (rawBytes (reply), expected);
    EXPECT_TRUE (hasLayout (reply, 11, { { 0, 0x43 }, { 1, 0x02 }, { 4, 0x03 }, { 7, 0x01 } }));
}

TEST_F (SimulatedInterfaceTest, PortInfoReplyMatchesAFrameBuiltByHand)
{
    start();
    address();
    SXMessage_GetSettingsMIDIPortInfo[7] = 2;
    const auto reply = host.ask (SXMessage_GetSettingsMIDIPortInfo, 13);

    // Session 105 travels as 00 00 02 05. Payload (18): 43 06 02, SubIdBlock 05 04 01 05 02, then
    // ArgValBlock 0A 03 02 with entries 03 01 <type 2> and 04 02 <A 1> <B 2>.
    // Sum: 02+02+03+02+05+12 = 32, payload 122, total 154; 154 mod 128 = 26, checksum 102 = 66.
    const Bytes expected { 0xf0, 0x00, 0x3a, 0x5c, 0x7d, 0x02, 0x02, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00,
                           0x02, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12, 0x43, 0x06, 0x02, 0x05, 0x04, 0x01,
                           0x05, 0x02, 0x0a, 0x03, 0x02, 0x03, 0x01, 0x02, 0x04, 0x02, 0x01, 0x02, 0x66, 0xf7 };
    EXPECT_EQ (rawBytes (reply), expected);
}

TEST_F (SimulatedInterfaceTest, CountRepliesHaveTheirExactLayouts)
{
    start();
    address();

    const auto midiInfo = host.ask (SXMessage_GetSettingsMI, 8);
    ASSERT_TRUE (hasLayout (midiInfo, 13, { { 0, 0x43 }, { 1, 0x05 }, { 4, 0x03 }, { 7, 0x01 }, { 10, 0x15 } }));
    EXPECT_EQ (HostSide::payloadOf (midiInfo)[8], 3);
    EXPECT_EQ (HostSide::payloadOf (midiInfo)[11], 7);

    const auto deviceInfo = host.ask (SXMessage_GetSettingsDI, 8);
    ASSERT_TRUE (hasLayout (deviceInfo, 12, { { 0, 0x43 }, { 1, 0x02 }, { 4, 0x03 }, { 7, 0x14 }, { 10, 0x17 } }));
    EXPECT_EQ (HostSide::payloadOf (deviceInfo)[8], 2);
    EXPECT_EQ (HostSide::payloadOf (deviceInfo)[11], 5);

    const auto audioInfo = host.ask (SXMessage_GetSettingsAI, 7);
    ASSERT_TRUE (hasLayout (audioInfo, 9, { { 0, 0x43 }, { 1, 0x08 }, { 4, 0x03 }, { 7, 0x13 } }));
    EXPECT_EQ (HostSide::payloadOf (audioInfo)[8], 3);
}

TEST_F (SimulatedInterfaceTest, ShortMidiInfoReplyLeavesOutTheSelectorMask)
{
    auto c = config();
    c.reportsSelectorMask = false;
    start (c);
    address();

    const auto reply = host.ask (SXMessage_GetSettingsMI, 8);
    ASSERT_TRUE (hasLayout (reply, 9, { { 0, 0x43 }, { 1, 0x05 }, { 4, 0x03 }, { 7, 0x01 } }));
    EXPECT_EQ (HostSide::payloadOf (reply)[8], 3);
}

TEST_F (SimulatedInterfaceTest, PresetAndPortRepliesCarryTheNumbersAskedFor)
{
    start();
    address();
    const juce::StringArray names { "Clean", "Lead Boost", "" }; // preset 3 does not exist

    for (int n = 1; n <= 3; ++n)
    {
        SXMessage_GetSettingsPresetName[7] = (unsigned char) n;
        const auto reply = host.ask (SXMessage_GetSettingsPresetName, 12);
        const auto length = 13 + names[n - 1].length();
        ASSERT_TRUE (hasLayout (reply,
                                length,
                                { { 0, 0x43 },
                                  { 1, 0x03 },
                                  { 4, 0x04 },
                                  { 6, 0x09 },
                                  { 7, n },
                                  { 9, 0x03 },
                                  { 11, 2 + names[n - 1].length() },
                                  { 12, 0x02 } }));
        EXPECT_EQ (nameIn (HostSide::payloadOf (reply), 13, (size_t) names[n - 1].length()), names[n - 1]);
    }

    const int expected[][3] = { { 1, 1, 0 }, { 2, 1, 2 }, { 5, 0, 1 }, { 0, 0, 0 } }; // port 4 does not exist

    for (int p = 1; p <= 4; ++p)
    {
        SXMessage_GetSettingsMIDIPortInfo[7] = (unsigned char) p;
        const auto reply = host.ask (SXMessage_GetSettingsMIDIPortInfo, 13);
        const auto* e = expected[p - 1];
        EXPECT_TRUE (hasLayout (reply,
                                18,
                                { { 0, 0x43 },
                                  { 1, 0x06 },
                                  { 4, 0x04 },
                                  { 6, 0x05 },
                                  { 7, p },
                                  { 9, 0x03 },
                                  { 12, 0x01 },
                                  { 13, e[0] },
                                  { 15, 0x02 },
                                  { 16, e[1] },
                                  { 17, e[2] } }));
    }
}

TEST_F (SimulatedInterfaceTest, SelectorRepliesCarryEachRecordForThePortAskedAbout)
{
    start();
    address();

    for (int id = 0x40; id <= 0x42; ++id)
    {
        SXMessage_GetSettingsPresetSelectorInfo[7] = 3;
        SXMessage_GetSettingsPresetSelectorInfo[11] = (unsigned char) id;
        const auto reply = host.ask (SXMessage_GetSettingsPresetSelectorInfo, 12);
        ASSERT_TRUE (hasLayout (
            reply, 39, { { 0, 0x43 }, { 1, 0x06 }, { 4, 0x04 }, { 6, 0x05 }, { 7, 3 }, { 9, 0x03 }, { 12, id } }));

        zun::SelectorSettings record;
        ASSERT_TRUE (zun::ReadSelectorSettings (HostSide::payloadOf (reply).data(), 39, record));
        expectSameRecord (record, config().selectors[(size_t) (id - 0x40)]);
    }

    // No "Preset Selector" port known: the program asks about port 0 and gets port 0 back.
    SXMessage_GetSettingsPresetSelectorInfo[7] = 0;
    SXMessage_GetSettingsPresetSelectorInfo[11] = 0x40;
    EXPECT_TRUE (hasLayout (host.ask (SXMessage_GetSettingsPresetSelectorInfo, 12), 39, { { 7, 0 }, { 12, 0x40 } }));
}

TEST_F (SimulatedInterfaceTest, RouteRepliesCarryNibblesForEveryReportedPort)
{
    start();
    address();
    SXMessage_GetSettingsMIDIRouteInfo[7] = 1;
    const auto reply = host.ask (SXMessage_GetSettingsMIDIRouteInfo, 12);

    // Three ports need one route byte: A5 as 05 0A; the second byte (3C) is not sent.
    ASSERT_TRUE (hasLayout (reply,
                            15,
                            { { 0, 0x43 },
                              { 1, 0x06 },
                              { 4, 0x04 },
                              { 6, 0x05 },
                              { 7, 1 },
                              { 9, 0x03 },
                              { 11, 4 },
                              { 12, 0x18 },
                              { 13, 0x05 },
                              { 14, 0x0a } }));
    juce::uint8 mask[12] {};
    EXPECT_EQ (zun::ReadRouteMask (HostSide::payloadOf (reply).data(), 15, mask), 1);
    EXPECT_EQ (mask[0], 0xa5);

    TearDown();
    auto c = config();
    c.reportedPortCount = 9; // two route bytes
    start (c);
    address();
    const auto longer = host.ask (SXMessage_GetSettingsMIDIRouteInfo, 12);
    ASSERT_TRUE (hasLayout (longer, 17, { { 11, 6 }, { 12, 0x18 }, { 15, 0x0c }, { 16, 0x03 } }));
}

TEST_F (SimulatedInterfaceTest, WritesChangeItsStateAndAreAcknowledged)
{
    start();
    address();
    const Bytes writeAck { 0x40, 0x00, 0x10, 0x00, 0x00 };

    zun::SelectorSettings record;
    record.enabled = 1;
    record.useControlChange = 1;
    record.wraparound = 1;
    record.invert = 1;
    record.channelMask = 0x8421;
    record.minPreset = 2;
    record.maxPreset = 4;
    record.ccMode = 3;
    record.ccId1 = 64;
    record.ccId2 = 65;
    record.minValue = 1;
    record.maxValue = 126;
    record.onValue = 100;
    record.offPreset = 3;
    record.onPreset = 5;
    zun::WriteSelectorSettings (SXMessage_SetPresetSelectorInfo, record, 3, 2);
    auto reply = host.ask (SXMessage_SetPresetSelectorInfo, 39);
    ASSERT_TRUE (hasLayout (reply, 5, { { 0, 0x40 }, { 1, 0x00 } }));
    EXPECT_EQ (HostSide::payloadOf (reply), writeAck);
    EXPECT_TRUE (iface->getSelector (0) == config().selectors[0]) << "only the Scene record was written";

    // Read back through the program's own reader: the record survives the round trip.
    SXMessage_GetSettingsPresetSelectorInfo[7] = 3;
    SXMessage_GetSettingsPresetSelectorInfo[11] = 0x41;
    zun::SelectorSettings readBack;
    ASSERT_TRUE (zun::ReadSelectorSettings (
        HostSide::payloadOf (host.ask (SXMessage_GetSettingsPresetSelectorInfo, 12)).data(), 39, readBack));
    expectSameRecord (readBack, iface->getSelector (1));
    expectSameRecord (record, iface->getSelector (1));

    const juce::uint8 routes[12] = { 0x5a, 0x77 };
    const int length = zun::WriteRouteMask (SXMessage_SetMIDIRouteInfo, 2, routes, 3);
    EXPECT_EQ (HostSide::payloadOf (host.ask (SXMessage_SetMIDIRouteInfo, length)), writeAck);
    EXPECT_EQ (iface->getRouteMask (2)[0], 0x5a);
    EXPECT_EQ (iface->getRouteMask (2)[1], 0x00) << "route bytes not sent keep their value";
    EXPECT_EQ (iface->getRouteMask (1)[0], 0xa5);

    const Bytes storeAck { 0x40, 0x00, 0x11, 0x00, 0x00 };
    EXPECT_EQ (HostSide::payloadOf (host.ask (SXMessage_SaveGlobals, 10)), storeAck);
    EXPECT_EQ (HostSide::payloadOf (host.ask (SXMessage_SaveGlobals, 10)), storeAck);
    EXPECT_EQ (iface->getStoreCount(), 2);
    EXPECT_EQ (iface->getRequestCount (Interface::Request::store), 2);
}

TEST_F (SimulatedInterfaceTest, WritesItCannotCarryOutAreRefused)
{
    start();
    address();

    const juce::uint8 routes[12] = { 0xff };
    const int length = zun::WriteRouteMask (SXMessage_SetMIDIRouteInfo, 7, routes, 3); // no port 7
    auto payload = HostSide::payloadOf (host.ask (SXMessage_SetMIDIRouteInfo, length));
    EXPECT_EQ (payload, Bytes ({ 0x40, 0x00, 0x10, 0x00, 18 })); // SubIDValueInvalid

    zun::SelectorSettings record;
    record.enabled = 1;
    zun::WriteSelectorSettings (SXMessage_SetPresetSelectorInfo, record, 3, 1);
    SXMessage_SetPresetSelectorInfo[12] = 0x43; // no such selector
    payload = HostSide::payloadOf (host.ask (SXMessage_SetPresetSelectorInfo, 39));
    ASSERT_EQ (payload.size(), 5u);
    EXPECT_EQ (payload[2], 0x10);
    EXPECT_NE (payload[4], 0);

    const auto state = iface->getState();
    for (size_t i = 0; i < 3; ++i)
        EXPECT_TRUE (state.selectors[i] == config().selectors[i]);
}

TEST_F (SimulatedInterfaceTest, AnswersOnlyRequestsMeantForIt)
{
    start();

    // Unaddressed: discovery and product name only.
    EXPECT_EQ (host.exchange (host.device.sysex.CreateMessage (SXMessage_DeviceDiscovery, 10)).size(), 1u);
    EXPECT_EQ (host.exchange (host.device.sysex.CreateMessage (SXMessage_GetProductName, 7)).size(), 1u);
    EXPECT_TRUE (host.exchange (host.device.sysex.CreateMessage (SXMessage_GetSettingsMI, 8)).empty());
    EXPECT_TRUE (host.exchange (host.device.sysex.CreateMessage (SXMessage_SaveGlobals, 10)).empty());

    // Addressed to someone else: same serial number, other product, and the other way round.
    host.device.sysex.productId = 0x0103;
    host.device.sysex.serialNumber = 3;
    EXPECT_TRUE (host.exchange (host.device.sysex.CreateMessage (SXMessage_GetSettingsMI, 8)).empty());
    EXPECT_TRUE (host.exchange (host.device.sysex.CreateMessage (SXMessage_DeviceDiscovery, 10)).empty());
    host.device.sysex.productId = 0x0102;
    host.device.sysex.serialNumber = 0x10000003;
    EXPECT_TRUE (host.exchange (host.device.sysex.CreateMessage (SXMessage_GetSettingsMI, 8)).empty());

    address();
    EXPECT_EQ (host.exchange (host.device.sysex.CreateMessage (SXMessage_GetSettingsMI, 8)).size(), 1u);
    EXPECT_EQ (host.exchange (host.device.sysex.CreateMessage (SXMessage_DeviceDiscovery, 10)).size(), 1u);
    EXPECT_EQ (iface->getRequestCount (Interface::Request::midiInfo), 1);
    EXPECT_EQ (iface->getStoreCount(), 0);
    EXPECT_EQ (iface->getReceived().size(), 9u) << "every frame is kept, answered or not";
}

TEST_F (SimulatedInterfaceTest, BrokenFramesAreKeptButNotAnswered)
{
    start();
    const auto good = rawBytes (host.device.sysex.CreateMessage (SXMessage_GetProductName, 7));

    auto badChecksum = good;
    badChecksum[badChecksum.size() - 2] ^= 0x01;
    auto wrongLength = good;
    wrongLength[21] = 8;
    auto noEnd = good;
    noEnd.back() = 0x00;

    for (auto& bytes : { badChecksum, wrongLength, noEnd })
        EXPECT_TRUE (host.exchange (juce::MidiMessage (bytes.data(), (int) bytes.size())).empty());

    EXPECT_TRUE (host.exchange (juce::MidiMessage::programChange (1, 5)).empty());
    EXPECT_EQ (host.exchange (juce::MidiMessage (good.data(), (int) good.size())).size(), 1u);
    EXPECT_EQ (iface->getReceived().size(), 5u);
    EXPECT_EQ (iface->getRequestCount (Interface::Request::productName), 1);
}

TEST_F (SimulatedInterfaceTest, EachPortPairIsAnsweredOnItsOwnInput)
{
    start();
    const auto second = iface->attach ("Interface, second port");
    HostSide other;
    ASSERT_TRUE (other.open (second.input, second.output));

    ASSERT_EQ (other.exchange (other.device.sysex.CreateMessage (SXMessage_DeviceDiscovery, 10)).size(), 1u);
    EXPECT_TRUE (host.messages().empty());

    other.clear();
    ASSERT_EQ (host.exchange (host.device.sysex.CreateMessage (SXMessage_DeviceDiscovery, 10)).size(), 1u);
    EXPECT_TRUE (other.messages().empty());

    // One output answered on two inputs.
    iface->connect (pair.output, second.input);
    EXPECT_EQ (host.exchange (host.device.sysex.CreateMessage (SXMessage_DeviceDiscovery, 10)).size(), 1u);
    EXPECT_EQ (other.messages().size(), 1u);
    EXPECT_EQ (iface->getRequestCount (Interface::Request::discovery), 3);
    other.close();
}
