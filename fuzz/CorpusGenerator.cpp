// Writes the fuzzers' seed corpus: one reply of every layout the program reads, as the
// simulated interface answers the program's own requests, framed for each fuzz target's input
// format. Run by fuzz/make-corpus.
#include "protocol/DeviceContainer.h"
#include "protocol/SXMessages.h"
#include "sim/DemoSetup.h"
#include "sim/SimulatedInterface.h"
#include <juce_gui_basics/juce_gui_basics.h>
#include <mutex>

namespace
{
struct Collector : juce::MidiInputCallback
{
    void handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& message) override
    {
        const std::lock_guard<std::mutex> hold (lock);
        received.push_back (message);
    }

    std::vector<juce::MidiMessage> take()
    {
        const std::lock_guard<std::mutex> hold (lock);
        return std::exchange (received, {});
    }

    std::mutex lock;
    std::vector<juce::MidiMessage> received;
};

void appendByte (juce::MemoryBlock& block, int value)
{
    const auto byte = (juce::uint8) value;
    block.append (&byte, 1);
}

/** Four bytes, most significant first, as the fuzz targets read them. */
void append (juce::MemoryBlock& block, juce::uint32 word)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        appendByte (block, (int) (word >> shift));
}

/** One seed for each target from one reply awaited in `state`. */
void writeSeeds (const juce::File& dir, const juce::String& name, const juce::MidiMessage& reply, int state)
{
    const auto* b = reply.getRawData();
    const int size = reply.getRawDataSize();
    const juce::MemoryBlock frame (b, (size_t) size);

    juce::MemoryBlock acceptance;
    appendByte (acceptance, 0); // no session: every well-formed frame passes
    acceptance.append (frame.getData(), frame.getSize());

    juce::MemoryBlock discovery;
    appendByte (discovery, size);
    discovery.append (frame.getData(), frame.getSize());

    juce::MemoryBlock monitor;
    appendByte (monitor, 0);
    monitor.append ("\0\0\0\0\0\0\0\0", 8); // timestamp 0.0
    monitor.append (frame.getData(), frame.getSize());

    // The receive target rebuilds the frame around the payload with the current session:
    // [flags: state, filled model][itemIndex][readingSelector][currentIndex][discoveryId]
    // [kind: valid frame from the open input][length][payload][transaction][product][serial]
    juce::MemoryBlock receive;
    appendByte (receive, state | 0x10 | 0x20);
    appendByte (receive, 1);
    appendByte (receive, 0x40);
    appendByte (receive, 0);
    append (receive, zun::SysexMessage::Unpack28 (b + zun::SysexMessage::transactionIdOffset));
    appendByte (receive, 0x01 | 0x02 | 0x04);
    appendByte (receive, size - 24);
    receive.append (b + zun::SysexMessage::payloadOffset, (size_t) (size - 24));
    append (receive, zun::SysexMessage::Unpack14 (b + zun::SysexMessage::productIdOffset));
    append (receive, zun::SysexMessage::UnpackSerial (b + zun::SysexMessage::serialNumberOffset));

    const std::pair<const char*, juce::MemoryBlock*> targets[] = {
        { "acceptance", &acceptance }, { "discovery", &discovery }, { "monitor", &monitor }, { "receive", &receive }
    };

    for (auto& [target, block] : targets)
    {
        auto file = dir.getChildFile (target).getChildFile (name + ".bin");
        file.getParentDirectory().createDirectory();
        file.replaceWithData (block->getData(), block->getSize());
    }
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        fprintf (stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI juce;
    const juce::File dir (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    auto& bus = sim::VirtualMidiBus::getInstance();

    auto config = sim::DemoSetup::hubConfig();
    auto simulated = std::make_shared<sim::SimulatedInterface> (config, bus);
    const auto ports = simulated->attach ("Corpus");

    Collector collector;
    auto input = juce::MidiInput::openDevice (bus.getInputIdentifier (ports.input), &collector);
    auto output = juce::MidiOutput::openDevice (bus.getOutputIdentifier (ports.output));

    if (input == nullptr || output == nullptr)
        return 1;

    input->start();
    zun::SysexMessage builder;
    int written = 0;

    const auto ask = [&] (const juce::String& name, unsigned char* payload, int length, int state)
    {
        output->sendMessageNow (builder.CreateMessage (payload, (unsigned short) length));
        bus.waitUntilIdle();

        for (auto& reply : collector.take())
        {
            writeSeeds (dir, name, reply, state);
            ++written;
        }
    };

    ask ("discovery-reply", SXMessage_DeviceDiscovery, zun::SXLength::DeviceDiscovery, 1);
    ask ("product-name-reply", SXMessage_GetProductName, zun::SXLength::GetProductName, 2);

    builder.sessionId = 0x0123456;
    builder.productId = config.productId;
    builder.serialNumber = config.serialNumber;

    ask ("midi-info-reply", SXMessage_GetSettingsMI, zun::SXLength::GetSettingsMI, 3);
    ask ("device-info-reply", SXMessage_GetSettingsDI, zun::SXLength::GetSettingsDI, 4);
    ask ("audio-info-reply", SXMessage_GetSettingsAI, zun::SXLength::GetSettingsAI, 5);

    SXMessage_GetSettingsPresetName[7] = 2;
    ask ("preset-name-reply", SXMessage_GetSettingsPresetName, zun::SXLength::GetSettingsPresetName, 6);

    for (int port : { 1, 3, 9, 10 })
    {
        SXMessage_GetSettingsMIDIPortInfo[7] = (unsigned char) port;
        ask ("port-info-reply-" + juce::String (port),
             SXMessage_GetSettingsMIDIPortInfo,
             zun::SXLength::GetSettingsMIDIPortInfo,
             7);
    }

    SXMessage_GetSettingsMIDIRouteInfo[7] = 1;
    ask ("route-info-reply", SXMessage_GetSettingsMIDIRouteInfo, zun::SXLength::GetSettingsMIDIRouteInfo, 8);

    for (int id : { 0x40, 0x41, 0x42 })
    {
        SXMessage_GetSettingsPresetSelectorInfo[7] = 9;
        SXMessage_GetSettingsPresetSelectorInfo[11] = (unsigned char) id;
        ask ("selector-info-reply-" + juce::String::toHexString (id),
             SXMessage_GetSettingsPresetSelectorInfo,
             zun::SXLength::GetSettingsPresetSelectorInfo,
             9);
    }

    zun::WriteSelectorSettings (SXMessage_SetPresetSelectorInfo, {}, 9, 1);
    ask ("selector-write-ack", SXMessage_SetPresetSelectorInfo, zun::SXLength::SetPresetSelectorInfo, 11);

    const juce::uint8 mask[12] = { 0x0c, 0x01 };
    ask ("route-write-ack",
         SXMessage_SetMIDIRouteInfo,
         zun::WriteRouteMask (SXMessage_SetMIDIRouteInfo, 1, mask, 10),
         11);
    ask ("store-ack", SXMessage_SaveGlobals, zun::SXLength::SaveGlobals, 10);

    input->stop();
    bus.removeAll();
    printf ("%d replies written to %s\n", written, dir.getFullPathName().toRawUTF8());
    return written > 0 ? 0 : 1;
}
