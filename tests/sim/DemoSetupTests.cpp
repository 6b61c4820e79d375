#include "HostSide.h"
#include "protocol/DeviceDiscoveryItem.h"
#include "protocol/SXMessages.h"
#include "sim/DemoSetup.h"

#include <gtest/gtest.h>

namespace
{
class DemoSetupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim::DemoSetup::install (bus);

        // The demo adds its ports in pairs, so input i and output i belong together.
        ASSERT_EQ (bus.getNumInputs(), bus.getNumOutputs());

        for (int i = 0; i < bus.getNumInputs(); ++i)
            ASSERT_TRUE (hosts.emplace_back (std::make_unique<HostSide>())->open (i, i));
    }

    void TearDown() override
    {
        hosts.clear();
        bus.removeAll();
    }

    /** Reads a selector mask, the "Preset Selector" port and the routes to it, as the program
        would, through port pair `index`. */
    struct Summary
    {
        int portCount = 0, presetCount = 0, selectorMask = 0, selectorPort = 0, portsRoutedToSelector = 0;
        juce::StringArray presetNames;
    };

    Summary read (int index, const zun::DiscoveredDevice& device)
    {
        auto& host = *hosts[(size_t) index];
        host.device.sysex.productId = device.productId;
        host.device.sysex.serialNumber = device.serialNumber;
        host.device.sysex.sessionId = 0x2345;

        Summary s;
        auto payload = HostSide::payloadOf (host.ask (SXMessage_GetSettingsMI, 8));
        s.portCount = payload.at (8);
        s.selectorMask = payload.at (11);
        s.presetCount = HostSide::payloadOf (host.ask (SXMessage_GetSettingsDI, 8)).at (8);

        for (int n = 1; n <= s.presetCount; ++n)
        {
            SXMessage_GetSettingsPresetName[7] = (unsigned char) n;
            payload = HostSide::payloadOf (host.ask (SXMessage_GetSettingsPresetName, 12));
            s.presetNames.add (juce::String ((const char*) payload.data() + 13, (size_t) payload.at (11) - 2));
        }

        for (int p = 1; p <= s.portCount; ++p)
        {
            SXMessage_GetSettingsMIDIPortInfo[7] = (unsigned char) p;
            payload = HostSide::payloadOf (host.ask (SXMessage_GetSettingsMIDIPortInfo, 13));

            if (payload.at (13) == 5 && payload.at (17) == 1)
                s.selectorPort = p;
        }

        for (int p = 1; p <= s.portCount; ++p)
        {
            SXMessage_GetSettingsMIDIRouteInfo[7] = (unsigned char) p;
            payload = HostSide::payloadOf (host.ask (SXMessage_GetSettingsMIDIRouteInfo, 12));
            juce::uint8 mask[12] {};
            zun::ReadRouteMask (payload.data(), (int) payload.size(), mask);

            if (s.selectorPort > 0 && (mask[(s.selectorPort - 1) / 8] & (1 << ((s.selectorPort - 1) % 8))) != 0)
                ++s.portsRoutedToSelector;
        }

        return s;
    }

    sim::VirtualMidiBus& bus = sim::VirtualMidiBus::getInstance();
    std::vector<std::unique_ptr<HostSide>> hosts;
};
} // namespace

TEST_F (DemoSetupTest, DiscoveryFindsTwoInterfacesOneOfThemTwiceAndNothingBehindTheSpareOutput)
{
    zun::DeviceDiscoveryItem found;
    std::vector<size_t> repliesPerInput;

    for (int i = 0; i < (int) hosts.size(); ++i)
    {
        const auto replies =
            hosts[(size_t) i]->exchange (hosts[(size_t) i]->device.sysex.CreateMessage (SXMessage_DeviceDiscovery, 10));
        repliesPerInput.push_back (replies.size());

        for (auto& reply : replies)
            found.AddDevice (reply, i, i);
    }

    EXPECT_EQ (repliesPerInput, std::vector<size_t> ({ 1, 1, 1, 0 }));
    ASSERT_EQ (found.devices.size(), 2) << "the interface behind two pairs is listed once";
    EXPECT_EQ (found.devices[0]->inputIndex, 0);
    EXPECT_EQ (found.devices[1]->inputIndex, 2);
    EXPECT_NE (found.devices[0]->serialNumber, found.devices[1]->serialNumber);
}

TEST_F (DemoSetupTest, DemoInterfacesHaveNamedPresetsASelectorPortAndRoutesToIt)
{
    zun::DeviceDiscoveryItem found;
    found.AddDevice (hosts[0]->ask (SXMessage_DeviceDiscovery, 10), 0, 0);
    found.AddDevice (hosts[2]->ask (SXMessage_DeviceDiscovery, 10), 2, 2);
    ASSERT_EQ (found.devices.size(), 2);

    const auto hub = read (0, *found.devices[0]);
    const auto mini = read (2, *found.devices[1]);

    EXPECT_EQ (hub.selectorMask, 7);
    EXPECT_EQ (mini.selectorMask, 3);

    for (auto* s : { &hub, &mini })
    {
        EXPECT_GT (s->presetCount, 1);
        EXPECT_FALSE (s->presetNames.contains (juce::String()));
        EXPECT_GT (s->selectorPort, 0);
        EXPECT_GT (s->portsRoutedToSelector, 0);
        EXPECT_LT (s->portsRoutedToSelector, s->portCount);
    }
}
