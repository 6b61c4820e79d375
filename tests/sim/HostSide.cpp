#include "HostSide.h"

#include <gtest/gtest.h>

HostSide::~HostSide() { close(); }

bool HostSide::open (int inputHandle, int outputHandle)
{
    auto& bus = sim::VirtualMidiBus::getInstance();
    input = juce::MidiInput::openDevice (bus.getInputIdentifier (inputHandle), this);
    output = outputHandle >= 0 ? juce::MidiOutput::openDevice (bus.getOutputIdentifier (outputHandle)) : nullptr;

    if (input != nullptr)
        input->start();

    return input != nullptr && (outputHandle < 0 || output != nullptr);
}

void HostSide::close()
{
    if (input != nullptr)
        input->stop();

    input.reset();
    output.reset();
}

std::vector<juce::MidiMessage> HostSide::exchange (const juce::MidiMessage& message)
{
    clear();

    if (output != nullptr)
        output->sendMessageNow (message);

    sim::VirtualMidiBus::getInstance().waitUntilIdle();
    return messages();
}

juce::MidiMessage HostSide::ask (unsigned char* payload, int length)
{
    auto replies = exchange (device.sysex.CreateMessage (payload, (unsigned short) length));
    EXPECT_EQ (replies.size(), 1u);
    return replies.size() == 1 ? replies.front() : juce::MidiMessage();
}

std::vector<HostSide::Received> HostSide::received() const
{
    const std::lock_guard<std::mutex> held (lock);
    return all;
}

std::vector<juce::MidiMessage> HostSide::messages() const
{
    const std::lock_guard<std::mutex> held (lock);
    std::vector<juce::MidiMessage> result;

    for (auto& r : all)
        result.push_back (r.message);

    return result;
}

void HostSide::clear()
{
    const std::lock_guard<std::mutex> held (lock);
    all.clear();
}

std::vector<juce::uint8> HostSide::payloadOf (const juce::MidiMessage& frame)
{
    const auto* raw = frame.getRawData();
    const auto size = frame.getRawDataSize();

    if (size < 24)
        return {};

    return std::vector<juce::uint8> (raw + 22, raw + size - 2);
}

void HostSide::handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message)
{
    Received r;
    r.source = source;
    r.message = message;
    r.onMessageThread = juce::MessageManager::existsAndIsCurrentThread();
    r.onBusThread = sim::VirtualMidiBus::getInstance().isBusThread();
    r.thread = std::this_thread::get_id();

    {
        const std::lock_guard<std::mutex> held (lock);
        all.push_back (r);
    }

    if (onMessage)
        onMessage (source, message);
}
