#include "AppTestSupport.h"
#include "app/MidiCallbackMessage.h"
#include "sim/Frame.h"

#include <cmath>
#include <limits>
#include <regex>

using namespace apptest;

namespace
{
using Bytes = std::vector<juce::uint8>;

/** Bytes as the monitor writes them: two lowercase hex digits each, one blank between. */
juce::String hex (const juce::uint8* b, int n)
{
    juce::StringArray parts;

    for (int i = 0; i < n; ++i)
        parts.add (juce::String::formatted ("%02x", b[i]));

    return parts.joinIntoString (" ");
}

juce::String hex (const Bytes& b) { return hex (b.data(), (int) b.size()); }

/** A frame as an interface would send it, built with the device side's own framer. */
Bytes frameBytes (const Bytes& payload, juce::uint32 session = 0, juce::uint32 transaction = 0x1234)
{
    sim::Frame f;
    f.productId = 0x0123;
    f.serialNumber = 0x00A1B2C3;
    f.sessionId = session;
    f.transactionId = transaction;
    f.payload.assign (payload.begin(), payload.end());
    return f.toBytes();
}

/** What the monitor shows of an accepted frame: its head, then frame bytes 5 to the checksum. */
juce::String decoded (const juce::String& head, const Bytes& frame)
{
    return head + ": " + hex (frame.data() + 5, (int) frame.size() - 6);
}

/** A message made of exactly these bytes. JUCE flags a channel message shorter than its status
    byte asks for while making it; such messages are the input under test, so that one flag is
    silenced for the construction only. */
juce::MidiMessage message (const Bytes& b, double timeStamp = 0.0)
{
    struct Silent : juce::Logger
    {
        void logMessage (const juce::String&) override {}
    } silent;

    auto* previous = juce::Logger::getCurrentLogger();
    juce::Logger::setCurrentLogger (&silent);
    juce::MidiMessage m (b.data(), (int) b.size(), timeStamp);
    juce::Logger::setCurrentLogger (previous);
    return m;
}

class Monitor : public AppTest
{
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        makeComponent();
        showMessages();
    }

    juce::String describe (const Bytes& b) { return mc().describeMessage (message (b)); }
};

//==============================================================================
TEST_F (Monitor, EachLineIsNumberTimeDirectionDescriptionAndCrLf)
{
    // The pane itself keeps "\n" only (the framework's multi-line editor folds "\r\n"), so what
    // the program hands it is taken on the way in.
    struct Tap : juce::TextEditor::InputFilter
    {
        juce::String filterNewText (juce::TextEditor&, const juce::String& text) override
        {
            inserted.add (text);
            return text;
        }
        juce::StringArray inserted;
    } tap;
    mc().midiMonitor.setInputFilter (&tap, false);

    const auto frame = frameBytes ({ 0x03, 0x05, 0x01 });
    mc().addMessageToList (message ({ 0x90, 60, 100 }, 5.25), false);

    // A selection in the pane is dropped: the next line still goes in at the end.
    mc().midiMonitor.setHighlightedRegion ({ 0, 4 });
    mc().addMessageToList (message (frame, 3723.5), true);
    mc().addMessageToList (message ({ 0xF8 }, 0.0), false);

    const juce::StringArray expected { "1 - 00:00:05.250 R Note on C3\r\n",
                                       "2 - 01:02:03.500 S " + decoded ("GetParmVal MIDIInfo", frame) + "\r\n",
                                       "3 - 00:00:00.000 R f8\r\n" };
    EXPECT_EQ (tap.inserted, expected);
    EXPECT_EQ (mc().midiMonitor.getText(), expected.joinIntoString ("").replace ("\r\n", "\n"));
    EXPECT_EQ (mc().logLineCounter, 4);
    mc().midiMonitor.setInputFilter (nullptr, false);
}

TEST_F (Monitor, ClearLogEmptiesThePaneAndRestartsAtOneLeavingTheRestAlone)
{
    for (int i = 0; i < 3; ++i)
        mc().addMessageToList (message ({ 0xC0, (juce::uint8) i }), false);

    mc().requestState = MainComponent::ReadingPortInfo;
    harness::click (mc().clearLogButton);

    EXPECT_TRUE (mc().midiMonitor.getText().isEmpty());
    EXPECT_EQ (mc().logLineCounter, 1);
    EXPECT_TRUE (mc().showMidiMessagesToggle.getToggleState());
    EXPECT_EQ (mc().requestState, MainComponent::ReadingPortInfo);

    mc().addMessageToList (message ({ 0xC0, 9 }, 1.0), false);
    EXPECT_EQ (monitorLines(), juce::StringArray ("1 - 00:00:01.000 R Program change 9"));
}

TEST_F (Monitor, NothingIsLoggedWhileTheToggleIsOffAndNumberingThenContinues)
{
    mc().addMessageToList (message ({ 0xC0, 1 }), false);
    mc().addMessageToList (message ({ 0xC0, 2 }), true);
    const auto before = mc().midiMonitor.getText();

    mc().showMidiMessagesToggle.setToggleState (false, juce::dontSendNotification);
    mc().addMessageToList (message ({ 0xC0, 3 }), false);
    mc().handleMessage (MidiCallbackMessage (nullptr, message (frameBytes ({ 0x43, 0x05 }))));
    EXPECT_EQ (mc().midiMonitor.getText(), before);
    EXPECT_EQ (mc().logLineCounter, 3);

    showMessages();
    mc().addMessageToList (message ({ 0xC0, 4 }), false);
    EXPECT_EQ (monitorLines().size(), 3);
    EXPECT_EQ (monitorLines()[2], "3 - 00:00:00.000 R Program change 4");
}

// The editor copies its text into its text Value itself, on each loss of the keyboard focus;
// what comes after the copy stays, and the Value still gives the whole text.
TEST_F (Monitor, LinesAddedAfterItsTextIsCopiedStay)
{
    mc().addMessageToList (message ({ 0xC0, 1 }), false);
    EXPECT_EQ (mc().midiMonitor.getTextValue().toString(), mc().midiMonitor.getText());

    mc().addMessageToList (message ({ 0xC0, 2 }), false);
    harness::pump (5);
    EXPECT_EQ (monitorLines(),
               juce::StringArray ("1 - 00:00:00.000 R Program change 1", "2 - 00:00:00.000 R Program change 2"));
    EXPECT_EQ (mc().midiMonitor.getTextValue().toString(), mc().midiMonitor.getText());
}

//==============================================================================
TEST (MonitorTimeCode, WrapsHoursAtTwentyFourAndTruncatesEachPart)
{
    const std::pair<double, const char*> cases[] = {
        { 0.0, "00:00:00.000" },
        { 5.25, "00:00:05.250" },
        { 59.9999, "00:00:59.999" },
        { 3723.5, "01:02:03.500" },
        { 86399.5, "23:59:59.500" },
        { 25 * 3600.0, "01:00:00.000" },
        // Beyond 2^31 ms (about 24.9 days): still the exact parts, no overflow.
        { 2147484.5, "20:31:24.500" },
        { 30 * 86400.0 + 1.25, "00:00:01.250" },
        { 30 * 86400.0 + 13 * 3600 + 14 * 60 + 15.375, "13:14:15.375" },
    };

    for (auto& [seconds, expected] : cases)
        EXPECT_EQ (MainComponent::formatTimeCode (seconds), expected) << seconds << " s";
}

TEST_F (Monitor, AbsurdTimestampsStillGiveAWellFormedLine)
{
    const std::regex shape (R"(^\d+ - \d\d:\d\d:\d\d\.\d\d\d R Program change 0$)");
    const double absurd[] = { 1.0e300,
                              std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN() };

    for (auto t : absurd)
        mc().addMessageToList (message ({ 0xC0, 0 }, t), false);

    const auto lines = monitorLines();
    ASSERT_EQ (lines.size(), 4);

    for (auto& line : lines)
        EXPECT_TRUE (std::regex_match (line.toStdString(), shape)) << line;
}

//==============================================================================
TEST_F (Monitor, NamesEveryMessageClass)
{
    const std::pair<int, const char*> names[] = {
        { 0x00, "None " },         { 0x01, "HstSesnVal " }, { 0x02, "GetParmDef " }, { 0x03, "GetParmVal " },
        { 0x04, "GetCmdDef " },    { 0x10, "SetParmVal " }, { 0x11, "SetCmdVal " },  { 0x41, "DevSesnVal " },
        { 0x42, "RetParmDef " },   { 0x43, "RetParmVal " }, { 0x44, "RetCmdDef " },  { 0x50, "NotParmVal, " },
        { 0x70, "BulkTransfer " }, { 0x7F, "Private " }
    };

    for (auto& [code, name] : names)
    {
        const auto frame = frameBytes ({ (juce::uint8) code, 0x02, 0x11 });
        EXPECT_EQ (describe (frame), decoded (juce::String (name) + "DeviceInfo", frame)) << code;
    }
}

TEST_F (Monitor, NamesEveryDataClass)
{
    const std::pair<int, const char*> names[] = {
        { 0x00, "None" },         { 0x01, "SessionInfo" },   { 0x02, "DeviceInfo" },       { 0x03, "DeviceFeature" },
        { 0x04, "HardwareInfo" }, { 0x05, "MIDIInfo" },      { 0x06, "MIDIPortInfo" },     { 0x07, "MIDIFeature" },
        { 0x08, "AudioInfo" },    { 0x09, "AudioPortInfo" }, { 0x0A, "AudioChannelInfo" }, { 0x70, "BulkData" },
        { 0x7D, "SelfTest" },     { 0x7E, "License" },       { 0x7F, "FirmwareUpdate" }
    };

    for (auto& [code, name] : names)
    {
        const auto frame = frameBytes ({ 0x50, (juce::uint8) code });
        EXPECT_EQ (describe (frame), decoded (juce::String ("NotParmVal, ") + name, frame)) << code;
    }
}

TEST_F (Monitor, NamesEveryAckErrorAndNeverTheDataClass)
{
    const char* const names[] = { "None",
                                  "MalformedMessage",
                                  "MClassNotSupported",
                                  "DClassNotSupported",
                                  "MessageInTooLarge",
                                  "MessageOutTooLarge",
                                  "DataBlockLengthInvalid",
                                  "DataBlockTypeInvalid",
                                  "ArgIDInvalid",
                                  "ArgValueInvalid",
                                  "ParmIDInvalid",
                                  "ParmValueInvalid",
                                  "NameInvalid",
                                  "CmdIDInvalid",
                                  "CmdValueInvalid",
                                  "CmdArgInvalid",
                                  "ArgValBlockMissing",
                                  "SubIDInvalid",
                                  "SubIDValueInvalid",
                                  "CmdFailed" };

    for (int code = 0; code < 128; ++code)
    {
        const auto frame = frameBytes ({ 0x40, 0x05, 0x10, 0x00, (juce::uint8) code });
        EXPECT_EQ (describe (frame), decoded (juce::String ("Ack ") + (code < 20 ? names[code] : "???"), frame))
            << code;
    }
}

TEST_F (Monitor, AnAckTooShortForAnErrorCodeShowsQuestionMarks)
{
    // The byte where the error code would be is past the frame (L 2), its F7 (L 3) or its
    // checksum (L 4); that checksum is made a valid error code, so reading it would show.
    for (const auto& payload : { Bytes { 0x40, 0x00 }, Bytes { 0x40, 0x00, 0x10 }, Bytes { 0x40, 0x00, 0x10, 0x00 } })
    {
        auto frame = frameBytes (payload);

        for (juce::uint32 t = 0; frame[frame.size() - 2] != 0x03; ++t)
            frame = frameBytes (payload, 0, t);

        EXPECT_EQ (describe (frame), decoded ("Ack ???", frame)) << payload.size();
    }
}

TEST_F (Monitor, AnEmptyPayloadIsAPingWithItsEighteenBytes)
{
    const auto frame = frameBytes ({});
    ASSERT_EQ (frame.size(), 24u);

    const auto text = describe (frame);
    EXPECT_EQ (text, decoded ("Ping", frame));
    EXPECT_EQ (juce::StringArray::fromTokens (text.fromFirstOccurrenceOf (": ", false, false), " ", {}).size(), 18);
}

TEST_F (Monitor, RejectedFramesAreShownWholeInHex)
{
    mc().device.sysex.sessionId = 0x0123456;
    const auto good = frameBytes ({ 0x43, 0x05, 0x01 }, 0x0123456);
    ASSERT_EQ (describe (good), decoded ("RetParmVal MIDIInfo", good));

    auto badChecksum = good;
    badChecksum[badChecksum.size() - 2] ^= 0x01;
    auto longerThanItSays = frameBytes ({ 0x43, 0x05, 0x01, 0x00 }, 0x0123456);
    longerThanItSays[21] = 3; // length field 3, payload 4; checksum kept right
    longerThanItSays[longerThanItSays.size() - 2] =
        (juce::uint8) ((longerThanItSays[longerThanItSays.size() - 2] + 1) & 0x7F);

    const Bytes rejected[] = {
        badChecksum,
        frameBytes ({ 0x43, 0x05, 0x01 }, 0x0123457), // another session
        longerThanItSays,
        frameBytes ({ 0x43 }, 0x0123456), // one payload byte
        frameBytes ({ 0x05, 0x05 }, 0x0123456), // unknown message class
        frameBytes ({ 0x43, 0x0B }, 0x0123456), // unknown data class
    };

    for (auto& frame : rejected)
    {
        const auto text = describe (frame);
        EXPECT_EQ (text, hex (frame));
        EXPECT_TRUE (text.startsWith ("f0 00 3a 5c 7d") && text.endsWith (" f7")) << text;
    }
}

TEST_F (Monitor, DescribesChannelAndSystemMessagesInWords)
{
    const std::pair<Bytes, const char*> cases[] = {
        { { 0x90, 60, 100 }, "Note on C3" },
        { { 0x91, 61, 1 }, "Note on C#3" },
        { { 0x9F, 0, 127 }, "Note on C-2" },
        { { 0x90, 127, 64 }, "Note on G8" },
        { { 0x90, 60, 0 }, "Note off C3" },
        { { 0x80, 60, 64 }, "Note off C3" },
        { { 0x8F, 127, 0 }, "Note off G8" },
        { { 0xC0, 5 }, "Program change 5" },
        { { 0xCF, 127 }, "Program change 127" },
        { { 0xE0, 0x00, 0x40 }, "Pitch wheel 8192" },
        { { 0xE1, 0x01, 0x00 }, "Pitch wheel 1" },
        { { 0xEF, 0x7F, 0x7F }, "Pitch wheel 16383" },
        { { 0xA0, 60, 32 }, "After touch C3: 32" },
        { { 0xAF, 0, 0 }, "After touch C-2: 0" },
        { { 0xD0, 64 }, "Channel pressure 64" },
        { { 0xB0, 123, 0 }, "All notes off" },
        { { 0xBF, 123, 127 }, "All notes off" },
        { { 0xB0, 120, 0 }, "All sound off" },
        { { 0xB3, 120, 64 }, "All sound off" },
        { { 0xB0, 7, 100 }, "Controller Volume (coarse): 100" },
        { { 0xB2, 64, 127 }, "Controller Hold Pedal (on/off): 127" },
        { { 0xB0, 121, 0 }, "Controller All Controllers Off: 0" },
        { { 0xB0, 3, 64 }, "Controller [3]: 64" },
        { { 0xB0, 102, 0 }, "Controller [102]: 0" },
        { { 0xFF }, "Meta event" },
        { { 0xFF, 0x2F, 0x00 }, "Meta event" },
        { { 0xF8 }, "f8" },
        { { 0xFE }, "fe" },
        { { 0xF2, 0x10, 0x20 }, "f2 10 20" },
        { { 0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7 }, "f0 7e 7f 06 01 f7" },
        // Too short for their status byte: shown as they stand.
        { { 0x90 }, "90" },
        { { 0x90, 60 }, "90 3c" },
        { { 0x80, 60 }, "80 3c" },
        { { 0xB0, 123 }, "b0 7b" },
        { { 0xE0, 0x00 }, "e0 00" },
        { { 0xA0 }, "a0" },
        { { 0xC0 }, "c0" },
        { { 0xD0 }, "d0" },
    };

    for (auto& [bytes, expected] : cases)
        EXPECT_EQ (describe (bytes), expected) << hex (bytes);
}
} // namespace
