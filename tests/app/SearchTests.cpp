#include "AppTestSupport.h"
#include "protocol/SXMessages.h"
#include "sim/Frame.h"

using namespace apptest;

namespace
{
using Request = Interface::Request;
using Fault = Interface::Fault;

juce::uint32 transactionIdOf (const juce::MidiMessage& frame)
{
    return zun::SysexMessage::Unpack28 (frame.getRawData() + zun::SysexMessage::transactionIdOffset);
}

/** The requests of one kind that an interface received, in order. */
std::vector<juce::MidiMessage> requestsOf (const Interface& iface, Request kind)
{
    std::vector<juce::MidiMessage> found;

    for (auto& m : iface.getReceived())
        if (Interface::classify (payloadOf (m)) == kind)
            found.push_back (m);

    return found;
}

/** A discovery reply of an interface that is not on the bus, echoing `transactionId`. */
juce::MidiMessage discoveryReply (juce::uint16 productId, juce::uint32 serial, juce::uint32 transactionId)
{
    sim::Frame f;
    f.productId = productId;
    f.serialNumber = serial;
    f.transactionId = transactionId;
    const auto identity = f.toBytes();
    f.payload = { 0x41, 0x01, 1, 20, 3, 3, 9, 0x03 };
    f.payload.insert (f.payload.end(), identity.begin() + 5, identity.begin() + 12);
    f.payload.insert (f.payload.end(), { 4, 0x01, 0x04, 0x00, 4, 0x02, 0x01, 0x09 });
    return f.toMessage();
}

Fault faultWith (std::function<void (Fault&)> configure)
{
    Fault f;
    configure (f);
    return f;
}

class Search : public AppTest
{
protected:
    harness::AlertCatcher alerts; // records and dismisses every alert, so none can stall a test

    /** Rows the list box shows (its content), not the discovery list's length. */
    int rowsShown()
    {
        auto& box = *mc().deviceListBox;
        return box.getViewport()->getViewedComponent()->getHeight() / box.getRowHeight();
    }

    /** The labels of the discovery list, joined with " | ". */
    juce::String labels()
    {
        juce::StringArray result;

        for (auto* d : mc().discovery.devices)
            result.add (d->label);

        return result.joinIntoString (" | ");
    }

    juce::String labelOf (juce::uint32 serial)
    {
        for (auto* d : mc().discovery.devices)
            if (d->serialNumber == serial)
                return d->label;

        return "(not listed)";
    }

    std::pair<int, int> pairOf (int row)
    {
        return { mc().discovery.devices[row]->inputIndex, mc().discovery.devices[row]->outputIndex };
    }

    int sentDiscoveryLines()
    {
        int n = 0;

        for (auto& line : monitorLines())
            n += line.contains (" S HstSesnVal SessionInfo: ");

        return n;
    }

    bool waitForIdle()
    {
        return harness::pumpUntil ([this] { return mc().requestState == MainComponent::Idle; }, 5000);
    }

    /** Search where no interface answers: nothing listed, nothing shown, nothing left open. */
    void expectQuietSearch (int framesSent)
    {
        auto& c = makeComponent();
        showMessages();

        harness::click (c.searchButton);
        EXPECT_EQ (c.requestState, MainComponent::Discovering);
        ASSERT_TRUE (waitForIdle());
        harness::pump (50);

        EXPECT_EQ (sentDiscoveryLines(), framesSent);
        EXPECT_EQ (monitorLines().size(), framesSent);
        EXPECT_EQ (c.device.sysex.transactionId, (juce::uint32) framesSent);
        EXPECT_EQ (c.discovery.devices.size(), 0);
        EXPECT_EQ (rowsShown(), 0);
        EXPECT_EQ (bus().getNumOpenInputs() + bus().getNumOpenOutputs(), 0);
        EXPECT_TRUE (alerts.alerts.empty());
    }
};

//==============================================================================
TEST_F (Search, WithoutOutputsNothingIsSentAndTheWindowEndsEmpty)
{
    bus().addInput ("Keyboard");
    expectQuietSearch (0);
}

TEST_F (Search, WhenNothingAnswersTheWindowEndsEmptyWithoutAnAlert)
{
    bus().addInput ("Silent");
    bus().addOutput ("Silent", nullptr);
    expectQuietSearch (1);
}

TEST_F (Search, EachOutputGetsItsOwnDiscoveryFrame)
{
    auto a = addInterface (smallInterface (0x0123, 1), "A");
    auto b = addInterface (smallInterface (0x0123, 2), "B");
    auto& c = makeComponent();
    showMessages();
    ASSERT_TRUE (search());

    const auto toA = requestsOf (*a, Request::discovery);
    const auto toB = requestsOf (*b, Request::discovery);
    ASSERT_EQ (toA.size(), 1u);
    ASSERT_EQ (toB.size(), 1u);
    EXPECT_EQ (sentDiscoveryLines(), 2);

    // The first frames of the run: transaction IDs 0 and 1, in output order.
    EXPECT_EQ (transactionIdOf (toA[0]), 0u);
    EXPECT_EQ (transactionIdOf (toB[0]), 1u);
    EXPECT_EQ (c.midiOutputs[0]->discoveryId, 0u);
    EXPECT_EQ (c.midiOutputs[1]->discoveryId, 1u);

    // Unaddressed and otherwise identical: only the transaction ID and the checksum differ.
    const std::vector<juce::uint8> x (toA[0].getRawData(), toA[0].getRawData() + toA[0].getRawDataSize());
    const std::vector<juce::uint8> y (toB[0].getRawData(), toB[0].getRawData() + toB[0].getRawDataSize());
    ASSERT_EQ (x.size(), 34u);
    ASSERT_EQ (y.size(), 34u);

    for (size_t i = 0; i < x.size(); ++i)
        EXPECT_TRUE (x[i] == y[i] || (i >= 16 && i <= 19) || i == 32) << "byte " << i;

    EXPECT_EQ (std::vector<juce::uint8> (x.begin() + 5, x.begin() + 16), std::vector<juce::uint8> (11, 0));
    EXPECT_EQ (payloadOf (toA[0]),
               std::vector<juce::uint8> (SXMessage_DeviceDiscovery, SXMessage_DeviceDiscovery + 10));
}

TEST_F (Search, AnInterfaceIsListedWithTheInputOfItsReplyAndTheOutputOfItsRequest)
{
    // It sits behind output 0 and answers on input 1; the names say otherwise.
    bus().addInput ("Box One");
    const int answersOn = bus().addInput ("Other");
    auto x = std::make_shared<Interface> (smallInterface());
    x->connect (bus().addOutput ("Other", x), answersOn);
    bus().addOutput ("Box One", nullptr);
    interfaces.push_back (x);

    makeComponent();
    ASSERT_TRUE (search());

    ASSERT_EQ (mc().discovery.devices.size(), 1);
    EXPECT_EQ (pairOf (0), std::make_pair (1, 0));
    EXPECT_EQ (labels(), "Box One SN: 00A1B2C3"); // the name pass used that pair
}

TEST_F (Search, AnInterfaceOnTwoPairsIsListedOnceWithThePairOfTheReplyHandledFirst)
{
    auto x = addInterface (smallInterface(), "First");
    const int second = bus().addInput ("Second");
    x->connect (bus().addOutput ("Second", x), second);
    // The reply to the first output's frame comes late, so the second pair answers first.
    x->setFault (Request::discovery,
                 faultWith (
                     [] (Fault& f)
                     {
                         f.delayMs = 100;
                         f.times = 1;
                     }));

    makeComponent();
    ASSERT_TRUE (search());

    EXPECT_EQ (requestsOf (*x, Request::discovery).size(), 2u);
    ASSERT_EQ (mc().discovery.devices.size(), 1);
    EXPECT_EQ (pairOf (0), std::make_pair (1, 1));
    EXPECT_EQ (rowsShown(), 1);
}

TEST_F (Search, InterfacesAreNamedInTurnAndListedAfterTheLastName)
{
    auto a = addInterface (smallInterface (0x0123, 0x00A1B2C3), "A");
    auto config = smallInterface (0x0456, 0xF0000001);
    config.productName = "Box Two";
    auto b = addInterface (config, "B");
    b->setFault (Request::productName, faultWith ([] (Fault& f) { f.delayMs = 300; }));
    auto& c = makeComponent();

    harness::click (c.searchButton);
    ASSERT_TRUE (harness::pumpUntil (
        [&] { return c.requestState == MainComponent::ReadingNames && c.discovery.currentIndex == 1; }));

    // The first is named; only the second's pair is open while it is asked; nothing shown yet.
    EXPECT_EQ (c.discovery.devices[0]->label, "Box One SN: 00A1B2C3");
    EXPECT_EQ (rowsShown(), 0);
    EXPECT_TRUE (c.midiInputs[0]->inputPort == nullptr && c.midiOutputs[0]->outputPort == nullptr);
    EXPECT_TRUE (c.midiInputs[1]->inputPort != nullptr && c.midiOutputs[1]->outputPort != nullptr);

    ASSERT_TRUE (waitForIdle());
    EXPECT_EQ (labels(), "Box One SN: 00A1B2C3 | Box Two SN: F0000001");
    EXPECT_EQ (rowsShown(), 2);
    EXPECT_EQ (bus().getNumOpenInputs() + bus().getNumOpenOutputs(), 0);
    EXPECT_EQ (requestsOf (*a, Request::productName).size(), 1u);
    EXPECT_EQ (requestsOf (*b, Request::productName).size(), 1u);
}

TEST_F (Search, NamesAreTakenFromTheEntryButNeverFromBeyondThePayload)
{
    struct Case
    {
        juce::uint32 serial;
        juce::String name;
        std::optional<juce::uint8> entryLength;
        const char* expected;
    };

    const Case cases[] = {
        { 0x11, "Box One", 2, "" }, // an empty name
        { 0x12, "Bo" + juce::String::charToString (0x80) + "x", {}, "Box" }, // sent as a zero byte (0x80 & 0x7F)
        { 0x13, "Box One", 5, "Box" }, // the entry length decides
        { 0x14, "Box One", 1, "" }, // below 2: no characters
        { 0x15, "Box One", 0, "" },
        { 0x16, "Box One", 0x7F, "Box One" }, // past the payload: cut at its end
    };

    for (auto& k : cases)
    {
        auto config = smallInterface (0x0123, k.serial);
        config.productName = k.name;
        auto iface = addInterface (config, juce::String (k.serial));

        if (k.entryLength.has_value())
            iface->setFault (Request::productName, faultWith ([&] (Fault& f) { f.entryLength = k.entryLength; }));
    }

    makeComponent();
    ASSERT_TRUE (search());

    EXPECT_EQ (rowsShown(), 6);

    for (auto& k : cases)
        EXPECT_EQ (labelOf (k.serial), k.expected + juce::String::formatted (" SN: %08X", k.serial));
}

TEST_F (Search, ANameThatNeverComesGivesOneTimeOutAndANewSearchRecovers)
{
    auto a = addInterface (smallInterface(), "A");
    a->setFault (Request::productName, faultWith ([] (Fault& f) { f.noReply = true; }));
    auto& c = makeComponent();

    harness::click (c.searchButton);
    ASSERT_TRUE (harness::pumpUntil ([&] { return ! alerts.alerts.empty(); }, 5000));
    harness::pump (1500); // room for a second time-out, were there one

    ASSERT_EQ (alerts.alerts.size(), 1u);
    EXPECT_EQ (alerts.alerts[0].title, "Time Out Error");
    EXPECT_EQ (alerts.alerts[0].message,
               "Something went wrong, was expecting a message from interface but did not receive one.");
    EXPECT_EQ (alerts.alerts[0].buttons.joinIntoString ("|"), "Shucks");
    EXPECT_EQ (c.requestState, MainComponent::ReadingNames);
    EXPECT_EQ (rowsShown(), 0);
    EXPECT_EQ (bus().getNumOpenInputs(), 1); // its pair stays open
    EXPECT_EQ (bus().getNumOpenOutputs(), 1);

    a->clearFaults();
    ASSERT_TRUE (search());
    EXPECT_EQ (labels(), "Box One SN: 00A1B2C3");
    EXPECT_EQ (rowsShown(), 1);
    EXPECT_EQ (alerts.alerts.size(), 1u);
}

TEST_F (Search, SearchAgainDuringTheWindowIgnoresRepliesToTheOldFrames)
{
    auto a = addInterface (smallInterface(), "A");
    auto& c = makeComponent();

    harness::click (c.searchButton);
    const auto old = c.midiOutputs[0]->discoveryId;
    harness::click (c.searchButton);
    EXPECT_NE (c.midiOutputs[0]->discoveryId, old);

    // An interface nobody heard of answers the first press's frame.
    const auto stale = discoveryReply (0x0777, 0x55, old);
    zun::DeviceDiscoveryItem wouldList;
    wouldList.AddDevice (stale, 0, 0);
    ASSERT_EQ (wouldList.devices.size(), 1);
    ASSERT_TRUE (c.device.IsValidMidiMessage (stale));
    bus().sendToHost (0, stale);

    ASSERT_TRUE (waitForIdle());
    EXPECT_EQ (labels(), "Box One SN: 00A1B2C3");
    EXPECT_EQ (requestsOf (*a, Request::discovery).size(), 2u);
    EXPECT_TRUE (alerts.alerts.empty());
}

TEST_F (Search, SearchDuringTheNamePassAbandonsIt)
{
    auto a = addInterface (smallInterface(), "A");
    a->setFault (Request::productName,
                 faultWith (
                     [] (Fault& f)
                     {
                         f.noReply = true;
                         f.times = 1;
                     }));
    auto& c = makeComponent();

    harness::click (c.searchButton);
    ASSERT_TRUE (harness::pumpUntil ([&] { return c.requestState == MainComponent::ReadingNames; }));
    ASSERT_TRUE (timersOf (c).isTimerRunning (MainComponent::replyTimer));

    harness::click (c.searchButton);
    EXPECT_EQ (c.requestState, MainComponent::Discovering);
    EXPECT_FALSE (timersOf (c).isTimerRunning (MainComponent::replyTimer));

    ASSERT_TRUE (waitForIdle());
    EXPECT_EQ (labels(), "Box One SN: 00A1B2C3");
    EXPECT_TRUE (alerts.alerts.empty());
}

TEST_F (Search, ClickingSearchListsTheInterfacesByNameInTheWindow)
{
    addInterface (smallInterface (0x0123, 0x00A1B2C3), "A");
    auto config = smallInterface (0x0456, 0x00C0FFEE);
    config.productName = "Box Two";
    addInterface (config, "B");
    auto& c = makeComponent (true);

    auto* button = harness::findButton (c, "Search");
    ASSERT_NE (button, nullptr);
    harness::click (*button);
    ASSERT_TRUE (harness::pumpUntil ([this] { return rowsShown() == 2; }, 5000));
    EXPECT_EQ (labels(), "Box One SN: 00A1B2C3 | Box Two SN: 00C0FFEE");
    harness::pump (300); // let the window repaint

    const auto screen = harness::outputDirectory().getChildFile ("after-search.png");
    const auto snapshot = harness::outputDirectory().getChildFile ("after-search-component.png");
    EXPECT_TRUE (harness::saveScreen (screen, window.get()));
    EXPECT_TRUE (harness::saveSnapshot (c, snapshot));
    EXPECT_TRUE (screen.existsAsFile());
    EXPECT_TRUE (snapshot.existsAsFile());
}
} // namespace
