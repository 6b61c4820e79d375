#include "ProtocolTestUtils.h"

#include <gtest/gtest.h>
#include <protocol/DeviceContainer.h>
#include <protocol/DeviceDiscoveryItem.h>

using namespace quorvel_test;

namespace
{
/** A discovery reply as an interface sends it: 23 payload bytes with the marker bytes set. */
Bytes DiscoveryReply (juce::uint16 productId, juce::uint32 serialNumber, int payloadLength = 23)
{
    Bytes payload ((size_t) payloadLength, 0x00);
    payload[0] = 0x41;
    payload[1] = 0x01;

    payload[16] = 0x01;
    payload[20] = 0x02;

    if (payloadLength > 22)
        payload[22] = 0x09;

    return MakeFrame (payload, { productId, serialNumber, 0, 3 });
}

class DiscoveryList : public ::testing::Test
{
protected:
    void Add (const Bytes& reply, int input = 0, int output = 0) { list.AddDevice (ToMessage (reply), input, output); }

    zun::DeviceDiscoveryItem list;
};
} // namespace

TEST_F (DiscoveryList, RecordsAReplyWithItsPortsAndLabel)
{
    const auto reply = DiscoveryReply (0x0001, 0x000000FF);
    ASSERT_TRUE (zun::DeviceContainer().IsValidMidiMessage (ToMessage (reply)));

    Add (reply, 2, 5);

    ASSERT_EQ (list.devices.size(), 1);
    const auto& device = *list.devices[0];
    EXPECT_EQ (device.inputIndex, 2);
    EXPECT_EQ (device.outputIndex, 5);
    EXPECT_EQ (device.productId, 0x0001);
    EXPECT_EQ (device.serialNumber, 0x000000FFu);
    EXPECT_EQ (device.label, juce::String ("Product ID: 0001 SN: 000000FF"));
}

TEST_F (DiscoveryList, AnInterfaceIsListedOnceWithItsFirstPorts)
{
    Add (DiscoveryReply (0x0123, 0x1000), 1, 1);
    Add (DiscoveryReply (0x0123, 0x1000), 2, 3);
    Add (DiscoveryReply (0x0123, 0x1000), 1, 1);

    ASSERT_EQ (list.devices.size(), 1);
    EXPECT_EQ (list.devices[0]->inputIndex, 1);
    EXPECT_EQ (list.devices[0]->outputIndex, 1);
}

TEST_F (DiscoveryList, ProductIdAndSerialTogetherIdentifyAnInterface)
{
    Add (DiscoveryReply (0x0010, 0x2000), 0, 0);
    Add (DiscoveryReply (0x0010, 0x2001), 1, 1);
    Add (DiscoveryReply (0x0011, 0x2000), 2, 2);

    ASSERT_EQ (list.devices.size(), 3);
    EXPECT_EQ (list.devices[1]->serialNumber, 0x2001u);
    EXPECT_EQ (list.devices[2]->productId, 0x0011);
    EXPECT_EQ (list.devices[2]->inputIndex, 2);
}

TEST_F (DiscoveryList, RepliesOfAnotherShapeAreIgnored)
{
    Add (DiscoveryReply (1, 1, 22));

    auto longer = DiscoveryReply (1, 1);
    longer.insert (longer.end() - 2, 0x00);
    longer[21] = 24;
    FixChecksum (longer);
    Add (longer);

    // Each marker byte in turn: class bytes 22, 23 and payload markers 38, 42, 44.
    for (size_t pos : { 22u, 23u, 38u, 42u, 44u })
    {
        auto reply = DiscoveryReply (1, 1);
        reply[pos] ^= 0x08;
        FixChecksum (reply);
        Add (reply);
    }

    EXPECT_EQ (list.devices.size(), 0);
}

TEST_F (DiscoveryList, SerialTopBitsComeFromTheFirstSerialByte)
{
    auto reply = DiscoveryReply (0x3ABC, 0);
    reply[7] = 0x0F;
    FixChecksum (reply);
    Add (reply);

    ASSERT_EQ (list.devices.size(), 1);
    EXPECT_EQ (list.devices[0]->serialNumber, 0xF0000000u);
    EXPECT_EQ (list.devices[0]->label, juce::String ("Product ID: 3ABC SN: F0000000"));
}

TEST_F (DiscoveryList, NeverReadsPastAShortMessage)
{
    // Cut after the last marker byte: every byte that is looked at is right, but the frame
    // does not hold the payload its length field promises.
    const auto full = DiscoveryReply (7, 7);
    Add (Bytes (full.begin(), full.begin() + 45));
    Add (Bytes (full.begin(), full.begin() + 46));

    list.AddDevice (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100), 0, 0);

    EXPECT_EQ (list.devices.size(), 0);
}
