#pragma once

#include "app/MainComponent.h"
#include "app/Vantorel.h"
#include "app/ZUNDeviceListBox.h"
#include "harness/GuiTestHelpers.h"
#include "sim/SimulatedInterface.h"
#include "sim/VirtualMidiBus.h"
#include <gtest/gtest.h>
#include <mutex>

namespace apptest
{
using Interface = sim::SimulatedInterface;

/** The component's two timers. They are a private base, as nothing but the component itself
    drives them; tests only look at them (and start the reply time-out as a pending request
    would), and a C-style cast is the one way to reach an inaccessible base. */
inline juce::MultiTimer& timersOf (MainComponent& c) { return (juce::MultiTimer&) c; }

/** The text of the reply time-out alert. */
inline const char* const timeOutMessage =
    "Something went wrong, was expecting a message from interface but did not receive one.";

/** A device behind an output that only records what the program sends it, and never answers. */
struct Recorder : sim::Endpoint
{
    void receivedFromHost (int, const juce::MidiMessage& m) override
    {
        const std::lock_guard<std::mutex> held (mutex);
        received.push_back (m);
    }

    std::vector<juce::MidiMessage> get()
    {
        const std::lock_guard<std::mutex> held (mutex);
        return received;
    }

    std::mutex mutex;
    std::vector<juce::MidiMessage> received;
};

/** Counts a button's clicks, from whatever path they come, while it exists. */
struct ClickCounter : private juce::Button::Listener
{
    explicit ClickCounter (juce::Button& b)
        : button (b)
    {
        button.addListener (this);
    }
    ~ClickCounter() override { button.removeListener (this); }
    void buttonClicked (juce::Button*) override { ++count; }
    juce::Button& button;
    int count = 0;
};

/** Runs a callback every few milliseconds, also inside the modal loop of an open alert. */
struct Probe : private juce::Timer
{
    explicit Probe (std::function<void()> f)
        : tick (std::move (f))
    {
        startTimer (2);
    }

    ~Probe() override { stopTimer(); }
    void timerCallback() override { tick(); }

    std::function<void()> tick;
};

/** The bus that stands in for the system's MIDI service. */
inline sim::VirtualMidiBus& bus() { return sim::VirtualMidiBus::getInstance(); }

/** A small interface: two DIN ports, one USB port and the "Preset Selector" port (port 4),
    three named presets, two scenes, Preset and Scene selectors. */
inline Interface::Config smallInterface (std::uint16_t productId = 0x0123, std::uint32_t serial = 0x00A1B2C3)
{
    Interface::Config c;
    c.productId = productId;
    c.serialNumber = serial;
    c.productName = "Box One";
    c.ports = { { 1, 1, 1, {} }, { 1, 2, 0, {} }, { 2, 1, 1, {} }, { 5, 0, 1, {} } };
    c.ports[0].routeMask[0] = 0x08; // port 1 routes to the selector port
    c.presetNames = { "Clean", "Crunch", "Lead" };
    c.sceneCount = 2;
    c.selectorMask = 0x03;
    c.selectors[0].enabled = 1;
    c.selectors[0].channelMask = 0x0005;
    c.selectors[0].minPreset = 1;
    c.selectors[0].maxPreset = 3;
    c.selectors[1].useControlChange = 1;
    c.selectors[1].ccMode = 2;
    c.selectors[1].ccId1 = 7;
    c.selectors[1].ccId2 = 8;
    c.selectors[1].onValue = 127;
    return c;
}

/** Base for tests that drive a MainComponent against simulated interfaces on the bus. */
class AppTest : public ::testing::Test
{
protected:
    void SetUp() override { bus().removeAll(); }

    void TearDown() override
    {
        component.reset();
        window.reset();
        bus().waitUntilIdle();
        bus().removeAll();
        interfaces.clear();
        harness::pump (5);
    }

    /** Adds a simulated interface behind a new port pair named `portName`. */
    std::shared_ptr<Interface> addInterface (const Interface::Config& config,
                                             const juce::String& portName = "Interface")
    {
        auto simulated = std::make_shared<Interface> (config);
        simulated->attach (portName);
        interfaces.push_back (simulated);
        return simulated;
    }

    /** The component under test; `inWindow` puts it in a real, visible window on the display. */
    MainComponent& makeComponent (bool inWindow = false)
    {
        component = std::make_unique<MainComponent>();

        if (inWindow)
        {
            window = std::make_unique<juce::DocumentWindow> (
                "Quorvel", juce::Colours::darkgrey, juce::DocumentWindow::allButtons);
            window->setUsingNativeTitleBar (true);
            window->setContentNonOwned (component.get(), true);
            window->setVisible (true);
        }

        return *component;
    }

    /** The program's own main window, shown, with the main component it owns. */
    MainComponent& makeMainWindow()
    {
        window = std::make_unique<Vantorel::MainWindow> ("Quorvel");
        return mc();
    }

    MainComponent& mc()
    {
        return component != nullptr ? *component : *dynamic_cast<MainComponent*> (window->getContentComponent());
    }

    /** Turns on the monitor, as ticking "Show MIDI Messages" does. */
    void showMessages() { mc().showMidiMessagesToggle.setToggleState (true, juce::dontSendNotification); }

    /** Presses "Search" and waits until the interfaces are listed (or nothing was found). */
    bool search (int timeoutMs = 5000)
    {
        harness::click (mc().searchButton);
        return harness::pumpUntil ([this] { return mc().requestState == MainComponent::Idle; }, timeoutMs);
    }

    /** Selects a row of the device list, as a click on it does. */
    void selectRow (int row)
    {
        mc().deviceListBox->selectRow (row);
        harness::pump (5);
    }

    /** The row of the device list that shows `i`. */
    int rowOf (const Interface& i)
    {
        for (int row = 0; row < mc().discovery.devices.size(); ++row)
            if (mc().discovery.devices[row]->serialNumber == i.getSerialNumber())
                return row;

        ADD_FAILURE() << "no row for serial " << i.getSerialNumber();
        return -1;
    }

    /** Presses "Get Settings" and waits for the read to end. */
    bool getSettings (int timeoutMs = 5000)
    {
        harness::click (mc().getSettingsButton);
        return harness::pumpUntil ([this] { return mc().requestState == MainComponent::Idle && mc().settingsLoaded; },
                                   timeoutMs);
    }

    /** Search, select `row`, Get Settings. */
    bool searchSelectAndRead (int row = 0)
    {
        if (! search())
            return false;

        selectRow (row);
        return getSettings();
    }

    /** Waits until the bus and the message queue have both gone quiet. */
    void settle (int ms = 20)
    {
        bus().waitUntilIdle();
        harness::pump (ms);
    }

    /** The monitor's lines, without their line ends. */
    juce::StringArray monitorLines()
    {
        juce::StringArray lines;
        lines.addTokens (mc().midiMonitor.getText(), "\r\n", {});
        lines.removeEmptyStrings();
        return lines;
    }

    std::vector<std::shared_ptr<Interface>> interfaces;
    std::unique_ptr<MainComponent> component;
    std::unique_ptr<juce::DocumentWindow> window;
};

/** Every field of a selector record on one line: the four switches, the channels, the ten values. */
inline juce::String fieldsOf (const Interface::Selector& s)
{
    auto text = juce::String::formatted (
        "switches %d%d%d%d channels %04X values", s.enabled, s.useControlChange, s.wraparound, s.invert, s.channelMask);

    for (int v : { s.minPreset,
                   s.maxPreset,
                   s.ccMode,
                   s.ccId1,
                   s.ccId2,
                   s.minValue,
                   s.maxValue,
                   s.onValue,
                   s.offPreset,
                   s.onPreset })
        text << " " << v;

    return text;
}

inline juce::String fieldsOf (const zun::SelectorSettings& r)
{
    return fieldsOf (Interface::Selector { r.enabled,
                                           r.useControlChange,
                                           r.wraparound,
                                           r.invert,
                                           r.channelMask,
                                           r.minPreset,
                                           r.maxPreset,
                                           r.ccMode,
                                           r.ccId1,
                                           r.ccId2,
                                           r.minValue,
                                           r.maxValue,
                                           r.onValue,
                                           r.offPreset,
                                           r.onPreset });
}

inline Interface::Fault noReply()
{
    Interface::Fault f;
    f.noReply = true;
    return f;
}

/** The payload of a frame, from the byte after the length field up to the checksum. */
inline std::vector<juce::uint8> payloadOf (const juce::MidiMessage& frame)
{
    const auto* b = frame.getRawData();
    const int size = frame.getRawDataSize();

    if (size < 24)
        return {};

    return std::vector<juce::uint8> (b + 22, b + size - 2);
}
} // namespace apptest
