#include "sim/DemoSetup.h"

#include <algorithm>

namespace sim
{
namespace
{
    using Port = SimulatedInterface::Port;
    using Selector = SimulatedInterface::Selector;

    Port port (std::uint8_t type, std::uint8_t a, std::uint8_t b, std::initializer_list<std::uint8_t> routeBytes = {})
    {
        Port p { type, a, b, {} };
        std::copy (routeBytes.begin(), routeBytes.end(), p.routeMask.begin());
        return p;
    }

    Selector selector (std::uint8_t enabled,
                       std::uint8_t useControlChange,
                       std::uint16_t channelMask,
                       std::uint8_t minPreset,
                       std::uint8_t maxPreset)
    {
        Selector s;
        s.enabled = enabled;
        s.useControlChange = useControlChange;
        s.channelMask = channelMask;
        s.minPreset = minPreset;
        s.maxPreset = maxPreset;
        return s;
    }
} // namespace

SimulatedInterface::Config DemoSetup::hubConfig()
{
    SimulatedInterface::Config c;
    c.productId = 0x0131;
    c.serialNumber = 0x10a2c4e6;
    c.productName = "Tallisk Hub 10";

    // Port 9 is the "Preset Selector" port: route byte 1, bit 0. DIN in 1 and USB 1-1 are routed
    // to it; everything also goes to DIN out 1 (port 3) and DIN out 2 (port 4).
    c.ports = { port (1, 1, 0, { 0x0c, 0x01 }), // DIN in 1
                port (1, 2, 0, { 0x0c }), // DIN in 2
                port (1, 0, 1), // DIN out 1
                port (1, 0, 2), // DIN out 2
                port (2, 1, 1, { 0x0c, 0x01 }), // USBD 1-1
                port (2, 1, 2, { 0x08 }), // USBD 1-2
                port (3, 1, 1, { 0x04 }), // USBH 1-1
                port (4, 1, 1, { 0x0c }), // RTP 1-1
                port (5, 0, 1), // Preset Selector
                port (5, 0, 3) }; // Automation Control

    c.presetNames = { "Clean Rhythm", "Crunch", "Lead Boost", "Ambient Pad", "Rehearsal", "Live Set A" };
    c.sceneCount = 8;
    c.snapshotCount = 4;
    c.selectorMask = 7;

    auto& presets = c.selectors[0];
    presets = selector (1, 0, 0x0001, 1, 6);
    presets.offPreset = 1;
    presets.onPreset = 4;

    auto& scenes = c.selectors[1];
    scenes = selector (1, 1, 0x0003, 1, 8);
    scenes.ccMode = 2;
    scenes.ccId1 = 20;
    scenes.ccId2 = 21;
    scenes.minValue = 0;
    scenes.maxValue = 127;
    scenes.wraparound = 1;

    auto& snapshots = c.selectors[2];
    snapshots = selector (0, 1, 0x8000, 1, 4);
    snapshots.ccMode = 3;
    snapshots.ccId1 = 64;
    snapshots.onValue = 64;
    snapshots.offPreset = 1;
    snapshots.onPreset = 3;
    snapshots.invert = 1;
    return c;
}

SimulatedInterface::Config DemoSetup::miniConfig()
{
    SimulatedInterface::Config c;
    c.productId = 0x0122;
    c.serialNumber = 0x00004d2f;
    c.productName = "Tallisk Mini 4";

    // Port 4 is the "Preset Selector" port: route byte 0, bit 3.
    c.ports = { port (1, 1, 1, { 0x0a }), // DIN 1 (in and out)
                port (2, 1, 1, { 0x09 }), // USBD 1-1
                port (2, 1, 2, { 0x01 }), // USBD 1-2
                port (5, 0, 1) }; // Preset Selector

    c.presetNames = { "Warm Up", "Verse", "Chorus" };
    c.sceneCount = 4;
    c.selectorMask = 3;

    auto& presets = c.selectors[0];
    presets = selector (1, 1, 0xffff, 1, 3);
    presets.ccMode = 1;
    presets.ccId1 = 7;
    presets.minValue = 10;
    presets.maxValue = 110;

    c.selectors[1] = selector (1, 0, 0x0200, 2, 4);
    return c;
}

void DemoSetup::install (VirtualMidiBus& bus)
{
    auto hub = std::make_shared<SimulatedInterface> (hubConfig(), bus);
    hub->attach ("Tallisk Hub 10 Port 1");
    hub->attach ("Tallisk Hub 10 Port 2");

    auto mini = std::make_shared<SimulatedInterface> (miniConfig(), bus);
    mini->attach ("Tallisk Mini 4");

    bus.addInput ("Synth Module");
    bus.addOutput ("Synth Module", nullptr);
}
} // namespace sim
