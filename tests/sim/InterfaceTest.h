#pragma once

#include "HostSide.h"
#include "sim/SimulatedInterface.h"

#include <gtest/gtest.h>

/** A simulated interface on one port pair, and the program's side opened on that pair. */
class InterfaceTest : public ::testing::Test
{
protected:
    using Interface = sim::SimulatedInterface;

    /** Product ID 0102, serial number 3, "Hub"; three ports (DIN in 1, USBD 1-2, the "Preset
        Selector" port), presets "Clean" and "Lead Boost", 5 scenes, 3 snapshots, all selectors. */
    static Interface::Config config();

    /** Creates the interface, attaches it as "Interface" and opens the host side on that pair. */
    void start (Interface::Config c = config());

    /** Frames from now on are addressed to the interface, in session 105 (hex). */
    void address();

    void TearDown() override;

    /** A frame the program accepts, of payload length `length`, with the given payload bytes. */
    ::testing::AssertionResult hasLayout (const juce::MidiMessage& reply,
                                          int length,
                                          std::initializer_list<std::pair<int, int>> markers) const;

    sim::VirtualMidiBus& bus = sim::VirtualMidiBus::getInstance();
    std::shared_ptr<Interface> iface;
    Interface::PortPair pair;
    HostSide host;
};
