#include "ProtocolTestUtils.h"

#include <gtest/gtest.h>
#include <protocol/SysexMessage.h>

using namespace quorvel_test;

namespace
{
Bytes Build (zun::SysexMessage& builder, Bytes payload)
{
    return RawBytes (builder.CreateMessage (payload.data(), (unsigned short) payload.size()));
}

Bytes Slice (const Bytes& frame, int from, int count)
{
    return Bytes (frame.begin() + from, frame.begin() + from + count);
}

const Bytes productNameRequest { 0x03, 0x02, 0x01, 0x04, 0x01, 0x01, 0x01 };
} // namespace

TEST (FrameBuilder, UnaddressedProductNameRequestGivesKnownFrame)
{
    zun::SysexMessage builder;
    auto payload = productNameRequest;
    const auto message = builder.CreateMessage (payload.data(), 7);

    // Header, zero identity, session and transaction, length 7, the payload, checksum, F7.
    const Bytes expected { 0xF0, 0x00, 0x3A, 0x5C, 0x7D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07,
                           0x03, 0x02, 0x01, 0x04, 0x01, 0x01, 0x01, 0x6C, 0xF7 };

    EXPECT_EQ (RawBytes (message), expected);
    EXPECT_EQ (message.getTimeStamp(), 0.0);
    EXPECT_EQ (builder.payloadLength, 7);
    EXPECT_EQ (builder.transactionId, 1u);
}

TEST (FrameBuilder, TransactionIdCountsFramesAndWrapsAt28Bits)
{
    zun::SysexMessage builder;

    EXPECT_EQ (Slice (Build (builder, productNameRequest), 16, 4), (Bytes { 0, 0, 0, 0 }));
    EXPECT_EQ (Slice (Build (builder, productNameRequest), 16, 4), (Bytes { 0, 0, 0, 1 }));
    EXPECT_EQ (builder.transactionId, 2u);

    builder.transactionId = (1u << 28) - 1;
    EXPECT_EQ (Slice (Build (builder, productNameRequest), 16, 4), (Bytes { 0x7F, 0x7F, 0x7F, 0x7F }));
    EXPECT_EQ (builder.transactionId, 0u);
    EXPECT_EQ (Slice (Build (builder, productNameRequest), 16, 4), (Bytes { 0, 0, 0, 0 }));
}

TEST (FrameBuilder, IdentityFieldsArePackedMostSignificantGroupFirst)
{
    zun::SysexMessage builder;

    builder.serialNumber = 0xFFFFFFFF;
    builder.productId = 0x3FFF;
    builder.sessionId = 0xFFFFFFFF;
    auto frame = Build (builder, productNameRequest);
    EXPECT_EQ (Slice (frame, 5, 2), (Bytes { 0x7F, 0x7F }));
    EXPECT_EQ (Slice (frame, 7, 5), (Bytes { 0x0F, 0x7F, 0x7F, 0x7F, 0x7F }));
    EXPECT_EQ (Slice (frame, 12, 4), (Bytes { 0x7F, 0x7F, 0x7F, 0x7F }));

    // Bits above a field's width are dropped: 14 and 15 of the product ID, 28 to 31 of the session.
    builder.serialNumber = 0x12345678;
    builder.productId = 0xC081;
    builder.sessionId = 0xFABCDEF1;
    frame = Build (builder, productNameRequest);
    EXPECT_EQ (Slice (frame, 5, 2), (Bytes { 0x01, 0x01 }));
    EXPECT_EQ (Slice (frame, 7, 5), (Bytes { 0x01, 0x11, 0x51, 0x2C, 0x78 }));
    EXPECT_EQ (Slice (frame, 12, 4), (Bytes { 0x55, 0x73, 0x3D, 0x71 }));
}

TEST (FrameBuilder, LongestPayloadFillsTheBufferWithAFourteenBitLength)
{
    zun::SysexMessage builder;
    Bytes payload ((size_t) zun::SysexMessage::maxPayloadLength, 0x11);
    const auto frame = Build (builder, payload);

    ASSERT_EQ (frame.size(), 512u);
    EXPECT_EQ (Slice (frame, 20, 2), (Bytes { 0x03, 0x68 })); // 488
    EXPECT_EQ (frame.back(), 0xF7);
}

TEST (FrameBuilder, ChecksumMakesTheSummedBytesAMultipleOf128)
{
    zun::SysexMessage builder;
    juce::Random rng (1234);

    for (int round = 0; round < 200; ++round)
    {
        builder.productId = (juce::uint16) rng.nextInt();
        builder.serialNumber = (juce::uint32) rng.nextInt();
        builder.sessionId = (juce::uint32) rng.nextInt();
        Bytes payload ((size_t) (1 + rng.nextInt (60)));

        for (auto& b : payload)
            b = (juce::uint8) rng.nextInt (128);

        const auto frame = Build (builder, payload);
        ASSERT_EQ (frame.size(), payload.size() + 24);
        EXPECT_EQ (Slice (frame, 22, (int) payload.size()), payload);
        EXPECT_EQ (frame.back(), 0xF7);

        unsigned int sum = 0;

        for (size_t i = 5; i < frame.size() - 1; ++i)
            sum += frame[i];

        EXPECT_EQ (sum % 128, 0u) << "round " << round;
    }

    // Length 2 plus 7D plus 01 is already 80 hex, so nothing is left for the checksum.
    zun::SysexMessage fresh;
    EXPECT_EQ (Build (fresh, { 0x7D, 0x01 })[24], 0x00);
}

TEST (FrameBuilder, LaterFramesLeaveEarlierMessagesAndTheHeaderAlone)
{
    zun::SysexMessage builder;
    auto first = builder.CreateMessage (Bytes (productNameRequest).data(), 7);
    const auto firstBytes = RawBytes (first);

    builder.serialNumber = 0x01020304;
    builder.sessionId = 99;
    Build (builder, Bytes (40, 0x55));

    EXPECT_EQ (RawBytes (first), firstBytes);
    EXPECT_EQ (Bytes (builder.frameBuffer, builder.frameBuffer + 5), (Bytes { 0xF0, 0x00, 0x3A, 0x5C, 0x7D }));
}

TEST (FrameBuilder, UnpackingIgnoresBitSevenAndCutsTheSerialTo32Bits)
{
    const juce::uint8 bytes[] { 0xFF, 0x80, 0x81, 0x80, 0x82 };

    EXPECT_EQ (zun::SysexMessage::Unpack14 (bytes + 1), 0x0001);
    EXPECT_EQ (zun::SysexMessage::Unpack28 (bytes + 1), 0x00004002u);
    EXPECT_EQ (zun::SysexMessage::UnpackSerial (bytes), 0xF0004002u);
}
