#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace sim
{
/** Whatever sits behind a virtual MIDI output: a simulated interface, or a test's own probe.

    receivedFromHost is called on the bus thread, once for every message the program sends on
    an output this endpoint is attached to, in the order the program sent them. It may call
    VirtualMidiBus::sendToHost (replies are queued, never delivered from inside this call).
*/
class Endpoint
{
public:
    virtual ~Endpoint() = default;
    virtual void receivedFromHost (int outputHandle, const juce::MidiMessage& message) = 0;
};

/** The process-wide stand-in for the system's MIDI service.

    It holds a list of MIDI input ports and a list of MIDI output ports. The program sees them
    through juce::MidiInput and juce::MidiOutput exactly as it would see a real system's ports:
    listed in the order they were added, each with a name and an identifier that is unique for
    the whole run (two ports may share a name), opened by identifier only.

    A port's handle is its position in its direction's list (inputs and outputs are counted
    separately, from 0), which is also its position in getAvailableDevices(). removeAll() empties
    both lists and numbering starts again at 0; identifiers are never reused, so an identifier
    kept from before removeAll() never opens a port added after it.

    Everything that reaches the program or an endpoint goes through one queue and is handed over
    on the bus's own thread, never on the message thread:
    - sendToHost queues a message for an input port; it is delivered, time-stamped at delivery
      on the juce::Time::getMillisecondCounterHiRes() clock (in seconds), to every open and started
      juce::MidiInput on that port, or dropped when there is none.
    - juce::MidiOutput::sendMessageNow queues the message for the Endpoint attached to that output
      port, or drops it when the port has none.

    Messages for one input are delivered in the order they were queued, even when a later one was
    given a shorter delay: like a MIDI cable, a late message holds up the ones behind it.

    A juce::MidiInput receives nothing before start() and nothing once stop() or its destruction
    has returned: both wait for a callback of that input that is running on the bus thread, unless
    they are called on the bus thread itself.
*/
class VirtualMidiBus
{
public:
    /** The one bus of this process; its thread starts when there is first something to deliver. */
    static VirtualMidiBus& getInstance();

    /** Adds an input port (the program reads from it) and returns its handle. */
    int addInput (const juce::String& name);

    /** Adds an output port (the program writes to it) with `endpoint` behind it, which may be
        null for a port with nothing attached, and returns its handle. */
    int addOutput (const juce::String& name, std::shared_ptr<Endpoint> endpoint);

    /** Queues a message for the program's open, started inputs on the input port `inputHandle`.
        An unknown handle drops the message. */
    void sendToHost (int inputHandle, const juce::MidiMessage& message);

    /** Like sendToHost, but not delivered before `delayMs` milliseconds have passed. */
    void sendToHostAfter (int inputHandle, const juce::MidiMessage& message, int delayMs);

    /** Removes every port and drops every queued delivery. A delivery that is running when this
        is called is waited for (unless called on the bus thread). Open juce::MidiInput and
        juce::MidiOutput objects stay valid but are cut off: they receive and deliver nothing. */
    void removeAll();

    /** Makes opening the input port `inputHandle` fail (a null juce::MidiInput) while set. */
    void setInputRefusesOpen (int inputHandle, bool refuses);

    /** Makes opening the output port `outputHandle` fail (a null juce::MidiOutput) while set. */
    void setOutputRefusesOpen (int outputHandle, bool refuses);

    /** Sets both the input port and the output port with this handle, where each exists: the
        usual case of a device whose input and output were added together. */
    void setRefusesOpen (int handle, bool refuses);

    /** Returns once nothing is queued (delayed deliveries included, as well as anything an
        endpoint queued while handling an earlier message) and no callback is running.
        Must not be called on the bus thread. */
    void waitUntilIdle();

    int getNumInputs() const;
    int getNumOutputs() const;

    /** The identifier of a port, or an empty string for an unknown handle. */
    juce::String getInputIdentifier (int inputHandle) const;
    juce::String getOutputIdentifier (int outputHandle) const;

    /** juce::MidiInput / juce::MidiOutput objects that are currently open (on any port, including
        ports removed since they were opened). */
    int getNumOpenInputs() const;
    int getNumOpenOutputs() const;

    /** Open juce::MidiInput objects that are started. */
    int getNumStartedInputs() const;

    /** True when called on the bus's delivery thread. */
    bool isBusThread() const;

    ~VirtualMidiBus();

private:
    VirtualMidiBus() = default;

    // The stand-in backend defines these JUCE classes' platform functions on top of the bus.
    friend class juce::MidiInput;
    friend class juce::MidiInput::Pimpl;
    friend class juce::MidiOutput;
    friend class juce::MidiOutput::Pimpl;

    using Clock = std::chrono::steady_clock;

    struct Port
    {
        juce::String name;
        juce::String identifier;
        int uid = 0;
        bool refusesOpen = false;
        std::shared_ptr<Endpoint> endpoint;
    };

    struct InputConnection
    {
        int portUid = 0;
        juce::MidiInput* owner = nullptr;
        juce::MidiInputCallback* callback = nullptr;
        bool started = false;
    };

    struct Event
    {
        bool toHost = true;
        int portUid = 0;
        int outputHandle = -1;
        std::shared_ptr<Endpoint> endpoint;
        juce::MidiMessage message;
    };

    using QueueKey = std::pair<Clock::time_point, std::uint64_t>;

    // Used by the backend.
    juce::Array<juce::MidiDeviceInfo> getDevices (bool inputs) const;
    std::optional<juce::MidiDeviceInfo> findOpenablePort (bool inputs, const juce::String& identifier) const;
    int connectInput (const juce::String& identifier, juce::MidiInput* owner, juce::MidiInputCallback* callback);
    void startInput (int connection);
    void stopInput (int connection);
    void disconnectInput (int connection);
    int connectOutput (const juce::String& identifier);
    void sendFromHost (int connection, const juce::MidiMessage& message);
    void disconnectOutput (int connection);

    int addPort (std::vector<Port>& ports,
                 const char* prefix,
                 const juce::String& name,
                 std::shared_ptr<Endpoint> endpoint);
    const Port* findPort (const std::vector<Port>& ports, const juce::String& identifier) const;
    void enqueue (Event event, Clock::time_point due);
    void stopInputLocked (std::unique_lock<std::mutex>& held, int connection);
    void run();
    void process (Event& event, std::unique_lock<std::mutex>& held);
    void deliverToInputs (Event& event, std::unique_lock<std::mutex>& held);

    mutable std::mutex lock;
    std::condition_variable wake; // the bus thread: something was queued, or quit
    std::condition_variable changed; // waiters: a delivery ended, or the queue changed

    std::vector<Port> inputs, outputs;
    std::map<int, InputConnection> inputConnections;
    std::map<int, int> outputConnections; // connection -> port uid
    std::map<QueueKey, Event> queue;
    std::map<int, Clock::time_point> lastDueByInput;

    int nextUid = 1;
    int nextConnection = 1;
    std::uint64_t nextSequence = 0;
    std::uint64_t generation = 0;

    bool busy = false;
    std::uint64_t processingGeneration = 0;
    int runningInput = 0;
    bool quitting = false;
    std::thread thread;
    std::thread::id threadId;

    JUCE_DECLARE_NON_COPYABLE (VirtualMidiBus)
};
} // namespace sim
