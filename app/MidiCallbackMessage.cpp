#include "MidiCallbackMessage.h"

#include <atomic>

namespace
{
std::atomic<juce::uint64> handOversSoFar { 0 };
}

MidiCallbackMessage::MidiCallbackMessage (juce::MidiInput* sourceInput, const juce::MidiMessage& received)
    : source (sourceInput)
    , message (received)
    , handOverNumber (++handOversSoFar)
{
}

MidiCallbackMessage::~MidiCallbackMessage() = default;

juce::uint64 MidiCallbackMessage::lastHandOverNumber() { return handOversSoFar.load(); }
