#include "AppTestSupport.h"

using namespace apptest;

namespace
{
using Open = std::pair<std::vector<int>, std::vector<int>>;

class DeviceListBox : public AppTest
{
protected:
    /** Interfaces A (serial 1) on ports 0/0, C (3) on 1/1, and B (2) behind output 2 that
        answers on A's input 0; searched and named. */
    void searchThree()
    {
        addInterface (smallInterface (0x0123, 1), "A");
        addInterface (smallInterface (0x0123, 3), "C");
        auto b = std::make_shared<Interface> (smallInterface (0x0123, 2));
        b->connect (bus().addOutput ("B", b), 0);
        interfaces.push_back (b);

        makeComponent();
        ASSERT_TRUE (search());
        ASSERT_EQ (box().getNumRows(), 3);
        EXPECT_EQ (openPorts(), Open());
        EXPECT_TRUE (alerts.alerts.empty());
    }

    ZUNDeviceListBox& box() { return *mc().deviceListBox; }

    int rowOf (juce::uint32 serial)
    {
        for (int row = 0; row < mc().discovery.devices.size(); ++row)
            if (mc().discovery.devices[row]->serialNumber == serial)
                return row;

        ADD_FAILURE() << "no row for serial " << serial;
        return -1;
    }

    /** Positions of the open inputs and outputs, each checked against the bus. */
    Open openPorts()
    {
        Open open;

        for (int i = 0; i < mc().midiInputs.size(); ++i)
            if (auto& port = mc().midiInputs[i]->inputPort)
            {
                open.first.push_back (i);
                EXPECT_EQ (port->getIdentifier(), bus().getInputIdentifier (i));
            }

        for (int i = 0; i < mc().midiOutputs.size(); ++i)
            if (auto& port = mc().midiOutputs[i]->outputPort)
            {
                open.second.push_back (i);
                EXPECT_EQ (port->getIdentifier(), bus().getOutputIdentifier (i));
            }

        EXPECT_EQ (bus().getNumOpenInputs(), (int) open.first.size());
        EXPECT_EQ (bus().getNumOpenOutputs(), (int) open.second.size());
        return open;
    }

    /** Puts a record in the editor and starts the reply time-out, as a read in progress would. */
    void loadEditorAndStartTimer()
    {
        auto& s = mc().device.settings;
        s.selectorMask = 1;
        s.currentSelector = 1;
        s.selectors[0].enabled = 1;
        mc().setGUI (true);
        timersOf (mc()).startTimer (MainComponent::replyTimer, 1000);
    }

    bool editorLoaded()
    {
        return mc().settingsLoaded && mc().enableToggle.getToggleState() && mc().selectorCombo.getNumItems() == 1;
    }
    bool editorCleared()
    {
        return ! mc().settingsLoaded && ! mc().enableToggle.getToggleState() && mc().selectorCombo.getNumItems() == 0;
    }
    bool replyTimerRunning() { return timersOf (mc()).isTimerRunning (MainComponent::replyTimer); }

    harness::AlertCatcher alerts;
};

//==============================================================================
TEST_F (DeviceListBox, FirstSelectionOpensTheRowsPairClearsTheEditorAndStopsTheReplyTimer)
{
    searchThree();
    loadEditorAndStartTimer();
    const auto state = mc().requestState;
    const int row = rowOf (3);

    selectRow (row);

    EXPECT_EQ (openPorts(), (Open { { 1 }, { 1 } }));
    EXPECT_TRUE (editorCleared());
    EXPECT_FALSE (replyTimerRunning());
    EXPECT_EQ (box().currentRow, row);
    EXPECT_EQ (mc().requestState, state);
}

TEST_F (DeviceListBox, MovingTheSelectionClosesTheOldPairBeforeOpeningTheNew)
{
    searchThree();

    selectRow (rowOf (1));
    EXPECT_EQ (openPorts(), (Open { { 0 }, { 0 } }));

    selectRow (rowOf (3));
    EXPECT_EQ (openPorts(), (Open { { 1 }, { 1 } }));

    selectRow (rowOf (1));
    loadEditorAndStartTimer();

    // B answers on A's input: closing A's pair after opening B's would leave that input shut.
    selectRow (rowOf (2));
    EXPECT_EQ (openPorts(), (Open { { 0 }, { 2 } }));
    EXPECT_TRUE (editorCleared());
    EXPECT_FALSE (replyTimerRunning());
}

TEST_F (DeviceListBox, SelectingTheSelectedRowAgainChangesNothing)
{
    searchThree();
    selectRow (0);
    const auto open = openPorts();
    loadEditorAndStartTimer();

    selectRow (0);
    box().selectedRowsChanged (0); // a reported change that leaves the same first row

    EXPECT_TRUE (box().isRowSelected (0));
    EXPECT_EQ (box().currentRow, 0);
    EXPECT_EQ (openPorts(), open);
    EXPECT_TRUE (editorLoaded());
    EXPECT_TRUE (replyTimerRunning());
}

TEST_F (DeviceListBox, EmptyingTheSelectionClosesThePairAndClearsTheEditor)
{
    searchThree();
    selectRow (rowOf (3));
    loadEditorAndStartTimer();

    box().deselectAllRows();
    harness::pump (5);

    EXPECT_EQ (openPorts(), Open());
    EXPECT_TRUE (editorCleared());
    EXPECT_FALSE (replyTimerRunning());
    EXPECT_EQ (box().currentRow, -1);
}

TEST_F (DeviceListBox, TheListResetClearsTheSelectionAndNothingElse)
{
    searchThree();
    selectRow (rowOf (3));
    loadEditorAndStartTimer();

    box().resetList();
    harness::pump (5);

    EXPECT_EQ (box().currentRow, -1);
    EXPECT_EQ (box().getNumSelectedRows(), 0);
    EXPECT_EQ (openPorts(), (Open { { 1 }, { 1 } }));
    EXPECT_TRUE (editorLoaded());
    EXPECT_TRUE (replyTimerRunning());
}

TEST_F (DeviceListBox, RowsFollowTheDiscoveryListAndAreFilledWhenSelected)
{
    auto& c = makeComponent();
    EXPECT_EQ (box().getNumRows(), 0);

    auto* found = new zun::DiscoveredDevice();
    found->label = "Box One SN: 00A1B2C3";
    c.discovery.devices.add (found);
    EXPECT_EQ (box().getNumRows(), 1);

    auto& lf = box().getLookAndFeel();
    const auto fill = lf.findColour (juce::ListBox::textColourId)
                          .interpolatedWith (lf.findColour (juce::ListBox::backgroundColourId), 0.5f);

    /** Paints one row, 240 x 22, and counts its pixels of the given colour (none: transparent). */
    const auto countPainted = [&] (int row, bool selected, juce::Colour colour)
    {
        juce::Image image (juce::Image::ARGB, 240, 22, true);
        {
            juce::Graphics g (image);
            box().paintListBoxItem (row, g, 240, 22, selected);
        }
        int n = 0;

        for (int y = 0; y < 22; ++y)
            for (int x = 0; x < 240; ++x)
                n += image.getPixelAt (x, y).getARGB() == colour.getARGB();

        return n;
    };

    const int all = 240 * 22;
    EXPECT_EQ (countPainted (1, true, fill), all); // beyond the list: the fill, no text
    EXPECT_EQ (countPainted (1, false, {}), all); // beyond the list, unselected: nothing
    EXPECT_LT (countPainted (0, false, {}), all); // the label
    const int filled = countPainted (0, true, fill);
    EXPECT_GT (filled, all / 2);
    EXPECT_LT (filled, all);
}
} // namespace
