#include "AppTestSupport.h"
#include "app/Vantorel.h"

using namespace apptest;

namespace
{
class Construction : public AppTest
{
};

TEST_F (Construction, StartsAtRestWithNothingOpenedOrSent)
{
    auto probe = addInterface (smallInterface());
    auto& c = makeComponent();
    harness::pump (50);

    EXPECT_EQ (c.getWidth(), 652);
    EXPECT_EQ (c.getHeight(), 468);
    EXPECT_EQ (c.versionLabel.getText(), "V7 P9");
    EXPECT_EQ (c.selectInterfaceLabel.getText(), "Select Interface");
    EXPECT_EQ (c.searchButton.getButtonText(), "Search");
    EXPECT_EQ (c.clearLogButton.getButtonText(), "Clear Log");
    EXPECT_EQ (c.getSettingsButton.getButtonText(), "Get Settings");
    EXPECT_EQ (c.saveSettingsButton.getButtonText(), "Save Settings");
    EXPECT_EQ (c.showMidiMessagesToggle.getButtonText(), "Show MIDI Messages");
    EXPECT_FALSE (c.showMidiMessagesToggle.getToggleState());
    EXPECT_TRUE (c.midiMonitor.isReadOnly());
    EXPECT_TRUE (c.midiMonitor.isMultiLine());
    EXPECT_TRUE (c.midiMonitor.isEmpty());
    EXPECT_EQ (c.deviceListBox->getNumRows(), 0);
    EXPECT_EQ (c.deviceListBox->getName(), "Device Selector");

    EXPECT_EQ (c.requestState, MainComponent::Idle);
    EXPECT_EQ (c.logLineCounter, 1);
    EXPECT_FALSE (c.settingsLoaded);
    EXPECT_EQ (c.device.settings.currentSelector, 0);
    EXPECT_EQ (c.device.sysex.transactionId, 0u);
    EXPECT_TRUE (c.midiInputs.isEmpty());
    EXPECT_TRUE (c.midiOutputs.isEmpty());
    EXPECT_EQ (bus().getNumOpenInputs(), 0);
    EXPECT_EQ (bus().getNumOpenOutputs(), 0);

    settle();
    EXPECT_TRUE (probe->getReceived().empty());
}

TEST_F (Construction, LabelsShareOneStyleAndTheVersionIsSmaller)
{
    auto& c = makeComponent();

    EXPECT_FLOAT_EQ (c.selectInterfaceLabel.getFont().getHeight(), 15.0f);
    EXPECT_FLOAT_EQ (c.versionLabel.getFont().getHeight(), 12.0f);
    EXPECT_EQ (c.selectInterfaceLabel.getJustificationType(), juce::Justification (juce::Justification::centredLeft));
    EXPECT_FALSE (c.selectInterfaceLabel.isEditableOnSingleClick());
    EXPECT_FALSE (c.selectInterfaceLabel.isEditableOnDoubleClick());
    EXPECT_FLOAT_EQ (c.midiMonitor.getFont().getHeight(), 12.0f);
}

//==============================================================================
class Layout : public AppTest
{
};

TEST_F (Layout, PlacesEveryFixedControlAtTheDefaultWidth)
{
    auto& c = makeComponent();
    using R = juce::Rectangle<int>;

    EXPECT_EQ (c.selectInterfaceLabel.getBounds(), R (10, 10, 306, 24));
    EXPECT_EQ (c.deviceListBox->getBounds(), R (10, 46, 240, 132));
    EXPECT_EQ (c.searchButton.getBounds(), R (120, 10, 100, 24));
    EXPECT_EQ (c.getSettingsButton.getBounds(), R (10, 188, 100, 24));
    EXPECT_EQ (c.saveSettingsButton.getBounds(), R (118, 188, 100, 24));
    EXPECT_EQ (c.versionLabel.getBounds(), R (606, 10, 40, 24));
    EXPECT_EQ (c.showMidiMessagesToggle.getBounds(), R (258, 10, 160, 24));
    EXPECT_EQ (c.clearLogButton.getBounds(), R (426, 10, 100, 24));
    EXPECT_EQ (c.midiMonitor.getBounds(), R (258, 46, 384, 132));
    EXPECT_EQ (c.selectorLabel.getBounds(), R (230, 188, 56, 24));
    EXPECT_EQ (c.selectorCombo.getBounds(), R (290, 188, 140, 24));
    EXPECT_EQ (c.enableToggle.getBounds(), R (10, 218, 80, 24));
    EXPECT_EQ (c.minPresetLabel.getBounds(), R (90, 218, 72, 24));
    EXPECT_EQ (c.minPresetCombo.getBounds(), R (166, 218, 164, 24));
    EXPECT_EQ (c.maxPresetLabel.getBounds(), R (338, 218, 72, 24));
    EXPECT_EQ (c.maxPresetCombo.getBounds(), R (414, 218, 164, 24));
    EXPECT_EQ (c.useProgramChangeToggle.getBounds(), R (10, 308, 168, 24));
    EXPECT_EQ (c.useControlChangeToggle.getBounds(), R (186, 308, 168, 24));
    EXPECT_EQ (c.ccModeLabel.getBounds(), R (362, 308, 64, 24));
    EXPECT_EQ (c.ccModeCombo.getBounds(), R (442, 308, 120, 24));
    EXPECT_EQ (c.globalRoutingGroup.getBounds(), R (10, 368, 260, 88));
    EXPECT_EQ (c.midiInputPortLabel.getBounds(), R (10, 16, 100, 24));
    EXPECT_EQ (c.midiInputPortCombo.getBounds(), R (118, 16, 120, 24));
    EXPECT_EQ (c.routeToAllSelectorsToggle.getBounds(), R (10, 46, 200, 24));
    EXPECT_EQ (c.midiInputPortCombo.getParentComponent(), &c.globalRoutingGroup);

    const int columns[] = { 10, 34, 58, 82, 118, 142, 166, 190, 226, 250, 274, 298, 334, 358, 382, 406 };

    for (size_t k = 0; k < 16; ++k)
    {
        EXPECT_EQ (c.channelLabels[k].getBounds(), R (columns[k], 248, 24, 24)) << "channel " << k + 1;
        EXPECT_EQ (c.channelCheckboxes[k].getBounds(), R (columns[k], 278, 24, 24)) << "channel " << k + 1;
    }
}

TEST_F (Layout, OnlyThreeNumbersFollowTheWidth)
{
    auto& c = makeComponent();
    const auto before = c.getSettingsButton.getBounds();

    c.setSize (801, 468);

    EXPECT_EQ (c.selectInterfaceLabel.getWidth(), (801 - 1) / 2 - 20);
    EXPECT_EQ (c.versionLabel.getX(), 801 - 46);
    EXPECT_EQ (c.midiMonitor.getWidth(), 801 - 268);
    EXPECT_EQ (c.getSettingsButton.getBounds(), before);
    EXPECT_EQ (c.searchButton.getBounds(), juce::Rectangle<int> (120, 10, 100, 24));

    // So narrow that the monitor has no room: it gets no width, and nothing is reflowed.
    c.setSize (200, 468);
    EXPECT_EQ (c.midiMonitor.getWidth(), 0);
    EXPECT_EQ (c.versionLabel.getX(), 154);
}

TEST_F (Layout, ResizingLeavesTheModeDependentControlsWhereTheyWere)
{
    auto& c = makeComponent();
    c.ccId1Combo.setBounds (1, 2, 3, 4);

    c.setSize (900, 600);

    EXPECT_EQ (c.ccId1Combo.getBounds(), juce::Rectangle<int> (1, 2, 3, 4));
}

//==============================================================================
TEST (MainWindow, OpensCentredResizableAndTitledWithTheContentSize)
{
    Vantorel::MainWindow window ("Quorvel");

    EXPECT_EQ (window.getName(), "Quorvel");
    EXPECT_TRUE (window.isUsingNativeTitleBar());
    EXPECT_TRUE (window.isResizable());
    EXPECT_TRUE (window.isVisible());
    ASSERT_NE (dynamic_cast<MainComponent*> (window.getContentComponent()), nullptr);
    EXPECT_EQ (window.getContentComponent()->getWidth(), 652);
    EXPECT_EQ (window.getContentComponent()->getHeight(), 468);

    const auto area = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
    EXPECT_NEAR (window.getBounds().getCentreX(), area.getCentreX(), 2);
}

TEST (Application, NamesItselfAndAllowsSeveralCopies)
{
    Vantorel app;

    EXPECT_EQ (app.getApplicationName(), "Quorvel");
    EXPECT_EQ (app.getApplicationVersion(), "1.0.0");
    EXPECT_TRUE (app.moreThanOneInstanceAllowed());
    EXPECT_EQ (app.getMainWindow(), nullptr);

    app.initialise ("--ignored arguments");
    ASSERT_NE (app.getMainWindow(), nullptr);
    EXPECT_EQ (app.getMainWindow()->getName(), "Quorvel");

    app.shutdown();
    EXPECT_EQ (app.getMainWindow(), nullptr);
}
} // namespace
