#include <benchmark/benchmark.h>
#include <juce_gui_basics/juce_gui_basics.h>

// JUCE's message system is needed by the component benchmarks; the thread that runs the
// benchmarks is its message thread.
int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
