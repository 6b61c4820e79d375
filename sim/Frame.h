#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace sim
{
/** One frame of the interfaces' SysEx protocol, as the device side reads and writes it.

    The simulated interfaces build their replies with this class and not with the program's own
    frame builder, so that a mistake in one is not mirrored by the other.

    Layout: F0 00 3A 5C 7D, product ID (2 bytes), serial number (5), session ID (4), transaction
    ID (4), payload length (2), payload, checksum, F7. Numbers travel as 7-bit groups, most
    significant first; the checksum makes bytes 5 up to and including the checksum sum to a
    multiple of 128.
*/
class Frame
{
public:
    std::uint16_t productId = 0; // 14 bits on the wire
    std::uint32_t serialNumber = 0; // all 32 bits: the first group holds the top 4
    std::uint32_t sessionId = 0; // 28 bits on the wire
    std::uint32_t transactionId = 0;
    std::vector<std::uint8_t> payload;

    /** The frame's bytes, F0 to F7. */
    std::vector<std::uint8_t> toBytes() const;

    /** The frame as a MIDI message (timestamp 0). */
    juce::MidiMessage toMessage() const;

    /** Reads a frame; nothing when the message is not a well-formed frame (too short, wrong
        header, length field that disagrees with the size, no F7 at the end, bad checksum). */
    static std::optional<Frame> parse (const juce::MidiMessage& message);

    /** The checksum byte for frame bytes 5 up to the end of the payload. */
    static std::uint8_t checksumOf (const std::uint8_t* bytesFrom5, size_t count);

    static constexpr size_t overhead = 24;
};
} // namespace sim
