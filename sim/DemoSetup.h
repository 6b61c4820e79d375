#pragma once

#include "sim/SimulatedInterface.h"

namespace sim
{
/** The ports and interfaces that the simulated build of the application finds on "Search".

    - "Tallisk Hub 10": ten ports (DIN, USB device and host, RTP, the "Preset Selector" port and an
      automation port), six named presets, eight scenes, four mixer snapshots, all three selector
      types (mask 7). Reachable through two port pairs, "Tallisk Hub 10 Port 1" and "... Port 2".
    - "Tallisk Mini 4": four ports with the "Preset Selector" port last, three presets, four
      scenes, the Preset and Scene selectors (mask 3). Port pair "Tallisk Mini 4".
    - "Synth Module": an input and an output with nothing behind the output.
*/
class DemoSetup
{
public:
    /** Adds the demo ports and interfaces to the bus (after whatever it already holds). */
    static void install (VirtualMidiBus& bus);

    static SimulatedInterface::Config hubConfig();
    static SimulatedInterface::Config miniConfig();
};
} // namespace sim
