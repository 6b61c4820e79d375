#include "DeviceContainer.h"
#include "SXMessages.h"

namespace zun
{
DeviceContainer::DeviceContainer() { settings.Empty(); }

bool DeviceContainer::IsValidMidiMessage (const juce::MidiMessage& message) const
{
    const int size = message.getRawDataSize();

    if (size < SysexMessage::frameOverhead)
        return false;

    const juce::uint8* b = message.getRawData();

    for (int i = 0; i < SysexMessage::headerSize; ++i)
        if (b[i] != sysex.frameBuffer[i])
            return false;

    // Compared against the bits the builder actually sends, so that every frame this
    // program builds passes its own test even if a caller stored a wider session value.
    const auto ownSession = sysex.sessionId & SysexMessage::mask28;

    if (sysex.sessionId != 0 && SysexMessage::Unpack28 (b + SysexMessage::sessionIdOffset) != ownSession)
        return false;

    // A payload of one byte cannot carry both class bytes, so it is refused outright.
    const int length = SysexMessage::Unpack14 (b + SysexMessage::payloadLengthOffset);

    if (length == 1 || length != size - SysexMessage::frameOverhead)
        return false;

    if (b[size - 1] != 0xF7)
        return false;

    // Only the sum's low seven bits matter, so it is kept in a byte that may wrap: every
    // received message passes through here.
    juce::uint8 sum = 0;

    for (int i = SysexMessage::headerSize; i < size - 1; ++i)
        sum = (juce::uint8) (sum + b[i]);

    if ((sum & 0x7F) != 0)
        return false;

    if (length == 0)
        return true;

    return MClass::IsKnown (b[SysexMessage::payloadOffset]) && DClass::IsKnown (b[SysexMessage::payloadOffset + 1]);
}
} // namespace zun
