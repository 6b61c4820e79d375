#include "sim/VirtualMidiBus.h"

#include <algorithm>

namespace sim
{
VirtualMidiBus& VirtualMidiBus::getInstance()
{
    // A function-local static: destroyed at exit, after main() and with it JUCE have ended. The
    // destructor only joins the thread and frees plain data, so that order is safe.
    static VirtualMidiBus bus;
    return bus;
}

VirtualMidiBus::~VirtualMidiBus()
{
    {
        const std::lock_guard<std::mutex> held (lock);
        quitting = true;
        queue.clear();
    }

    wake.notify_all();

    if (thread.joinable())
        thread.join();
}

//==============================================================================
int VirtualMidiBus::addInput (const juce::String& name)
{
    const std::lock_guard<std::mutex> held (lock);
    return addPort (inputs, "sim-in-", name, nullptr);
}

int VirtualMidiBus::addOutput (const juce::String& name, std::shared_ptr<Endpoint> endpoint)
{
    const std::lock_guard<std::mutex> held (lock);
    return addPort (outputs, "sim-out-", name, std::move (endpoint));
}

int VirtualMidiBus::addPort (std::vector<Port>& ports,
                             const char* prefix,
                             const juce::String& name,
                             std::shared_ptr<Endpoint> endpoint)
{
    Port port;
    port.name = name;
    port.uid = nextUid++;
    port.identifier = prefix + juce::String (port.uid);
    port.endpoint = std::move (endpoint);
    ports.push_back (std::move (port));
    return (int) ports.size() - 1;
}

void VirtualMidiBus::sendToHost (int inputHandle, const juce::MidiMessage& message)
{
    sendToHostAfter (inputHandle, message, 0);
}

void VirtualMidiBus::sendToHostAfter (int inputHandle, const juce::MidiMessage& message, int delayMs)
{
    const std::lock_guard<std::mutex> held (lock);

    // A reply queued by an endpoint that was handling a message from before removeAll() belongs
    // to ports that are gone; the handle would now name a new port.
    const bool fromStaleHandler = busy && std::this_thread::get_id() == threadId && processingGeneration != generation;

    if (fromStaleHandler || inputHandle < 0 || inputHandle >= (int) inputs.size())
        return;

    Event event;
    event.toHost = true;
    event.portUid = inputs[(size_t) inputHandle].uid;
    event.message = message;

    auto due = Clock::now() + std::chrono::milliseconds (juce::jmax (0, delayMs));
    auto& last = lastDueByInput[event.portUid];
    due = juce::jmax (due, last);
    last = due;

    enqueue (std::move (event), due);
}

void VirtualMidiBus::removeAll()
{
    // Dropped outside the lock: releasing the last reference to an endpoint runs its destructor.
    std::map<QueueKey, Event> droppedQueue;
    std::vector<Port> droppedInputs, droppedOutputs;

    std::unique_lock<std::mutex> held (lock);

    ++generation;
    droppedQueue.swap (queue);
    droppedInputs.swap (inputs);
    droppedOutputs.swap (outputs);
    lastDueByInput.clear();
    changed.notify_all();
    wake.notify_all();

    if (std::this_thread::get_id() != threadId)
        changed.wait (held, [this] { return ! busy || processingGeneration == generation; });

    held.unlock();
}

void VirtualMidiBus::setInputRefusesOpen (int inputHandle, bool refuses)
{
    const std::lock_guard<std::mutex> held (lock);

    if (inputHandle >= 0 && inputHandle < (int) inputs.size())
        inputs[(size_t) inputHandle].refusesOpen = refuses;
}

void VirtualMidiBus::setOutputRefusesOpen (int outputHandle, bool refuses)
{
    const std::lock_guard<std::mutex> held (lock);

    if (outputHandle >= 0 && outputHandle < (int) outputs.size())
        outputs[(size_t) outputHandle].refusesOpen = refuses;
}

void VirtualMidiBus::setRefusesOpen (int handle, bool refuses)
{
    setInputRefusesOpen (handle, refuses);
    setOutputRefusesOpen (handle, refuses);
}

void VirtualMidiBus::waitUntilIdle()
{
    std::unique_lock<std::mutex> held (lock);

    if (std::this_thread::get_id() == threadId)
    {
        jassertfalse; // the bus thread would wait for itself
        return;
    }

    changed.wait (held, [this] { return queue.empty() && ! busy; });
}

//==============================================================================
int VirtualMidiBus::getNumInputs() const
{
    const std::lock_guard<std::mutex> held (lock);
    return (int) inputs.size();
}

int VirtualMidiBus::getNumOutputs() const
{
    const std::lock_guard<std::mutex> held (lock);
    return (int) outputs.size();
}

juce::String VirtualMidiBus::getInputIdentifier (int inputHandle) const
{
    const std::lock_guard<std::mutex> held (lock);
    return inputHandle >= 0 && inputHandle < (int) inputs.size() ? inputs[(size_t) inputHandle].identifier
                                                                 : juce::String();
}

juce::String VirtualMidiBus::getOutputIdentifier (int outputHandle) const
{
    const std::lock_guard<std::mutex> held (lock);
    return outputHandle >= 0 && outputHandle < (int) outputs.size() ? outputs[(size_t) outputHandle].identifier
                                                                    : juce::String();
}

int VirtualMidiBus::getNumOpenInputs() const
{
    const std::lock_guard<std::mutex> held (lock);
    return (int) inputConnections.size();
}

int VirtualMidiBus::getNumOpenOutputs() const
{
    const std::lock_guard<std::mutex> held (lock);
    return (int) outputConnections.size();
}

int VirtualMidiBus::getNumStartedInputs() const
{
    const std::lock_guard<std::mutex> held (lock);
    return (int) std::count_if (
        inputConnections.begin(), inputConnections.end(), [] (auto& c) { return c.second.started; });
}

bool VirtualMidiBus::isBusThread() const
{
    const std::lock_guard<std::mutex> held (lock);
    return std::this_thread::get_id() == threadId;
}

//==============================================================================
juce::Array<juce::MidiDeviceInfo> VirtualMidiBus::getDevices (bool wantInputs) const
{
    const std::lock_guard<std::mutex> held (lock);
    juce::Array<juce::MidiDeviceInfo> devices;

    for (auto& port : wantInputs ? inputs : outputs)
        devices.add ({ port.name, port.identifier });

    return devices;
}

const VirtualMidiBus::Port* VirtualMidiBus::findPort (const std::vector<Port>& ports,
                                                      const juce::String& identifier) const
{
    for (auto& port : ports)
        if (port.identifier == identifier)
            return &port;

    return nullptr;
}

std::optional<juce::MidiDeviceInfo> VirtualMidiBus::findOpenablePort (bool wantInput,
                                                                      const juce::String& identifier) const
{
    const std::lock_guard<std::mutex> held (lock);
    auto* port = findPort (wantInput ? inputs : outputs, identifier);

    if (port == nullptr || port->refusesOpen)
        return std::nullopt;

    return juce::MidiDeviceInfo (port->name, port->identifier);
}

int VirtualMidiBus::connectInput (const juce::String& identifier,
                                  juce::MidiInput* owner,
                                  juce::MidiInputCallback* callback)
{
    const std::lock_guard<std::mutex> held (lock);
    auto* port = findPort (inputs, identifier);

    if (port == nullptr || port->refusesOpen)
        return 0;

    const int connection = nextConnection++;
    inputConnections[connection] = { port->uid, owner, callback, false };
    return connection;
}

void VirtualMidiBus::startInput (int connection)
{
    const std::lock_guard<std::mutex> held (lock);
    auto found = inputConnections.find (connection);

    if (found != inputConnections.end())
        found->second.started = true;
}

void VirtualMidiBus::stopInput (int connection)
{
    std::unique_lock<std::mutex> held (lock);
    stopInputLocked (held, connection);
}

void VirtualMidiBus::stopInputLocked (std::unique_lock<std::mutex>& held, int connection)
{
    auto found = inputConnections.find (connection);

    if (found == inputConnections.end())
        return;

    found->second.started = false;

    // On the bus thread the only callback that can be running is the caller itself (or another
    // input's), so there is nothing to wait for; anywhere else, let a running callback finish.
    if (std::this_thread::get_id() != threadId)
        changed.wait (held, [this, connection] { return runningInput != connection; });
}

void VirtualMidiBus::disconnectInput (int connection)
{
    std::unique_lock<std::mutex> held (lock);
    stopInputLocked (held, connection);
    inputConnections.erase (connection);
}

int VirtualMidiBus::connectOutput (const juce::String& identifier)
{
    const std::lock_guard<std::mutex> held (lock);
    auto* port = findPort (outputs, identifier);

    if (port == nullptr || port->refusesOpen)
        return 0;

    const int connection = nextConnection++;
    outputConnections[connection] = port->uid;
    return connection;
}

void VirtualMidiBus::sendFromHost (int connection, const juce::MidiMessage& message)
{
    const std::lock_guard<std::mutex> held (lock);
    auto found = outputConnections.find (connection);

    if (found == outputConnections.end())
        return;

    for (size_t handle = 0; handle < outputs.size(); ++handle)
    {
        auto& port = outputs[handle];

        if (port.uid != found->second || port.endpoint == nullptr)
            continue;

        Event event;
        event.toHost = false;
        event.portUid = port.uid;
        event.outputHandle = (int) handle;
        event.endpoint = port.endpoint;
        event.message = message;
        enqueue (std::move (event), Clock::now());
        return;
    }
}

void VirtualMidiBus::disconnectOutput (int connection)
{
    const std::lock_guard<std::mutex> held (lock);
    outputConnections.erase (connection);
}

//==============================================================================
void VirtualMidiBus::enqueue (Event event, Clock::time_point due)
{
    queue.emplace (QueueKey { due, nextSequence++ }, std::move (event));

    if (! thread.joinable())
    {
        thread = std::thread ([this] { run(); });
        threadId = thread.get_id();
    }

    wake.notify_all();
}

void VirtualMidiBus::run()
{
    std::unique_lock<std::mutex> held (lock);

    while (! quitting)
    {
        if (queue.empty())
        {
            wake.wait (held);
            continue;
        }

        auto first = queue.begin();

        // A copy: the queue may be emptied while this thread waits.
        const auto due = first->first.first;

        if (due > Clock::now())
        {
            wake.wait_until (held, due);
            continue;
        }

        auto event = std::move (first->second);
        queue.erase (first);

        busy = true;
        processingGeneration = generation;
        process (event, held);
        busy = false;
        changed.notify_all();
    }
}

void VirtualMidiBus::process (Event& event, std::unique_lock<std::mutex>& held)
{
    if (event.toHost)
    {
        deliverToInputs (event, held);
        return;
    }

    // The reference is dropped before the lock is taken again, in case it is the last one.
    auto endpoint = std::move (event.endpoint);
    held.unlock();
    endpoint->receivedFromHost (event.outputHandle, event.message);
    endpoint.reset();
    held.lock();
}

void VirtualMidiBus::deliverToInputs (Event& event, std::unique_lock<std::mutex>& held)
{
    std::vector<int> targets;

    for (auto& [connection, input] : inputConnections)
        if (input.portUid == event.portUid && input.started)
            targets.push_back (connection);

    for (auto connection : targets)
    {
        // Looked up again: an earlier callback in this loop may have stopped or closed it.
        auto found = inputConnections.find (connection);

        if (found == inputConnections.end() || ! found->second.started || found->second.callback == nullptr)
            continue;

        auto* owner = found->second.owner;
        auto* callback = found->second.callback;
        auto message = event.message;
        message.setTimeStamp (juce::Time::getMillisecondCounterHiRes() * 0.001);

        runningInput = connection;
        held.unlock();
        callback->handleIncomingMidiMessage (owner, message);
        held.lock();
        runningInput = 0;
        changed.notify_all();
    }
}
} // namespace sim
