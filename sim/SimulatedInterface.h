#pragma once

#include "sim/VirtualMidiBus.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace sim
{
class Frame;

/** One MIDI interface of the family, as seen from its side of the cable.

    It answers the frames the program sends on the output ports it sits behind, on the input ports
    it is connected to: discovery, product name, every settings read, selector and route writes
    (applied to its own state and acknowledged) and the store command (acknowledged and counted).

    It checks every incoming frame itself (header, length, checksum) and ignores broken ones. It
    answers discovery and product-name requests that are unaddressed (product ID and serial number
    0) or addressed to it, and every other request only when addressed to it. Replies carry its own
    product ID and serial number and echo the request's session and transaction IDs.

    Asked about a port or preset it does not have (the program asks for port 1 even when there are
    none), it answers with an empty record for that number, so that a read can run to its end.

    Each kind of request can be told to fail in a chosen way (see Fault), for tests of the program's
    error handling. Everything here may be called from any thread.
*/
class SimulatedInterface : public Endpoint, public std::enable_shared_from_this<SimulatedInterface>
{
public:
    /** Settings of one preset selector (Preset, Scene or Mixer Snapshot). */
    struct Selector
    {
        std::uint8_t enabled = 0;
        std::uint8_t useControlChange = 0;
        std::uint8_t wraparound = 0;
        std::uint8_t invert = 0;
        std::uint16_t channelMask = 0; // bit k: MIDI channel k + 1
        std::uint8_t minPreset = 0;
        std::uint8_t maxPreset = 0;
        std::uint8_t ccMode = 0;
        std::uint8_t ccId1 = 0;
        std::uint8_t ccId2 = 0;
        std::uint8_t minValue = 0;
        std::uint8_t maxValue = 0;
        std::uint8_t onValue = 0;
        std::uint8_t offPreset = 0;
        std::uint8_t onPreset = 0;

        bool operator== (const Selector& other) const;
        bool operator!= (const Selector& other) const { return ! operator== (other); }
    };

    /** One MIDI port of the interface. Type 1 DIN (numberA 0: an output only; numberB 0: an
        input only), 2 USB device, 3 USB host, 4 RTP, 5 function port (numberB 1 is the
        "Preset Selector" port). Bit b of route byte k: routes to port 8k + b + 1. */
    struct Port
    {
        std::uint8_t type = 1;
        std::uint8_t numberA = 1;
        std::uint8_t numberB = 0;
        std::array<std::uint8_t, 12> routeMask {};
    };

    struct Config
    {
        std::uint16_t productId = 0x0101;
        std::uint32_t serialNumber = 1;
        juce::String productName { "Simulated Interface" };
        std::vector<Port> ports; // port p is ports[p - 1]
        std::vector<juce::String> presetNames; // preset j is presetNames[j - 1]
        std::uint8_t sceneCount = 0;
        std::uint8_t snapshotCount = 0;
        std::uint8_t selectorMask = 1; // bit 0 Preset, bit 1 Scene, bit 2 Mixer Snapshot
        bool reportsSelectorMask = true; // false: the short MIDIInfo reply, without ID 15
        std::array<Selector, 3> selectors {};

        // Counts it reports instead of the real ones (-1: the real ones). Ports and presets
        // beyond those configured are answered with empty records.
        int reportedPortCount = -1;
        int reportedPresetCount = -1;
    };

    /** The kinds of request, each of which can be given its own fault. */
    enum class Request
    {
        discovery,
        productName,
        midiInfo,
        deviceInfo,
        audioInfo,
        presetName,
        portInfo,
        selectorInfo,
        routeInfo,
        selectorWrite,
        routeWrite,
        store,
        other
    };

    /** How a reply is spoiled. */
    enum class Shape
    {
        correct,
        longer, // one extra 00 byte at the end of the payload
        shorter, // the last payload byte missing
        wrongMarker // the data class byte changed to 07, a class that answers nothing
    };

    /** An acknowledgement that replaces the reply: 40 00 <ackedClass> <status> <code>. */
    struct AckReply
    {
        int ackedClass = -1; // -1: the request's own message class
        std::uint8_t status = 0;
        std::uint8_t code = 0;
    };

    /** What goes wrong with the replies to one kind of request. A refused write (errorAck) is not
        applied; with every other fault the write is applied and only its reply suffers. */
    struct Fault
    {
        bool noReply = false;
        Shape shape = Shape::correct;
        std::optional<AckReply> errorAck;
        int delayMs = 0;
        bool badChecksum = false;
        std::optional<std::uint8_t> entryLength; // put into the first entry's length byte
        std::optional<std::uint8_t> number; // put into the reply's port or preset number
        bool interleave = false; // channel messages and foreign SysEx around the reply
        int times = -1; // requests it applies to; -1: every one
    };

    /** Input and output handles of a port pair added by attach(). */
    struct PortPair
    {
        int input = -1;
        int output = -1;
    };

    explicit SimulatedInterface (Config config, VirtualMidiBus& bus = VirtualMidiBus::getInstance());

    /** Requests arriving on output `outputHandle` are answered on input `inputHandle` (as well as
        on any other input connected to that output). */
    void connect (int outputHandle, int inputHandle);

    /** Adds an input and an output named `portName` to the bus, with this interface behind the
        output, and connects them. The interface must be owned by a std::shared_ptr. */
    PortPair attach (const juce::String& portName);

    void setFault (Request request, const Fault& fault);
    void clearFault (Request request);
    void clearFaults();

    /** Every message received, valid or not, in order of arrival. */
    std::vector<juce::MidiMessage> getReceived() const;
    void clearReceived();

    /** Valid requests of one kind that were addressed to this interface (answered or not). */
    int getRequestCount (Request request) const;

    /** The current settings, changed by the writes received. */
    Config getState() const;
    Selector getSelector (int index) const; // 0 Preset, 1 Scene, 2 Mixer Snapshot
    std::array<std::uint8_t, 12> getRouteMask (int portNumber) const; // 1-based; zeros when unknown
    int getStoreCount() const;

    void setSelector (int index, const Selector& selector);
    void setRouteMask (int portNumber, const std::array<std::uint8_t, 12>& routeMask);

    std::uint16_t getProductId() const { return productId; }
    std::uint32_t getSerialNumber() const { return serialNumber; }

    void receivedFromHost (int outputHandle, const juce::MidiMessage& message) override;

    /** The kind of request a payload is; Request::other for anything it does not answer. */
    static Request classify (const std::vector<std::uint8_t>& payload);

private:
    struct Outgoing
    {
        int inputHandle;
        juce::MidiMessage message;
        int delayMs;
    };

    struct Reply
    {
        std::vector<std::uint8_t> payload;
        int entryLengthIndex = -1; // where the first entry's length byte is, if any
        int numberIndex = -1; // where the port or preset number is, if any
    };

    std::optional<Reply> respond (Request request, const std::vector<std::uint8_t>& payload);
    Reply discoveryReply() const;
    std::optional<Reply> valueReply (const std::vector<std::uint8_t>& payload) const;
    std::optional<std::vector<std::uint8_t>> valueOf (std::uint8_t dataClass, int instance, std::uint8_t id) const;
    Reply applySelectorWrite (const std::vector<std::uint8_t>& payload);
    Reply applyRouteWrite (const std::vector<std::uint8_t>& payload);
    Reply applyStore (const std::vector<std::uint8_t>& payload);
    std::optional<Fault> takeFault (Request request);
    std::vector<Outgoing>
        spoilAndFrame (Reply reply, const std::optional<Fault>& fault, const Frame& request, int outputHandle) const;

    int reportedPortCount() const;
    int reportedPresetCount() const;

    VirtualMidiBus& bus;
    const std::uint16_t productId;
    const std::uint32_t serialNumber;

    mutable std::mutex mutex;
    Config state;
    int storeCount = 0;
    std::vector<std::pair<int, int>> connections; // output handle, input handle
    std::map<Request, Fault> faults;
    std::map<Request, int> requestCounts;
    std::vector<juce::MidiMessage> received;
};
} // namespace sim
