#include "sim/Frame.h"

#include <algorithm>

namespace sim
{
namespace
{
    const std::uint8_t header[] = { 0xf0, 0x00, 0x3a, 0x5c, 0x7d };

    void putGroups (std::vector<std::uint8_t>& out, std::uint32_t value, int groups)
    {
        for (int g = groups - 1; g >= 0; --g)
            out.push_back ((std::uint8_t) ((value >> (7 * g)) & 0x7f));
    }

    std::uint32_t readGroups (const std::uint8_t* bytes, int groups)
    {
        std::uint32_t value = 0;

        for (int g = 0; g < groups; ++g)
            value = (value << 7) | (bytes[g] & 0x7fu);

        return value;
    }
} // namespace

std::vector<std::uint8_t> Frame::toBytes() const
{
    std::vector<std::uint8_t> bytes (std::begin (header), std::end (header));
    bytes.reserve (payload.size() + overhead);

    putGroups (bytes, productId & 0x3fffu, 2);
    bytes.push_back ((std::uint8_t) (serialNumber >> 28)); // the top 4 bits get a byte of their own
    putGroups (bytes, serialNumber & 0x0fffffffu, 4);
    putGroups (bytes, sessionId & 0x0fffffffu, 4);
    putGroups (bytes, transactionId & 0x0fffffffu, 4);
    putGroups (bytes, (std::uint32_t) payload.size() & 0x3fffu, 2);
    bytes.insert (bytes.end(), payload.begin(), payload.end());
    bytes.push_back (checksumOf (bytes.data() + 5, bytes.size() - 5));
    bytes.push_back (0xf7);
    return bytes;
}

juce::MidiMessage Frame::toMessage() const
{
    auto bytes = toBytes();
    return juce::MidiMessage (bytes.data(), (int) bytes.size());
}

std::optional<Frame> Frame::parse (const juce::MidiMessage& message)
{
    const auto* raw = message.getRawData();
    const auto size = (size_t) message.getRawDataSize();

    if (size < overhead || ! std::equal (std::begin (header), std::end (header), raw) || raw[size - 1] != 0xf7)
        return std::nullopt;

    const auto length = (size_t) readGroups (raw + 20, 2);

    if (length != size - overhead || checksumOf (raw + 5, size - 7) != raw[size - 2])
        return std::nullopt;

    Frame frame;
    frame.productId = (std::uint16_t) readGroups (raw + 5, 2);
    frame.serialNumber = ((std::uint32_t) raw[7] << 28) | readGroups (raw + 8, 4);
    frame.sessionId = readGroups (raw + 12, 4);
    frame.transactionId = readGroups (raw + 16, 4);
    frame.payload.assign (raw + 22, raw + 22 + length);
    return frame;
}

std::uint8_t Frame::checksumOf (const std::uint8_t* bytesFrom5, size_t count)
{
    unsigned sum = 0;

    for (size_t i = 0; i < count; ++i)
        sum += bytesFrom5[i];

    return (std::uint8_t) ((0u - sum) & 0x7fu);
}
} // namespace sim
