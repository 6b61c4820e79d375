#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_events/juce_events.h>

/** Carries one received MIDI message, and the input that delivered it, from the MIDI service's
    thread to the message thread, where all of the program's state lives.
*/
class MidiCallbackMessage : public juce::Message
{
public:
    MidiCallbackMessage (juce::MidiInput* sourceInput, const juce::MidiMessage& received);
    ~MidiCallbackMessage() override;

    /** The number of the last message handed over so far in this run. Read once an input has
        been released, it is at or above the number of everything that input handed over. */
    static juce::uint64 lastHandOverNumber();

    /** The input that delivered the message. Only ever compared, never dereferenced: by the
        time the message is handled, that input may have been stopped and released. */
    juce::MidiInput* const source;

    /** A copy of the received message, with the timestamp the input gave it. */
    const juce::MidiMessage message;

    /** Counts the hand-overs of the whole run, from 1: of two messages, the one handed over
        later has the larger number, whichever input delivered it. An input's address can come
        back as the next input opened, so this, not `source`, tells when a message came. */
    const juce::uint64 handOverNumber;
};
