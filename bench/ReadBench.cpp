// A whole "Get Settings" of the largest interface the model holds (32 presets, 96 ports, all
// three selectors: 230 round trips) through the main component and the virtual bus, against the
// bus alone carrying the same 230 request/reply pairs with nothing but a hop to the message
// thread behind it. The difference is the program's own cost.
#include "app/MainComponent.h"
#include "app/ZUNDeviceListBox.h"
#include "sim/SimulatedInterface.h"
#include <benchmark/benchmark.h>
#include <chrono>

namespace juce
{
// The platform's own wait for the next message (the real message loop's step). The public
// loop helpers either run until quit or sleep a millisecond whenever the queue is empty, which
// would swamp what is measured here.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
constexpr int roundTrips = 230;

template <typename Condition>
void runLoopUntil (Condition done)
{
    while (! done())
        juce::dispatchNextMessageOnSystemQueue (false);
}

sim::SimulatedInterface::Config largestInterface()
{
    sim::SimulatedInterface::Config c;
    c.productId = 0x0131;
    c.serialNumber = 0x10A2C4E6;
    c.productName = "Largest";
    c.selectorMask = 7;
    c.sceneCount = 16;
    c.snapshotCount = 16;

    for (int p = 1; p <= 96; ++p)
    {
        sim::SimulatedInterface::Port port;
        port.type = (std::uint8_t) (p == 96 ? 5 : 1 + p % 4);
        port.numberA = (std::uint8_t) (p == 96 ? 0 : 1 + p / 4);
        port.numberB = (std::uint8_t) (p == 96 ? 1 : p % 3);
        port.routeMask[11] = (std::uint8_t) (p % 2 == 0 ? 0x80 : 0x00);
        c.ports.push_back (port);
    }

    for (int j = 1; j <= 32; ++j)
        c.presetNames.push_back ("Preset number " + juce::String (j));

    return c;
}

/** The program, found and selected once; each iteration is one whole read. */
struct Program
{
    Program()
    {
        simulated = std::make_shared<sim::SimulatedInterface> (largestInterface());
        simulated->attach ("Largest");
        mc.buttonClicked (&mc.searchButton);
        runLoopUntil ([this] { return mc.requestState == MainComponent::Idle && mc.discovery.devices.size() == 1; });
        mc.deviceListBox->selectRow (0);
    }

    ~Program() { sim::VirtualMidiBus::getInstance().removeAll(); }

    void read()
    {
        mc.buttonClicked (&mc.getSettingsButton);
        runLoopUntil ([this] { return mc.requestState == MainComponent::Idle; });
    }

    std::shared_ptr<sim::SimulatedInterface> simulated;
    MainComponent mc;
};

/** The same requests as the program's read, sent one after the other by a minimal host that
    only hops each reply to the message thread before sending the next request. */
struct BareHost : juce::MidiInputCallback, juce::MessageListener
{
    explicit BareHost (std::vector<juce::MidiMessage> recorded)
        : requests (std::move (recorded))
    {
        simulated = std::make_shared<sim::SimulatedInterface> (largestInterface());
        const auto ports = simulated->attach ("Largest");
        auto& bus = sim::VirtualMidiBus::getInstance();
        input = juce::MidiInput::openDevice (bus.getInputIdentifier (ports.input), this);
        output = juce::MidiOutput::openDevice (bus.getOutputIdentifier (ports.output));
        input->start();
    }

    ~BareHost() override
    {
        input->stop();
        sim::VirtualMidiBus::getInstance().removeAll();
    }

    void handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& m) override
    {
        postMessage (new Reply (m));
    }

    void handleMessage (const juce::Message&) override
    {
        if (++next < requests.size())
            output->sendMessageNow (requests[next]);
    }

    void run()
    {
        next = 0;
        output->sendMessageNow (requests[0]);
        runLoopUntil ([this] { return next >= requests.size(); });
    }

    struct Reply : juce::Message
    {
        explicit Reply (const juce::MidiMessage& m)
            : message (m)
        {
        }
        juce::MidiMessage message;
    };

    std::vector<juce::MidiMessage> requests;
    size_t next = 0;
    std::shared_ptr<sim::SimulatedInterface> simulated;
    std::unique_ptr<juce::MidiInput> input;
    std::unique_ptr<juce::MidiOutput> output;
};

/** Both reads in turn, every iteration, so that the two are measured under the same load: the
    machines are shared and noisy, and the program's own cost is their difference. */
void WholeRead (benchmark::State& state)
{
    Program program;
    program.read(); // warm up
    program.simulated->clearReceived();
    program.read();
    const auto requests = program.simulated->getReceived();

    if (requests.size() != (size_t) roundTrips)
    {
        state.SkipWithError ("the read did not make 230 requests");
        return;
    }

    BareHost host (requests);
    host.run(); // warm up

    using Clock = std::chrono::steady_clock;
    Clock::duration throughProgram {}, busAlone {};

    for (auto _ : state)
    {
        const auto start = Clock::now();
        program.read();
        const auto middle = Clock::now();
        host.run();
        throughProgram += middle - start;
        busAlone += Clock::now() - middle;
    }

    const auto perRead = [&] (Clock::duration total)
    { return std::chrono::duration<double, std::milli> (total).count() / (double) state.iterations(); };

    state.counters["program_ms"] = perRead (throughProgram);
    state.counters["bus_ms"] = perRead (busAlone);
    state.counters["round_trips"] = roundTrips;
}
} // namespace

BENCHMARK (WholeRead)->Unit (benchmark::kMillisecond)->MinTime (4.0);
