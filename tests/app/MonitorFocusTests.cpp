// The monitor keeps every line it is given, whatever the keyboard does meanwhile: into the
// monitor, out of it, away from the window and back, onto "Clear Log".
#include "ShownWindow.h"
#include "app/MidiCallbackMessage.h"

#include <map>
#include <numeric>
#include <set>

using namespace apptest;

namespace
{
/** Hands the component `notes` notes, one each turn of the message loop, as an input does whose
    messages come one after another: the next is posted once the one before has been handled, so
    that whatever is posted meanwhile is handled between two of them. JUCE's loop hands out posted
    messages until none is left, so the test gets no turn until the last note: what it does
    meanwhile is given as steps, each taken right after the note of its number. */
class BusyInput
{
public:
    BusyInput (MainComponent& c, int notesToHandOver, std::map<int, std::function<void()>> stepsToTake)
        : component (c)
        , notes (notesToHandOver)
        , steps (std::move (stepsToTake))
    {
        handOverNext();
    }

    ~BusyInput() { *running = false; }

    bool done() const { return count == notes; }

private:
    void handOverNext()
    {
        juce::MessageManager::callAsync (
            [this, stillRunning = running]
            {
                if (! *stillRunning)
                    return;

                ++count;
                const auto note = juce::MidiMessage::noteOn (1, count % 128, (juce::uint8) 100);
                component.handleMessage (MidiCallbackMessage (nullptr, note));

                if (auto step = steps.find (count); step != steps.end())
                    step->second();

                if (count < notes)
                    handOverNext();
            });
    }

    MainComponent& component;
    const int notes;
    std::map<int, std::function<void()>> steps;
    std::shared_ptr<bool> running = std::make_shared<bool> (true);
    int count = 0;
};

enum class Move
{
    intoTheMonitor,
    outOfTheMonitor,
    awayFromTheWindowAndBack,
    ontoClearLog
};

void PrintTo (Move move, std::ostream* os)
{
    const char* const names[] = { "intoTheMonitor", "outOfTheMonitor", "awayFromTheWindowAndBack", "ontoClearLog" };
    *os << names[(int) move];
}

/** The shown window, with a check of the monitor's numbering. */
class MonitorLines : public ShownWindow
{
protected:
    static int numberOf (const juce::String& line)
    {
        return line.upToFirstOccurrenceOf (" - ", false, false).getIntValue();
    }

    /** Expects the monitor to hold lines 1 to `last` in order, each once, and the next line to be
        numbered `last` + 1. */
    void expectLinesOneTo (int last)
    {
        std::vector<int> numbers;

        for (auto& line : monitorLines())
            numbers.push_back (numberOf (line));

        const std::set<int> held (numbers.begin(), numbers.end());
        juce::StringArray missing;

        for (int n = 1; n <= last; ++n)
            if (held.count (n) == 0)
                missing.add (juce::String (n));

        std::vector<int> expected ((size_t) last);
        std::iota (expected.begin(), expected.end(), 1);
        EXPECT_TRUE (numbers == expected)
            << numbers.size() << " lines of " << last << " held; missing " << missing.joinIntoString (", ");
        EXPECT_EQ (mc().logLineCounter, last + 1);
    }
};

class MonitorUnderAMovingKeyboard : public MonitorLines, public ::testing::WithParamInterface<Move>
{
};

// Each focus change is made while the notes come, and the notes go on for a while after it, so
// that whatever the change set off is handled between two of them.
TEST_P (MonitorUnderAMovingKeyboard, KeepsEveryLineNumberedWithoutAGapAndTheKeyboardWhereItWasPut)
{
    auto& m = makeFocusedWindow();
    showMessages();
    auto& monitor = m.midiMonitor;
    auto& other = m.searchButton;
    focus (GetParam() == Move::intoTheMonitor ? static_cast<juce::Component&> (other) : monitor);
    settle();

    // The move comes after the 30th of 60 notes.
    const int notes = 60, moveAfter = 30;
    int numberedFrom = 1;
    juce::Component* keyboardOn = &monitor;
    std::map<int, std::function<void()>> steps;

    switch (GetParam())
    {
        case Move::intoTheMonitor:
            steps[moveAfter] = [&] { monitor.grabKeyboardFocus(); };
            break;
        case Move::outOfTheMonitor:
            steps[moveAfter] = [&] { other.grabKeyboardFocus(); };
            keyboardOn = &other;
            break;
        case Move::awayFromTheWindowAndBack:
            steps[moveAfter] = [&] { window->getPeer()->handleFocusLoss(); };
            steps[moveAfter + 10] = [&] { window->getPeer()->handleFocusGain(); };
            break;
        case Move::ontoClearLog:
            // The press takes the keyboard and the release clicks, handled in one go as a quick
            // click's are by a busy program.
            steps[moveAfter] = [&]
            {
                m.clearLogButton.grabKeyboardFocus();
                m.buttonClicked (&m.clearLogButton);
            };
            numberedFrom = moveAfter + 1;
            keyboardOn = &m.clearLogButton;
            break;
    }

    const BusyInput input (m, notes, steps);
    ASSERT_TRUE (harness::pumpUntil ([&] { return input.done(); }, 20000)) << "the input stalled";
    harness::handlePending();

    expectLinesOneTo (notes + 1 - numberedFrom);
    EXPECT_TRUE (keyboardOn->hasKeyboardFocus (false)) << "the keyboard is on " << focusedName();
}

INSTANTIATE_TEST_SUITE_P (
    EachMove,
    MonitorUnderAMovingKeyboard,
    ::testing::Values (Move::intoTheMonitor, Move::outOfTheMonitor, Move::awayFromTheWindowAndBack, Move::ontoClearLog),
    [] (const auto& info) { return ::testing::PrintToString (info.param); });
} // namespace

namespace
{
enum class Pass
{
    clicks,
    tabs
};

void PrintTo (Pass pass, std::ostream* os) { *os << (pass == Pass::clicks ? "clicks" : "tabs"); }

/** Tells when a click lands on the monitor or a key is pressed while it has the keyboard: both
    are seen as they are handled, however short the monitor keeps the keyboard. */
struct InputOnTheMonitor : private juce::MouseListener, private juce::KeyListener
{
    InputOnTheMonitor (juce::Component& m, std::function<void()> onFirst)
        : monitor (m)
        , first (std::move (onFirst))
    {
        monitor.addMouseListener (this, true);
        monitor.addKeyListener (this);
    }

    ~InputOnTheMonitor() override
    {
        monitor.removeMouseListener (this);
        monitor.removeKeyListener (this);
    }

    void mouseDown (const juce::MouseEvent&) override { arrived(); }

    bool keyPressed (const juce::KeyPress&, juce::Component*) override
    {
        arrived();
        return false;
    }

    void arrived()
    {
        if (! reached)
            first();

        reached = true;
    }

    juce::Component& monitor;
    std::function<void()> first;
    bool reached = false;
};

class MonitorDuringARead : public MonitorLines, public ::testing::WithParamInterface<Pass>
{
protected:
    /** Adds `count` lines as the monitor writes them, at once: line by line would take minutes
        under the sanitizers. */
    void fillMonitor (const juce::MidiMessage& frame, int count)
    {
        auto& m = mc();
        juce::String text;

        for (int i = 0; i < count; ++i)
            text << m.nextMonitorLine (frame, true);

        m.midiMonitor.moveCaretToEnd();
        m.midiMonitor.insertTextAtCaret (text);
    }

    /** Starts Shift+Tab from "Get Settings" into the monitor and Tab back out, `delayMs` from now,
        as real keys through the X server. */
    static std::unique_ptr<juce::ChildProcess> startTabPass (int delayMs)
    {
        return startXdotool (
            { "sleep", juce::String (delayMs / 1000.0, 3), "key", "shift+Tab", "sleep", "0.1", "key", "Tab" });
    }
};

// A read while the monitor holds about 1,000 lines, so that each line keeps the window busy for a
// moment, as on a slow link or a busy machine; while it goes on, a real click into the monitor or
// a Tab pass through it. No line goes, and each request of the read has its reply's line after it.
TEST_P (MonitorDuringARead, KeepsEveryLineAndEveryReplyOfTheRead)
{
    auto box = addInterface (smallInterface());
    auto& m = makeFocusedWindow();
    showMessages();
    ASSERT_TRUE (search());
    selectRow (0);
    fillMonitor (box->getReceived().front(), 1000);

    const int rounds = 6;
    int duringTheRead = 0;

    for (int i = 0; i < rounds; ++i)
    {
        SCOPED_TRACE ("round " + juce::String (i + 1));
        focus (m.getSettingsButton);
        settle();
        const auto firstLine = m.logLineCounter;
        const auto requestsBefore = box->getReceived().size();
        const int delayMs = 100 + i % 3 * 100;
        auto input = GetParam() == Pass::clicks
                         ? startClickWithThePointerStill (m.midiMonitor, m.midiMonitor.getLocalBounds(), delayMs)
                         : startTabPass (delayMs);

        const auto readEnded = [&m] { return m.requestState == MainComponent::Idle && m.settingsLoaded; };
        const InputOnTheMonitor arrival (m.midiMonitor, [&] { duringTheRead += readEnded() ? 0 : 1; });

        m.buttonClicked (&m.getSettingsButton);
        ASSERT_TRUE (harness::pumpUntil ([&] { return ! input->isRunning() && readEnded(); }, 20000))
            << "the read did not end";
        ASSERT_TRUE (harness::pumpUntil ([&] { return arrival.reached; }, 5000))
            << "the input never reached the monitor";
        settle (50);

        const auto lines = monitorLines();
        const auto requests = (int) (box->getReceived().size() - requestsBefore);
        int replied = 0;

        for (int k = 1; k < lines.size(); ++k)
            if (numberOf (lines[k - 1]) >= firstLine && lines[k - 1].contains (" S ") && lines[k].contains (" R "))
                ++replied;

        EXPECT_EQ (replied, requests) << "requests of the read without their reply's line";

        if (GetParam() == Pass::tabs)
            EXPECT_TRUE (m.getSettingsButton.hasKeyboardFocus (false)) << "the keyboard is on " << focusedName();
        else
            EXPECT_TRUE (m.midiMonitor.hasKeyboardFocus (false)) << "the keyboard is on " << focusedName();
    }

    expectLinesOneTo (m.logLineCounter - 1);
    std::cout << rounds << " " << ::testing::PrintToString (GetParam()) << ", " << duringTheRead
              << " during the read\n";
}

INSTANTIATE_TEST_SUITE_P (EachPass,
                          MonitorDuringARead,
                          ::testing::Values (Pass::clicks, Pass::tabs),
                          [] (const auto& info) { return ::testing::PrintToString (info.param); });
} // namespace
