#include "InterfaceTest.h"

InterfaceTest::Interface::Config InterfaceTest::config()
{
    Interface::Config c;
    c.productId = 0x0102;
    c.serialNumber = 3;
    c.productName = "Hub";
    c.ports = { { 1, 1, 0, { 0xa5, 0x3c } }, { 2, 1, 2, { 0x04 } }, { 5, 0, 1, {} } };
    c.presetNames = { "Clean", "Lead Boost" };
    c.sceneCount = 5;
    c.snapshotCount = 3;
    c.selectorMask = 7;

    auto& p = c.selectors[0];
    p.enabled = 1;
    p.useControlChange = 1;
    p.invert = 1;
    p.channelMask = 0xc081;
    p.minPreset = 1;
    p.maxPreset = 2;
    p.ccMode = 1;
    p.ccId1 = 20;
    p.ccId2 = 21;
    p.minValue = 5;
    p.maxValue = 120;
    p.onValue = 64;
    p.offPreset = 1;
    p.onPreset = 2;

    auto& s = c.selectors[1];
    s.enabled = 1;
    s.wraparound = 1;
    s.channelMask = 0x0002;
    s.minPreset = 2;
    s.maxPreset = 5;
    s.ccMode = 2;

    c.selectors[2].channelMask = 0xffff;
    return c;
}

void InterfaceTest::start (Interface::Config c)
{
    iface = std::make_shared<Interface> (std::move (c));
    pair = iface->attach ("Interface");
    ASSERT_TRUE (host.open (pair.input, pair.output));
}

void InterfaceTest::address()
{
    host.device.sysex.productId = iface->getProductId();
    host.device.sysex.serialNumber = iface->getSerialNumber();
    host.device.sysex.sessionId = 0x105;
}

void InterfaceTest::TearDown()
{
    host.close();
    bus.removeAll();
}

::testing::AssertionResult InterfaceTest::hasLayout (const juce::MidiMessage& reply,
                                                     int length,
                                                     std::initializer_list<std::pair<int, int>> markers) const
{
    if (! host.device.IsValidMidiMessage (reply))
        return ::testing::AssertionFailure() << "the program does not accept the frame";

    const auto payload = HostSide::payloadOf (reply);

    if ((int) payload.size() != length || reply.getRawDataSize() != length + 24)
        return ::testing::AssertionFailure() << "payload length " << payload.size() << ", expected " << length;

    for (auto [position, value] : markers)
        if (payload[(size_t) position] != value)
            return ::testing::AssertionFailure()
                   << "payload [" << position << "] is " << (int) payload[(size_t) position] << ", expected " << value;

    return ::testing::AssertionSuccess();
}
