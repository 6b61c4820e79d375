#pragma once

#include "protocol/DeviceContainer.h"
#include "sim/VirtualMidiBus.h"

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

/** The program's side of the virtual bus in a test: one input and one output opened through
    juce::MidiInput / juce::MidiOutput, every incoming message collected with where it ran, and a
    frame builder of the program's own for making requests. */
class HostSide : public juce::MidiInputCallback
{
public:
    struct Received
    {
        juce::MidiInput* source = nullptr;
        juce::MidiMessage message;
        bool onMessageThread = false;
        bool onBusThread = false;
        std::thread::id thread;
    };

    ~HostSide() override;

    /** Opens and starts the input and opens the output (none for -1) with these handles; false
        if either failed. */
    bool open (int inputHandle, int outputHandle = -1);
    void close();

    /** Sends on the output, waits until the bus is idle and returns what arrived meanwhile. */
    std::vector<juce::MidiMessage> exchange (const juce::MidiMessage& message);

    /** Builds a frame from a payload template with `device`'s builder and returns the one reply,
        or an empty message (a failed expectation) when not exactly one message came back. */
    juce::MidiMessage ask (unsigned char* payload, int length);

    std::vector<Received> received() const;
    std::vector<juce::MidiMessage> messages() const;
    void clear();

    /** The payload bytes of a frame (frame bytes 22 to size - 2). */
    static std::vector<juce::uint8> payloadOf (const juce::MidiMessage& frame);

    /** Runs inside the callback, on the bus thread, after the message was recorded. */
    std::function<void (juce::MidiInput*, const juce::MidiMessage&)> onMessage;

    zun::DeviceContainer device;
    std::unique_ptr<juce::MidiInput> input;
    std::unique_ptr<juce::MidiOutput> output;

private:
    void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message) override;

    mutable std::mutex lock;
    std::vector<Received> all;
};
