// The whole receive path of the main component: arbitrary messages, and well-formed frames of
// the current session carrying arbitrary payloads, in every request state, with the settings
// model empty or filled by a real read. Nothing may be read outside a message or written
// outside the model, and no JUCE assertion may fire in our code.
#include "FuzzSupport.h"
#include "app/MainComponent.h"
#include "app/MidiCallbackMessage.h"
#include "app/ZUNDeviceListBox.h"
#include "sim/DemoSetup.h"
#include "sim/VirtualMidiBus.h"

namespace
{
/** Raw messages that JUCE itself finds malformed are expected here, and so are JUCE's checks
    at exit that everything was torn down: the component and JUCE live for the whole run, and
    LeakSanitizer judges real leaks. Any other assertion is a finding. */
struct AssertionsAreFindings : juce::Logger
{
    void logMessage (const juce::String& message) override
    {
        if (message.startsWith ("JUCE Assertion failure") && ! message.contains ("juce_MidiMessage.cpp")
            && ! message.contains ("juce_LeakedObjectDetector.h") && ! message.contains ("juce_Singleton.h"))
        {
            fprintf (stderr, "%s\n", message.toRawUTF8());
            abort();
        }
    }
};

/** Alerts are modal and synchronous; here each one is dismissed as soon as its loop runs. */
struct DismissingLookAndFeel : juce::LookAndFeel_V4
{
    juce::AlertWindow* createAlertWindow (const juce::String& title,
                                          const juce::String& message,
                                          const juce::String& b1,
                                          const juce::String& b2,
                                          const juce::String& b3,
                                          juce::MessageBoxIconType icon,
                                          int numButtons,
                                          juce::Component* associated) override
    {
        auto* alert = LookAndFeel_V4::createAlertWindow (title, message, b1, b2, b3, icon, numButtons, associated);
        juce::MessageManager::callAsync (
            [safe = juce::Component::SafePointer<juce::AlertWindow> (alert)]
            {
                if (safe != nullptr)
                    safe->exitModalState (0);
            });
        return alert;
    }
};

juce::JUCEApplicationBase* noApplication() { return nullptr; }

/** Comes first in the fixture: JUCE must see these before it initialises. */
struct Environment
{
    Environment()
    {
        juce::Logger::setCurrentLogger (&logger);
        // JUCE sets up its X error handling only for applications.
        juce::JUCEApplicationBase::createInstance = &noApplication;
    }

    AssertionsAreFindings logger;
};

struct Fixture
{
    Fixture()
    {
        juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);

        // A real search and read against the built-in interfaces fill the model once.
        auto& bus = sim::VirtualMidiBus::getInstance();
        sim::DemoSetup::install (bus);
        mc.buttonClicked (&mc.searchButton);
        pumpUntil ([this] { return mc.requestState == MainComponent::Idle && mc.discovery.devices.size() > 0; });
        mc.deviceListBox->selectRow (0);
        mc.buttonClicked (&mc.getSettingsButton);
        pumpUntil ([this] { return mc.requestState == MainComponent::Idle && mc.settingsLoaded; });
        fuzz::require (mc.settingsLoaded, "the initial read completes");

        filled = mc.device.settings;
        session = mc.device.sysex.sessionId;

        // From here on nothing answers: the ports stay open but lead nowhere.
        bus.waitUntilIdle();
        bus.removeAll();
        bus.addInput ("Fuzz In");
        bus.addOutput ("Fuzz Out", nullptr);
        mc.createDeviceList (true);
        mc.createDeviceList (false);
    }

    template <typename Condition>
    void pumpUntil (Condition done)
    {
        for (int i = 0; i < 5000 && ! done(); ++i)
            juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
    }

    Environment environment;
    juce::ScopedJuceInitialiser_GUI juce;
    DismissingLookAndFeel lookAndFeel;
    MainComponent mc;
    zun::PresetSelectorBlock filled, empty;
    juce::uint32 session = 0;
};

Fixture* fixture = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    fixture = new Fixture(); // lives for the whole run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    auto& mc = fixture->mc;
    fuzz::Reader in { data, size };

    // The state to fuzz in: every request state, and values beyond the last.
    const auto flags = in.byte();
    mc.requestState = (juce::uint8) (flags % 16);
    mc.device.settings = (flags & 0x10) != 0 ? fixture->filled : fixture->empty;
    mc.settingsLoaded = (flags & 0x20) != 0;
    mc.device.sysex.sessionId = (flags & 0x40) != 0 ? 0 : fixture->session;
    mc.device.itemIndex = in.byte();
    mc.device.readingSelector = in.byte();
    mc.discovery.currentIndex = in.byte() % (mc.discovery.devices.size() + 1);
    mc.midiOutputs[0]->discoveryId = in.word() & 0x0FFFFFFF;
    mc.showMidiMessagesToggle.setToggleState ((flags & 0x80) != 0, juce::dontSendNotification);
    mc.midiMonitor.clear();

    auto* openInput = mc.midiInputs[0] != nullptr ? mc.midiInputs[0]->inputPort.get() : nullptr;

    // Then the messages: [kind][length][bytes] ...
    while (in.size > 0)
    {
        const auto kind = in.byte();
        const auto bytes = in.bytes (in.byte());
        auto* source = (kind & 0x04) != 0 ? openInput : nullptr;

        if ((kind & 0x01) != 0)
        {
            // A well-formed frame of the current session, so that it reaches the state handlers.
            zun::SysexMessage builder;
            builder.sessionId = mc.device.sysex.sessionId;
            builder.transactionId = (kind & 0x02) != 0 ? mc.midiOutputs[0]->discoveryId : in.word() & 0x0FFFFFFF;
            builder.productId = (juce::uint16) in.word();
            builder.serialNumber = in.word();
            auto payload = bytes;
            payload.resize (juce::jmax<size_t> (payload.size(), 2)); // one payload byte is not a frame
            const auto frame = builder.CreateMessage (payload.data(), (unsigned short) payload.size());
            mc.handleMessage (MidiCallbackMessage (source, frame));
        }
        else if (! bytes.empty())
        {
            mc.handleMessage (MidiCallbackMessage (source, fuzz::rawMessage (bytes.data(), bytes.size())));
        }
    }

    return 0;
}
