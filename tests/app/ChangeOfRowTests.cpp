// A change of row ends the conversation with the interface left. Its reply may already be on its
// way to the message thread when the user clicks: it must then be shown, and move nothing.
#include "AppTestSupport.h"

using namespace apptest;

namespace
{
using Request = Interface::Request;

/** A request caught in flight: its kind, and whether it is the last of its kind in the read. */
struct InFlight
{
    Request request;
    bool lastOfItsKind = false;
};

enum class Change
{
    toTheOtherRow,
    toNone,
    toTheOtherRowAndBack
};

using Case = std::tuple<InFlight, Change>;

/** A with every selector and a Preset record that uses the CC fields; B another product. */
Interface::Config interfaceA()
{
    auto c = smallInterface (0x0123, 0x00A1B2C3);
    c.selectorMask = 0x07;
    c.snapshotCount = 2;
    c.selectors[0] = { 1, 1, 1, 0, 0x0001, 1, 3, 1, 5, 9, 3, 90, 64, 1, 2 };
    return c;
}

Interface::Config interfaceB()
{
    auto c = smallInterface (0x0456, 0x00B0B0B0);
    c.productName = "Box Two";
    c.selectors[0] = { 1, 0, 0, 1, 0x8000, 2, 3, 0, 0, 0, 0, 0, 0, 3, 1 };
    return c;
}

bool isWrite (Request r) { return r == Request::selectorWrite || r == Request::routeWrite || r == Request::store; }

class ChangeOfRow : public AppTest, public ::testing::WithParamInterface<Case>
{
protected:
    /** Starts the read, write or store that sends `request`. */
    void start (Request request)
    {
        if (request == Request::selectorWrite)
            harness::choose (mc().ccId1Combo, mc().ccId1Combo.getSelectedId() + 1);
        else if (request == Request::routeWrite)
            harness::click (mc().routeToAllSelectorsToggle);
        else if (request == Request::store)
            harness::click (mc().saveSettingsButton);
        else
            harness::click (mc().getSettingsButton);
    }

    int linesMarked (const juce::StringArray& lines, int from, const char* direction)
    {
        int count = 0;

        for (int i = from; i < lines.size(); ++i)
            count += lines[i].contains (direction) ? 1 : 0;

        return count;
    }
};

// The interface holds its reply long enough for the request to be caught in flight. The reply is
// then handed over to the message thread while the test holds that thread, so it waits in the
// queue when the row changes, as it does when a busy window takes the user's click first.
TEST_P (ChangeOfRow, AReplyAlreadyOnItsWayMovesNothingAndTheRowNowSelectedReadsAsUsual)
{
    const auto inFlight = std::get<InFlight> (GetParam());
    const auto change = std::get<Change> (GetParam());
    auto a = addInterface (interfaceA(), "A");
    auto b = addInterface (interfaceB(), "B");
    makeComponent();
    showMessages();
    harness::AlertCatcher alerts;
    ASSERT_TRUE (search());
    const int rowA = rowOf (*a), rowB = rowOf (*b);
    selectRow (rowA);

    if (isWrite (inFlight.request))
    {
        ASSERT_TRUE (getSettings());
    }

    Interface::Fault held;
    held.delayMs = 500;
    a->setFault (inFlight.request, held);
    const int caughtAt =
        inFlight.lastOfItsKind ? (int) a->getState().ports.size() : a->getRequestCount (inFlight.request) + 1;

    start (inFlight.request);
    ASSERT_TRUE (harness::pumpUntil ([&] { return a->getRequestCount (inFlight.request) == caughtAt; }));
    ASSERT_TRUE (monitorLines().strings.getLast().contains (" S ")) << "the reply came before it could be held";
    bus().waitUntilIdle();

    const auto state = mc().requestState;
    const auto sentToA = a->getReceived().size(), sentToB = b->getReceived().size();
    const int linesBefore = monitorLines().size();

    switch (change)
    {
        case Change::toTheOtherRow:
            mc().deviceListBox->selectRow (rowB);
            break;
        case Change::toNone:
            mc().deviceListBox->deselectAllRows();
            break;
        case Change::toTheOtherRowAndBack:
            mc().deviceListBox->selectRow (rowB);
            mc().deviceListBox->selectRow (rowA);
            break;
    }

    settle();
    settle();
    const auto lines = monitorLines();

    EXPECT_EQ (linesMarked (lines, linesBefore, " R "), 1) << "the reply is shown as received";
    EXPECT_EQ (linesMarked (lines, linesBefore, " S "), 0) << "nothing is sent after the change";
    EXPECT_EQ (a->getReceived().size(), sentToA);
    EXPECT_EQ (b->getReceived().size(), sentToB);
    EXPECT_EQ (mc().requestState, state);
    EXPECT_FALSE (timersOf (mc()).isTimerRunning (MainComponent::replyTimer)) << "a time-out alert would follow";
    EXPECT_TRUE (alerts.alerts.empty());
    EXPECT_FALSE (mc().settingsLoaded);
    EXPECT_EQ (mc().selectorCombo.getNumItems(), 0);
    EXPECT_FALSE (mc().enableToggle.isEnabled());

    // The row now selected reads as usual.
    a->clearFaults();

    if (change == Change::toNone)
        selectRow (rowB);

    const auto& selected = change == Change::toTheOtherRowAndBack ? *a : *b;
    ASSERT_TRUE (getSettings());
    EXPECT_EQ (mc().device.sysex.serialNumber, selected.getSerialNumber());
    EXPECT_EQ (fieldsOf (mc().device.settings.selectors[0]), fieldsOf (selected.getSelector (0)));
    EXPECT_TRUE (mc().enableToggle.isEnabled());
    EXPECT_TRUE (alerts.alerts.empty());
}

std::string caseName (const ::testing::TestParamInfo<Case>& info)
{
    static const char* const requests[] = { "discovery",  "productName", "midiInfo",     "deviceInfo", "audioInfo",
                                            "presetName", "portInfo",    "selectorInfo", "routeInfo",  "selectorWrite",
                                            "routeWrite", "store",       "other" };
    static const char* const changes[] = { "ToTheOtherRow", "ToNone", "ToTheOtherRowAndBack" };
    const auto [inFlight, change] = info.param;
    return std::string (requests[(int) inFlight.request]) + (inFlight.lastOfItsKind ? "Last" : "First")
           + changes[(int) change];
}

INSTANTIATE_TEST_SUITE_P (
    EachRequestAndChange,
    ChangeOfRow,
    ::testing::Combine (::testing::Values (InFlight { Request::midiInfo },
                                           InFlight { Request::deviceInfo },
                                           InFlight { Request::audioInfo },
                                           InFlight { Request::presetName },
                                           InFlight { Request::portInfo },
                                           InFlight { Request::selectorInfo },
                                           InFlight { Request::routeInfo },
                                           InFlight { Request::routeInfo, true },
                                           InFlight { Request::selectorWrite },
                                           InFlight { Request::routeWrite },
                                           InFlight { Request::store }),
                        ::testing::Values (Change::toTheOtherRow, Change::toNone, Change::toTheOtherRowAndBack)),
    caseName);
} // namespace
