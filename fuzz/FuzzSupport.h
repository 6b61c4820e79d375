#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <juce_audio_basics/juce_audio_basics.h>

/** Shared by the fuzz targets. */
namespace fuzz
{
/** Aborts (a finding) when an invariant the code promises does not hold. */
inline void require (bool condition, const char* what)
{
    if (! condition)
    {
        fprintf (stderr, "invariant broken: %s\n", what);
        abort();
    }
}

/** JUCE flags malformed raw MIDI with debug assertions; arbitrary bytes are the whole point
    here, so those messages are dropped instead of being printed for every input. */
struct QuietLogger : juce::Logger
{
    void logMessage (const juce::String&) override {}
};

/** A message holding exactly these bytes, however malformed (at least one byte). */
inline juce::MidiMessage rawMessage (const std::uint8_t* data, size_t size, double timeStamp = 0.0)
{
    return juce::MidiMessage (data, (int) size, timeStamp);
}

/** Reads the input front to back; once it runs out, every read gives zeros. */
struct Reader
{
    const std::uint8_t* data;
    size_t size;

    std::uint8_t byte() { return size > 0 ? (--size, *data++) : 0; }

    std::uint32_t word()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 8 | byte();
        return value;
    }

    /** Up to `count` bytes from the input, fewer when it runs out. */
    std::vector<std::uint8_t> bytes (size_t count)
    {
        count = std::min (count, size);
        std::vector<std::uint8_t> taken (data, data + count);
        data += count;
        size -= count;
        return taken;
    }
};
} // namespace fuzz
