#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

/** One of the system's MIDI ports, owning the port's open input or output while it is open.

    An entry is made for every port when "Search" rebuilds the port lists; the port is known
    everywhere by the entry's position in its list. A port is open exactly while `inputPort`
    (inputs) or `outputPort` (outputs) is set, and releasing that object closes it.
*/
class MidiDeviceListEntry : public juce::ReferenceCountedObject
{
public:
    using Ptr = juce::ReferenceCountedObjectPtr<MidiDeviceListEntry>;

    explicit MidiDeviceListEntry (const juce::MidiDeviceInfo& info);

    /** Releases the output, then the input (the reverse of the declaration order). */
    ~MidiDeviceListEntry() override;

    /** Transaction ID of the discovery frame last sent on this output; pairs a discovery reply
        with the output that carried its request. */
    juce::uint32 discoveryId = 0;

    /** The port's name and identifier as the system listed them; the identifier opens it. */
    const juce::MidiDeviceInfo portInfo;

    std::unique_ptr<juce::MidiInput> inputPort;
    std::unique_ptr<juce::MidiOutput> outputPort;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MidiDeviceListEntry)
};
