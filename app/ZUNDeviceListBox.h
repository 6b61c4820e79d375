#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class MainComponent;

/** The list of interfaces found by the last "Search", one row for each.

    It is its own model. Selecting a row chooses the interface the rest of the program talks
    to: the previously selected interface's ports are closed and the new one's are opened, so
    that every later request, broadcast on all open outputs, reaches that interface only.

    The model base comes first: juce::ListBox takes hold of its model's shared state while it is
    being constructed, so the model must already exist by then.
*/
class ZUNDeviceListBox : private juce::ListBoxModel, public juce::ListBox
{
public:
    explicit ZUNDeviceListBox (MainComponent& owner);
    ~ZUNDeviceListBox() override;

    int getNumRows() override;
    void paintListBoxItem (int rowNumber, juce::Graphics& g, int width, int height, bool rowIsSelected) override;
    void selectedRowsChanged (int lastRowSelected) override;

    /** Empties the selection and shows the discovery list's current rows, without closing any
        port or clearing the editor: `currentRow` is cleared first, so the selection change that
        the deselection reports finds nothing to do. */
    void resetList();

    MainComponent& owner;

    /** The row whose interface's ports this list box has opened, or -1. */
    int currentRow = -1;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ZUNDeviceListBox)
};
