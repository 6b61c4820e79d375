// Real mouse clicks, made through the X server with xdotool on the window as it is shown: a greyed
// control takes none, an enabled one acts on it, and every click is handled when it comes, with the
// pointer held still after it, whatever the program is doing meanwhile.
#include "ShownWindow.h"
#include <iostream>
#include <map>

using namespace apptest;

namespace
{
using Request = Interface::Request;

class RealClicks : public ShownWindow
{
protected:
    /** Clicks each greyed control for real and expects nothing to change. */
    void expectGreyedClicksDoNothing (std::initializer_list<juce::Component*> controls)
    {
        for (auto* control : controls)
        {
            ASSERT_FALSE (control->isEnabled());
            const auto before = look();
            realClick (*control);
            EXPECT_EQ (look(), before);
        }
    }
};

TEST_F (RealClicks, AGreyedControlTakesNoClickAndAnEnabledOneActs)
{
    auto box = addInterface (smallInterface());
    auto& m = makeComponent (true);
    showMessages();
    harness::AlertCatcher catcher;
    window->toFront (true);
    harness::pump (300);

    // No interface to read yet.
    expectGreyedClicksDoNothing ({ &m.getSettingsButton });
    realClick (m.searchButton);
    ASSERT_TRUE (harness::pumpUntil (
        [&m] { return m.requestState == MainComponent::Idle && m.deviceListBox->getNumRows() == 1; }, 5000));
    selectRow (0);

    // Nothing read yet.
    const std::initializer_list<juce::Component*> greyedEditor {
        &m.enableToggle,  &m.channelCheckboxes[2], &m.useControlChangeToggle,
        &m.selectorCombo, &m.minPresetCombo,       &m.routeToAllSelectorsToggle
    };
    expectGreyedClicksDoNothing (greyedEditor);
    expectGreyedClicksDoNothing ({ &m.saveSettingsButton });

    // Read: every control acts on its click.
    realClick (m.getSettingsButton);
    ASSERT_TRUE (harness::pumpUntil ([&m] { return m.settingsLoaded && m.requestState == MainComponent::Idle; }));
    realClick (m.enableToggle);
    ASSERT_TRUE (harness::pumpUntil ([&box] { return box->getSelector (0).enabled == 0; }));
    EXPECT_FALSE (m.enableToggle.getToggleState());

    realClick (m.minPresetCombo);
    EXPECT_TRUE (m.minPresetCombo.isPopupActive()) << "the enabled combo box opened its list";
    juce::PopupMenu::dismissAllActiveMenus();
    ASSERT_TRUE (
        harness::pumpUntil ([] { return juce::ModalComponentManager::getInstance()->getNumModalComponents() == 0; }))
        << "the list stayed open, and would take the next click";

    // A read that stops short: the editor shows the earlier read, greyed; the store still acts.
    Interface::Fault lost;
    lost.noReply = true;
    lost.times = 1;
    box->setFault (Request::routeInfo, lost);
    realClick (m.getSettingsButton);
    ASSERT_TRUE (harness::pumpUntil ([&catcher] { return ! catcher.alerts.empty() && catcher.openCount() == 0; }));
    expectGreyedClicksDoNothing (greyedEditor);
    realClick (m.saveSettingsButton);
    ASSERT_TRUE (harness::pumpUntil ([&box] { return box->getStoreCount() == 1; }));

    ASSERT_EQ (catcher.alerts.size(), 1u);
    EXPECT_EQ (catcher.alerts[0].title, "Time Out Error");
    EXPECT_EQ (box->getRequestCount (Request::selectorWrite), 1);
}

//==============================================================================
/** How one alert looked when the user came to it, and what a click on its button did. */
struct AnsweredAlert
{
    juce::String title;
    juce::Rectangle<int> bounds;
    bool buttonInside = false;
    bool closed = false;
};

class AlertClicks : public ShownWindow
{
protected:
    /** The size an alert is built at, before the window system has a say in it. */
    static juce::Rectangle<int> finishedBounds (const juce::String& title, const juce::String& message)
    {
        const std::unique_ptr<juce::AlertWindow> built (juce::LookAndFeel::getDefaultLookAndFeel().createAlertWindow (
            title, message, "Shucks", {}, {}, juce::MessageBoxIconType::WarningIcon, 1, nullptr));
        return built->getLocalBounds();
    }

    /** Waits, as a user does, until the alert has the system focus and has stopped moving and
        changing size, then clicks its button with the pointer held still. An alert the click
        left open is closed here, so that the run goes on. */
    AnsweredAlert answer (juce::AlertWindow& alert)
    {
        const juce::Component::SafePointer<juce::AlertWindow> open (&alert);
        AnsweredAlert answered;
        answered.title = alert.getName();
        auto* button = harness::findButton (alert, "Shucks");

        if (button == nullptr)
        {
            ADD_FAILURE() << "no button on " << answered.title;
            alert.exitModalState (0);
            return answered;
        }

        // Counted from the moment it has the system focus: a size sent again as it is mapped still
        // counts as a move.
        juce::Rectangle<int> last;
        bool focused = false;
        auto stillSince = juce::Time::getMillisecondCounter();
        const bool settled = harness::pumpUntil (
            [&]
            {
                if (open == nullptr)
                    return true;

                auto* peer = open->getPeer();
                const bool focusedNow = peer != nullptr && peer->isFocused();

                if (const auto now = open->getScreenBounds(); now != last || focusedNow != focused)
                {
                    last = now;
                    focused = focusedNow;
                    stillSince = juce::Time::getMillisecondCounter();
                }

                return focused && juce::Time::getMillisecondCounter() - stillSince >= 500;
            },
            8000);
        EXPECT_TRUE (settled) << answered.title << " never had the system focus and stood still";

        if (open == nullptr)
            return answered;

        answered.bounds = open->getLocalBounds();
        answered.buttonInside = answered.bounds.contains (button->getBoundsInParent());
        clickWithThePointerStill (*button, 60, 2000);
        answered.closed = harness::pumpUntil ([&open] { return open == nullptr || ! open->isCurrentlyModal (false); });

        if (! answered.closed)
            open->exitModalState (0);

        return answered;
    }
};

// A run of refusals and time-outs, each alert answered by a real click on its button as soon as
// it has the system focus and stands still: each is shown whole, at the size it was built at with
// its button inside, and the click closes it. A window manager that applies each size late can
// otherwise leave an alert at an earlier, smaller size, its button below the bottom edge.
TEST_F (AlertClicks, EachAlertIsShownWholeAndAClickOnItsButtonClosesIt)
{
    auto box = addInterface (smallInterface());
    auto& m = makeFocusedWindow();
    ASSERT_TRUE (searchSelectAndRead());

    const std::map<juce::String, juce::Rectangle<int>> finished {
        { "Time Out Error", finishedBounds ("Time Out Error", timeOutMessage) },
        { "Ack Error", finishedBounds ("Ack Error", "Changes could not be made.") }
    };

    // Answered from a posted message rather than from the timer that finds the alert: while a
    // timer's callback waits, every timer is held back for up to 300 ms, then this one may be
    // called again from inside it.
    std::vector<AnsweredAlert> answered;
    bool answering = false;
    const Probe findAlert (
        [&]
        {
            auto* alert = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());

            if (answering || alert == nullptr)
                return;

            answering = true;
            juce::MessageManager::callAsync (
                [&, open = juce::Component::SafePointer<juce::AlertWindow> (alert)]
                {
                    if (open != nullptr)
                        answered.push_back (answer (*open));

                    answering = false;
                });
        });

    const int alerts = 12;
    int small = 0, missed = 0;

    for (int i = 0; i < alerts; ++i)
    {
        const bool timeOut = i % 3 == 2;
        Interface::Fault fault;
        fault.times = 1;
        fault.noReply = timeOut;

        if (! timeOut)
            fault.errorAck = Interface::AckReply { -1, 0, 9 };

        box->setFault (Request::selectorWrite, fault);
        ASSERT_TRUE (harness::pumpUntil ([&m] { return m.enableToggle.isEnabled(); }));
        harness::pump (500);
        harness::click (m.enableToggle);
        ASSERT_TRUE (harness::pumpUntil (
            [&]
            {
                return answered.size() == (size_t) i + 1 && ! answering
                       && juce::ModalComponentManager::getInstance()->getNumModalComponents() == 0;
            },
            10000))
            << "alert " << i << " never came or was never closed";

        const auto& a = answered.back();
        SCOPED_TRACE (a.title + " " + juce::String (i));
        ASSERT_EQ (a.title, timeOut ? "Time Out Error" : "Ack Error");
        EXPECT_EQ (a.bounds.toString(), finished.at (a.title).toString()) << "left at an earlier size";
        EXPECT_TRUE (a.buttonInside) << "its button is cut off";
        EXPECT_TRUE (a.closed) << "the click on its button did not close it";
        small += a.bounds != finished.at (a.title) ? 1 : 0;
        missed += a.closed ? 0 : 1;
    }

    std::cout << alerts << " alerts, " << small << " left small, " << missed << " clicks that missed\n";
    EXPECT_EQ (box->getRequestCount (Request::selectorWrite), alerts);
}

//==============================================================================
enum class Meanwhile
{
    nothing,
    reading,
    writing
};

void PrintTo (Meanwhile m, std::ostream* os)
{
    *os << (m == Meanwhile::nothing ? "idle" : m == Meanwhile::reading ? "reading" : "writing");
}

class ClicksWithThePointerStill : public ShownWindow, public ::testing::WithParamInterface<Meanwhile>
{
};

// The pointer rests on the control, the button is pressed, held and released, and nothing moves
// after: no further X event comes from outside. Whatever the program asked the X server meanwhile
// (the desktop's pointer poll, a paint's wait for the last one, the window's state), the click
// acts at once, not when some later event comes or the mouse next moves. Reading or writing, the
// program goes on until the button is up, then finishes the request it is in and goes quiet: a
// click left waiting may wait for good.
TEST_P (ClicksWithThePointerStill, EachClickActsWithNoFurtherEventFromOutside)
{
    auto box = addInterface (smallInterface());
    auto& m = makeFocusedWindow();
    showMessages();
    ASSERT_TRUE (searchSelectAndRead());

    Interface::Fault slow;
    slow.delayMs = 20;

    if (GetParam() == Meanwhile::writing)
        box->setFault (Request::selectorWrite, slow);
    else
        for (auto request : { Request::midiInfo,
                              Request::deviceInfo,
                              Request::presetName,
                              Request::portInfo,
                              Request::selectorInfo,
                              Request::routeInfo })
            box->setFault (request, slow);

    bool keepBusy = false;
    auto& channel = m.channelCheckboxes[0];
    const Probe busy (
        [&]
        {
            if (! keepBusy || m.requestState != MainComponent::Idle)
                return;

            if (GetParam() == Meanwhile::reading)
                m.buttonClicked (&m.getSettingsButton);
            else if (channel.isEnabled())
                channel.setToggleState (! channel.getToggleState(), juce::sendNotificationSync);
        });

    const ClickCounter getSettingsClicks (m.getSettingsButton);

    int late = 0, releasedWhileBusy = 0, mostRefreshes = 0;
    double latest = 0;
    const int holdsMs[] = { 60, 100, 150 };
    const int clicks = 36;

    for (int i = 0; i < clicks; ++i)
    {
        const int holdMs = holdsMs[(i / 2) % 3];
        auto& target = i % 2 == 0 ? static_cast<juce::Button&> (m.getSettingsButton) : m.showMidiMessagesToggle;
        SCOPED_TRACE (target.getButtonText() + ", held " + juce::String (holdMs) + " ms");

        const auto readsBefore = getSettingsClicks.count;
        const auto tickedBefore = m.showMidiMessagesToggle.getToggleState();
        keepBusy = GetParam() != Meanwhile::nothing;
        const auto click = clickWithThePointerStill (target,
                                                     holdMs,
                                                     5000,
                                                     [&]
                                                     {
                                                         releasedWhileBusy +=
                                                             keepBusy && m.requestState != MainComponent::Idle ? 1 : 0;
                                                         keepBusy = false;
                                                     });
        ASSERT_TRUE (click.handled) << "the click waited for the pointer to move";
        // Counted in the window's own refreshes, which slow down with the program under load: a
        // click Xlib has read is handled at the next refresh or so, one left waiting much later.
        EXPECT_LE (click.refreshesAfterRelease, 3) << "the click waited " << juce::roundToInt (click.msAfterRelease)
                                                   << " ms for another event to come from the server";

        if (&target == &m.getSettingsButton)
            EXPECT_EQ (getSettingsClicks.count, readsBefore + 1) << "Get Settings did not act";
        else
            EXPECT_NE (m.showMidiMessagesToggle.getToggleState(), tickedBefore) << "the tick did not change";

        mostRefreshes = juce::jmax (mostRefreshes, click.refreshesAfterRelease);
        late += click.msAfterRelease > 300 ? 1 : 0;
        latest = juce::jmax (latest, click.msAfterRelease);
        ASSERT_TRUE (harness::pumpUntil ([&m] { return m.requestState == MainComponent::Idle; }, 5000));

        // The monitor takes longer for every line it holds: kept short, it leaves the program as
        // quick on the last click as on the first.
        m.buttonClicked (&m.clearLogButton);
    }

    std::cout << clicks << " clicks, " << releasedWhileBusy << " released while a request went on, " << late
              << " handled more than 300 ms after the release, the latest after " << juce::roundToInt (latest)
              << " ms, " << mostRefreshes << " refreshes\n";

    if (GetParam() != Meanwhile::nothing)
    {
        EXPECT_GE (releasedWhileBusy, clicks / 2) << "too few clicks came while a request went on";
    }
}

INSTANTIATE_TEST_SUITE_P (Meanwhile,
                          ClicksWithThePointerStill,
                          ::testing::Values (Meanwhile::nothing, Meanwhile::reading, Meanwhile::writing),
                          [] (const auto& info) { return ::testing::PrintToString (info.param); });
//==============================================================================
enum class ClickComes
{
    duringTheRead,
    atItsLastRequest
};

void PrintTo (ClickComes c, std::ostream* os)
{
    *os << (c == ClickComes::duringTheRead ? "duringTheRead" : "atItsLastRequest");
}

class ClickOnTheOtherRow : public ShownWindow, public ::testing::WithParamInterface<ClickComes>
{
};

// A read of one interface, and a real click on the other interface's row while it goes on, the
// pointer resting there. The monitor holds a few hundred lines, so that each message keeps the
// window busy for a moment, as on a slow link or a busy machine: a reply of the row left is then
// often already waiting when the click is handled. Whatever waits, the read ends there: nothing
// more is sent, no alert comes, and the editor stays empty under the row now selected.
TEST_P (ClickOnTheOtherRow, EndsTheReadOfTheRowLeft)
{
    auto a = addInterface (smallInterface (0x0123, 1), "A");
    addInterface (smallInterface (0x0456, 2), "B");
    auto& m = makeFocusedWindow();
    showMessages();
    ASSERT_TRUE (search());
    const int rowA = m.discovery.devices[0]->serialNumber == 1 ? 0 : 1;
    const auto rowB = m.deviceListBox->getRowPosition (1 - rowA, true);
    const auto discoveryRequest = a->getReceived().front();

    while (m.logLineCounter <= 400)
        m.addMessageToList (discoveryRequest, true);

    // Listens to the list while it exists.
    struct Press : juce::MouseListener
    {
        explicit Press (MainComponent& c)
            : owner (c)
        {
            owner.deviceListBox->addMouseListener (this, true);
        }
        ~Press() override { owner.deviceListBox->removeMouseListener (this); }
        void mouseDown (const juce::MouseEvent&) override
        {
            // The row under it has taken the press and changed the selection; nothing else ran since.
            lineAfter = owner.logLineCounter;
            at = juce::Time::getMillisecondCounterHiRes();
        }
        MainComponent& owner;
        int lineAfter = 0;
        double at = 0;
    } press { m };

    harness::AlertCatcher alerts;
    const int clicks = 8, routeRequests = (int) a->getState().ports.size();
    int waiting = 0, sentAfter = 0, alertsAfter = 0, filled = 0;

    for (int i = 0; i < clicks; ++i)
    {
        SCOPED_TRACE ("click " + juce::String (i + 1));
        m.deviceListBox->selectRow (rowA);
        settle();
        press.lineAfter = 0;
        const auto alertsBefore = alerts.alerts.size();
        const auto routesBefore = a->getRequestCount (Request::routeInfo);
        std::unique_ptr<juce::ChildProcess> click;

        // The read runs on without a pause for the test: the click is started beforehand, or from
        // inside the read as its second-to-last request goes out.
        if (GetParam() == ClickComes::duringTheRead)
            click = startClickWithThePointerStill (*m.deviceListBox, rowB, 100 + i % 5 * 50);

        const Probe aim (
            [&]
            {
                if (click == nullptr && a->getRequestCount (Request::routeInfo) >= routesBefore + routeRequests - 1)
                    click = startClickWithThePointerStill (*m.deviceListBox, rowB, i % 4 * 15);
            });

        const auto readFrom = juce::Time::getMillisecondCounterHiRes();
        m.buttonClicked (&m.getSettingsButton);
        ASSERT_TRUE (
            harness::pumpUntil ([&] { return click != nullptr && ! click->isRunning() && press.lineAfter > 0; }, 10000))
            << "the click never reached the list";
        settle (50);

        // A request sent on the other row's ports is never answered: its alert follows.
        if (timersOf (m).isTimerRunning (MainComponent::replyTimer))
            harness::pumpUntil ([&] { return alerts.alerts.size() > alertsBefore; }, 2000);

        int received = 0, sent = 0;
        const auto lines = monitorLines();

        for (int k = press.lineAfter - 1; k < lines.size(); ++k)
        {
            received += lines[k].contains (" R ") ? 1 : 0;
            sent += lines[k].contains (" S ") ? 1 : 0;
        }

        const auto when = juce::String (juce::roundToInt (press.at - readFrom)) + " ms into the read";
        EXPECT_EQ (sent, 0) << "sent after a click " << when;
        EXPECT_FALSE (m.settingsLoaded) << "the editor was filled under the row now selected, clicked " << when;
        waiting += received > 0 ? 1 : 0;
        sentAfter += sent;
        alertsAfter += (int) (alerts.alerts.size() - alertsBefore);
        filled += m.settingsLoaded ? 1 : 0;
    }

    EXPECT_TRUE (alerts.alerts.empty());
    std::cout << clicks << " clicks on the other row " << ::testing::PrintToString (GetParam()) << ": " << waiting
              << " with a reply of the row left waiting, " << sentAfter << " requests sent after the click, "
              << alertsAfter << " alerts, " << filled << " editors filled\n";
}

INSTANTIATE_TEST_SUITE_P (ClickComes,
                          ClickOnTheOtherRow,
                          ::testing::Values (ClickComes::duringTheRead, ClickComes::atItsLastRequest),
                          [] (const auto& info) { return ::testing::PrintToString (info.param); });
} // namespace
