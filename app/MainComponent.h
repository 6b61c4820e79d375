#pragma once

#include "app/EditorLookAndFeel.h"
#include "app/KeyboardFocusKeeper.h"
#include "app/MidiDeviceListEntry.h"
#include "app/XEventHandOn.h"
#include "protocol/DeviceContainer.h"
#include "protocol/DeviceDiscoveryItem.h"
#include <array>
#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_gui_basics/juce_gui_basics.h>

class MidiCallbackMessage;
class ZUNDeviceListBox;

/** The content of the main window, and the one object that holds the application's state: the
    top bar (interface list, buttons, monitor), the settings editor, the system's MIDI ports, the
    protocol objects and the request engine that talks to one interface at a time.

    Everything here runs on the message thread; the MIDI input callback only posts what it
    receives to that thread.
*/
class MainComponent : public juce::Component,
                      private juce::MultiTimer,
                      private juce::MidiInputCallback,
                      private juce::MessageListener,
                      private juce::Button::Listener,
                      private juce::ComboBox::Listener
{
public:
    /** The reply the program is waiting for. */
    enum RequestState : juce::uint8
    {
        Idle = 0,
        Discovering = 1,
        ReadingNames = 2,
        ReadingMidiInfo = 3,
        ReadingDeviceInfo = 4,
        ReadingAudioInfo = 5,
        ReadingPresetNames = 6,
        ReadingPortInfo = 7,
        ReadingRouteInfo = 8,
        ReadingSelectorInfo = 9,
        SavingGlobals = 10,
        WritingSettings = 11
    };

    /** The two one-shot timers of the request engine. */
    enum TimerId
    {
        discoveryTimer = 0, /**< the 500 ms discovery window started by "Search" */
        replyTimer = 1 /**< the 1000 ms reply time-out started after every request */
    };

    static constexpr int discoveryWindowMs = 500;
    static constexpr int replyTimeoutMs = 1000;
    static constexpr int pauseBeforeNamesMs = 400;

    MainComponent();
    ~MainComponent() override;

    //==============================================================================
    void paint (juce::Graphics&) override;
    void resized() override;

    // Keyboard focus, held here while the control that had it is greyed (KeyboardFocusKeeper).
    void focusGained (FocusChangeType cause) override;
    void focusLost (FocusChangeType cause) override;
    bool keyPressed (const juce::KeyPress& key) override;

    /** Gives a label the program's label style and adds it to this component, visible. */
    void addLabelAndSetStyle (juce::Label& label);

    //==============================================================================
    // Request engine
    void timerCallback (int timerID) override;
    void handleMessage (const juce::Message& message) override;
    void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message) override;

    // User input
    void buttonClicked (juce::Button* button) override;
    void comboBoxChanged (juce::ComboBox* box) override;

    //==============================================================================
    // MIDI port lists
    void createDeviceList (bool isInput);
    void openDevice (bool isInput, int index);
    void closeDevice (bool isInput, int index);
    void openDevice (int row);
    void closeDevice (int row);
    void sendToOutputs (const juce::MidiMessage& message);

    //==============================================================================
    // Monitor
    void addMessageToList (const juce::MidiMessage& message, bool isOutgoing);

    /** The monitor's line for a message, numbered with the next number, which it takes, and
        ended as the monitor ends its lines. */
    juce::String nextMonitorLine (const juce::MidiMessage& message, bool isOutgoing);

    /** The monitor's description of a message: a decoded interface frame, a channel message in
        words, or the message's bytes in hex. */
    juce::String describeMessage (const juce::MidiMessage& message) const;

    /** The monitor's "hh:mm:ss.mmm" of a timestamp in seconds, hours wrapping at 24. */
    static juce::String formatTimeCode (double seconds);

    //==============================================================================
    // Settings editor
    void createGUI();
    void setCCIDComboBoxItems (juce::ComboBox* combo);
    void setControlValComboBoxItems (juce::ComboBox* combo);
    void clrGUI (bool full);
    void setGUI (bool full);
    void fillPresetComboBox (juce::ComboBox* combo);
    void updateGUI();

    // Settings editor: change handlers
    void appComboBoxChanged (juce::ComboBox* box);
    void changeMinPresetCombo (juce::ComboBox* box);
    void changeMaxPresetCombo (juce::ComboBox* box);
    void changeOffPresetCombo (juce::ComboBox* box);
    void changeOnPresetCombo (juce::ComboBox* box);
    void changeChannelCheckbox (juce::Button* checkbox, juce::uint16 mask);

    /** Sends the whole record of the selector being edited, once settings are loaded. */
    void updatePresetSelector();

    //==============================================================================
    // Members, in the order the rest of the program relies on (the look first, so that it
    // outlives every widget and list drawn with it; the list box before the protocol objects; the
    // editor widgets last).
    EditorLookAndFeel lookAndFeel;

    juce::Label selectInterfaceLabel;
    juce::Label versionLabel;
    juce::TextEditor midiMonitor;
    juce::TextButton searchButton;
    juce::TextButton clearLogButton;
    juce::TextButton getSettingsButton;
    juce::TextButton saveSettingsButton;
    juce::ToggleButton showMidiMessagesToggle;

    juce::ReferenceCountedArray<MidiDeviceListEntry, juce::DummyCriticalSection> midiInputs;
    juce::ReferenceCountedArray<MidiDeviceListEntry, juce::DummyCriticalSection> midiOutputs;

    std::unique_ptr<ZUNDeviceListBox> deviceListBox;

    zun::DeviceContainer device;
    juce::uint8 requestState = Idle;
    zun::DeviceDiscoveryItem discovery;
    int logLineCounter = 1;
    bool settingsLoaded = false;

    /** Set when "Get Settings" empties the model, cleared when a read ends with its last route
        reply. In between (a read under way, or one that stopped) the model holds only part of
        the interface's settings: an edit is neither stored in it nor sent from it, since the
        interface would get the unread fields as zeros. */
    bool settingsPartlyRead = false;

    juce::GroupComponent globalRoutingGroup;

    juce::Label selectorLabel, minPresetLabel, maxPresetLabel, ccModeLabel, ccId1Label, ccId2Label, minValueLabel,
        maxValueLabel, onValueLabel, offPresetLabel, onPresetLabel;
    std::array<juce::Label, 16> channelLabels;

    juce::ToggleButton enableToggle, invertToggle, wraparoundToggle, useProgramChangeToggle, useControlChangeToggle;
    std::array<juce::ToggleButton, 16> channelCheckboxes;

    juce::ComboBox selectorCombo, minPresetCombo, maxPresetCombo, ccModeCombo, ccId1Combo, ccId2Combo, minValueCombo,
        maxValueCombo, onValueCombo, offPresetCombo, onPresetCombo;

    juce::Label midiInputPortLabel;
    juce::ComboBox midiInputPortCombo;
    juce::ToggleButton routeToAllSelectorsToggle;

private:
    friend class ZUNDeviceListBox;

    // The send procedure: every request but the discovery broadcast goes out through it.
    void sendRequest (unsigned char* payload, juce::uint16 length, juce::uint8 awaitedState);
    void sendFrame (unsigned char* payload, juce::uint16 length);
    // The reply time-out; starting or stopping it also re-applies which controls can act.
    void startReplyTimer();
    void stopReplyTimer();
    void showWarning (const juce::String& title, const juce::String& message);

    // Discovery and product names
    void startSearch();
    void endDiscoveryWindow();
    void handleDiscoveryReply (const MidiCallbackMessage& reply);
    void handleProductNameReply (const juce::MidiMessage& reply);
    void resetDeviceList();

    // Settings read
    void startSettingsRead();
    void handleMidiInfoReply (const juce::MidiMessage& reply);
    void handleDeviceInfoReply (const juce::MidiMessage& reply);
    void handleAudioInfoReply (const juce::MidiMessage& reply);
    void handlePresetNameReply (const juce::MidiMessage& reply);
    void handlePortInfoReply (const juce::MidiMessage& reply);
    void handleSelectorInfoReply (const juce::MidiMessage& reply);
    void handleRouteInfoReply (const juce::MidiMessage& reply);
    void beginPresetPhase();
    void beginPortPhase();
    void requestSelector (juce::uint8 selectorId);
    void beginRoutePhase();
    void endSettingsRead();

    // Writes, store and acknowledgements
    void routeToAllSelectorsClicked();
    void saveSettings();
    void handleAcknowledgement (const juce::MidiMessage& reply);

    // Which controls can act: computed from the state that decides it, and applied again
    // whenever that state changes.
    bool canEdit() const;
    bool canStore() const;
    const zun::DiscoveredDevice* selectedInterface() const;
    bool lastReadInterfaceSelected() const;
    void updateControlsEnabled();
    void setControlEnabled (juce::Component& control, bool enabled);

    // Editor helpers
    void clearEditor (bool full);
    zun::SelectorSettings* currentRecord();
    zun::SelectorSettings* editableRecord();
    bool readUnderWay() const;
    void changeRecordValue (juce::ComboBox* box, juce::uint8 zun::SelectorSettings::*field, int offset);
    void changeRecordSwitch (juce::Button* toggle, juce::uint8 zun::SelectorSettings::*field);
    void changeControlChange (juce::uint8 value);
    void changeSelector();
    void changeRoutingPort();

    /** The transaction ID of the last request sent through the send procedure: the one whose
        acknowledgement is awaited (or, after a time-out, may still come). */
    juce::uint32 awaitedTransactionId = 0;

    /** Called by the device list once the input of the row left is released: nothing handed
        over until now moves the request engine any more. */
    void ignoreWhatWasHandedOverSoFar();

    /** The last hand-over number from before the selection last changed. Those messages came
        from an interface the user has left: shown in the monitor, and nothing else. */
    juce::uint64 lastHandOverBeforeSelection = 0;

    // Workarounds for JUCE's window system: this component holds the keyboard for a greyed control
    // and keeps it on the user's control around alerts; a click is handled when it comes.
    KeyboardFocusKeeper keyboardFocus { *this, [this] { return isTimerRunning (replyTimer); } };
    XEventHandOn xEventHandOn { *this };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
