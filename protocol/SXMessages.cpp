#include "SXMessages.h"

unsigned char SXMessage_DeviceDiscovery[10] = { 0x01, 0x01, 0x01, 0x07, 0x03, 0x01, 0x04, 0x01, 0x04, 0x00 };
unsigned char SXMessage_GetProductName[7] = { 0x03, 0x02, 0x01, 0x04, 0x01, 0x01, 0x01 };
unsigned char SXMessage_SaveGlobals[10] = { 0x11, 0x00, 0x01, 0x07, 0x06, 0x01, 0x04, 0x02, 0x02, 0x00 };
unsigned char SXMessage_GetSettingsMI[8] = { 0x03, 0x05, 0x01, 0x05, 0x01, 0x02, 0x01, 0x15 };
unsigned char SXMessage_GetSettingsDI[8] = { 0x03, 0x02, 0x01, 0x05, 0x01, 0x02, 0x14, 0x17 };
unsigned char SXMessage_GetSettingsPresetName[12] = { 0x03, 0x03, 0x02, 0x05, 0x04, 0x01,
                                                      0x09, 0xFF, 0x04, 0x01, 0x01, 0x02 };
unsigned char SXMessage_GetSettingsMIDIPortInfo[13] = { 0x03, 0x06, 0x02, 0x05, 0x04, 0x01, 0x05,
                                                        0xFF, 0x05, 0x01, 0x02, 0x01, 0x02 };
unsigned char SXMessage_GetSettingsMIDIRouteInfo[12] = { 0x03, 0x06, 0x02, 0x05, 0x04, 0x01,
                                                         0x05, 0xFF, 0x04, 0x01, 0x01, 0x18 };
unsigned char SXMessage_GetSettingsPresetSelectorInfo[12] = { 0x03, 0x06, 0x02, 0x05, 0x04, 0x01,
                                                              0x05, 0xFF, 0x04, 0x01, 0x01, 0xFF };
unsigned char SXMessage_GetSettingsAI[7] = { 0x03, 0x08, 0x01, 0x04, 0x01, 0x01, 0x13 };

// Rows: request header with the port sub-ID block; argument block with its one 28-byte
// entry and the selector ID; flags; channel mask; the ten one-byte values, each after its tag.
// clang-format off
unsigned char SXMessage_SetPresetSelectorInfo[39] = {
    0x10, 0x06, 0x02, 0x05, 0x04, 0x01, 0x05, 0xFF,
    0x1F, 0x03, 0x01, 0x1C, 0xFF,
    0x01, 0xFF,
    0x02, 0xFF, 0xFF, 0xFF,
    0x03, 0xFF, 0x04, 0xFF, 0x05, 0xFF, 0x06, 0xFF, 0x07, 0xFF,
    0x08, 0xFF, 0x09, 0xFF, 0x0A, 0xFF, 0x0B, 0xFF, 0x0C, 0xFF
};

// Rows: request header with the port sub-ID block; argument block length, one entry, entry
// length and ID 18; then room for twelve route bytes as 24 nibble bytes, so that interfaces
// with up to 96 ports can be routed.
unsigned char SXMessage_SetMIDIRouteInfo[37] = {
    0x10, 0x06, 0x02, 0x05, 0x04, 0x01, 0x05, 0xFF,
    0xFF, 0x03, 0x01, 0xFF, 0x18,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF
};
// clang-format on

namespace zun
{
namespace
{
    // Selector payload positions.
    constexpr int selectorPortPos = 7;
    constexpr int selectorIdPos = 12;
    constexpr int selectorFlagsPos = 14;
    constexpr int channelMaskPos = 16;
    constexpr int firstValuePos = 20;

    constexpr juce::uint8 enabledFlag = 0x01;
    constexpr juce::uint8 useControlChangeFlag = 0x02;
    constexpr juce::uint8 wraparoundFlag = 0x04;
    constexpr juce::uint8 invertFlag = 0x08;

    // Route payload positions.
    constexpr int routePortPos = 7;
    constexpr int routeBlockLengthPos = 8;
    constexpr int routeEntryLengthPos = 11;
    constexpr int firstNibblePos = 13;

    /** The ten one-byte values, in wire order, at firstValuePos and every second byte after. */
    constexpr juce::uint8 SelectorSettings::*valueFields[] = {
        &SelectorSettings::minPreset, &SelectorSettings::maxPreset, &SelectorSettings::ccMode,
        &SelectorSettings::ccId1,     &SelectorSettings::ccId2,     &SelectorSettings::minValue,
        &SelectorSettings::maxValue,  &SelectorSettings::onValue,   &SelectorSettings::offPreset,
        &SelectorSettings::onPreset
    };

    static_assert (firstValuePos + 2 * (int) std::size (valueFields) == 40, "the last value is byte 38");
} // namespace

static_assert (sizeof (SXMessage_SetMIDIRouteInfo) == firstNibblePos + PresetSelectorBlock::maxRouteNibbles,
               "the route template must hold every route byte of the model");

bool MClass::IsKnown (int code) noexcept
{
    switch (code)
    {
        case None:
        case HstSesnVal:
        case GetParmDef:
        case GetParmVal:
        case GetCmdDef:
        case SetParmVal:
        case SetCmdVal:
        case Ack:
        case DevSesnVal:
        case RetParmDef:
        case RetParmVal:
        case RetCmdDef:
        case NotParmVal:
        case BulkTransfer:
        case Private:
            return true;
        default:
            return false;
    }
}

bool DClass::IsKnown (int code) noexcept
{
    return (code >= None && code <= AudioChannelInfo) || code == BulkData
           || (code >= SelfTest && code <= FirmwareUpdate);
}

void WriteSelectorSettings (unsigned char (&payload)[39],
                            const SelectorSettings& record,
                            juce::uint8 selectorPort,
                            int selectorType) noexcept
{
    jassert (PresetSelectorBlock::IsNumberWithin (selectorType, PresetSelectorBlock::numSelectors));

    payload[selectorPortPos] = selectorPort;
    payload[selectorIdPos] = SelectorIdForType (selectorType);

    payload[selectorFlagsPos] = (juce::uint8) (
        (record.enabled != 0 ? enabledFlag : 0) | (record.useControlChange != 0 ? useControlChangeFlag : 0)
        | (record.wraparound != 0 ? wraparoundFlag : 0) | (record.invert != 0 ? invertFlag : 0));

    payload[channelMaskPos] = (juce::uint8) (record.channelMask >> 14);
    payload[channelMaskPos + 1] = (juce::uint8) ((record.channelMask >> 7) & 0x7F);
    payload[channelMaskPos + 2] = (juce::uint8) (record.channelMask & 0x7F);

    int pos = firstValuePos;

    for (auto field : valueFields)
    {
        payload[pos] = record.*field;
        pos += 2;
    }
}

bool ReadSelectorSettings (const juce::uint8* payload, int payloadLength, SelectorSettings& record) noexcept
{
    if (payload == nullptr || payloadLength < (int) SXLength::SetPresetSelectorInfo)
        return false;

    const auto flags = payload[selectorFlagsPos];
    record.enabled = (flags & enabledFlag) != 0 ? 1 : 0;
    record.useControlChange = (flags & useControlChangeFlag) != 0 ? 1 : 0;
    record.wraparound = (flags & wraparoundFlag) != 0 ? 1 : 0;
    record.invert = (flags & invertFlag) != 0 ? 1 : 0;

    record.channelMask = (juce::uint16) ((juce::uint32) payload[channelMaskPos] << 14
                                         | (juce::uint32) (payload[channelMaskPos + 1] & 0x7F) << 7
                                         | (juce::uint32) (payload[channelMaskPos + 2] & 0x7F));

    int pos = firstValuePos;

    for (auto field : valueFields)
    {
        record.*field = payload[pos];
        pos += 2;
    }

    return true;
}

int RouteBytesToSend (int portCount) noexcept
{
    if (portCount <= 0)
        return 1;

    return juce::jmin ((portCount - 1) / 8 + 1, (int) PresetSelectorBlock::routeBytes);
}

int WriteRouteMask (unsigned char (&payload)[37],
                    juce::uint8 routingPort,
                    const juce::uint8 (&routeMask)[PresetSelectorBlock::routeBytes],
                    int portCount) noexcept
{
    const int n = RouteBytesToSend (portCount);

    payload[routePortPos] = routingPort;
    payload[routeBlockLengthPos] = (juce::uint8) (2 * n + 5);
    payload[routeEntryLengthPos] = (juce::uint8) (2 * n + 2);

    for (int k = 0; k < n; ++k)
    {
        payload[firstNibblePos + 2 * k] = (juce::uint8) (routeMask[k] & 0x0F);
        payload[firstNibblePos + 2 * k + 1] = (juce::uint8) (routeMask[k] >> 4);
    }

    return firstNibblePos + 2 * n;
}

int ReadRouteMask (const juce::uint8* payload,
                   int payloadLength,
                   juce::uint8 (&routeMask)[PresetSelectorBlock::routeBytes]) noexcept
{
    if (payload == nullptr || payloadLength <= routeEntryLengthPos)
        return 0;

    const int claimed = payload[routeEntryLengthPos] - 2;
    const int available = payloadLength - firstNibblePos;
    const int nibbles = juce::jmin (claimed, available, (int) PresetSelectorBlock::maxRouteNibbles);

    int k = 0;

    // A route byte is taken only when both its nibble bytes lie inside the payload. An odd
    // count still takes the high nibble byte right after the last counted one, if present.
    for (; 2 * k < nibbles && firstNibblePos + 2 * k + 1 < payloadLength; ++k)
        routeMask[k] = (juce::uint8) ((payload[firstNibblePos + 2 * k] & 0x0F)
                                      | (payload[firstNibblePos + 2 * k + 1] & 0x0F) << 4);

    return k;
}
} // namespace zun
