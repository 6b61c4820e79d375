// The monitor: the cost of one more line with "Show MIDI Messages" ticked, once the pane holds
// 250, 1,000 and 5,000 lines, against the cost of building that line's text alone.
#include "app/MainComponent.h"
#include "protocol/SXMessages.h"
#include <benchmark/benchmark.h>

namespace
{
/** A typical line: the 63-byte frame of a selector record, decoded and in hex. */
juce::MidiMessage typicalFrame (MainComponent& mc)
{
    auto frame = mc.device.sysex.CreateMessage (SXMessage_SetPresetSelectorInfo, zun::SXLength::SetPresetSelectorInfo);
    frame.setTimeStamp (12345.678);
    return frame;
}

void MonitorLineTextAlone (benchmark::State& state)
{
    MainComponent mc;
    const auto frame = typicalFrame (mc);
    int counter = 1;

    for (auto _ : state)
    {
        const auto line = juce::String::formatted ("%d", counter++) + " - "
                          + MainComponent::formatTimeCode (frame.getTimeStamp()) + " S " + mc.describeMessage (frame)
                          + "\r\n";
        benchmark::DoNotOptimize (line.getCharPointer().getAddress());
    }
}

void MonitorAppendLine (benchmark::State& state)
{
    MainComponent mc;
    mc.showMidiMessagesToggle.setToggleState (true, juce::dontSendNotification);
    const auto frame = typicalFrame (mc);
    const auto held = (int) state.range (0);

    // Filling the pane line by line would take minutes at 5,000 lines; the same text at once.
    juce::String text;
    for (int i = 1; i <= held; ++i)
        text << i << " - " << MainComponent::formatTimeCode (frame.getTimeStamp()) << " S "
             << mc.describeMessage (frame) << "\r\n";

    mc.midiMonitor.setText (text, false);
    mc.logLineCounter = held + 1;

    for (auto _ : state)
    {
        mc.addMessageToList (frame, true);

        // Back to the same number of lines, outside the measurement.
        state.PauseTiming();
        mc.midiMonitor.setText (text, false);
        mc.logLineCounter = held + 1;
        state.ResumeTiming();
    }

    state.counters["lines_held"] = held;
}
} // namespace

BENCHMARK (MonitorLineTextAlone);
BENCHMARK (MonitorAppendLine)->Arg (250)->Arg (1000)->Arg (5000)->Unit (benchmark::kMillisecond)->Iterations (20);
