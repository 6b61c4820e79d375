#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

namespace zun
{
/** One interface found by discovery, with the ports through which it answered. */
struct DiscoveredDevice
{
    int inputIndex = 0; /**< the MIDI input that delivered the discovery reply */
    int outputIndex = 0; /**< the MIDI output whose discovery request the reply echoes */
    juce::uint16 productId = 0;
    juce::uint32 serialNumber = 0;
    juce::String label; /**< the device list's text for this interface */
};

/**
    The interfaces that answered the last discovery broadcast, in the order their first
    replies arrived. An interface is identified by its product ID and serial number; the
    list never holds two records with the same pair.

    The implicit destructor deletes the records from the last to the first.
*/
class DeviceDiscoveryItem
{
public:
    using DiscoveredDevice = zun::DiscoveredDevice;

    /** Payload length of a discovery reply. */
    static constexpr int replyPayloadLength = 23;

    /**
        Records one discovery reply received on `inputIndex` for the request sent on
        `outputIndex`. Anything that is not a discovery reply, or that repeats an interface
        already listed, is ignored.
    */
    void AddDevice (const juce::MidiMessage& reply, int inputIndex, int outputIndex);

    /** Position of the interface being asked for its product name. */
    int currentIndex = 0;
    juce::OwnedArray<DiscoveredDevice> devices;
};
} // namespace zun
