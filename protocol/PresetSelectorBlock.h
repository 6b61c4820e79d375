#pragma once

#include <juce_core/juce_core.h>

namespace zun
{
/** The settings of one preset selector (Preset, Scene or Mixer Snapshot). */
struct SelectorSettings
{
    juce::uint8 enabled = 0; /**< 0 or 1 */
    juce::uint8 useControlChange = 0; /**< 0 = reacts to Program Change, 1 = to Control Change */
    juce::uint8 wraparound = 0; /**< 0 or 1 */
    juce::uint8 invert = 0; /**< 0 or 1 */
    juce::uint16 channelMask = 0; /**< bit k = MIDI channel k + 1 */
    juce::uint8 minPreset = 0;
    juce::uint8 maxPreset = 0;
    juce::uint8 ccMode = 0; /**< 1 Continuous, 2 Inc/Dec, 3 Toggle; 0 = not set */
    juce::uint8 ccId1 = 0;
    juce::uint8 ccId2 = 0;
    juce::uint8 minValue = 0;
    juce::uint8 maxValue = 0;
    juce::uint8 onValue = 0;
    juce::uint8 offPreset = 0;
    juce::uint8 onPreset = 0;
};

/** One MIDI port of the interface. */
struct PortRecord
{
    static constexpr int routeBytes = 12;

    juce::uint8 number = 0; /**< 1-based port number; 0 in an unfilled record */
    juce::uint8 type = 0; /**< 1 DIN, 2 USBD, 3 USBH, 4 RTP, 5 virtual function port */
    juce::uint8 numberA = 0;
    juce::uint8 numberB = 0; /**< for type 5, the port's function (1 = Preset Selector) */
    /** Bit b of byte k set = this port routes to port 8k + b + 1. */
    juce::uint8 routeMask[routeBytes] {};
    juce::uint8 routedToSelectors = 0; /**< follows routeMask at the selector port's bit */
    juce::String name;
};

/** One preset of the interface. */
struct PresetRecord
{
    juce::uint8 number = 0; /**< 1-based preset number; 0 in an unfilled record */
    juce::String name;
};

/**
    The preset-selector settings model of the interface being configured.

    Plain values only: the settings read fills it from replies, the editor changes it and the
    writes send parts of it back. Numbers that arrive in replies are untrusted, so reach the
    records through GetPort, GetPreset and GetSelector, which refuse anything outside the
    model, or index within the limits below.
*/
class PresetSelectorBlock
{
public:
    using SelectorSettings = zun::SelectorSettings;
    using PortRecord = zun::PortRecord;
    using PresetRecord = zun::PresetRecord;

    static constexpr int maxPorts = 96;
    static constexpr int maxPresets = 32;
    static constexpr int numSelectors = 3;
    static constexpr int routeBytes = PortRecord::routeBytes;
    /** Route masks travel as one nibble per byte, two per route byte. */
    static constexpr int maxRouteNibbles = routeBytes * 2;

    static_assert (maxPorts == routeBytes * 8, "a route mask must hold a bit for every port");

    PresetSelectorBlock() = default;

    /** True when a 1-based number addresses one of `count` records. */
    static constexpr bool IsNumberWithin (int number, int count) noexcept { return number >= 1 && number <= count; }

    /** Clears the model: counts, selector port, routing port, current selector and every record. */
    void Empty();

    /** Port `portNumber` (1-based), or nullptr when the model has no record for it. */
    PortRecord* GetPort (int portNumber) noexcept
    {
        return IsNumberWithin (portNumber, maxPorts) ? &ports[portNumber - 1] : nullptr;
    }

    const PortRecord* GetPort (int portNumber) const noexcept
    {
        return IsNumberWithin (portNumber, maxPorts) ? &ports[portNumber - 1] : nullptr;
    }

    /** Preset `presetNumber` (1-based), or nullptr when the model has no record for it. */
    PresetRecord* GetPreset (int presetNumber) noexcept
    {
        return IsNumberWithin (presetNumber, maxPresets) ? &presets[presetNumber - 1] : nullptr;
    }

    const PresetRecord* GetPreset (int presetNumber) const noexcept
    {
        return IsNumberWithin (presetNumber, maxPresets) ? &presets[presetNumber - 1] : nullptr;
    }

    /** Settings of selector type 1 (Preset), 2 (Scene) or 3 (Mixer Snapshot); nullptr otherwise. */
    SelectorSettings* GetSelector (int selectorType) noexcept
    {
        return IsNumberWithin (selectorType, numSelectors) ? &selectors[selectorType - 1] : nullptr;
    }

    const SelectorSettings* GetSelector (int selectorType) const noexcept
    {
        return IsNumberWithin (selectorType, numSelectors) ? &selectors[selectorType - 1] : nullptr;
    }

    /**
        Records the "Preset Selector" port together with the route byte and bit that stand
        for it in every route mask. Port 0 means none is known. A port beyond the model has
        no bit in a route mask, so byte and bit are then 0 and no port is seen routed to it.
    */
    void SetSelectorPort (juce::uint8 portNumber) noexcept;

    /** True when the port's route mask has the selector port's bit set. */
    bool RoutesToSelector (const PortRecord& port) const noexcept;

    /** Sets or clears the selector port's bit in the port's route mask, and its flag with it. */
    void SetRoutedToSelectors (PortRecord& port, bool routed) noexcept;

    //==============================================================================
    juce::uint8 portCount = 0;
    juce::uint8 presetCount = 0;
    juce::uint8 sceneCount = 0;
    juce::uint8 snapshotCount = 0;
    /** Selector types present: bit 0 Preset, bit 1 Scene, bit 2 Mixer Snapshot. */
    juce::uint8 selectorMask = 0;
    /** The "Preset Selector" port; 0 while none is known. */
    juce::uint8 selectorPort = 0;
    /** Route-mask byte holding the selector port's bit. */
    juce::uint8 selectorRouteByte = 0;
    /** The selector port's bit within selectorRouteByte. */
    juce::uint8 selectorRouteBit = 0;
    /** Port whose routing the editor shows; 0 while the model is empty. */
    juce::uint8 routingPort = 0;
    /** Selector type being edited, 1 to 3; 0 while the model is empty. */
    juce::uint8 currentSelector = 0;

    PortRecord ports[maxPorts];
    PresetRecord presets[maxPresets];
    SelectorSettings selectors[numSelectors];
};
} // namespace zun
