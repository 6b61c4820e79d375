// Linked into QuorvelSimulated only: puts the built-in simulated interfaces on the virtual
// MIDI bus before the application starts, so there is something to find on a machine
// without MIDI hardware. The application itself is unchanged.
#include "sim/DemoSetup.h"
#include "sim/VirtualMidiBus.h"

namespace
{
const bool demoInterfacesInstalled = []
{
    sim::DemoSetup::install (sim::VirtualMidiBus::getInstance());
    return true;
}();
} // namespace
