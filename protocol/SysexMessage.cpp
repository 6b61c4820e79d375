#include "SysexMessage.h"

namespace zun
{
SysexMessage::SysexMessage()
{
    random.setSeedRandomly();

    frameBuffer[0] = 0xF0;
    frameBuffer[1] = 0x00;
    frameBuffer[2] = 0x3A;
    frameBuffer[3] = 0x5C;
    frameBuffer[4] = 0x7D;
}

juce::MidiMessage SysexMessage::CreateMessage (unsigned char* payload, unsigned short length)
{
    // Callers only ever frame the fixed templates, all well inside the buffer; the clamp
    // keeps a faulty caller from writing past it.
    jassert (payload != nullptr && length >= 1 && length <= maxPayloadLength);
    length = (unsigned short) juce::jmin ((int) length, maxPayloadLength);

    // One pass copies the payload and sums it for the checksum: the frame is built for every
    // request and every edit, and a separate copy of these few bytes costs more than the sum.
    // Only the sum's low seven bits matter, so it is kept in a byte that may wrap.
    juce::uint8 sum = 0;

    for (int i = 0; i < length; ++i)
    {
        const auto byte = payload[i];
        frameBuffer[payloadOffset + i] = byte;
        sum += byte;
    }

    payloadLength = length;

    sum = (juce::uint8) (sum + Pack14 (frameBuffer + productIdOffset, productId)
                         + PackSerial (frameBuffer + serialNumberOffset, serialNumber)
                         + Pack28 (frameBuffer + sessionIdOffset, sessionId)
                         + Pack28 (frameBuffer + transactionIdOffset, transactionId)
                         + Pack14 (frameBuffer + payloadLengthOffset, length));

    const int checksumOffset = payloadOffset + length;
    frameBuffer[checksumOffset] = (juce::uint8) ((0u - sum) & 0x7F);
    frameBuffer[checksumOffset + 1] = 0xF7;

    transactionId = (transactionId + 1) & mask28;

    return juce::MidiMessage (frameBuffer, length + frameOverhead, 0.0);
}
} // namespace zun
