#include "DeviceDiscoveryItem.h"
#include "SXMessages.h"
#include "SysexMessage.h"

namespace zun
{
void DeviceDiscoveryItem::AddDevice (const juce::MidiMessage& reply, int inputIndex, int outputIndex)
{
    // Callers hand over accepted frames, but nothing here may read past the message even
    // if one is not: the frame must hold all the payload its length promises.
    if (reply.getRawDataSize() < SysexMessage::frameOverhead + replyPayloadLength)
        return;

    const juce::uint8* b = reply.getRawData();
    const juce::uint8* payload = b + SysexMessage::payloadOffset;

    if (SysexMessage::Unpack14 (b + SysexMessage::payloadLengthOffset) != replyPayloadLength
        || payload[0] != MClass::DevSesnVal || payload[1] != DClass::SessionInfo || payload[16] != 0x01
        || payload[20] != 0x02 || payload[22] != 0x09)
        return;

    const auto productId = SysexMessage::Unpack14 (b + SysexMessage::productIdOffset);
    const auto serialNumber = SysexMessage::UnpackSerial (b + SysexMessage::serialNumberOffset);

    // The first reply of an interface decides its ports.
    for (const auto* device : devices)
        if (device->productId == productId && device->serialNumber == serialNumber)
            return;

    auto device = std::make_unique<DiscoveredDevice>();
    device->inputIndex = inputIndex;
    device->outputIndex = outputIndex;
    device->productId = productId;
    device->serialNumber = serialNumber;
    device->label =
        juce::String::formatted ("Product ID: %04X SN: %08X", (unsigned int) productId, (unsigned int) serialNumber);

    devices.add (std::move (device));
}
} // namespace zun
