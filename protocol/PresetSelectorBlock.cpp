#include "PresetSelectorBlock.h"

namespace zun
{
void PresetSelectorBlock::Empty()
{
    // selectorMask is left alone on purpose: every read writes it before anything reads it.
    for (auto& selector : selectors)
        selector = SelectorSettings();

    portCount = 0;
    presetCount = 0;
    sceneCount = 0;
    snapshotCount = 0;

    selectorPort = 0;
    selectorRouteByte = 0;
    selectorRouteBit = 0;
    routingPort = 0;
    currentSelector = 0;

    for (auto& preset : presets)
    {
        preset.number = 0;
        preset.name = juce::String();
    }

    for (auto& port : ports)
    {
        port.number = 0;
        port.type = 0;
        port.numberA = 0;
        port.numberB = 0;
        std::fill (std::begin (port.routeMask), std::end (port.routeMask), (juce::uint8) 0);
        port.routedToSelectors = 0;
        port.name = juce::String();
    }
}

void PresetSelectorBlock::SetSelectorPort (juce::uint8 portNumber) noexcept
{
    selectorPort = portNumber;

    if (IsNumberWithin (portNumber, maxPorts))
    {
        selectorRouteByte = (juce::uint8) ((portNumber - 1) >> 3);
        selectorRouteBit = (juce::uint8) (1 << ((portNumber - 1) & 7));
    }
    else
    {
        selectorRouteByte = 0;
        selectorRouteBit = 0;
    }
}

bool PresetSelectorBlock::RoutesToSelector (const PortRecord& port) const noexcept
{
    // The byte index is a public field; never trust it to lie inside the mask.
    return selectorRouteByte < routeBytes && (port.routeMask[selectorRouteByte] & selectorRouteBit) != 0;
}

void PresetSelectorBlock::SetRoutedToSelectors (PortRecord& port, bool routed) noexcept
{
    port.routedToSelectors = routed ? 1 : 0;

    if (selectorRouteByte >= routeBytes)
        return;

    if (routed)
        port.routeMask[selectorRouteByte] |= selectorRouteBit;
    else
        port.routeMask[selectorRouteByte] &= (juce::uint8) ~selectorRouteBit;
}
} // namespace zun
