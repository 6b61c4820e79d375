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

    if (length > 0)
        std::memcpy (frameBuffer + payloadOffset, payload, length);

    payloadLength = length;

    Pack14 (frameBuffer + productIdOffset, productId);
    PackSerial (frameBuffer + serialNumberOffset, serialNumber);
    Pack28 (frameBuffer + sessionIdOffset, sessionId);
    Pack28 (frameBuffer + transactionIdOffset, transactionId);
    Pack14 (frameBuffer + payloadLengthOffset, length);

    const int checksumOffset = payloadOffset + length;
    unsigned int sum = 0;

    for (int i = headerSize; i < checksumOffset; ++i)
        sum += frameBuffer[i];

    frameBuffer[checksumOffset] = (juce::uint8) ((0u - sum) & 0x7F);
    frameBuffer[checksumOffset + 1] = 0xF7;

    transactionId = (transactionId + 1) & mask28;

    return juce::MidiMessage (frameBuffer, length + frameOverhead, 0.0);
}
} // namespace zun
