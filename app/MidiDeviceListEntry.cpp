#include "MidiDeviceListEntry.h"

MidiDeviceListEntry::MidiDeviceListEntry (const juce::MidiDeviceInfo& info)
    : portInfo (info)
{
}

MidiDeviceListEntry::~MidiDeviceListEntry() = default;
