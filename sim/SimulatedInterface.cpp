#include "sim/SimulatedInterface.h"

#include "sim/Frame.h"

#include <iterator>

namespace sim
{
namespace
{
    using Bytes = std::vector<std::uint8_t>;

    // Message classes, data classes and IDs of the protocol that this side speaks.
    enum : std::uint8_t
    {
        hstSesnVal = 0x01,
        getParmVal = 0x03,
        setParmVal = 0x10,
        setCmdVal = 0x11,
        ackClass = 0x40,
        devSesnVal = 0x41,
        retParmVal = 0x43,

        sessionInfo = 0x01,
        deviceInfo = 0x02,
        deviceFeature = 0x03,
        midiInfo = 0x05,
        midiPortInfo = 0x06,
        audioInfo = 0x08,
        unansweredClass = 0x07, // MIDIFeature: a valid class that no request of the program awaits

        idListBlock = 1,
        argValBlock = 3,
        subIdBlock = 4,
        cmdBlock = 6,

        routeId = 0x18,
        firstSelectorId = 0x40,
        lastSelectorId = 0x42,
        storeCommand = 0x02
    };

    // Acknowledgement error codes used when a request cannot be carried out.
    enum : std::uint8_t
    {
        malformedMessage = 1,
        dataBlockLengthInvalid = 6,
        argIdInvalid = 8,
        argValueInvalid = 9,
        cmdIdInvalid = 13,
        subIdValueInvalid = 18
    };

    constexpr size_t longestName = 100; // keeps every length byte below 80 (hex)
    constexpr size_t selectorValueSize = 26;

    struct Entry
    {
        std::uint8_t id;
        Bytes value;
    };

    /** A request's data blocks, as far as this side looks at them. */
    struct Blocks
    {
        bool wellFormed = false;
        int subId = -1;
        int instance = -1;
        Bytes ids;
        std::vector<Entry> entries; // of ArgValBlocks and CmdBlocks
    };

    bool readEntries (Blocks& blocks, const Bytes& p, std::uint8_t type, int count, size_t at, size_t end)
    {
        for (int e = 0; e < count; ++e)
        {
            if (type == idListBlock && at + 1 <= end)
            {
                blocks.ids.push_back (p[at++]);
            }
            else if (type == subIdBlock && at + 2 <= end)
            {
                blocks.subId = p[at];
                blocks.instance = p[at + 1];
                at += 2;
            }
            else if ((type == argValBlock || type == cmdBlock) && at + 2 <= end && p[at] >= 2 && at + p[at] <= end)
            {
                blocks.entries.push_back (
                    { p[at + 1], Bytes (p.begin() + (long) at + 2, p.begin() + (long) (at + p[at])) });
                at += p[at];
            }
            else
            {
                return false;
            }
        }

        return true;
    }

    Blocks readBlocks (const Bytes& p)
    {
        Blocks blocks;

        if (p.size() < 3)
            return blocks;

        size_t pos = 3;

        for (int b = 0; b < p[2]; ++b)
        {
            if (pos + 3 > p.size() || p[pos] < 3 || pos + p[pos] > p.size())
                return blocks;

            if (! readEntries (blocks, p, p[pos + 1], p[pos + 2], pos + 3, pos + p[pos]))
                return blocks;

            pos += p[pos];
        }

        blocks.wellFormed = true;
        return blocks;
    }

    Bytes textBytes (const juce::String& text)
    {
        Bytes bytes;

        for (auto c : text.substring (0, (int) longestName))
            bytes.push_back ((std::uint8_t) (c & 0x7f));

        return bytes;
    }

    Bytes ackPayload (std::uint8_t ackedClass, std::uint8_t status, std::uint8_t code)
    {
        return { ackClass, 0x00, ackedClass, status, code };
    }

    Bytes selectorBytes (const SimulatedInterface::Selector& s)
    {
        const auto flags = (std::uint8_t) ((s.enabled != 0 ? 1 : 0) | (s.useControlChange != 0 ? 2 : 0)
                                           | (s.wraparound != 0 ? 4 : 0) | (s.invert != 0 ? 8 : 0));
        Bytes bytes { 0x01,
                      flags,
                      0x02,
                      (std::uint8_t) ((s.channelMask >> 14) & 0x03),
                      (std::uint8_t) ((s.channelMask >> 7) & 0x7f),
                      (std::uint8_t) (s.channelMask & 0x7f) };
        const std::uint8_t values[] = { s.minPreset, s.maxPreset, s.ccMode,  s.ccId1,     s.ccId2,
                                        s.minValue,  s.maxValue,  s.onValue, s.offPreset, s.onPreset };
        std::uint8_t tag = 0x03;

        for (auto v : values)
        {
            bytes.push_back (tag++);
            bytes.push_back ((std::uint8_t) (v & 0x7f));
        }

        return bytes;
    }

    std::optional<SimulatedInterface::Selector> selectorFromBytes (const Bytes& v)
    {
        if (v.size() != selectorValueSize || v[0] != 0x01 || v[2] != 0x02)
            return std::nullopt;

        for (size_t i = 6; i < selectorValueSize; i += 2)
            if (v[i] != (std::uint8_t) (0x03 + (i - 6) / 2))
                return std::nullopt;

        SimulatedInterface::Selector s;
        s.enabled = v[1] & 1;
        s.useControlChange = (v[1] >> 1) & 1;
        s.wraparound = (v[1] >> 2) & 1;
        s.invert = (v[1] >> 3) & 1;
        s.channelMask = (std::uint16_t) ((v[3] << 14) | ((v[4] & 0x7f) << 7) | (v[5] & 0x7f));
        std::uint8_t* fields[] = { &s.minPreset, &s.maxPreset, &s.ccMode,  &s.ccId1,     &s.ccId2,
                                   &s.minValue,  &s.maxValue,  &s.onValue, &s.offPreset, &s.onPreset };

        for (size_t f = 0; f < std::size (fields); ++f)
            *fields[f] = v[7 + 2 * f];

        return s;
    }

    SimulatedInterface::Request classifyValueRequest (std::uint8_t dataClass, std::uint8_t firstId)
    {
        using R = SimulatedInterface::Request;

        switch (dataClass)
        {
            case deviceInfo:
                return firstId == 0x01 ? R::productName : R::deviceInfo;
            case midiInfo:
                return R::midiInfo;
            case audioInfo:
                return R::audioInfo;
            case deviceFeature:
                return R::presetName;
            case midiPortInfo:
                if (firstId == routeId)
                    return R::routeInfo;
                if (firstId >= firstSelectorId && firstId <= lastSelectorId)
                    return R::selectorInfo;
                return R::portInfo;
            default:
                return R::other;
        }
    }
} // namespace

bool SimulatedInterface::Selector::operator== (const Selector& o) const
{
    return enabled == o.enabled && useControlChange == o.useControlChange && wraparound == o.wraparound
           && invert == o.invert && channelMask == o.channelMask && minPreset == o.minPreset && maxPreset == o.maxPreset
           && ccMode == o.ccMode && ccId1 == o.ccId1 && ccId2 == o.ccId2 && minValue == o.minValue
           && maxValue == o.maxValue && onValue == o.onValue && offPreset == o.offPreset && onPreset == o.onPreset;
}

//==============================================================================
SimulatedInterface::SimulatedInterface (Config config, VirtualMidiBus& busToUse)
    : bus (busToUse)
    , productId (config.productId)
    , serialNumber (config.serialNumber)
    , state (std::move (config))
{
}

void SimulatedInterface::connect (int outputHandle, int inputHandle)
{
    const std::lock_guard<std::mutex> held (mutex);
    connections.emplace_back (outputHandle, inputHandle);
}

SimulatedInterface::PortPair SimulatedInterface::attach (const juce::String& portName)
{
    PortPair pair;
    pair.input = bus.addInput (portName);
    pair.output = bus.addOutput (portName, shared_from_this());
    connect (pair.output, pair.input);
    return pair;
}

void SimulatedInterface::setFault (Request request, const Fault& fault)
{
    const std::lock_guard<std::mutex> held (mutex);
    faults[request] = fault;
}

void SimulatedInterface::clearFault (Request request)
{
    const std::lock_guard<std::mutex> held (mutex);
    faults.erase (request);
}

void SimulatedInterface::clearFaults()
{
    const std::lock_guard<std::mutex> held (mutex);
    faults.clear();
}

std::vector<juce::MidiMessage> SimulatedInterface::getReceived() const
{
    const std::lock_guard<std::mutex> held (mutex);
    return received;
}

void SimulatedInterface::clearReceived()
{
    const std::lock_guard<std::mutex> held (mutex);
    received.clear();
}

int SimulatedInterface::getRequestCount (Request request) const
{
    const std::lock_guard<std::mutex> held (mutex);
    auto found = requestCounts.find (request);
    return found == requestCounts.end() ? 0 : found->second;
}

SimulatedInterface::Config SimulatedInterface::getState() const
{
    const std::lock_guard<std::mutex> held (mutex);
    return state;
}

SimulatedInterface::Selector SimulatedInterface::getSelector (int index) const
{
    const std::lock_guard<std::mutex> held (mutex);
    return state.selectors.at ((size_t) index);
}

std::array<std::uint8_t, 12> SimulatedInterface::getRouteMask (int portNumber) const
{
    const std::lock_guard<std::mutex> held (mutex);

    if (portNumber < 1 || portNumber > (int) state.ports.size())
        return {};

    return state.ports[(size_t) portNumber - 1].routeMask;
}

int SimulatedInterface::getStoreCount() const
{
    const std::lock_guard<std::mutex> held (mutex);
    return storeCount;
}

void SimulatedInterface::setSelector (int index, const Selector& selector)
{
    const std::lock_guard<std::mutex> held (mutex);
    state.selectors.at ((size_t) index) = selector;
}

void SimulatedInterface::setRouteMask (int portNumber, const std::array<std::uint8_t, 12>& routeMask)
{
    const std::lock_guard<std::mutex> held (mutex);

    if (portNumber >= 1 && portNumber <= (int) state.ports.size())
        state.ports[(size_t) portNumber - 1].routeMask = routeMask;
}

//==============================================================================
SimulatedInterface::Request SimulatedInterface::classify (const std::vector<std::uint8_t>& payload)
{
    if (payload.size() < 2)
        return Request::other;

    const auto messageClass = payload[0];
    const auto dataClass = payload[1];

    if (messageClass == hstSesnVal && dataClass == sessionInfo)
        return Request::discovery;

    const auto blocks = readBlocks (payload);

    if (! blocks.wellFormed)
        return Request::other;

    if (messageClass == getParmVal && ! blocks.ids.empty())
        return classifyValueRequest (dataClass, blocks.ids.front());

    if (messageClass == setParmVal && dataClass == midiPortInfo && ! blocks.entries.empty())
    {
        const auto id = blocks.entries.front().id;

        if (id == routeId)
            return Request::routeWrite;

        if (id >= firstSelectorId && id <= lastSelectorId)
            return Request::selectorWrite;
    }

    if (messageClass == setCmdVal)
        return Request::store;

    return Request::other;
}

void SimulatedInterface::receivedFromHost (int outputHandle, const juce::MidiMessage& message)
{
    std::vector<Outgoing> outgoing;

    {
        const std::lock_guard<std::mutex> held (mutex);
        received.push_back (message);

        const auto frame = Frame::parse (message);

        if (! frame.has_value() || frame->payload.size() < 2)
            return;

        const auto request = classify (frame->payload);
        const bool unaddressed = frame->productId == 0 && frame->serialNumber == 0;
        const bool mine = frame->productId == (productId & 0x3fff) && frame->serialNumber == serialNumber;
        const bool anyoneMayAsk = request == Request::discovery || request == Request::productName;

        if (! mine && ! (unaddressed && anyoneMayAsk))
            return;

        ++requestCounts[request];
        const auto fault = takeFault (request);
        std::optional<Reply> reply;

        if (fault.has_value() && fault->errorAck.has_value())
        {
            const auto& ack = *fault->errorAck;
            const auto acked = ack.ackedClass >= 0 ? (std::uint8_t) ack.ackedClass : frame->payload[0];
            reply = Reply { ackPayload (acked, ack.status, ack.code) };
        }
        else
        {
            reply = respond (request, frame->payload);
        }

        if (! reply.has_value() || (fault.has_value() && fault->noReply))
            return;

        outgoing = spoilAndFrame (std::move (*reply), fault, *frame, outputHandle);
    }

    for (auto& out : outgoing)
        bus.sendToHostAfter (out.inputHandle, out.message, out.delayMs);
}

std::optional<SimulatedInterface::Fault> SimulatedInterface::takeFault (Request request)
{
    auto found = faults.find (request);

    if (found == faults.end())
        return std::nullopt;

    auto fault = found->second;

    if (found->second.times > 0 && --found->second.times == 0)
        faults.erase (found);

    return fault;
}

std::optional<SimulatedInterface::Reply> SimulatedInterface::respond (Request request,
                                                                      const std::vector<std::uint8_t>& payload)
{
    switch (request)
    {
        case Request::discovery:
            return discoveryReply();
        case Request::selectorWrite:
            return applySelectorWrite (payload);
        case Request::routeWrite:
            return applyRouteWrite (payload);
        case Request::store:
            return applyStore (payload);
        case Request::other:
            // A command or write it cannot make sense of is refused; an unknown question is not answered.
            if (payload[0] == setParmVal || payload[0] == setCmdVal)
                return Reply { ackPayload (payload[0], 0, malformedMessage) };
            return std::nullopt;
        default:
            return valueReply (payload);
    }
}

SimulatedInterface::Reply SimulatedInterface::discoveryReply() const
{
    // One ArgValBlock: ID 03 the interface's identity (product ID and serial number, packed as in
    // the frame header), ID 01 the session argument echoed, ID 02 the protocol revision 1.9.
    Reply reply;
    reply.payload = { devSesnVal, sessionInfo, 1, 20, argValBlock, 3, 9, 0x03 };

    Frame identity;
    identity.productId = productId;
    identity.serialNumber = serialNumber;
    const auto header = identity.toBytes();
    reply.payload.insert (reply.payload.end(), header.begin() + 5, header.begin() + 12);

    const Bytes rest { 4, 0x01, 0x04, 0x00, 4, 0x02, 0x01, 0x09 };
    reply.payload.insert (reply.payload.end(), rest.begin(), rest.end());
    return reply;
}

std::optional<SimulatedInterface::Reply> SimulatedInterface::valueReply (const std::vector<std::uint8_t>& payload) const
{
    const auto blocks = readBlocks (payload);

    if (! blocks.wellFormed || blocks.ids.empty())
        return std::nullopt;

    const auto dataClass = payload[1];
    const bool hasInstance = blocks.subId >= 0;
    Reply reply;
    auto& p = reply.payload;
    p = { retParmVal, dataClass, (std::uint8_t) (hasInstance ? 2 : 1) };

    if (hasInstance)
    {
        reply.numberIndex = 7;
        p.insert (p.end(), { 5, subIdBlock, 1, (std::uint8_t) blocks.subId, (std::uint8_t) blocks.instance });
    }

    const auto blockStart = p.size();
    p.insert (p.end(), { 0, argValBlock, 0 });
    std::uint8_t count = 0;

    for (auto id : blocks.ids)
    {
        const auto value = valueOf (dataClass, blocks.instance, id);

        if (! value.has_value())
            continue;

        if (reply.entryLengthIndex < 0)
            reply.entryLengthIndex = (int) p.size();

        p.push_back ((std::uint8_t) (2 + value->size()));
        p.push_back (id);
        p.insert (p.end(), value->begin(), value->end());
        ++count;
    }

    if (count == 0)
        return std::nullopt;

    p[blockStart] = (std::uint8_t) (p.size() - blockStart);
    p[blockStart + 2] = count;
    return reply;
}

std::optional<std::vector<std::uint8_t>>
    SimulatedInterface::valueOf (std::uint8_t dataClass, int instance, std::uint8_t id) const
{
    const auto byte = [] (int v) { return Bytes { (std::uint8_t) (v & 0x7f) }; };
    const bool knownPort = instance >= 1 && instance <= (int) state.ports.size();
    const auto port = knownPort ? state.ports[(size_t) instance - 1] : Port { 0, 0, 0, {} };

    switch ((dataClass << 8) | id)
    {
        case (deviceInfo << 8) | 0x01:
            return textBytes (state.productName);
        case (deviceInfo << 8) | 0x14:
            return byte (reportedPresetCount());
        case (deviceInfo << 8) | 0x17:
            return byte (state.sceneCount);
        case (midiInfo << 8) | 0x01:
            return byte (reportedPortCount());
        case (midiInfo << 8) | 0x15:
            if (! state.reportsSelectorMask)
                return std::nullopt;
            return Bytes { (std::uint8_t) (state.selectorMask & 0x7f), 0x00 };
        case (audioInfo << 8) | 0x13:
            return byte (state.snapshotCount);
        case (deviceFeature << 8) | 0x02:
            return textBytes (instance >= 1 && instance <= (int) state.presetNames.size()
                                  ? state.presetNames[(size_t) instance - 1]
                                  : juce::String());
        case (midiPortInfo << 8) | 0x01:
            return byte (port.type);
        case (midiPortInfo << 8) | 0x02:
            return Bytes { (std::uint8_t) (port.numberA & 0x7f), (std::uint8_t) (port.numberB & 0x7f) };
        case (midiPortInfo << 8) | routeId:
        {
            // Enough route bytes for every port it reports, two nibble bytes each, low nibble first.
            const int routeBytes = (juce::jmax (0, reportedPortCount() - 1) / 8) + 1;
            Bytes nibbles;

            for (int k = 0; k < routeBytes; ++k)
            {
                const auto b = k < (int) port.routeMask.size() ? port.routeMask[(size_t) k] : (std::uint8_t) 0;
                nibbles.push_back (b & 0x0f);
                nibbles.push_back ((std::uint8_t) (b >> 4));
            }

            return nibbles;
        }
        case (midiPortInfo << 8) | 0x40:
        case (midiPortInfo << 8) | 0x41:
        case (midiPortInfo << 8) | 0x42:
            return selectorBytes (state.selectors[(size_t) (id - firstSelectorId)]);
        default:
            return std::nullopt;
    }
}

SimulatedInterface::Reply SimulatedInterface::applySelectorWrite (const std::vector<std::uint8_t>& payload)
{
    const auto blocks = readBlocks (payload);
    const auto& entry = blocks.entries.front(); // classify() found it

    if (entry.id < firstSelectorId || entry.id > lastSelectorId)
        return Reply { ackPayload (setParmVal, 0, argIdInvalid) };

    const auto selector = selectorFromBytes (entry.value);

    if (! selector.has_value())
        return Reply { ackPayload (setParmVal, 0, argValueInvalid) };

    state.selectors[(size_t) (entry.id - firstSelectorId)] = *selector;
    return Reply { ackPayload (setParmVal, 0, 0) };
}

SimulatedInterface::Reply SimulatedInterface::applyRouteWrite (const std::vector<std::uint8_t>& payload)
{
    const auto blocks = readBlocks (payload);
    const auto portNumber = blocks.instance;

    if (blocks.subId != 5 || portNumber < 1 || portNumber > (int) state.ports.size())
        return Reply { ackPayload (setParmVal, 0, subIdValueInvalid) };

    const auto& nibbles = blocks.entries.front().value;
    auto& mask = state.ports[(size_t) portNumber - 1].routeMask;

    if (nibbles.empty())
        return Reply { ackPayload (setParmVal, 0, dataBlockLengthInvalid) };

    // Only the route bytes carried are changed; a lone last nibble is the low half of its byte.
    for (size_t k = 0; 2 * k < nibbles.size() && k < mask.size(); ++k)
    {
        const auto high = 2 * k + 1 < nibbles.size() ? nibbles[2 * k + 1] & 0x0f : 0;
        mask[k] = (std::uint8_t) ((nibbles[2 * k] & 0x0f) | (high << 4));
    }

    return Reply { ackPayload (setParmVal, 0, 0) };
}

SimulatedInterface::Reply SimulatedInterface::applyStore (const std::vector<std::uint8_t>& payload)
{
    const auto blocks = readBlocks (payload);

    if (blocks.entries.empty() || blocks.entries.front().id != storeCommand)
        return Reply { ackPayload (setCmdVal, 0, cmdIdInvalid) };

    ++storeCount;
    return Reply { ackPayload (setCmdVal, 0, 0) };
}

std::vector<SimulatedInterface::Outgoing> SimulatedInterface::spoilAndFrame (Reply reply,
                                                                             const std::optional<Fault>& fault,
                                                                             const Frame& request,
                                                                             int outputHandle) const
{
    auto& p = reply.payload;
    const Fault none;
    const auto& f = fault.has_value() ? *fault : none;

    if (f.entryLength.has_value() && reply.entryLengthIndex >= 0)
        p[(size_t) reply.entryLengthIndex] = *f.entryLength;

    if (f.number.has_value() && reply.numberIndex >= 0)
        p[(size_t) reply.numberIndex] = *f.number;

    if (f.shape == Shape::longer)
        p.push_back (0x00);
    else if (f.shape == Shape::shorter && ! p.empty())
        p.pop_back();
    else if (f.shape == Shape::wrongMarker && p.size() >= 2)
        p[1] = unansweredClass;

    Frame out;
    out.productId = productId;
    out.serialNumber = serialNumber;
    out.sessionId = request.sessionId;
    out.transactionId = request.transactionId;
    out.payload = p;
    auto bytes = out.toBytes();

    if (f.badChecksum)
        bytes[bytes.size() - 2] = (std::uint8_t) ((bytes[bytes.size() - 2] + 1) & 0x7f);

    const juce::MidiMessage replyMessage (bytes.data(), (int) bytes.size());
    const std::uint8_t foreignSysex[] = { 0xf0, 0x7e, 0x7f, 0x06, 0x01, 0xf7 }; // a universal identity request
    std::vector<Outgoing> outgoing;

    for (auto& [output, input] : connections)
    {
        if (output != outputHandle)
            continue;

        if (f.interleave)
        {
            outgoing.push_back ({ input, juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100), f.delayMs });
            outgoing.push_back ({ input, juce::MidiMessage (foreignSysex, (int) sizeof (foreignSysex)), f.delayMs });
        }

        outgoing.push_back ({ input, replyMessage, f.delayMs });

        if (f.interleave)
        {
            outgoing.push_back ({ input, juce::MidiMessage::controllerEvent (1, 7, 100), f.delayMs });
            outgoing.push_back ({ input, juce::MidiMessage::midiClock(), f.delayMs });
        }
    }

    return outgoing;
}

int SimulatedInterface::reportedPortCount() const
{
    return juce::jlimit (0, 127, state.reportedPortCount >= 0 ? state.reportedPortCount : (int) state.ports.size());
}

int SimulatedInterface::reportedPresetCount() const
{
    return juce::jlimit (
        0, 127, state.reportedPresetCount >= 0 ? state.reportedPresetCount : (int) state.presetNames.size());
}
} // namespace sim
