#include "MidiCallbackMessage.h"

MidiCallbackMessage::MidiCallbackMessage (juce::MidiInput* sourceInput, const juce::MidiMessage& received)
    : source (sourceInput)
    , message (received)
{
}

MidiCallbackMessage::~MidiCallbackMessage() = default;
