// The discovery list on arbitrary replies: it must never read outside a reply and never hold
// the same interface twice.
#include "FuzzSupport.h"
#include "protocol/DeviceDiscoveryItem.h"
#include <set>

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    juce::Logger::setCurrentLogger (new fuzz::QuietLogger()); // stays for the whole run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    zun::DeviceDiscoveryItem discovery;
    fuzz::Reader in { data, size };

    // Several replies in one input, so that de-duplication is exercised: [length][bytes]...
    while (in.size > 0)
    {
        const auto reply = in.bytes (in.byte());

        // JUCE reports every malformed message of under four bytes through a slow assertion path;
        // they are far too short to be a reply, and unit tests cover them.
        if (reply.size() < 4)
            continue;

        const int before = discovery.devices.size();
        discovery.AddDevice (fuzz::rawMessage (reply.data(), reply.size()), before, before + 1);
        fuzz::require (discovery.devices.size() - before <= 1, "one reply adds at most one interface");
    }

    std::set<std::pair<int, juce::uint32>> seen;

    for (auto* d : discovery.devices)
    {
        fuzz::require (seen.insert ({ d->productId, d->serialNumber }).second, "no interface is listed twice");
        fuzz::require (d->label.startsWith ("Product ID: "), "every interface has its label");
    }

    return 0;
}
