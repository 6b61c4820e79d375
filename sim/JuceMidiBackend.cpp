// The platform half of JUCE's MIDI port classes, served by the virtual MIDI bus instead of the
// system's MIDI service. A binary links this or the real backend, never both.

#include "sim/VirtualMidiBus.h"

#include <juce_audio_devices/juce_audio_devices.h>

#if JUCE_MAJOR_VERSION != 7 || JUCE_MINOR_VERSION != 0 || JUCE_BUILDNUMBER != 5
#error \
    "The stand-in MIDI backend defines exactly the platform functions of JUCE 7.0.5; check them against this JUCE version before changing this guard."
#endif

namespace juce
{
//==============================================================================
/** An open input: its connection on the bus. Closing it waits for a running callback. */
class MidiInput::Pimpl
{
public:
    explicit Pimpl (int busConnection)
        : connection (busConnection)
    {
    }
    ~Pimpl() { sim::VirtualMidiBus::getInstance().disconnectInput (connection); }

    const int connection;

    JUCE_DECLARE_NON_COPYABLE (Pimpl)
};

/** An open output: its connection on the bus. */
class MidiOutput::Pimpl
{
public:
    explicit Pimpl (int busConnection)
        : connection (busConnection)
    {
    }
    ~Pimpl() { sim::VirtualMidiBus::getInstance().disconnectOutput (connection); }

    const int connection;

    JUCE_DECLARE_NON_COPYABLE (Pimpl)
};

//==============================================================================
MidiInput::MidiInput (const String& deviceName, const String& deviceIdentifier)
    : deviceInfo (deviceName, deviceIdentifier)
{
}

MidiInput::~MidiInput()
{
    // Stops first, so that no callback can reach a half-destroyed object.
    internal.reset();
}

void MidiInput::start() { sim::VirtualMidiBus::getInstance().startInput (internal->connection); }

void MidiInput::stop() { sim::VirtualMidiBus::getInstance().stopInput (internal->connection); }

Array<MidiDeviceInfo> MidiInput::getAvailableDevices() { return sim::VirtualMidiBus::getInstance().getDevices (true); }

MidiDeviceInfo MidiInput::getDefaultDevice()
{
    auto devices = getAvailableDevices();
    return devices.isEmpty() ? MidiDeviceInfo() : devices.getReference (0);
}

std::unique_ptr<MidiInput> MidiInput::openDevice (const String& deviceIdentifier, MidiInputCallback* callback)
{
    auto& bus = sim::VirtualMidiBus::getInstance();
    auto info = bus.findOpenablePort (true, deviceIdentifier);

    if (! info.has_value())
        return {};

    std::unique_ptr<MidiInput> input (new MidiInput (info->name, info->identifier));
    const int connection = bus.connectInput (deviceIdentifier, input.get(), callback);

    if (connection == 0)
        return {};

    input->internal = std::make_unique<Pimpl> (connection);
    return input;
}

std::unique_ptr<MidiInput> MidiInput::createNewDevice (const String&, MidiInputCallback*)
{
    // The virtual service offers only the ports a test or the demo set-up adds.
    return {};
}

StringArray MidiInput::getDevices()
{
    StringArray names;

    for (auto& device : getAvailableDevices())
        names.add (device.name);

    return names;
}

int MidiInput::getDefaultDeviceIndex() { return 0; }

std::unique_ptr<MidiInput> MidiInput::openDevice (int index, MidiInputCallback* callback)
{
    auto devices = getAvailableDevices();

    if (! isPositiveAndBelow (index, devices.size()))
        return {};

    return openDevice (devices.getReference (index).identifier, callback);
}

//==============================================================================
MidiOutput::~MidiOutput()
{
    stopBackgroundThread();
    internal.reset();
}

void MidiOutput::sendMessageNow (const MidiMessage& message)
{
    sim::VirtualMidiBus::getInstance().sendFromHost (internal->connection, message);
}

Array<MidiDeviceInfo> MidiOutput::getAvailableDevices()
{
    return sim::VirtualMidiBus::getInstance().getDevices (false);
}

MidiDeviceInfo MidiOutput::getDefaultDevice()
{
    auto devices = getAvailableDevices();
    return devices.isEmpty() ? MidiDeviceInfo() : devices.getReference (0);
}

std::unique_ptr<MidiOutput> MidiOutput::openDevice (const String& deviceIdentifier)
{
    auto& bus = sim::VirtualMidiBus::getInstance();
    auto info = bus.findOpenablePort (false, deviceIdentifier);

    if (! info.has_value())
        return {};

    const int connection = bus.connectOutput (deviceIdentifier);

    if (connection == 0)
        return {};

    std::unique_ptr<MidiOutput> output (new MidiOutput (info->name, info->identifier));
    output->internal = std::make_unique<Pimpl> (connection);
    return output;
}

std::unique_ptr<MidiOutput> MidiOutput::createNewDevice (const String&) { return {}; }

StringArray MidiOutput::getDevices()
{
    StringArray names;

    for (auto& device : getAvailableDevices())
        names.add (device.name);

    return names;
}

int MidiOutput::getDefaultDeviceIndex() { return 0; }

std::unique_ptr<MidiOutput> MidiOutput::openDevice (int index)
{
    auto devices = getAvailableDevices();

    if (! isPositiveAndBelow (index, devices.size()))
        return {};

    return openDevice (devices.getReference (index).identifier);
}
} // namespace juce

// JUCE's platform-independent half (MidiOutput's constructor and background thread, and
// MidiInputCallback's default partial-SysEx handler); it needs the complete Pimpls above.
#include <juce_audio_devices/midi_io/juce_MidiDevices.cpp>
