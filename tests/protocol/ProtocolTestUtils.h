#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

#include <vector>

/*
    Frames for the tests are assembled here by hand, with their own packing, so that a
    fault in the builder's packing cannot hide itself by being used to make the expected bytes.
*/
namespace quorvel_test
{
using Bytes = std::vector<juce::uint8>;

inline Bytes RawBytes (const juce::MidiMessage& message)
{
    return Bytes (message.getRawData(), message.getRawData() + message.getRawDataSize());
}

inline juce::MidiMessage ToMessage (const Bytes& bytes) { return juce::MidiMessage (bytes.data(), (int) bytes.size()); }

/** Rewrites the checksum byte (second last) so that bytes 5 to size - 2 sum to a multiple of 128. */
inline void FixChecksum (Bytes& frame)
{
    const auto checksumPos = frame.size() - 2;
    frame[checksumPos] = 0;
    unsigned int sum = 0;

    for (size_t i = 5; i < checksumPos; ++i)
        sum += frame[i];

    frame[checksumPos] = (juce::uint8) ((128 - sum % 128) % 128);
}

struct FrameFields
{
    juce::uint16 productId = 0;
    juce::uint32 serialNumber = 0;
    juce::uint32 sessionId = 0;
    juce::uint32 transactionId = 0;
};

/** A well-formed frame around `payload`, with a correct length field and checksum. */
inline Bytes MakeFrame (const Bytes& payload, const FrameFields& fields = {})
{
    auto group = [] (juce::uint32 value, int shift) { return (juce::uint8) ((value >> shift) & 0x7F); };
    const auto length = (juce::uint32) payload.size();

    Bytes frame { 0xF0,
                  0x00,
                  0x3A,
                  0x5C,
                  0x7D,
                  group (fields.productId, 7),
                  group (fields.productId, 0),
                  (juce::uint8) (fields.serialNumber >> 28),
                  group (fields.serialNumber, 21),
                  group (fields.serialNumber, 14),
                  group (fields.serialNumber, 7),
                  group (fields.serialNumber, 0),
                  group (fields.sessionId, 21),
                  group (fields.sessionId, 14),
                  group (fields.sessionId, 7),
                  group (fields.sessionId, 0),
                  group (fields.transactionId, 21),
                  group (fields.transactionId, 14),
                  group (fields.transactionId, 7),
                  group (fields.transactionId, 0),
                  group (length, 7),
                  group (length, 0) };

    frame.insert (frame.end(), payload.begin(), payload.end());
    frame.push_back (0);
    frame.push_back (0xF7);
    FixChecksum (frame);
    return frame;
}
} // namespace quorvel_test
