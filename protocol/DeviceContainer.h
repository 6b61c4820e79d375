#pragma once

#include "PresetSelectorBlock.h"
#include "SysexMessage.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

namespace zun
{
/**
    The interface being configured: its settings model, the position of the settings read,
    the product name being collected and the frame builder used to talk to it.

    Members are released in reverse declaration order, so the implicit destructor frees the
    product name first, then the preset names and the port names, each from the last record
    to the first.
*/
class DeviceContainer
{
public:
    /** Starts with an empty settings model and a freshly set-up frame builder. */
    DeviceContainer();

    /**
        True when the message is a well-formed frame of the interface protocol that belongs to
        the current session. Only the header, the session (while one is open), the length,
        the terminator, the checksum and the two class bytes are checked; the identity and
        transaction fields are not. Allocates nothing.
    */
    bool IsValidMidiMessage (const juce::MidiMessage& message) const;

    //==============================================================================
    PresetSelectorBlock settings;
    /** 1-based preset or port number whose reply the settings read awaits. */
    juce::uint8 itemIndex = 0;
    /** Selector ID being read (40, 41 or 42 hex); 0 when none. */
    juce::uint8 readingSelector = 0;
    /** Collects the product name from its reply. */
    juce::String productName;
    SysexMessage sysex;
};
} // namespace zun
