#include <gtest/gtest.h>
#include <protocol/DeviceContainer.h>
#include <protocol/PresetSelectorBlock.h>

namespace
{
void FillWithJunk (zun::PresetSelectorBlock& block)
{
    block.portCount = 96;
    block.presetCount = 32;
    block.sceneCount = 8;
    block.snapshotCount = 4;
    block.selectorMask = 7;
    block.SetSelectorPort (16);
    block.routingPort = 3;
    block.currentSelector = 2;

    for (auto& port : block.ports)
    {
        port.number = port.type = port.numberA = port.numberB = 9;
        std::fill (std::begin (port.routeMask), std::end (port.routeMask), (juce::uint8) 0xFF);
        port.routedToSelectors = 1;
        port.name = "DIN 1";
    }

    for (auto& preset : block.presets)
    {
        preset.number = 4;
        preset.name = "Verse";
    }

    for (auto& selector : block.selectors)
    {
        selector.enabled = selector.useControlChange = selector.wraparound = selector.invert = 1;
        selector.channelMask = 0xFFFF;
        selector.minPreset = selector.maxPreset = selector.ccMode = selector.ccId1 = selector.ccId2 = 3;
        selector.minValue = selector.maxValue = selector.onValue = selector.offPreset = selector.onPreset = 3;
    }
}

void ExpectEmpty (const zun::PresetSelectorBlock& block)
{
    EXPECT_EQ (block.portCount + block.presetCount + block.sceneCount + block.snapshotCount, 0);
    EXPECT_EQ (block.selectorPort + block.selectorRouteByte + block.selectorRouteBit, 0);
    EXPECT_EQ (block.routingPort, 0);
    EXPECT_EQ (block.currentSelector, 0);

    for (const auto& port : block.ports)
    {
        EXPECT_EQ (port.number + port.type + port.numberA + port.numberB + port.routedToSelectors, 0);
        EXPECT_TRUE (std::all_of (
            std::begin (port.routeMask), std::end (port.routeMask), [] (juce::uint8 b) { return b == 0; }));
        EXPECT_TRUE (port.name.isEmpty());
    }

    for (const auto& preset : block.presets)
    {
        EXPECT_EQ (preset.number, 0);
        EXPECT_TRUE (preset.name.isEmpty());
    }

    for (const auto& s : block.selectors)
    {
        EXPECT_EQ (s.enabled + s.useControlChange + s.wraparound + s.invert + s.channelMask, 0);
        EXPECT_EQ (s.minPreset + s.maxPreset + s.ccMode + s.ccId1 + s.ccId2 + s.minValue + s.maxValue + s.onValue
                       + s.offPreset + s.onPreset,
                   0);
    }
}
} // namespace

TEST (SettingsModel, EmptyClearsEverythingButTheSelectorMask)
{
    zun::PresetSelectorBlock block;
    FillWithJunk (block);

    block.Empty();

    ExpectEmpty (block);
    EXPECT_EQ (block.selectorMask, 7);
}

TEST (SettingsModel, ContainerStartsEmpty)
{
    zun::DeviceContainer device;

    ExpectEmpty (device.settings);
    EXPECT_TRUE (device.productName.isEmpty());
}

TEST (SettingsModel, SelectorPortGivesItsRouteByteAndBit)
{
    zun::PresetSelectorBlock block;
    const struct
    {
        int port, byte, bit;
    } cases[] { { 1, 0, 0x01 },   { 9, 1, 0x01 }, { 10, 1, 0x02 }, { 16, 1, 0x80 },
                { 96, 11, 0x80 }, { 0, 0, 0 },    { 97, 0, 0 },    { 255, 0, 0 } };

    for (const auto& c : cases)
    {
        block.SetSelectorPort ((juce::uint8) c.port);
        EXPECT_EQ (block.selectorPort, c.port);
        EXPECT_EQ (block.selectorRouteByte, c.byte) << "port " << c.port;
        EXPECT_EQ (block.selectorRouteBit, c.bit) << "port " << c.port;
    }
}

TEST (SettingsModel, RoutingToTheSelectorFollowsTheMaskBit)
{
    zun::PresetSelectorBlock block;
    block.Empty();
    block.SetSelectorPort (10);

    auto& port = block.ports[4];
    port.routeMask[1] = 0x02;
    EXPECT_TRUE (block.RoutesToSelector (port));
    port.routeMask[1] = 0xFD;
    EXPECT_FALSE (block.RoutesToSelector (port));

    block.SetRoutedToSelectors (port, true);
    EXPECT_EQ (port.routeMask[1], 0xFF);
    EXPECT_EQ (port.routedToSelectors, 1);

    block.SetRoutedToSelectors (port, false);
    EXPECT_EQ (port.routeMask[1], 0xFD);
    EXPECT_EQ (port.routedToSelectors, 0);

    // Without a selector port the flag still follows the user, and no mask bit moves.
    block.SetSelectorPort (0);
    port.routeMask[0] = 0x10;
    block.SetRoutedToSelectors (port, true);
    EXPECT_EQ (port.routedToSelectors, 1);
    EXPECT_EQ (port.routeMask[0], 0x10);
    EXPECT_FALSE (block.RoutesToSelector (port));

    // A route byte index beyond the mask, written directly, is never followed.
    block.selectorRouteByte = 200;
    block.selectorRouteBit = 0x01;
    block.SetRoutedToSelectors (port, false);
    EXPECT_FALSE (block.RoutesToSelector (port));
}

TEST (SettingsModel, NumbersFromRepliesReachOnlyRecordsInsideTheModel)
{
    zun::PresetSelectorBlock block;

    EXPECT_EQ (block.GetPort (1), &block.ports[0]);
    EXPECT_EQ (block.GetPort (96), &block.ports[95]);
    EXPECT_EQ (block.GetPreset (32), &block.presets[31]);
    EXPECT_EQ (block.GetSelector (3), &block.selectors[2]);

    for (int outside : { -1, 0, 97, 255 })
        EXPECT_EQ (block.GetPort (outside), nullptr) << outside;

    for (int outside : { 0, 33, 255 })
        EXPECT_EQ (block.GetPreset (outside), nullptr) << outside;

    for (int outside : { 0, 4 })
        EXPECT_EQ (block.GetSelector (outside), nullptr) << outside;
}
