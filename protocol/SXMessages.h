#pragma once

#include "PresetSelectorBlock.h"

#include <juce_core/juce_core.h>

/*
    Payload templates, one per request. Bytes stored as FF are overwritten by the sender
    before the template is framed, and keep the values of their last use afterwards.
*/
extern unsigned char SXMessage_DeviceDiscovery[10];
extern unsigned char SXMessage_GetProductName[7];
extern unsigned char SXMessage_SaveGlobals[10];
extern unsigned char SXMessage_GetSettingsMI[8];
extern unsigned char SXMessage_GetSettingsDI[8];
/** [7] = preset number. */
extern unsigned char SXMessage_GetSettingsPresetName[12];
/** [7] = port number. */
extern unsigned char SXMessage_GetSettingsMIDIPortInfo[13];
/** [7] = port number. */
extern unsigned char SXMessage_GetSettingsMIDIRouteInfo[12];
/** [7] = selector port, [11] = selector ID. */
extern unsigned char SXMessage_GetSettingsPresetSelectorInfo[12];
extern unsigned char SXMessage_GetSettingsAI[7];
/** Written by zun::WriteSelectorSettings. */
extern unsigned char SXMessage_SetPresetSelectorInfo[39];
/** Written by zun::WriteRouteMask; room for the 12 route bytes of a 96-port interface. */
extern unsigned char SXMessage_SetMIDIRouteInfo[37];

namespace zun
{
/** Message classes: payload byte 0. A reply's class is the request's with 40 hex set. */
namespace MClass
{
    enum Code : juce::uint8
    {
        None = 0x00,
        HstSesnVal = 0x01,
        GetParmDef = 0x02,
        GetParmVal = 0x03,
        GetCmdDef = 0x04,
        SetParmVal = 0x10,
        SetCmdVal = 0x11,
        Ack = 0x40,
        DevSesnVal = 0x41,
        RetParmDef = 0x42,
        RetParmVal = 0x43,
        RetCmdDef = 0x44,
        NotParmVal = 0x50,
        BulkTransfer = 0x70,
        Private = 0x7F
    };

    /** True for exactly the codes listed above. */
    bool IsKnown (int code) noexcept;
} // namespace MClass

/** Data classes: payload byte 1. */
namespace DClass
{
    enum Code : juce::uint8
    {
        None = 0x00,
        SessionInfo = 0x01,
        DeviceInfo = 0x02,
        DeviceFeature = 0x03,
        HardwareInfo = 0x04,
        MIDIInfo = 0x05,
        MIDIPortInfo = 0x06,
        MIDIFeature = 0x07,
        AudioInfo = 0x08,
        AudioPortInfo = 0x09,
        AudioChannelInfo = 0x0A,
        BulkData = 0x70,
        SelfTest = 0x7D,
        License = 0x7E,
        FirmwareUpdate = 0x7F
    };

    /** True for exactly the codes listed above. */
    bool IsKnown (int code) noexcept;
} // namespace DClass

/** Payload lengths handed to SysexMessage::CreateMessage for the fixed-length requests. */
namespace SXLength
{
    constexpr unsigned short DeviceDiscovery = sizeof (SXMessage_DeviceDiscovery);
    constexpr unsigned short GetProductName = sizeof (SXMessage_GetProductName);
    constexpr unsigned short SaveGlobals = sizeof (SXMessage_SaveGlobals);
    constexpr unsigned short GetSettingsMI = sizeof (SXMessage_GetSettingsMI);
    constexpr unsigned short GetSettingsDI = sizeof (SXMessage_GetSettingsDI);
    constexpr unsigned short GetSettingsPresetName = sizeof (SXMessage_GetSettingsPresetName);
    constexpr unsigned short GetSettingsMIDIPortInfo = sizeof (SXMessage_GetSettingsMIDIPortInfo);
    constexpr unsigned short GetSettingsMIDIRouteInfo = sizeof (SXMessage_GetSettingsMIDIRouteInfo);
    constexpr unsigned short GetSettingsPresetSelectorInfo = sizeof (SXMessage_GetSettingsPresetSelectorInfo);
    constexpr unsigned short GetSettingsAI = sizeof (SXMessage_GetSettingsAI);
    /** Also the length of the selector reply, which shares the layout. */
    constexpr unsigned short SetPresetSelectorInfo = sizeof (SXMessage_SetPresetSelectorInfo);
    // SetMIDIRouteInfo has no fixed length: WriteRouteMask returns it.
} // namespace SXLength

/** Selector ID (40, 41, 42 hex) of selector type 1 (Preset), 2 (Scene) or 3 (Mixer Snapshot). */
constexpr juce::uint8 SelectorIdForType (int selectorType) noexcept { return (juce::uint8) (selectorType + 0x3F); }

/** Selector type for a selector ID; outside 1 to 3 when the ID is not a selector's. */
constexpr int SelectorTypeForId (int selectorId) noexcept { return selectorId - 0x3F; }

//==============================================================================
/**
    Writes one selector's record into the set-selector payload: the port in [7], the
    selector ID in [12], the switches as flag bits in [14], the channel mask as three 7-bit
    groups in [16] to [18] and the ten one-byte values in [20], [22] ... [38]. The structure
    and tag bytes are left as stored.
*/
void WriteSelectorSettings (unsigned char (&payload)[39],
                            const SelectorSettings& record,
                            juce::uint8 selectorPort,
                            int selectorType) noexcept;

/**
    Reads one selector's record from a payload of the same 39-byte layout (the reply to a
    selector request). Returns false, leaving the record untouched, when fewer than 39
    bytes are available. Which record to fill is the caller's choice, from [12].
*/
bool ReadSelectorSettings (const juce::uint8* payload, int payloadLength, SelectorSettings& record) noexcept;

/** Route bytes a route write carries for an interface with `portCount` ports: 1 to 12. */
int RouteBytesToSend (int portCount) noexcept;

/**
    Writes a port's route mask into the set-route payload, two nibble bytes per route byte,
    low nibble first, together with the port number and both length bytes. Only as many
    route bytes as `portCount` ports need are written; bytes beyond them keep whatever an
    earlier, longer write left. Returns the payload length to send, 13 + 2 per route byte.
*/
int WriteRouteMask (unsigned char (&payload)[37],
                    juce::uint8 routingPort,
                    const juce::uint8 (&routeMask)[PresetSelectorBlock::routeBytes],
                    int portCount) noexcept;

/**
    Reads the nibble bytes of a route reply into a route mask. The nibble count comes from
    the entry length in [11] but never exceeds the nibbles the payload actually holds or
    the model's 24; an entry length below 2 carries none. A route byte is taken only when
    both its nibble bytes are there; route bytes not carried keep their values. Returns the
    number of route bytes written.
*/
int ReadRouteMask (const juce::uint8* payload,
                   int payloadLength,
                   juce::uint8 (&routeMask)[PresetSelectorBlock::routeBytes]) noexcept;
} // namespace zun
