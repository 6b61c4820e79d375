#include "ProtocolTestUtils.h"

#include <gtest/gtest.h>
#include <protocol/PresetSelectorBlock.h>
#include <protocol/SXMessages.h>
#include <tuple>

using namespace quorvel_test;

namespace
{
template <size_t N>
Bytes Of (const unsigned char (&array)[N])
{
    return Bytes (array, array + N);
}

/** Working copies, so that no test depends on what another left in the shared templates. */
struct SelectorPayload
{
    SelectorPayload() { std::memcpy (bytes, SXMessage_SetPresetSelectorInfo, sizeof (bytes)); }
    unsigned char bytes[39];
};

struct RoutePayload
{
    RoutePayload() { std::memcpy (bytes, SXMessage_SetMIDIRouteInfo, sizeof (bytes)); }
    unsigned char bytes[37];
};

/** Switches 1 0 1 0, a channel mask with bits in all three groups, values 1 to 10. */
zun::SelectorSettings VariedRecord() { return { 1, 0, 1, 0, 0xA5C3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }; }

auto Fields (const zun::SelectorSettings& r)
{
    return std::tie (r.enabled,
                     r.useControlChange,
                     r.wraparound,
                     r.invert,
                     r.channelMask,
                     r.minPreset,
                     r.maxPreset,
                     r.ccMode,
                     r.ccId1,
                     r.ccId2,
                     r.minValue,
                     r.maxValue,
                     r.onValue,
                     r.offPreset,
                     r.onPreset);
}

bool SameRecord (const zun::SelectorSettings& a, const zun::SelectorSettings& b) { return Fields (a) == Fields (b); }
} // namespace

TEST (Templates, HoldTheStoredBytes)
{
    EXPECT_EQ (Of (SXMessage_DeviceDiscovery), (Bytes { 0x01, 0x01, 0x01, 0x07, 0x03, 0x01, 0x04, 0x01, 0x04, 0x00 }));
    EXPECT_EQ (Of (SXMessage_GetProductName), (Bytes { 0x03, 0x02, 0x01, 0x04, 0x01, 0x01, 0x01 }));
    EXPECT_EQ (Of (SXMessage_SaveGlobals), (Bytes { 0x11, 0x00, 0x01, 0x07, 0x06, 0x01, 0x04, 0x02, 0x02, 0x00 }));
    EXPECT_EQ (Of (SXMessage_GetSettingsMI), (Bytes { 0x03, 0x05, 0x01, 0x05, 0x01, 0x02, 0x01, 0x15 }));
    EXPECT_EQ (Of (SXMessage_GetSettingsDI), (Bytes { 0x03, 0x02, 0x01, 0x05, 0x01, 0x02, 0x14, 0x17 }));
    EXPECT_EQ (Of (SXMessage_GetSettingsPresetName),
               (Bytes { 0x03, 0x03, 0x02, 0x05, 0x04, 0x01, 0x09, 0xFF, 0x04, 0x01, 0x01, 0x02 }));
    EXPECT_EQ (Of (SXMessage_GetSettingsMIDIPortInfo),
               (Bytes { 0x03, 0x06, 0x02, 0x05, 0x04, 0x01, 0x05, 0xFF, 0x05, 0x01, 0x02, 0x01, 0x02 }));
    EXPECT_EQ (Of (SXMessage_GetSettingsMIDIRouteInfo),
               (Bytes { 0x03, 0x06, 0x02, 0x05, 0x04, 0x01, 0x05, 0xFF, 0x04, 0x01, 0x01, 0x18 }));
    EXPECT_EQ (Of (SXMessage_GetSettingsPresetSelectorInfo),
               (Bytes { 0x03, 0x06, 0x02, 0x05, 0x04, 0x01, 0x05, 0xFF, 0x04, 0x01, 0x01, 0xFF }));
    EXPECT_EQ (Of (SXMessage_GetSettingsAI), (Bytes { 0x03, 0x08, 0x01, 0x04, 0x01, 0x01, 0x13 }));
    EXPECT_EQ (Of (SXMessage_SetPresetSelectorInfo),
               (Bytes { 0x10, 0x06, 0x02, 0x05, 0x04, 0x01, 0x05, 0xFF, 0x1F, 0x03, 0x01, 0x1C, 0xFF,
                        0x01, 0xFF, 0x02, 0xFF, 0xFF, 0xFF, 0x03, 0xFF, 0x04, 0xFF, 0x05, 0xFF, 0x06,
                        0xFF, 0x07, 0xFF, 0x08, 0xFF, 0x09, 0xFF, 0x0A, 0xFF, 0x0B, 0xFF, 0x0C, 0xFF }));

    Bytes route { 0x10, 0x06, 0x02, 0x05, 0x04, 0x01, 0x05, 0xFF, 0xFF, 0x03, 0x01, 0xFF, 0x18 };
    route.resize (37, 0xFF);
    EXPECT_EQ (Of (SXMessage_SetMIDIRouteInfo), route);

    EXPECT_EQ (zun::SXLength::DeviceDiscovery, 10);
    EXPECT_EQ (zun::SXLength::GetSettingsMIDIPortInfo, 13);
    EXPECT_EQ (zun::SXLength::SetPresetSelectorInfo, 39);
}

TEST (SelectorWireForm, WritesEveryFieldAndLeavesStructureBytes)
{
    SelectorPayload payload;
    const auto record = VariedRecord();

    zun::WriteSelectorSettings (payload.bytes, record, 12, 2);

    auto expected = Of (SXMessage_SetPresetSelectorInfo);
    expected[7] = 12;
    expected[12] = 0x41; // Scene
    expected[14] = 0x05; // enabled, wraparound
    expected[16] = 0x02;
    expected[17] = 0x4B;
    expected[18] = 0x43;

    for (int i = 0; i < 10; ++i)
        expected[(size_t) (20 + 2 * i)] = (juce::uint8) (i + 1);

    EXPECT_EQ (Of (payload.bytes), expected);
}

TEST (SelectorWireForm, FlagsAndChannelMaskEdges)
{
    SelectorPayload payload;
    zun::SelectorSettings record;
    record.enabled = 1;
    record.useControlChange = 7; // any non-zero value counts as set
    record.wraparound = 1;
    record.invert = 1;
    record.channelMask = 0xFFFF;

    zun::WriteSelectorSettings (payload.bytes, record, 1, 1);
    EXPECT_EQ (payload.bytes[12], 0x40);
    EXPECT_EQ (payload.bytes[14], 0x0F);
    EXPECT_EQ (Bytes (payload.bytes + 16, payload.bytes + 19), (Bytes { 0x03, 0x7F, 0x7F }));

    zun::SelectorSettings read;
    ASSERT_TRUE (zun::ReadSelectorSettings (payload.bytes, 39, read));
    EXPECT_EQ (read.channelMask, 0xFFFF);
    EXPECT_EQ (read.enabled + read.useControlChange + read.wraparound + read.invert, 4);

    // Bits beyond 16 are dropped, and flag bits 4 to 7 mean nothing.
    payload.bytes[16] = 0x7F;
    payload.bytes[14] = 0xF5;
    ASSERT_TRUE (zun::ReadSelectorSettings (payload.bytes, 39, read));
    EXPECT_EQ (read.channelMask, 0xFFFF);
    EXPECT_EQ (read.enabled, 1);
    EXPECT_EQ (read.useControlChange, 0);
    EXPECT_EQ (read.wraparound, 1);
    EXPECT_EQ (read.invert, 0);
}

TEST (SelectorWireForm, ReplyRoundTripsIntoTheRecordItNames)
{
    SelectorPayload payload;
    zun::WriteSelectorSettings (payload.bytes, VariedRecord(), 3, 2);
    payload.bytes[0] = 0x43; // as the interface answers

    zun::PresetSelectorBlock block;
    auto* target = block.GetSelector (zun::SelectorTypeForId (payload.bytes[12]));
    ASSERT_EQ (target, &block.selectors[1]);
    ASSERT_TRUE (zun::ReadSelectorSettings (payload.bytes, 39, *target));
    EXPECT_TRUE (SameRecord (block.selectors[1], VariedRecord()));

    EXPECT_EQ (block.GetSelector (zun::SelectorTypeForId (0x43)), nullptr);
    EXPECT_EQ (block.GetSelector (zun::SelectorTypeForId (0x3F)), nullptr);

    // A reply one byte short is not read at all.
    auto untouched = VariedRecord();
    payload.bytes[20] = 0x55;
    EXPECT_FALSE (zun::ReadSelectorSettings (payload.bytes, 38, untouched));
    EXPECT_TRUE (SameRecord (untouched, VariedRecord()));
}

TEST (RouteWireForm, LengthFollowsThePortCount)
{
    const juce::uint8 mask[12] {};
    const std::pair<int, int> cases[] { { 0, 15 },  { 1, 15 },  { 8, 15 },  { 9, 17 },
                                        { 64, 29 }, { 65, 31 }, { 96, 37 }, { 255, 37 } };

    for (auto [portCount, length] : cases)
    {
        RoutePayload payload;
        EXPECT_EQ (zun::WriteRouteMask (payload.bytes, 5, mask, portCount), length) << portCount << " ports";

        const int n = (length - 13) / 2;
        EXPECT_EQ (payload.bytes[7], 5);
        EXPECT_EQ (payload.bytes[8], 2 * n + 5);
        EXPECT_EQ (payload.bytes[11], 2 * n + 2);
        EXPECT_EQ (payload.bytes[12], 0x18);
    }
}

TEST (RouteWireForm, NibblesGoLowFirstAndALaterShorterWriteLeavesTheRest)
{
    RoutePayload payload;
    juce::uint8 mask[12] {};

    for (int k = 0; k < 12; ++k)
        mask[k] = (juce::uint8) (0xA5 + k);

    zun::WriteRouteMask (payload.bytes, 1, mask, 96);
    EXPECT_EQ (payload.bytes[13], 0x05);
    EXPECT_EQ (payload.bytes[14], 0x0A);
    EXPECT_EQ (payload.bytes[35], 0x00); // B0: the twelfth route byte
    EXPECT_EQ (payload.bytes[36], 0x0B);

    const auto afterLongWrite = Of (payload.bytes);
    mask[0] = 0x3C;
    mask[1] = 0xFF;
    EXPECT_EQ (zun::WriteRouteMask (payload.bytes, 2, mask, 9), 17);

    EXPECT_EQ (Bytes (payload.bytes + 13, payload.bytes + 17), (Bytes { 0x0C, 0x03, 0x0F, 0x0F }));
    EXPECT_EQ (Bytes (payload.bytes + 17, payload.bytes + 37),
               Bytes (afterLongWrite.begin() + 17, afterLongWrite.end()));

    juce::uint8 readBack[12] {};
    EXPECT_EQ (zun::ReadRouteMask (payload.bytes, 17, readBack), 2);
    EXPECT_EQ (readBack[0], 0x3C);
    EXPECT_EQ (readBack[1], 0xFF);
}

TEST (RouteWireForm, ReadingIgnoresUpperNibbleBitsAndKeepsBytesNotCarried)
{
    // A route reply for port 3: entry length 4, nibble bytes F5 FA.
    const juce::uint8 reply[] {
        0x43, 0x06, 0x02, 0x05, 0x04, 0x01, 0x05, 0x03, 0x06, 0x03, 0x01, 0x04, 0x18, 0xF5, 0xFA
    };
    juce::uint8 mask[12];
    std::fill (std::begin (mask), std::end (mask), (juce::uint8) 0x77);

    EXPECT_EQ (zun::ReadRouteMask (reply, (int) sizeof (reply), mask), 1);
    EXPECT_EQ (mask[0], 0xA5);

    for (int k = 1; k < 12; ++k)
        EXPECT_EQ (mask[k], 0x77);
}

TEST (RouteWireForm, NibbleCountIsCutToTheModelAndTheFrame)
{
    Bytes reply { 0x43, 0x06, 0x02, 0x05, 0x04, 0x01, 0x05, 0x01, 0x00, 0x03, 0x01, 0x00, 0x18 };

    // 30 nibble bytes, all present: only the model's 12 route bytes are filled, and the
    // field that follows the mask in the port record is not touched.
    auto longReply = reply;
    longReply[11] = 32;

    for (int i = 0; i < 30; ++i)
        longReply.push_back ((juce::uint8) (i & 0x0F));

    zun::PortRecord port;
    port.routedToSelectors = 0x5A;
    EXPECT_EQ (zun::ReadRouteMask (longReply.data(), (int) longReply.size(), port.routeMask), 12);
    EXPECT_EQ (port.routeMask[11], 0x76);
    EXPECT_EQ (port.routedToSelectors, 0x5A);

    // The entry promises 24 nibbles, the frame holds 5: two whole route bytes are read.
    auto shortReply = reply;
    shortReply[11] = 26;
    shortReply.insert (shortReply.end(), { 0x01, 0x02, 0x03, 0x04, 0x05 });
    juce::uint8 mask[12] {};
    EXPECT_EQ (zun::ReadRouteMask (shortReply.data(), (int) shortReply.size(), mask), 2);
    EXPECT_EQ (mask[1], 0x43);
    EXPECT_EQ (mask[2], 0x00);

    // An odd count takes the high nibble byte that follows it when the frame has one.
    auto oddReply = reply;
    oddReply[11] = 5;
    oddReply.insert (oddReply.end(), { 0x01, 0x02, 0x03, 0x04 });
    EXPECT_EQ (zun::ReadRouteMask (oddReply.data(), (int) oddReply.size(), mask), 2);
    EXPECT_EQ (zun::ReadRouteMask (oddReply.data(), (int) oddReply.size() - 1, mask), 1);

    // Entry lengths 0 and 1 carry no nibbles at all, and a payload without an entry length is no reply.
    for (juce::uint8 entryLength : { 0, 1, 2 })
    {
        auto empty = reply;
        empty[11] = entryLength;
        empty.insert (empty.end(), { 0x01, 0x02 });
        EXPECT_EQ (zun::ReadRouteMask (empty.data(), (int) empty.size(), mask), 0) << (int) entryLength;
    }

    EXPECT_EQ (zun::ReadRouteMask (reply.data(), 11, mask), 0);
}
