// Uses the protocol library by its public names and checks a few results the protocol fixes.
#include "protocol/DeviceContainer.h"
#include "protocol/DeviceDiscoveryItem.h"
#include "protocol/SXMessages.h"
#include <cstdio>

int main()
{
    zun::DeviceContainer device;
    const auto frame = device.sysex.CreateMessage (SXMessage_GetProductName, 7);
    const auto* b = frame.getRawData();

    bool ok = frame.getRawDataSize() == 31 && b[29] == 0x6C && b[30] == 0xF7 && device.IsValidMidiMessage (frame);

    zun::DeviceDiscoveryItem discovery;
    discovery.AddDevice (frame, 0, 0); // not a discovery reply: nothing is listed
    ok = ok && discovery.devices.isEmpty();

    device.settings.portCount = 5;
    device.settings.Empty();
    ok = ok && device.settings.portCount == 0 && sizeof (SXMessage_SetMIDIRouteInfo) == 37;

    std::printf ("protocol from outside: %s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
