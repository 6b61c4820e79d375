#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

namespace zun
{
/**
    Builds the outgoing SysEx frames of the interface protocol.

    A frame is a five-byte header, the addressed interface's product ID and serial number,
    a session ID, a running transaction ID, a 14-bit payload length, the payload, a 7-bit
    checksum and F7. Numbers wider than seven bits travel as 7-bit groups, most significant
    group first; the static Pack and Unpack helpers below are the one place that knows how.

    One builder serves the whole run: the transaction ID keeps counting across every frame
    built, whichever port the frame then goes out on.
*/
class SysexMessage
{
public:
    /** Size of the frame buffer, and so the longest frame that can be built. */
    static constexpr int bufferSize = 512;
    /** F0, the three manufacturer ID bytes and 7D. */
    static constexpr int headerSize = 5;
    /** Bytes of a frame that are not payload: header, identity, length, checksum and F7. */
    static constexpr int frameOverhead = 24;
    /** Longest payload the buffer can frame. */
    static constexpr int maxPayloadLength = bufferSize - frameOverhead;

    /** Frame offsets of the fields. */
    static constexpr int productIdOffset = 5;
    static constexpr int serialNumberOffset = 7;
    static constexpr int sessionIdOffset = 12;
    static constexpr int transactionIdOffset = 16;
    static constexpr int payloadLengthOffset = 20;
    static constexpr int payloadOffset = 22;

    /** Session and transaction IDs are 28 bits on the wire. */
    static constexpr juce::uint32 mask28 = 0x0FFFFFFF;

    /** Writes the header and seeds the random generator; every identity field starts at 0. */
    SysexMessage();

    /**
        Frames `length` payload bytes with the current identity fields and returns the frame.

        The returned message owns its own copy of the bytes (timestamp 0), so later calls
        leave it untouched. The transaction ID advances for every call, sent or not.
        The payload must be 1 to maxPayloadLength bytes long.
    */
    juce::MidiMessage CreateMessage (unsigned char* payload, unsigned short length);

    //==============================================================================
    /** Reads a 28-bit number from four 7-bit groups; bit 7 of each byte is ignored. */
    static juce::uint32 Unpack28 (const juce::uint8* bytes) noexcept
    {
        return (juce::uint32) (bytes[0] & 0x7F) << 21 | (juce::uint32) (bytes[1] & 0x7F) << 14
               | (juce::uint32) (bytes[2] & 0x7F) << 7 | (juce::uint32) (bytes[3] & 0x7F);
    }

    /** Reads a 14-bit number (product ID, payload length) from two 7-bit groups. */
    static juce::uint16 Unpack14 (const juce::uint8* bytes) noexcept
    {
        return (juce::uint16) ((bytes[0] & 0x7F) << 7 | (bytes[1] & 0x7F));
    }

    /**
        Reads a serial number from its five bytes. The first byte holds the top four bits
        and is taken as it is; anything it has above those falls off the 32-bit result.
    */
    static juce::uint32 UnpackSerial (const juce::uint8* bytes) noexcept
    {
        return (juce::uint32) bytes[0] << 28 | Unpack28 (bytes + 1);
    }

    /** Writes the low 28 bits of a number as four 7-bit groups; returns the sum of the bytes
        written, for the checksum, so that the frame need not be read back. */
    static unsigned int Pack28 (juce::uint8* dest, juce::uint32 value) noexcept
    {
        const auto g0 = (value >> 21) & 0x7F, g1 = (value >> 14) & 0x7F, g2 = (value >> 7) & 0x7F, g3 = value & 0x7F;

        // One four-byte store rather than four single bytes, which compilers otherwise tend to
        // gather through memory into a wider store that stalls the reads that follow.
        const auto word = juce::ByteOrder::swapIfLittleEndian ((juce::uint32) (g0 << 24 | g1 << 16 | g2 << 8 | g3));
        std::memcpy (dest, &word, sizeof (word));
        return g0 + g1 + g2 + g3;
    }

    /** Writes the low 14 bits of a number as two 7-bit groups; returns the sum of the bytes. */
    static unsigned int Pack14 (juce::uint8* dest, juce::uint32 value) noexcept
    {
        return Put (dest, (value >> 7) & 0x7F) + Put (dest + 1, value & 0x7F);
    }

    /** Writes a 32-bit serial number as five bytes, the first holding bits 31..28; returns the
        sum of the bytes. */
    static unsigned int PackSerial (juce::uint8* dest, juce::uint32 value) noexcept
    {
        return Put (dest, value >> 28) + Pack28 (dest + 1, value);
    }

    //==============================================================================
    /** Source of session IDs, seeded once at construction. */
    juce::Random random;
    /** The frame being built; bytes 0 to 4 hold the header from construction on. */
    juce::uint8 frameBuffer[bufferSize] {};
    /** Session put into every frame (low 28 bits sent); 0 while no session is open. */
    juce::uint32 sessionId = 0;
    /** Transaction ID of the next frame; always below 2^28. */
    juce::uint32 transactionId = 0;
    /** Serial number of the addressed interface; 0 when none is addressed. */
    juce::uint32 serialNumber = 0;
    /** Product ID of the addressed interface (low 14 bits sent); 0 when none is addressed. */
    juce::uint16 productId = 0;
    /** Payload length of the last frame built. */
    juce::uint16 payloadLength = 0;

private:
    static unsigned int Put (juce::uint8* dest, juce::uint32 byte) noexcept
    {
        *dest = (juce::uint8) byte;
        return byte;
    }
};
} // namespace zun
