#include "HostSide.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace
{
using namespace std::chrono_literals;

/** Records what the program sends on the outputs it sits behind; can bounce each message back. */
class RecordingEndpoint : public sim::Endpoint
{
public:
    struct Call
    {
        int outputHandle;
        juce::MidiMessage message;
        bool onBusThread;
    };

    void receivedFromHost (int outputHandle, const juce::MidiMessage& message) override
    {
        {
            const std::lock_guard<std::mutex> held (lock);
            calls.push_back ({ outputHandle, message, sim::VirtualMidiBus::getInstance().isBusThread() });
        }

        if (echoToInput >= 0)
            sim::VirtualMidiBus::getInstance().sendToHost (echoToInput, message);
    }

    std::vector<Call> getCalls() const
    {
        const std::lock_guard<std::mutex> held (lock);
        return calls;
    }

    int echoToInput = -1;

private:
    mutable std::mutex lock;
    std::vector<Call> calls;
};

juce::MidiMessage note (int number) { return juce::MidiMessage::noteOn (1, number, (juce::uint8) 100); }

juce::StringArray namesOf (const juce::Array<juce::MidiDeviceInfo>& devices)
{
    juce::StringArray names;

    for (auto& d : devices)
        names.add (d.name);

    return names;
}

class VirtualMidiBusTest : public ::testing::Test
{
protected:
    void TearDown() override { bus.removeAll(); }

    sim::VirtualMidiBus& bus = sim::VirtualMidiBus::getInstance();
};
} // namespace

TEST_F (VirtualMidiBusTest, PortsAreListedInOrderAndOpenedByTheirOwnIdentifierEvenWhenNamesRepeat)
{
    EXPECT_EQ (bus.addInput ("Shared"), 0);
    EXPECT_EQ (bus.addInput ("Other"), 1);
    EXPECT_EQ (bus.addInput ("Shared"), 2);
    EXPECT_EQ (bus.addOutput ("Out A", nullptr), 0); // outputs count on their own
    EXPECT_EQ (bus.addOutput ("Out B", nullptr), 1);

    const auto inputs = juce::MidiInput::getAvailableDevices();
    ASSERT_EQ (inputs.size(), 3);
    EXPECT_EQ (namesOf (inputs), juce::StringArray ({ "Shared", "Other", "Shared" }));
    EXPECT_EQ (namesOf (juce::MidiOutput::getAvailableDevices()), juce::StringArray ({ "Out A", "Out B" }));
    EXPECT_EQ (juce::MidiInput::getDefaultDevice(), inputs[0]);

    for (int i = 0; i < inputs.size(); ++i)
    {
        EXPECT_EQ (inputs[i].identifier, bus.getInputIdentifier (i)) << "handle equals position";

        for (int j = 0; j < i; ++j)
            EXPECT_NE (inputs[i].identifier, inputs[j].identifier);
    }

    EXPECT_NE (bus.getOutputIdentifier (0), bus.getInputIdentifier (0));

    // Each "Shared" port is its own port: a message for one reaches only the input opened on it.
    HostSide first, second;
    ASSERT_TRUE (first.open (0));
    ASSERT_TRUE (second.open (2));
    EXPECT_EQ (second.input->getName(), "Shared");
    EXPECT_EQ (second.input->getIdentifier(), inputs[2].identifier);

    bus.sendToHost (2, note (64));
    bus.waitUntilIdle();
    EXPECT_TRUE (first.messages().empty());
    ASSERT_EQ (second.messages().size(), 1u);
    EXPECT_EQ (second.received()[0].source, second.input.get());
}

TEST_F (VirtualMidiBusTest, UnknownStaleAndRefusingPortsDoNotOpen)
{
    HostSide host;
    bus.addInput ("In");
    bus.addOutput ("Out", nullptr);
    const auto staleInput = bus.getInputIdentifier (0);
    const auto staleOutput = bus.getOutputIdentifier (0);

    EXPECT_EQ (juce::MidiInput::openDevice (juce::String(), &host), nullptr);
    EXPECT_EQ (juce::MidiInput::openDevice ("In", &host), nullptr) << "names do not open ports";
    EXPECT_EQ (juce::MidiInput::openDevice (staleOutput, &host), nullptr) << "an output's identifier is not an input's";
    EXPECT_EQ (juce::MidiOutput::openDevice ("nonsense"), nullptr);

    bus.removeAll();
    EXPECT_EQ (bus.getNumInputs(), 0);
    EXPECT_EQ (bus.addInput ("In"), 0) << "numbering starts again";
    EXPECT_EQ (bus.addOutput ("Out", nullptr), 0);
    EXPECT_NE (bus.getInputIdentifier (0), staleInput);
    EXPECT_EQ (juce::MidiInput::openDevice (staleInput, &host), nullptr);
    EXPECT_EQ (juce::MidiOutput::openDevice (staleOutput), nullptr);

    bus.addInput ("In 2");
    bus.addOutput ("Out 2", nullptr);
    bus.setRefusesOpen (0, true);
    bus.setInputRefusesOpen (1, true);
    EXPECT_EQ (juce::MidiInput::openDevice (bus.getInputIdentifier (0), &host), nullptr);
    EXPECT_EQ (juce::MidiOutput::openDevice (bus.getOutputIdentifier (0)), nullptr);
    EXPECT_EQ (juce::MidiInput::openDevice (bus.getInputIdentifier (1), &host), nullptr);
    EXPECT_NE (juce::MidiOutput::openDevice (bus.getOutputIdentifier (1)), nullptr) << "only the input refuses";
    EXPECT_EQ (bus.getNumOpenInputs(), 0);

    bus.setRefusesOpen (0, false);
    EXPECT_TRUE (host.open (0, 0));
    EXPECT_EQ (bus.getNumOpenInputs(), 1);
    EXPECT_EQ (bus.getNumOpenOutputs(), 1);
    host.close();
    EXPECT_EQ (bus.getNumOpenInputs(), 0);
    EXPECT_EQ (bus.getNumOpenOutputs(), 0);
}

TEST_F (VirtualMidiBusTest, InputsDeliverOnlyBetweenStartAndStop)
{
    bus.addInput ("In");
    bus.sendToHost (0, note (1)); // nobody has the port open: dropped
    bus.sendToHost (5, note (2)); // no such port: dropped

    HostSide host;
    host.input = juce::MidiInput::openDevice (bus.getInputIdentifier (0), &host);
    ASSERT_NE (host.input, nullptr);
    bus.sendToHost (0, note (3)); // open but not started
    bus.waitUntilIdle();
    EXPECT_TRUE (host.messages().empty());

    host.input->start();
    EXPECT_EQ (bus.getNumStartedInputs(), 1);
    bus.sendToHost (0, note (4));
    bus.waitUntilIdle();

    host.input->stop();
    bus.sendToHost (0, note (5));
    bus.waitUntilIdle();

    const auto messages = host.messages();
    ASSERT_EQ (messages.size(), 1u);
    EXPECT_EQ (messages[0].getNoteNumber(), 4);
}

TEST_F (VirtualMidiBusTest, CallbacksRunOnTheBusThreadWithCompleteMessagesInOrder)
{
    bus.addInput ("In");
    HostSide host;
    ASSERT_TRUE (host.open (0));

    std::vector<juce::MidiMessage> sent;

    for (int i = 0; i < 60; ++i)
    {
        if (i % 3 == 0)
        {
            const juce::uint8 sysex[] = { 0xf0, 0x7d, (juce::uint8) i, 0x01, 0x02, 0x03, 0xf7 };
            sent.push_back (juce::MidiMessage (sysex, (int) sizeof (sysex)));
        }
        else
        {
            sent.push_back (note (i));
        }

        bus.sendToHost (0, sent.back());
    }

    bus.waitUntilIdle();
    const auto received = host.received();
    ASSERT_EQ (received.size(), sent.size());

    for (size_t i = 0; i < sent.size(); ++i)
    {
        EXPECT_EQ (juce::MemoryBlock (received[i].message.getRawData(), (size_t) received[i].message.getRawDataSize()),
                   juce::MemoryBlock (sent[i].getRawData(), (size_t) sent[i].getRawDataSize()))
            << "message " << i;
        EXPECT_FALSE (received[i].onMessageThread);
        EXPECT_TRUE (received[i].onBusThread);
        EXPECT_EQ (received[i].thread, received[0].thread);
    }

    EXPECT_NE (received[0].thread, std::this_thread::get_id());
}

TEST_F (VirtualMidiBusTest, DeliveriesAreStampedOnTheHiResClockAndKeepOrderAcrossDelays)
{
    bus.addInput ("In");
    HostSide host;
    ASSERT_TRUE (host.open (0));

    const double before = juce::Time::getMillisecondCounterHiRes() * 0.001;
    auto stamped = note (1);
    stamped.setTimeStamp (12345.0); // replaced at delivery
    bus.sendToHostAfter (0, stamped, 150);
    bus.sendToHost (0, note (2)); // queued later with no delay: still comes second
    bus.sendToHostAfter (0, note (3), 20);
    bus.waitUntilIdle(); // delayed deliveries count as queued
    const double after = juce::Time::getMillisecondCounterHiRes() * 0.001;

    const auto messages = host.messages();
    ASSERT_EQ (messages.size(), 3u);

    for (size_t i = 0; i < messages.size(); ++i)
    {
        EXPECT_EQ (messages[i].getNoteNumber(), (int) i + 1);
        EXPECT_GE (messages[i].getTimeStamp(), before);
        EXPECT_LE (messages[i].getTimeStamp(), after);

        if (i > 0)
        {
            EXPECT_GE (messages[i].getTimeStamp(), messages[i - 1].getTimeStamp());
        }
    }
}

TEST_F (VirtualMidiBusTest, OutputsHandMessagesToTheirEndpointOnTheBusThread)
{
    auto first = std::make_shared<RecordingEndpoint>();
    auto second = std::make_shared<RecordingEndpoint>();
    bus.addOutput ("Nothing behind", nullptr);
    bus.addOutput ("First", first);
    bus.addOutput ("Second", second);

    auto empty = juce::MidiOutput::openDevice (bus.getOutputIdentifier (0));
    auto out1 = juce::MidiOutput::openDevice (bus.getOutputIdentifier (1));
    auto out2 = juce::MidiOutput::openDevice (bus.getOutputIdentifier (2));
    ASSERT_TRUE (empty != nullptr && out1 != nullptr && out2 != nullptr);

    empty->sendMessageNow (note (9));

    for (int i = 0; i < 20; ++i)
        (i % 4 == 0 ? out2 : out1)->sendMessageNow (note (i));

    bus.waitUntilIdle();
    const auto calls1 = first->getCalls();
    const auto calls2 = second->getCalls();
    ASSERT_EQ (calls1.size(), 15u);
    ASSERT_EQ (calls2.size(), 5u);

    int expected = 0;

    for (auto& call : calls1)
    {
        if (expected % 4 == 0)
            ++expected;

        EXPECT_EQ (call.outputHandle, 1);
        EXPECT_EQ (call.message.getNoteNumber(), expected++);
        EXPECT_TRUE (call.onBusThread);
    }

    EXPECT_EQ (calls2.back().outputHandle, 2);
    EXPECT_EQ (calls2.back().message.getNoteNumber(), 16);
}

TEST_F (VirtualMidiBusTest, WaitUntilIdleCoversRepliesQueuedWhileHandlingEarlierOnes)
{
    // The endpoint bounces every message back; the program's callback answers each with the next
    // lower note until 0. All of it is queued on the bus thread after the first send.
    auto endpoint = std::make_shared<RecordingEndpoint>();
    endpoint->echoToInput = bus.addInput ("In");
    bus.addOutput ("Out", endpoint);

    HostSide host;
    ASSERT_TRUE (host.open (0, 0));
    host.onMessage = [&host] (juce::MidiInput*, const juce::MidiMessage& m)
    {
        if (m.getNoteNumber() > 0)
            host.output->sendMessageNow (note (m.getNoteNumber() - 1));
    };

    host.output->sendMessageNow (note (10));
    bus.waitUntilIdle();

    const auto messages = host.messages();
    ASSERT_EQ (messages.size(), 11u);
    EXPECT_EQ (messages.back().getNoteNumber(), 0);
    EXPECT_EQ (endpoint->getCalls().size(), 11u);
}

TEST_F (VirtualMidiBusTest, StopWaitsForARunningCallbackAndEndsDelivery)
{
    bus.addInput ("In");
    HostSide host;
    ASSERT_TRUE (host.open (0));

    std::promise<void> entered, release;
    auto released = release.get_future();
    std::atomic<bool> stopReturned { false }, stopReturnedDuringCallback { false };
    std::atomic<int> calls { 0 };

    host.onMessage = [&] (juce::MidiInput*, const juce::MidiMessage&)
    {
        if (calls++ > 0)
            return;

        entered.set_value();
        released.wait();
        stopReturnedDuringCallback = stopReturned.load();
    };

    bus.sendToHost (0, note (1));
    entered.get_future().wait();

    std::thread stopper (
        [&]
        {
            host.input->stop();
            stopReturned = true;
        });

    std::this_thread::sleep_for (100ms); // room for a stop that does not wait to return too early
    release.set_value();
    stopper.join();
    EXPECT_FALSE (stopReturnedDuringCallback);

    bus.sendToHost (0, note (2));
    bus.waitUntilIdle();
    EXPECT_EQ (calls.load(), 1);
}

TEST_F (VirtualMidiBusTest, DestroyingAnInputWaitsForItsCallbackAndEndsDelivery)
{
    bus.addInput ("In");
    HostSide host;
    ASSERT_TRUE (host.open (0));

    std::promise<void> entered, release;
    auto released = release.get_future();
    std::atomic<bool> destroyed { false }, destroyedDuringCallback { false };
    std::atomic<int> calls { 0 };

    host.onMessage = [&] (juce::MidiInput*, const juce::MidiMessage&)
    {
        if (calls++ > 0)
            return;

        entered.set_value();
        released.wait();
        destroyedDuringCallback = destroyed.load();
    };

    bus.sendToHost (0, note (1));
    entered.get_future().wait();

    std::thread destroyer (
        [&]
        {
            host.input.reset(); // no stop() first
            destroyed = true;
        });

    std::this_thread::sleep_for (100ms);
    release.set_value();
    destroyer.join();
    EXPECT_FALSE (destroyedDuringCallback);
    EXPECT_EQ (bus.getNumOpenInputs(), 0);

    bus.sendToHost (0, note (2));
    bus.waitUntilIdle();
    EXPECT_EQ (calls.load(), 1);
}

TEST_F (VirtualMidiBusTest, StoppingAnotherInputWhileACallbackRunsDoesNotWaitForIt)
{
    bus.addInput ("A");
    bus.addInput ("B");
    HostSide a, b;
    ASSERT_TRUE (a.open (0));
    ASSERT_TRUE (b.open (1));

    // From the message thread, while A's callback is blocked on the bus thread: stopping B must not
    // wait for A's callback, or the callback's wait below runs out.
    std::promise<void> entered, bStopped;
    auto bStoppedFuture = bStopped.get_future();
    std::atomic<bool> sawStopInTime { false };

    a.onMessage = [&] (juce::MidiInput*, const juce::MidiMessage& m)
    {
        if (m.getNoteNumber() != 1)
            return;

        entered.set_value();
        sawStopInTime = bStoppedFuture.wait_for (10s) == std::future_status::ready;
    };

    bus.sendToHost (0, note (1));
    entered.get_future().wait();
    b.input->stop();
    bStopped.set_value();
    bus.waitUntilIdle();
    EXPECT_TRUE (sawStopInTime);

    // From inside A's callback, on the bus thread.
    b.input->start();
    a.onMessage = [&b] (juce::MidiInput*, const juce::MidiMessage& m)
    {
        if (m.getNoteNumber() == 2)
            b.input->stop();
    };

    bus.sendToHost (0, note (2));
    bus.sendToHost (1, note (3));
    bus.waitUntilIdle();
    EXPECT_TRUE (b.messages().empty());
    EXPECT_EQ (bus.getNumStartedInputs(), 1);
}

TEST_F (VirtualMidiBusTest, RemoveAllDropsQueuedMessagesAndCutsOffOpenPorts)
{
    auto endpoint = std::make_shared<RecordingEndpoint>();
    bus.addInput ("In");
    bus.addOutput ("Out", endpoint);
    HostSide host;
    ASSERT_TRUE (host.open (0, 0));

    host.output->sendMessageNow (note (0)); // the bus thread is running and idle after this
    bus.waitUntilIdle();
    bus.sendToHostAfter (0, note (1), 300);
    std::this_thread::sleep_for (20ms); // lets the bus thread start waiting for that message's time
    bus.removeAll();

    // The old objects stay usable but reach nothing, not even ports that now have their handles.
    auto newEndpoint = std::make_shared<RecordingEndpoint>();
    EXPECT_EQ (bus.addInput ("New In"), 0);
    EXPECT_EQ (bus.addOutput ("New Out", newEndpoint), 0);
    host.output->sendMessageNow (note (2));
    bus.sendToHost (0, note (3));
    bus.waitUntilIdle();

    EXPECT_TRUE (host.messages().empty());
    EXPECT_EQ (endpoint->getCalls().size(), 1u) << "only the message sent before removeAll";
    EXPECT_TRUE (newEndpoint->getCalls().empty());
    EXPECT_EQ (bus.getNumOpenInputs(), 1);
    EXPECT_EQ (bus.getNumOpenOutputs(), 1);
}

TEST_F (VirtualMidiBusTest, OutputDestructorStopsItsBackgroundThread)
{
    auto endpoint = std::make_shared<RecordingEndpoint>();
    bus.addOutput ("Out", endpoint);
    auto output = juce::MidiOutput::openDevice (bus.getOutputIdentifier (0));
    ASSERT_NE (output, nullptr);

    output->startBackgroundThread();
    juce::MidiBuffer buffer;
    buffer.addEvent (note (7), 0);
    output->sendBlockOfMessages (buffer, juce::Time::getMillisecondCounter() + 5.0, 44100.0);

    const auto deadline = std::chrono::steady_clock::now() + 5s;

    while (endpoint->getCalls().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for (1ms);

    // JUCE asserts (a test failure here) if a thread object is destroyed while still running.
    output.reset();
    bus.waitUntilIdle();
    ASSERT_EQ (endpoint->getCalls().size(), 1u);
    EXPECT_EQ (endpoint->getCalls()[0].message.getNoteNumber(), 7);
}
