#include "AppTestSupport.h"
#include "sim/Frame.h"

#include <juce_audio_basics/midi/juce_MidiDataConcatenator.h>
#include <mutex>
#include <thread>

using namespace apptest;

namespace
{
juce::String hex (const juce::uint8* b, int n)
{
    juce::StringArray parts;

    for (int i = 0; i < n; ++i)
        parts.add (juce::String::formatted ("%02x", b[i]));

    return parts.joinIntoString (" ");
}

juce::MidiMessage frame (std::vector<std::uint8_t> payload, juce::uint32 transaction = 0)
{
    sim::Frame f;
    f.productId = 0x0123;
    f.serialNumber = 0x00A1B2C3;
    f.transactionId = transaction;
    f.payload = std::move (payload);
    return f.toMessage();
}

class Ports : public AppTest
{
protected:
    /** Adds inputs and outputs (outputs with a recorder each) and builds both port lists. */
    MainComponent& withPorts (juce::StringArray inputs, juce::StringArray outputs)
    {
        for (auto& name : inputs)
            bus().addInput (name);

        for (auto& name : outputs)
            bus().addOutput (name, recorders.emplace_back (std::make_shared<Recorder>()));

        auto& c = makeComponent();
        c.createDeviceList (true);
        c.createDeviceList (false);
        return c;
    }

    bool isOpen (bool input, int index)
    {
        auto entry = (input ? mc().midiInputs : mc().midiOutputs)[index];
        return input ? entry->inputPort != nullptr : entry->outputPort != nullptr;
    }

    std::vector<std::shared_ptr<Recorder>> recorders;
};

//==============================================================================
TEST_F (Ports, ListsEveryPortInSystemOrderAndOpensAndStartsThem)
{
    auto& c = withPorts ({ "In A", "In B", "In C" }, { "Out X", "Out Y" });

    ASSERT_EQ (c.midiInputs.size(), 3);
    ASSERT_EQ (c.midiOutputs.size(), 2);

    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ (c.midiInputs[i]->portInfo.name, juce::StringArray ({ "In A", "In B", "In C" })[i]);
        EXPECT_EQ (c.midiInputs[i]->portInfo.identifier, bus().getInputIdentifier (i));
        EXPECT_TRUE (isOpen (true, i));
        EXPECT_EQ (c.midiInputs[i]->outputPort, nullptr);
    }

    for (int i = 0; i < 2; ++i)
    {
        EXPECT_EQ (c.midiOutputs[i]->portInfo.identifier, bus().getOutputIdentifier (i));
        EXPECT_TRUE (isOpen (false, i));
        EXPECT_EQ (c.midiOutputs[i]->inputPort, nullptr);
    }

    EXPECT_EQ (bus().getNumOpenInputs(), 3);
    EXPECT_EQ (bus().getNumStartedInputs(), 3);
    EXPECT_EQ (bus().getNumOpenOutputs(), 2);
}

TEST_F (Ports, AnOpenPortIsLeftAsItIsAndAClosedOneIsNotClosedAgain)
{
    auto& c = withPorts ({ "In A", "In B" }, { "Out X" });
    auto* input = c.midiInputs[1]->inputPort.get();
    auto* output = c.midiOutputs[0]->outputPort.get();

    c.openDevice (true, 1);
    c.openDevice (false, 0);
    EXPECT_EQ (c.midiInputs[1]->inputPort.get(), input);
    EXPECT_EQ (c.midiOutputs[0]->outputPort.get(), output);
    EXPECT_EQ (bus().getNumOpenInputs(), 2);
    EXPECT_EQ (bus().getNumOpenOutputs(), 1);

    for (int twice = 0; twice < 2; ++twice)
    {
        c.closeDevice (true, 1);
        c.closeDevice (false, 0);
    }

    EXPECT_FALSE (isOpen (true, 1));
    EXPECT_FALSE (isOpen (false, 0));
    EXPECT_EQ (bus().getNumOpenInputs(), 1);
    EXPECT_EQ (bus().getNumStartedInputs(), 1);
    EXPECT_EQ (bus().getNumOpenOutputs(), 0);

    c.openDevice (true, 1);
    EXPECT_EQ (bus().getNumStartedInputs(), 2);
}

TEST_F (Ports, APortThatRefusesToOpenStaysClosedSilentlyAndKeepsItsEntry)
{
    bus().addInput ("In A");
    bus().addInput ("In B");
    bus().addOutput ("Out X", nullptr);
    bus().addOutput ("Out Y", nullptr);
    bus().setInputRefusesOpen (0, true);
    bus().setOutputRefusesOpen (1, true);

    harness::AlertCatcher catcher;
    auto& c = makeComponent();
    showMessages();
    c.createDeviceList (true);
    c.createDeviceList (false);
    harness::pump (30);

    ASSERT_EQ (c.midiInputs.size(), 2);
    ASSERT_EQ (c.midiOutputs.size(), 2);
    EXPECT_EQ (c.midiInputs[0]->portInfo.name, "In A");
    EXPECT_FALSE (isOpen (true, 0));
    EXPECT_TRUE (isOpen (true, 1));
    EXPECT_TRUE (isOpen (false, 0));
    EXPECT_FALSE (isOpen (false, 1));
    EXPECT_TRUE (catcher.alerts.empty());
    EXPECT_TRUE (c.midiMonitor.isEmpty());
}

TEST_F (Ports, RebuildingClosesEveryOpenPortAndFollowsTheSystemsCurrentOrder)
{
    auto& c = withPorts ({ "In A", "In B" }, { "Out X", "Out Y" });

    // Held here, the old entries outlive the rebuild: only closing them releases their ports.
    const MidiDeviceListEntry::Ptr oldInputs[] = { c.midiInputs[0], c.midiInputs[1] };
    const MidiDeviceListEntry::Ptr oldOutputs[] = { c.midiOutputs[0], c.midiOutputs[1] };

    bus().removeAll();
    bus().addInput ("In C");
    bus().addInput ("In A");
    bus().addOutput ("Out Y", nullptr);
    c.createDeviceList (true);
    c.createDeviceList (false);

    for (auto& old : oldInputs)
        EXPECT_EQ (old->inputPort, nullptr);

    for (auto& old : oldOutputs)
        EXPECT_EQ (old->outputPort, nullptr);

    ASSERT_EQ (c.midiInputs.size(), 2);
    ASSERT_EQ (c.midiOutputs.size(), 1);
    EXPECT_EQ (c.midiInputs[0]->portInfo.name, "In C");
    EXPECT_EQ (c.midiInputs[1]->portInfo.name, "In A");
    EXPECT_EQ (c.midiInputs[1]->portInfo.identifier, bus().getInputIdentifier (1));
    EXPECT_NE (c.midiInputs[1], oldInputs[0]);
    EXPECT_EQ (c.midiOutputs[0]->portInfo.identifier, bus().getOutputIdentifier (0));
    EXPECT_EQ (bus().getNumOpenInputs(), 2);
    EXPECT_EQ (bus().getNumStartedInputs(), 2);
    EXPECT_EQ (bus().getNumOpenOutputs(), 1);
}

TEST_F (Ports, AnInterfacesPairOpensAndClosesByRowAndRowsOutsideTheListDoNothing)
{
    auto& c = withPorts ({ "In A", "In B" }, { "Out X", "Out Y" });

    for (int i = 0; i < 2; ++i)
    {
        c.closeDevice (true, i);
        c.closeDevice (false, i);
    }

    c.discovery.devices.add (new zun::DiscoveredDevice { 1, 0, 0, 0, {} });
    const auto openCounts = [] { return std::make_pair (bus().getNumStartedInputs(), bus().getNumOpenOutputs()); };

    for (int row : { -1, 1 })
        c.openDevice (row);

    EXPECT_EQ (openCounts(), std::make_pair (0, 0));

    c.openDevice (0);
    EXPECT_TRUE (isOpen (true, 1) && isOpen (false, 0));
    EXPECT_EQ (openCounts(), std::make_pair (1, 1));

    for (int row : { -1, 1 })
        c.closeDevice (row);

    EXPECT_EQ (openCounts(), std::make_pair (1, 1));

    c.closeDevice (0);
    EXPECT_EQ (openCounts(), std::make_pair (0, 0));
    EXPECT_EQ (bus().getNumOpenInputs(), 0);
}

TEST_F (Ports, PortsSharingANameGetAnEntryEachOpenedByItsOwnIdentifier)
{
    auto& c = withPorts ({ "Twin", "Twin" }, { "Twin", "Twin" });

    ASSERT_EQ (c.midiInputs.size(), 2);
    EXPECT_NE (bus().getInputIdentifier (0), bus().getInputIdentifier (1));

    for (int i = 0; i < 2; ++i)
    {
        EXPECT_EQ (c.midiInputs[i]->inputPort->getIdentifier(), bus().getInputIdentifier (i));
        EXPECT_EQ (c.midiOutputs[i]->outputPort->getIdentifier(), bus().getOutputIdentifier (i));
    }

    c.midiOutputs[1]->outputPort->sendMessageNow (juce::MidiMessage (0xC0, 7));
    settle();
    EXPECT_TRUE (recorders[0]->get().empty());
    EXPECT_EQ (recorders[1]->get().size(), 1u);
}

TEST_F (Ports, SendToOutputsSendsOnEveryOpenOutputOnly)
{
    auto& c = withPorts ({}, { "Out 0", "Out 1", "Out 2" });
    c.closeDevice (false, 1);

    const auto sent = frame ({ 0x03, 0x05, 0x01 });
    c.sendToOutputs (sent);
    settle();

    for (size_t i : { 0u, 2u })
    {
        const auto got = recorders[i]->get();
        ASSERT_EQ (got.size(), 1u) << i;
        EXPECT_EQ (hex (got[0].getRawData(), got[0].getRawDataSize()), hex (sent.getRawData(), sent.getRawDataSize()));
    }

    EXPECT_TRUE (recorders[1]->get().empty());
}

TEST_F (Ports, DestructionClosesEveryPort)
{
    withPorts ({ "In A", "In B" }, { "Out X", "Out Y", "Out Z" });
    ASSERT_EQ (bus().getNumOpenInputs() + bus().getNumOpenOutputs(), 5);

    component.reset();
    EXPECT_EQ (bus().getNumOpenInputs(), 0);
    EXPECT_EQ (bus().getNumOpenOutputs(), 0);
}

//==============================================================================
class HandOff : public Ports
{
};

TEST_F (HandOff, ABurstIsPostedFromTheBusThreadAndHandledOnceEachInOrder)
{
    auto& c = withPorts ({ "In" }, {});
    showMessages();

    std::vector<juce::String> expected;

    for (int i = 0; i < 200; ++i)
    {
        const auto v = (juce::uint8) (i & 0x7F);

        switch (i % 4)
        {
            case 0:
                bus().sendToHost (0, juce::MidiMessage (0xC1, v));
                expected.push_back ("Program change " + juce::String (v));
                break;
            case 1:
                bus().sendToHost (0, juce::MidiMessage (0xE2, v, i >> 7));
                expected.push_back ("Pitch wheel " + juce::String (i));
                break;
            case 2:
            {
                const auto f = frame ({ 0x43, 0x05, v }, (juce::uint32) i);
                bus().sendToHost (0, f);
                expected.push_back ("RetParmVal MIDIInfo: " + hex (f.getRawData() + 5, f.getRawDataSize() - 6));
                break;
            }
            default:
                bus().sendToHost (0, juce::MidiMessage (0xB3, 3, v));
                expected.push_back ("Controller [3]: " + juce::String (v));
        }
    }

    // Every callback has run on the bus thread, and none of them did the work there.
    bus().waitUntilIdle();
    EXPECT_TRUE (c.midiMonitor.isEmpty());
    EXPECT_EQ (c.logLineCounter, 1);

    ASSERT_TRUE (harness::pumpUntil ([&] { return c.logLineCounter > 200; }, 10000));
    settle();
    const auto lines = monitorLines();
    ASSERT_EQ (lines.size(), 200);

    for (int i = 0; i < 200; ++i)
    {
        EXPECT_TRUE (lines[i].startsWith (juce::String (i + 1) + " - ")) << lines[i];
        EXPECT_EQ (lines[i].fromFirstOccurrenceOf (" R ", false, false), expected[(size_t) i]) << i;
    }

    EXPECT_EQ (c.requestState, MainComponent::Idle);
}

TEST_F (HandOff, AMessageFromAnInputClosedBeforeItIsHandledIsLoggedButPairsWithNoInput)
{
    auto first = addInterface (smallInterface (0x0123, 0x111), "First");
    auto second = addInterface (smallInterface (0x0456, 0x222), "Second");
    auto& c = makeComponent();
    showMessages();

    // Both discovery replies are posted before the first interface's input is closed.
    c.buttonClicked (&c.searchButton);
    bus().waitUntilIdle();
    c.closeDevice (true, 0);

    const auto replies = [this]
    {
        auto lines = monitorLines();
        return std::count_if (
            lines.begin(), lines.end(), [] (auto& l) { return l.contains (" R DevSesnVal SessionInfo: "); });
    };

    ASSERT_TRUE (harness::pumpUntil ([&] { return replies() == 2; }));
    ASSERT_EQ (c.discovery.devices.size(), 1);
    EXPECT_EQ (c.discovery.devices[0]->serialNumber, 0x222u);
    EXPECT_EQ (c.discovery.devices[0]->inputIndex, 1);
}

TEST_F (HandOff, OnlyACompleteSysExIsHandedOverNeverItsPieces)
{
    auto& c = makeComponent();
    showMessages();

    std::vector<std::uint8_t> payload { 0x43, 0x06 };
    payload.resize (60, 0x2A);
    const auto whole = frame (payload);

    // Arriving in pieces, on a thread of the MIDI service's own, as a driver delivers it.
    std::thread midiThread (
        [&]
        {
            juce::MidiDataConcatenator concatenator (16);
            auto& callback = (juce::MidiInputCallback&) c;

            for (int at = 0; at < whole.getRawDataSize(); at += 10)
                concatenator.pushMidiData (whole.getRawData() + at,
                                           juce::jmin (10, whole.getRawDataSize() - at),
                                           1.5,
                                           (juce::MidiInput*) nullptr,
                                           callback);
        });
    midiThread.join();

    EXPECT_TRUE (c.midiMonitor.isEmpty());
    ASSERT_TRUE (harness::pumpUntil ([&] { return c.logLineCounter > 1; }));
    harness::pump (20);

    ASSERT_EQ (monitorLines().size(), 1);
    EXPECT_EQ (monitorLines()[0],
               "1 - 00:00:01.500 R RetParmVal MIDIPortInfo: "
                   + hex (whole.getRawData() + 5, whole.getRawDataSize() - 6));
}
} // namespace
