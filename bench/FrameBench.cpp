// The frame path: building the 39-byte selector record into its 63-byte frame and accepting
// that frame, against a plain copy of the same 63 bytes into a juce::MidiMessage.
#include "protocol/DeviceContainer.h"
#include "protocol/SXMessages.h"
#include <benchmark/benchmark.h>

namespace
{
zun::SelectorSettings sampleRecord()
{
    zun::SelectorSettings r;
    r.enabled = 1;
    r.useControlChange = 1;
    r.channelMask = 0x8001;
    r.minPreset = 1;
    r.maxPreset = 32;
    r.ccMode = 2;
    r.ccId1 = 20;
    r.ccId2 = 21;
    r.onValue = 127;
    return r;
}

void FrameBuildAndAccept (benchmark::State& state)
{
    zun::DeviceContainer device;
    device.sysex.sessionId = 0x0123456;
    device.sysex.productId = 0x0131;
    device.sysex.serialNumber = 0x10A2C4E6;
    zun::WriteSelectorSettings (SXMessage_SetPresetSelectorInfo, sampleRecord(), 9, 1);

    for (auto _ : state)
    {
        const auto frame =
            device.sysex.CreateMessage (SXMessage_SetPresetSelectorInfo, zun::SXLength::SetPresetSelectorInfo);
        benchmark::DoNotOptimize (device.IsValidMidiMessage (frame));
    }
}

void FramePlainCopy (benchmark::State& state)
{
    zun::SysexMessage builder;
    const auto frame = builder.CreateMessage (SXMessage_SetPresetSelectorInfo, zun::SXLength::SetPresetSelectorInfo);
    const std::vector<juce::uint8> bytes (frame.getRawData(), frame.getRawData() + frame.getRawDataSize());

    for (auto _ : state)
    {
        const juce::MidiMessage copy (bytes.data(), (int) bytes.size());
        benchmark::DoNotOptimize (copy.getRawData());
    }
}
} // namespace

BENCHMARK (FrameBuildAndAccept);
BENCHMARK (FramePlainCopy);
