#include "ZUNDeviceListBox.h"
#include "MainComponent.h"

ZUNDeviceListBox::ZUNDeviceListBox (MainComponent& ownerComponent)
    : juce::ListBox ("Device Selector", this)
    , owner (ownerComponent)
{
    setOutlineThickness (1);
    setMultipleSelectionEnabled (false);
    currentRow = -1;
}

ZUNDeviceListBox::~ZUNDeviceListBox() = default;

int ZUNDeviceListBox::getNumRows() { return owner.discovery.devices.size(); }

void ZUNDeviceListBox::paintListBoxItem (int rowNumber, juce::Graphics& g, int width, int height, bool rowIsSelected)
{
    auto& lf = getLookAndFeel();
    const auto textColour = lf.findColour (juce::ListBox::textColourId);

    if (rowIsSelected)
        g.fillAll (textColour.interpolatedWith (lf.findColour (juce::ListBox::backgroundColourId), 0.5f));

    g.setColour (textColour);
    g.setFont ((float) height * 0.7f);

    if (rowNumber >= getNumRows())
        return;

    if (auto* record = owner.discovery.devices[rowNumber])
        g.drawText (record->label, 5, 0, width, height, juce::Justification::centredLeft, true);
}

void ZUNDeviceListBox::selectedRowsChanged (int)
{
    const int row = getSelectedRow (0);

    if (row == currentRow)
        return;

    owner.clrGUI (true);
    owner.stopReplyTimer();

    if (currentRow >= 0)
        owner.closeDevice (currentRow);

    // Releasing an input waits for its callback if one is running, so from here on it hands
    // nothing over: the boundary falls after all it sent and before the new row's first message.
    owner.ignoreWhatWasHandedOverSoFar();

    if (row >= 0 && row < getNumRows())
        if (auto* record = owner.discovery.devices[row])
        {
            owner.openDevice (true, record->inputIndex);
            owner.openDevice (false, record->outputIndex);
        }

    currentRow = row;
}

void ZUNDeviceListBox::resetList()
{
    currentRow = -1;
    deselectAllRows();
    updateContent();
}
