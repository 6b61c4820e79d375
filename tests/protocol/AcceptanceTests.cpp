#include "ProtocolTestUtils.h"

#include <gtest/gtest.h>
#include <protocol/DeviceContainer.h>
#include <protocol/SXMessages.h>

using namespace quorvel_test;

namespace
{
const Bytes knownFrame { 0xF0, 0x00, 0x3A, 0x5C, 0x7D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                         0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0x03, 0x02, 0x01, 0x04, 0x01, 0x01, 0x01, 0x6C, 0xF7 };

class Acceptance : public ::testing::Test
{
protected:
    bool Accepts (const Bytes& frame) const { return device.IsValidMidiMessage (ToMessage (frame)); }

    /** A frame with the given class bytes and a few payload bytes after them. */
    static Bytes WithClasses (int mclass, int dclass, const FrameFields& fields = {})
    {
        return MakeFrame ({ (juce::uint8) mclass, (juce::uint8) dclass, 0x01, 0x04, 0x01, 0x01, 0x01 }, fields);
    }

    zun::DeviceContainer device;
};
} // namespace

TEST_F (Acceptance, KnownFrameChecksSessionAndChecksum)
{
    EXPECT_TRUE (Accepts (knownFrame));

    device.sysex.sessionId = 5;
    EXPECT_FALSE (Accepts (knownFrame));

    device.sysex.sessionId = 0;
    auto corrupted = knownFrame;
    corrupted[29] = 0x6D;
    EXPECT_FALSE (Accepts (corrupted));
}

TEST_F (Acceptance, ShortMessagesAreRefused)
{
    EXPECT_FALSE (device.IsValidMidiMessage (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100)));

    // A 23-byte SysEx with the right header is still one byte too short to be a frame.
    Bytes shortSysex (knownFrame.begin(), knownFrame.begin() + 22);
    shortSysex.push_back (0xF7);
    EXPECT_FALSE (Accepts (shortSysex));
}

TEST_F (Acceptance, HeaderMustMatchTheBuilders)
{
    for (int i = 0; i < 5; ++i)
    {
        auto frame = knownFrame;
        frame[(size_t) i] ^= 0x01;
        EXPECT_FALSE (Accepts (frame)) << "header byte " << i;
    }
}

TEST_F (Acceptance, SessionIsComparedOnlyWhileOneIsOpen)
{
    const auto inSession = WithClasses (0x43, 0x06, { 0x0123, 0x0F000001, 0x0ABCDEF, 17 });
    const auto otherSession = WithClasses (0x43, 0x06, { 0x0123, 0x0F000001, 0x0ABCDEE, 17 });

    EXPECT_TRUE (Accepts (inSession));
    EXPECT_TRUE (Accepts (otherSession));

    device.sysex.sessionId = 0x0ABCDEF;
    device.sysex.productId = 0x0042;
    device.sysex.serialNumber = 7;
    EXPECT_TRUE (Accepts (inSession)) << "another interface's identity is not compared";
    EXPECT_FALSE (Accepts (otherSession));
}

TEST_F (Acceptance, FramesTheBuilderMakesPassTheirOwnTest)
{
    device.sysex.sessionId = 0x0765432;
    device.sysex.productId = 0x1234;
    device.sysex.serialNumber = 0xF1234567;

    EXPECT_TRUE (
        device.IsValidMidiMessage (device.sysex.CreateMessage (SXMessage_GetSettingsMI, zun::SXLength::GetSettingsMI)));
    EXPECT_TRUE (device.IsValidMidiMessage (
        device.sysex.CreateMessage (SXMessage_DeviceDiscovery, zun::SXLength::DeviceDiscovery)));
    EXPECT_TRUE (
        device.IsValidMidiMessage (device.sysex.CreateMessage (SXMessage_SaveGlobals, zun::SXLength::SaveGlobals)));

    // The same holds for a session value wider than the 28 bits that are sent.
    device.sysex.sessionId = 0xF0000009;
    EXPECT_TRUE (
        device.IsValidMidiMessage (device.sysex.CreateMessage (SXMessage_GetSettingsAI, zun::SXLength::GetSettingsAI)));
}

TEST_F (Acceptance, EmptyPayloadPassesButOneBytePayloadDoesNot)
{
    const auto empty = MakeFrame ({});
    ASSERT_EQ (empty.size(), 24u);
    EXPECT_TRUE (Accepts (empty));

    auto badChecksum = empty;
    badChecksum[22] ^= 0x01;
    EXPECT_FALSE (Accepts (badChecksum));

    // 01 + 7F sums to 80, so the checksum is 00 and would even read as a known DClass.
    const auto onlyClass = MakeFrame ({ 0x7F });
    ASSERT_EQ (onlyClass.size(), 25u);
    EXPECT_FALSE (Accepts (onlyClass));
}

TEST_F (Acceptance, LengthFieldMustMatchTheSize)
{
    for (int delta : { -7, -1, 1, 2, 100 })
    {
        auto frame = WithClasses (0x43, 0x06);
        const auto length = (juce::uint32) ((int) frame.size() - 24 + delta);
        frame[20] = (juce::uint8) ((length >> 7) & 0x7F);
        frame[21] = (juce::uint8) (length & 0x7F);
        FixChecksum (frame);
        EXPECT_FALSE (Accepts (frame)) << "length off by " << delta;
    }

    // Bit 7 of a length byte is masked off, not refused.
    auto frame = WithClasses (0x43, 0x06);
    frame[20] |= 0x80;
    FixChecksum (frame);
    EXPECT_TRUE (Accepts (frame));
}

TEST_F (Acceptance, FrameMustEndWithF7)
{
    auto frame = WithClasses (0x43, 0x06);
    frame.back() = 0xF6;
    EXPECT_FALSE (Accepts (frame));
}

// Covers the near misses 05, 45, 0B and 7C as well as 43 / 06.
TEST_F (Acceptance, OnlyListedClassesPass)
{
    const std::vector<int> mclasses { 0x00, 0x01, 0x02, 0x03, 0x04, 0x10, 0x11, 0x40,
                                      0x41, 0x42, 0x43, 0x44, 0x50, 0x70, 0x7F };
    const std::vector<int> dclasses { 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                      0x08, 0x09, 0x0A, 0x70, 0x7D, 0x7E, 0x7F };

    for (int code = 0; code < 256; ++code)
    {
        const bool listedM = std::find (mclasses.begin(), mclasses.end(), code) != mclasses.end();
        const bool listedD = std::find (dclasses.begin(), dclasses.end(), code) != dclasses.end();

        EXPECT_EQ (Accepts (WithClasses (code, 0x01)), listedM) << "MClass " << code;
        EXPECT_EQ (Accepts (WithClasses (0x43, code)), listedD) << "DClass " << code;
        EXPECT_EQ (zun::MClass::IsKnown (code), listedM);
        EXPECT_EQ (zun::DClass::IsKnown (code), listedD);
    }
}
