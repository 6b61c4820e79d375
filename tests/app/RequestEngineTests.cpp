#include "AppTestSupport.h"
#include "app/MidiCallbackMessage.h"
#include "protocol/SXMessages.h"
#include "sim/Frame.h"

#include <mutex>

using namespace apptest;

namespace
{
/** Runs a check every few milliseconds, also while a modal alert is open. */
struct Poll : juce::Timer
{
    explicit Poll (std::function<void()> check)
        : fn (std::move (check))
    {
        startTimer (5);
    }
    ~Poll() override { stopTimer(); }
    void timerCallback() override { fn(); }
    std::function<void()> fn;
};

juce::String hexOfFrameBody (const juce::MidiMessage& m)
{
    juce::StringArray parts;

    for (int i = 5; i < m.getRawDataSize() - 1; ++i)
        parts.add (juce::String::formatted ("%02x", m.getRawData()[i]));

    return parts.joinIntoString (" ");
}

class Engine : public AppTest
{
protected:
    juce::MultiTimer& timers() { return timersOf (mc()); }

    /** A component with every port of the bus open and a silent device behind a new output. */
    MainComponent& withSilentOutput()
    {
        bus().addOutput ("Silent", silent);
        auto& c = makeComponent();
        showMessages();
        c.createDeviceList (true);
        c.createDeviceList (false);
        return c;
    }

    /** Presses "Save Settings" for an interface as "Get Settings" would have addressed it. */
    void save (juce::uint32 serial = 0x00A1B2C3)
    {
        mc().device.sysex.productId = 0x0123;
        mc().device.sysex.serialNumber = serial;
        mc().buttonClicked (&mc().saveSettingsButton);
    }

    void lateReplyCarriesTheReadOn (int keepAlertOpenMs);

    std::shared_ptr<Recorder> silent = std::make_shared<Recorder>();
};

//==============================================================================
TEST_F (Engine, ASendRestartsTheTimerSetsTheStateAndLogsAndSendsOneStampedFrame)
{
    auto box = addInterface (smallInterface()); // input 0, output 0
    auto& c = withSilentOutput(); // output 1
    bus().addOutput ("Closed", silent);
    c.createDeviceList (false);
    c.closeDevice (false, 2);

    c.device.sysex.sessionId = 0x0ABCDEF;
    c.device.sysex.transactionId = 41;
    c.requestState = MainComponent::WritingSettings; // an edit's acknowledgement still awaited
    timers().startTimer (MainComponent::replyTimer, 100000);
    harness::AlertCatcher catcher;

    const auto before = juce::Time::getMillisecondCounterHiRes() * 0.001;
    save();
    const auto after = juce::Time::getMillisecondCounterHiRes() * 0.001;

    EXPECT_EQ (c.requestState, MainComponent::SavingGlobals);
    EXPECT_TRUE (timers().isTimerRunning (MainComponent::replyTimer));
    EXPECT_EQ (timers().getTimerInterval (MainComponent::replyTimer), 1000);
    EXPECT_FALSE (timers().isTimerRunning (MainComponent::discoveryTimer));
    EXPECT_EQ (c.device.sysex.transactionId, 42u);
    EXPECT_EQ (monitorLines().size(), 1);

    settle();
    const auto sent = silent->get();
    ASSERT_EQ (sent.size(), 1u); // once on the open "Silent" output, never on the closed one
    ASSERT_EQ (box->getReceived().size(), 1u);
    EXPECT_EQ (hexOfFrameBody (box->getReceived()[0]), hexOfFrameBody (sent[0]));

    const auto frame = sim::Frame::parse (sent[0]);
    ASSERT_TRUE (frame.has_value());
    EXPECT_EQ (frame->transactionId, 41u);
    EXPECT_EQ (frame->sessionId, 0x0ABCDEFu);
    EXPECT_EQ (frame->productId, 0x0123);
    EXPECT_EQ (frame->serialNumber, 0x00A1B2C3u);
    EXPECT_EQ (frame->payload,
               std::vector<std::uint8_t> (std::begin (SXMessage_SaveGlobals), std::end (SXMessage_SaveGlobals)));

    const auto stamp = sent[0].getTimeStamp();
    EXPECT_GE (stamp, before);
    EXPECT_LE (stamp, after);

    // The interface's acknowledgement ends the request without an alert.
    ASSERT_TRUE (harness::pumpUntil ([&] { return c.requestState == MainComponent::Idle; }));
    const auto lines = monitorLines();
    ASSERT_EQ (lines.size(), 2);
    EXPECT_EQ (lines[0],
               "1 - " + MainComponent::formatTimeCode (stamp) + " S SetCmdVal None: " + hexOfFrameBody (sent[0]));
    EXPECT_TRUE (lines[1].startsWith ("2 - ") && lines[1].contains (" R Ack None: ")) << lines[1];
    EXPECT_TRUE (catcher.alerts.empty());
}

TEST_F (Engine, SilenceGivesOneTimeOutAlertAndNothingIsResentWithOrWithoutAnOutput)
{
    for (bool withOutput : { true, false })
    {
        SCOPED_TRACE (withOutput ? "one silent output" : "no output");
        bus().removeAll();
        silent = std::make_shared<Recorder>();
        auto& c = withOutput ? withSilentOutput() : makeComponent();
        showMessages();
        harness::AlertCatcher catcher;

        save();
        EXPECT_EQ (c.device.sysex.transactionId, 1u);
        ASSERT_TRUE (harness::pumpUntil ([&] { return ! catcher.alerts.empty(); }, 5000));
        harness::pump (1500);

        ASSERT_EQ (catcher.alerts.size(), 1u);
        EXPECT_EQ (catcher.alerts[0].title, "Time Out Error");
        EXPECT_EQ (catcher.alerts[0].message, timeOutMessage);
        EXPECT_EQ (catcher.alerts[0].buttons, juce::StringArray ("Shucks"));

        EXPECT_EQ (c.requestState, MainComponent::SavingGlobals);
        EXPECT_FALSE (timers().isTimerRunning (MainComponent::replyTimer));
        EXPECT_EQ (c.device.sysex.transactionId, 1u);
        ASSERT_EQ (monitorLines().size(), 1);
        EXPECT_TRUE (monitorLines()[0].contains (" S SetCmdVal None: "));
        EXPECT_EQ (silent->get().size(), withOutput ? 1u : 0u);
    }
}

void Engine::lateReplyCarriesTheReadOn (int keepAlertOpenMs)
{
    using Request = Interface::Request;
    auto box = addInterface (smallInterface());
    makeComponent();
    showMessages();
    ASSERT_TRUE (search());
    selectRow (0);
    box->clearReceived();

    Interface::Fault late;
    late.delayMs = 2000;
    late.times = 1;
    box->setFault (Request::midiInfo, late);

    harness::AlertCatcher catcher (keepAlertOpenMs);
    int openAlertsWhenResumed = -1;
    Poll poll (
        [&]
        {
            if (openAlertsWhenResumed < 0 && box->getRequestCount (Request::deviceInfo) > 0)
                openAlertsWhenResumed = catcher.openCount();
        });

    harness::click (mc().getSettingsButton);
    ASSERT_TRUE (harness::pumpUntil ([&] { return mc().settingsLoaded && catcher.openCount() == 0; }, 15000));

    ASSERT_EQ (catcher.alerts.size(), 1u);
    EXPECT_EQ (catcher.alerts[0].title, "Time Out Error");
    EXPECT_EQ (openAlertsWhenResumed, keepAlertOpenMs > 0 ? 1 : 0);
    EXPECT_EQ (box->getRequestCount (Request::midiInfo), 1);
    EXPECT_EQ (mc().requestState, MainComponent::Idle);
    EXPECT_EQ (mc().device.settings.portCount, 4);

    // The request went out decoded in the monitor, like any received frame.
    const auto request = box->getReceived().at (0);
    const auto expected = " S GetParmVal MIDIInfo: " + hexOfFrameBody (request);
    const auto lines = monitorLines();
    EXPECT_EQ (std::count_if (lines.begin(), lines.end(), [&] (auto& l) { return l.endsWith (expected); }), 1);
}

TEST_F (Engine, AReplyAfterTheTimeOutAlertIsHandledAndTheReadGoesOn) { lateReplyCarriesTheReadOn (0); }

TEST_F (Engine, AReplyWhileTheTimeOutAlertIsStillOpenIsHandledAndTheReadGoesOn) { lateReplyCarriesTheReadOn (3000); }

TEST_F (Engine, AValidFrameInIdleOrAnUnknownStateOnlyProducesAMonitorLine)
{
    auto& c = withSilentOutput();
    harness::AlertCatcher catcher;

    const auto frame = [] (std::vector<std::uint8_t> payload)
    {
        sim::Frame f;
        f.payload = std::move (payload);
        return f.toMessage();
    };

    // Each would be taken by some state: a store Ack, a write Ack, a MIDI info reply.
    const juce::MidiMessage frames[] = {
        frame ({ 0x40, 0x00, 0x11, 0x00, 0x00 }),
        frame ({ 0x40, 0x00, 0x10, 0x00, 0x00 }),
        frame ({ 0x43, 0x05, 0x01, 0x05, 0x03, 0x01, 0x02, 0x01, 0x04, 0x01, 0x15, 0x03, 0x00 })
    };
    const juce::uint8 states[] = { MainComponent::Idle, 12, 0x40, 0xFF };

    for (auto state : states)
    {
        c.requestState = state;

        for (auto& f : frames)
            c.handleMessage (MidiCallbackMessage (nullptr, f));

        EXPECT_EQ (c.requestState, state);
    }

    settle();
    EXPECT_EQ (monitorLines().size(), 12);
    EXPECT_FALSE (timers().isTimerRunning (MainComponent::replyTimer));
    EXPECT_EQ (c.device.sysex.transactionId, 0u);
    EXPECT_EQ (c.device.settings.portCount, 0);
    EXPECT_TRUE (silent->get().empty());
    EXPECT_TRUE (catcher.alerts.empty());
}

TEST_F (Engine, TimerIdsOtherThanTheTwoDoNothing)
{
    auto& c = withSilentOutput();
    save();
    harness::AlertCatcher catcher;

    for (int id : { 2, -1, 100 })
        c.timerCallback (id);

    EXPECT_TRUE (catcher.alerts.empty());
    EXPECT_EQ (c.requestState, MainComponent::SavingGlobals);
    EXPECT_TRUE (timers().isTimerRunning (MainComponent::replyTimer));
    EXPECT_FALSE (timers().isTimerRunning (MainComponent::discoveryTimer));
    EXPECT_EQ (c.device.sysex.transactionId, 1u);

    // The reply time-out itself, for contrast.
    c.timerCallback (MainComponent::replyTimer);
    EXPECT_EQ (catcher.alerts.size(), 1u);
    EXPECT_FALSE (timers().isTimerRunning (MainComponent::replyTimer));
    EXPECT_EQ (c.requestState, MainComponent::SavingGlobals);

    settle();
    EXPECT_EQ (silent->get().size(), 1u);
    EXPECT_EQ (monitorLines().size(), 1);
}

TEST_F (Engine, QuittingWhileAReplyIsAwaitedShowsNoAlertAfterwards)
{
    withSilentOutput();
    save();
    ASSERT_TRUE (timers().isTimerRunning (MainComponent::replyTimer));

    harness::AlertCatcher catcher;
    component.reset();
    harness::pump (1500);

    EXPECT_TRUE (catcher.alerts.empty());
    EXPECT_EQ (bus().getNumOpenOutputs(), 0);
    EXPECT_EQ (silent->get().size(), 1u);
}
} // namespace
