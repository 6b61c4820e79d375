#include "InterfaceTest.h"
#include "protocol/DeviceDiscoveryItem.h"
#include "protocol/SXMessages.h"

#include <thread>

namespace
{
using Bytes = std::vector<juce::uint8>;
using Request = sim::SimulatedInterface::Request;
using Fault = sim::SimulatedInterface::Fault;
using Shape = sim::SimulatedInterface::Shape;

Fault fault (std::function<void (Fault&)> configure)
{
    Fault f;
    configure (f);
    return f;
}
} // namespace

using SimulatedInterfaceFaultTest = InterfaceTest;

TEST_F (SimulatedInterfaceFaultTest, NoReplyForAsManyRequestsAsAsked)
{
    start();
    address();
    iface->setFault (Request::midiInfo,
                     fault (
                         [] (Fault& f)
                         {
                             f.noReply = true;
                             f.times = 2;
                         }));

    EXPECT_TRUE (host.exchange (host.device.sysex.CreateMessage (SXMessage_GetSettingsMI, 8)).empty());
    EXPECT_TRUE (host.exchange (host.device.sysex.CreateMessage (SXMessage_GetSettingsMI, 8)).empty());
    EXPECT_EQ (host.exchange (host.device.sysex.CreateMessage (SXMessage_GetSettingsMI, 8)).size(), 1u);

    // A write whose acknowledgement is lost is still carried out.
    iface->setFault (Request::selectorWrite, fault ([] (Fault& f) { f.noReply = true; }));
    zun::SelectorSettings record;
    record.ccId1 = 99;
    zun::WriteSelectorSettings (SXMessage_SetPresetSelectorInfo, record, 3, 3);
    EXPECT_TRUE (host.exchange (host.device.sysex.CreateMessage (SXMessage_SetPresetSelectorInfo, 39)).empty());
    EXPECT_EQ (iface->getSelector (2).ccId1, 99);
}

TEST_F (SimulatedInterfaceFaultTest, WrongShapesPassTheFrameTestButNotTheLayout)
{
    start();
    address();
    iface->setFault (Request::deviceInfo, fault ([] (Fault& f) { f.shape = Shape::longer; }));
    iface->setFault (Request::portInfo, fault ([] (Fault& f) { f.shape = Shape::shorter; }));
    iface->setFault (Request::store, fault ([] (Fault& f) { f.shape = Shape::wrongMarker; }));

    EXPECT_TRUE (hasLayout (host.ask (SXMessage_GetSettingsDI, 8), 13, { { 0, 0x43 }, { 7, 0x14 }, { 12, 0x00 } }));
    SXMessage_GetSettingsMIDIPortInfo[7] = 1;
    EXPECT_TRUE (hasLayout (host.ask (SXMessage_GetSettingsMIDIPortInfo, 13), 17, { { 0, 0x43 }, { 15, 0x02 } }));
    EXPECT_TRUE (hasLayout (host.ask (SXMessage_SaveGlobals, 10), 5, { { 0, 0x40 }, { 1, 0x07 }, { 2, 0x11 } }));
    EXPECT_EQ (iface->getStoreCount(), 1) << "the store itself happened";

    TearDown();
    start();
    iface->setFault (Request::discovery, fault ([] (Fault& f) { f.shape = Shape::wrongMarker; }));
    const auto reply = host.ask (SXMessage_DeviceDiscovery, 10);
    EXPECT_TRUE (hasLayout (reply, 23, { { 0, 0x41 }, { 1, 0x07 } }));
    zun::DeviceDiscoveryItem found;
    found.AddDevice (reply, 0, 0);
    EXPECT_EQ (found.devices.size(), 0);
}

TEST_F (SimulatedInterfaceFaultTest, ErrorAcknowledgementsRefuseTheRequest)
{
    start();
    address();

    iface->setFault (Request::store, fault ([] (Fault& f) { f.errorAck = Interface::AckReply { -1, 1, 0 }; }));
    EXPECT_EQ (HostSide::payloadOf (host.ask (SXMessage_SaveGlobals, 10)), Bytes ({ 0x40, 0x00, 0x11, 0x01, 0x00 }));
    EXPECT_EQ (iface->getStoreCount(), 0);

    // Wrong acknowledged class and an error code; the record is not written.
    iface->setFault (Request::selectorWrite,
                     fault (
                         [] (Fault& f) {
                             f.errorAck = Interface::AckReply { 0x11, 0, 9 };
                         }));
    zun::SelectorSettings record;
    record.ccId1 = 99;
    zun::WriteSelectorSettings (SXMessage_SetPresetSelectorInfo, record, 3, 1);
    EXPECT_EQ (HostSide::payloadOf (host.ask (SXMessage_SetPresetSelectorInfo, 39)),
               Bytes ({ 0x40, 0x00, 0x11, 0x00, 0x09 }));
    EXPECT_TRUE (iface->getSelector (0) == config().selectors[0]);

    // A question can be refused too.
    iface->setFault (Request::routeInfo, fault ([] (Fault& f) { f.errorAck = Interface::AckReply { -1, 0, 10 }; }));
    SXMessage_GetSettingsMIDIRouteInfo[7] = 1;
    const auto reply = host.ask (SXMessage_GetSettingsMIDIRouteInfo, 12);
    EXPECT_TRUE (hasLayout (reply, 5, { { 0, 0x40 }, { 1, 0x00 }, { 2, 0x03 }, { 3, 0x00 }, { 4, 10 } }));
}

TEST_F (SimulatedInterfaceFaultTest, DelayedReplyIsHeldBackUntilItsTime)
{
    start();
    address();
    iface->setFault (Request::audioInfo, fault ([] (Fault& f) { f.delayMs = 1500; }));

    host.output->sendMessageNow (host.device.sysex.CreateMessage (SXMessage_GetSettingsAI, 7));

    // Once the interface has seen the request, its reply is queued but not yet delivered.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (5);

    while (iface->getRequestCount (Request::audioInfo) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for (std::chrono::milliseconds (1));

    ASSERT_EQ (iface->getRequestCount (Request::audioInfo), 1);
    EXPECT_TRUE (host.messages().empty());

    bus.waitUntilIdle();
    ASSERT_EQ (host.messages().size(), 1u);
    EXPECT_TRUE (hasLayout (host.messages()[0], 9, { { 1, 0x08 } }));
}

TEST_F (SimulatedInterfaceFaultTest, ReplyWithABadChecksumIsRejected)
{
    start();
    address();
    iface->setFault (Request::presetName, fault ([] (Fault& f) { f.badChecksum = true; }));
    SXMessage_GetSettingsPresetName[7] = 1;
    const auto reply = host.ask (SXMessage_GetSettingsPresetName, 12);

    EXPECT_EQ (reply.getRawDataSize(), 24 + 13 + 5);
    EXPECT_FALSE (host.device.IsValidMidiMessage (reply));
}

TEST_F (SimulatedInterfaceFaultTest, CountsAndNumbersBeyondWhatTheProgramHoldsAreReported)
{
    auto c = config();
    c.reportedPortCount = 120;
    c.reportedPresetCount = 40;
    start (c);
    address();

    EXPECT_TRUE (hasLayout (host.ask (SXMessage_GetSettingsMI, 8), 13, { { 8, 120 } }));
    EXPECT_TRUE (hasLayout (host.ask (SXMessage_GetSettingsDI, 8), 12, { { 8, 40 } }));

    SXMessage_GetSettingsPresetName[7] = 40;
    EXPECT_TRUE (hasLayout (host.ask (SXMessage_GetSettingsPresetName, 12), 13, { { 7, 40 }, { 11, 2 } }));
    SXMessage_GetSettingsMIDIPortInfo[7] = 100;
    EXPECT_TRUE (hasLayout (host.ask (SXMessage_GetSettingsMIDIPortInfo, 13), 18, { { 7, 100 }, { 13, 0 } }));

    // 120 ports take 15 route bytes: 30 nibbles, more than the 24 the program keeps.
    SXMessage_GetSettingsMIDIRouteInfo[7] = 1;
    EXPECT_TRUE (
        hasLayout (host.ask (SXMessage_GetSettingsMIDIRouteInfo, 12), 43, { { 11, 32 }, { 13, 0x05 }, { 14, 0x0a } }));

    // Numbers put into replies regardless of the question.
    iface->setFault (Request::presetName, fault ([] (Fault& f) { f.number = 33; }));
    iface->setFault (Request::portInfo, fault ([] (Fault& f) { f.number = 97; }));
    SXMessage_GetSettingsPresetName[7] = 1;
    EXPECT_TRUE (hasLayout (host.ask (SXMessage_GetSettingsPresetName, 12), 18, { { 7, 33 }, { 13, 'C' } }));
    SXMessage_GetSettingsMIDIPortInfo[7] = 2;
    EXPECT_TRUE (hasLayout (host.ask (SXMessage_GetSettingsMIDIPortInfo, 13), 18, { { 7, 97 }, { 13, 2 } }));
}

TEST_F (SimulatedInterfaceFaultTest, EntryLengthsThatDisagreeWithTheFrame)
{
    start();
    address();
    iface->setFault (Request::productName, fault ([] (Fault& f) { f.entryLength = 0x7f; }));
    iface->setFault (Request::presetName, fault ([] (Fault& f) { f.entryLength = 1; }));
    iface->setFault (Request::routeInfo, fault ([] (Fault& f) { f.entryLength = 0; }));

    EXPECT_TRUE (hasLayout (host.ask (SXMessage_GetProductName, 7), 11, { { 6, 0x7f }, { 7, 0x01 }, { 8, 'H' } }));
    SXMessage_GetSettingsPresetName[7] = 2;
    EXPECT_TRUE (hasLayout (host.ask (SXMessage_GetSettingsPresetName, 12), 23, { { 11, 1 }, { 12, 0x02 } }));
    SXMessage_GetSettingsMIDIRouteInfo[7] = 1;
    EXPECT_TRUE (hasLayout (host.ask (SXMessage_GetSettingsMIDIRouteInfo, 12), 15, { { 11, 0 }, { 12, 0x18 } }));
}

TEST_F (SimulatedInterfaceFaultTest, ChannelMessagesAndForeignSysexAroundTheReply)
{
    start();
    address();
    iface->setFault (Request::midiInfo, fault ([] (Fault& f) { f.interleave = true; }));

    const auto messages = host.exchange (host.device.sysex.CreateMessage (SXMessage_GetSettingsMI, 8));
    ASSERT_EQ (messages.size(), 5u);
    EXPECT_TRUE (messages[0].isNoteOn());
    EXPECT_TRUE (messages[1].isSysEx());
    EXPECT_TRUE (hasLayout (messages[2], 13, { { 1, 0x05 } }));
    EXPECT_TRUE (messages[3].isController());
    EXPECT_TRUE (messages[4].isMidiClock());

    for (auto i : { 0, 1, 3, 4 })
        EXPECT_FALSE (host.device.IsValidMidiMessage (messages[(size_t) i]));

    iface->clearFaults();
    EXPECT_EQ (host.exchange (host.device.sysex.CreateMessage (SXMessage_GetSettingsMI, 8)).size(), 1u);
}
