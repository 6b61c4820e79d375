#include "MainComponent.h"
#include "MidiCallbackMessage.h"
#include "QuietTextValueSource.h"
#include "WholeAlertWindow.h"
#include "ZUNDeviceListBox.h"
#include "protocol/SXMessages.h"
#include <cmath>

namespace
{
using Block = zun::PresetSelectorBlock;
using Frame = zun::SysexMessage;

constexpr int payloadOffset = Frame::payloadOffset;

/** Read-only view of a received frame's payload. Every position outside the payload reads as
    "not there", so a shape test can never look past the message. */
struct Payload
{
    explicit Payload (const juce::MidiMessage& message)
        : bytes (message.getRawData())
        , length (juce::jmax (0, message.getRawDataSize() - Frame::frameOverhead))
    {
    }

    /** Byte n of the payload; only call for n below length. */
    int operator[] (int n) const noexcept { return bytes[payloadOffset + n]; }

    /** True when the payload is at least `minLength` long and holds each (position, value). */
    bool has (int minLength, std::initializer_list<std::pair<int, int>> fixed) const noexcept
    {
        if (length < minLength)
            return false;

        for (auto& [position, value] : fixed)
            if (position >= length || (*this)[position] != value)
                return false;

        return true;
    }

    const juce::uint8* data() const noexcept { return bytes + payloadOffset; }

    const juce::uint8* bytes;
    int length;
};

/** Appends `count` text bytes from `first` to `text`, one byte to one character; a zero byte adds nothing. */
void appendTextBytes (juce::String& text, const juce::uint8* first, int count)
{
    for (int i = 0; i < count; ++i)
        if (first[i] != 0)
            text += juce::String::charToString ((juce::juce_wchar) first[i]);
}

/** The number of text bytes an entry announces, cut to the bytes the payload really holds. */
int textBytesAvailable (int entryLength, int firstTextPosition, int payloadLength)
{
    return juce::jlimit (0, juce::jmax (0, payloadLength - firstTextPosition), entryLength - 2);
}

/** A port's display name, made from its type and its two numbers. */
juce::String portDisplayName (int type, int a, int b)
{
    switch (type)
    {
        case 1:
            if (a == 0)
                return juce::String::formatted ("DIN out %d", b);
            return b == 0 ? juce::String::formatted ("DIN in %d", a) : juce::String::formatted ("DIN %d", a);
        case 2:
            return juce::String::formatted ("USBD %d-%d", a, b);
        case 3:
            return juce::String::formatted ("USBH %d-%d", a, b);
        case 4:
            return juce::String::formatted ("RTP %d-%d", a, b);
        case 5:
            if (b == 1)
                return "Preset Selector";
            if (b == 2)
                return "Failover Control";
            if (b == 3)
                return "Automation Control";
            return {};
        default:
            return {};
    }
}

//==============================================================================
struct CodeName
{
    int code;
    const char* name;
};

template <size_t size>
const char* nameOf (int code, const CodeName (&table)[size])
{
    for (auto& entry : table)
        if (entry.code == code)
            return entry.name;

    return "";
}

/** Message classes, as the monitor prints them: each name ends in a blank (one in a comma too). */
const CodeName messageClassNames[] = { { 0x00, "None " },        { 0x01, "HstSesnVal " },   { 0x02, "GetParmDef " },
                                       { 0x03, "GetParmVal " },  { 0x04, "GetCmdDef " },    { 0x10, "SetParmVal " },
                                       { 0x11, "SetCmdVal " },   { 0x40, "Ack " },          { 0x41, "DevSesnVal " },
                                       { 0x42, "RetParmDef " },  { 0x43, "RetParmVal " },   { 0x44, "RetCmdDef " },
                                       { 0x50, "NotParmVal, " }, { 0x70, "BulkTransfer " }, { 0x7F, "Private " } };

const CodeName dataClassNames[] = {
    { 0x00, "None" },         { 0x01, "SessionInfo" },   { 0x02, "DeviceInfo" },       { 0x03, "DeviceFeature" },
    { 0x04, "HardwareInfo" }, { 0x05, "MIDIInfo" },      { 0x06, "MIDIPortInfo" },     { 0x07, "MIDIFeature" },
    { 0x08, "AudioInfo" },    { 0x09, "AudioPortInfo" }, { 0x0A, "AudioChannelInfo" }, { 0x70, "BulkData" },
    { 0x7D, "SelfTest" },     { 0x7E, "License" },       { 0x7F, "FirmwareUpdate" }
};

const char* ackErrorName (int code)
{
    static const char* const names[] = { "None",
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

    return juce::isPositiveAndBelow (code, (int) std::size (names)) ? names[code] : "???";
}

/** Truncates towards zero and takes the remainder of integer division, without ever converting
    a value that does not fit an int (timestamps of weeks, or garbage, stay safe). */
int wrappedPart (double value, int modulus)
{
    const auto truncated = std::trunc (value);

    if (! std::isfinite (truncated))
        return 0;

    return (int) std::fmod (truncated, (double) modulus);
}

/** The controller list's texts: fixed text, not worked out from the number. */
const char* const controllerItemTexts[128] = { "000 Bank (MSB)",
                                               "001 Modulation",
                                               "002 Breath",
                                               "003 ---",
                                               "004 Foot",
                                               "005 Portamento Time",
                                               "006 Data Entry",
                                               "007 Volume",
                                               "008 Balance",
                                               "009 ---",
                                               "010 Pan",
                                               "011 Expression",
                                               "012 Effect 1",
                                               "013 Effect 2",
                                               "014 ---",
                                               "015 ---",
                                               "016 General 1",
                                               "017 General 2",
                                               "018 General 3",
                                               "019 General 4",
                                               "020 ---",
                                               "021 ---",
                                               "022 ---",
                                               "023 ---",
                                               "024 ---",
                                               "025 ---",
                                               "026 ---",
                                               "027 ---",
                                               "028 ---",
                                               "029 ---",
                                               "030 ---",
                                               "031 ---",
                                               "032 Bank (LSB)",
                                               "033 Modulation (LSB)",
                                               "034 Breath (LSB)",
                                               "035 ---",
                                               "036 Foot (LSB)",
                                               "037 Portamento Time (LSB)",
                                               "038 Data Entry (LSB)",
                                               "039 Volume (LSB)",
                                               "040 Balance (LSB)",
                                               "041 ---",
                                               "042 Pan (LSB)",
                                               "043 Expression (LSB)",
                                               "044 Effect 1 (LSB)",
                                               "045 Effect 2 (LSB)",
                                               "046 ---",
                                               "047 ---",
                                               "048 General 1 (LSB)",
                                               "049 General 2 (LSB)",
                                               "050 General 3 (LSB)",
                                               "051 General 4 (LSB)",
                                               "052 ---",
                                               "053 ---",
                                               "054 ---",
                                               "055 ---",
                                               "056 ---",
                                               "057 ---",
                                               "058 ---",
                                               "059 ---",
                                               "060 ---",
                                               "061 ---",
                                               "062 ---",
                                               "063 ---",
                                               "064 Damper Pedal",
                                               "065 Portamento Switch",
                                               "066 Sostenuto",
                                               "067 Soft Pedal",
                                               "068 Legato",
                                               "069 Hold2",
                                               "070 Variation",
                                               "071 Harmonic",
                                               "072 Release",
                                               "073 Attack",
                                               "074 Brightness",
                                               "075 Sound Controller 6",
                                               "076 Sound Controller 7",
                                               "077 Sound Controller 8",
                                               "078 Sound Controller 9",
                                               "079 Sound Controller 10",
                                               "080 General 5",
                                               "081 General 6",
                                               "082 General 7",
                                               "083 General 8",
                                               "084 ---",
                                               "085 ---",
                                               "086 ---",
                                               "087 ---",
                                               "088 ---",
                                               "089 ---",
                                               "090 ---",
                                               "091 Reverb",
                                               "092 Tremolo",
                                               "093 Chorus",
                                               "094 Celeste",
                                               "095 Phaser",
                                               "096 Data Increment",
                                               "097 Data Decrement",
                                               "098 NRPN (LSB)",
                                               "099 NRPN (MSB)",
                                               "100 RPN (LSB)",
                                               "101 RPN (MSB)",
                                               "102 ---",
                                               "103 ---",
                                               "104 ---",
                                               "105 ---",
                                               "106 ---",
                                               "107 ---",
                                               "108 ---",
                                               "109 ---",
                                               "110 ---",
                                               "111 ---",
                                               "112 ---",
                                               "113 ---",
                                               "114 ---",
                                               "115 ---",
                                               "116 ---",
                                               "117 ---",
                                               "118 ---",
                                               "119 ---",
                                               "120 All Sound Off",
                                               "121 Reset All Controllers",
                                               "122 Local Control",
                                               "123 All Notes Off",
                                               "124 Omni Off",
                                               "125 Omni On",
                                               "126 Mono On",
                                               "127 Poly On" };

/** Adds an item unless the framework would refuse it (empty text or ID 0), which it would
    otherwise also flag as a programming error. */
void addItemIfValid (juce::ComboBox& combo, const juce::String& text, int itemId)
{
    if (text.isNotEmpty() && itemId != 0 && combo.indexOfItemId (itemId) < 0)
        combo.addItem (text, itemId);
}

void setBoundsAndText (juce::Label& label, const juce::String& text, juce::Rectangle<int> bounds)
{
    label.setText (text, juce::dontSendNotification);
    label.setBounds (bounds);
}
} // namespace

//==============================================================================
MainComponent::MainComponent()
    : deviceListBox (std::make_unique<ZUNDeviceListBox> (*this))
{
    setSize (652, 468);
    setLookAndFeel (&lookAndFeel);

    versionLabel.setText (juce::String::formatted ("V7 P%d", 9), juce::dontSendNotification);
    selectInterfaceLabel.setText ("Select Interface", juce::dontSendNotification);
    addLabelAndSetStyle (selectInterfaceLabel);
    addLabelAndSetStyle (versionLabel);
    versionLabel.setFont (juce::Font (12.0f));

    const std::pair<juce::TextButton*, const char*> buttons[] = { { &searchButton, "Search" },
                                                                  { &clearLogButton, "Clear Log" },
                                                                  { &getSettingsButton, "Get Settings" },
                                                                  { &saveSettingsButton, "Save Settings" } };

    for (auto& [button, text] : buttons)
    {
        addAndMakeVisible (button);
        button->setButtonText (text);
        button->addListener (this);
    }

    addAndMakeVisible (showMidiMessagesToggle);
    showMidiMessagesToggle.setButtonText ("Show MIDI Messages");

    midiMonitor.setMultiLine (true, true);
    midiMonitor.setReturnKeyStartsNewLine (false);
    midiMonitor.setReadOnly (true);
    midiMonitor.setScrollbarsShown (true);
    midiMonitor.setCaretVisible (false);
    midiMonitor.setPopupMenuEnabled (false);
    midiMonitor.setText ({});
    // Each change of the keyboard focus would otherwise set the monitor back to a copy of its
    // text taken a moment before, erasing the lines added since.
    QuietTextValueSource::installIn (midiMonitor);
    addAndMakeVisible (midiMonitor);
    midiMonitor.setFont (juce::Font (12.0f));

    addAndMakeVisible (deviceListBox.get());

    logLineCounter = 1;

    createGUI();
    clrGUI (true);
}

MainComponent::~MainComponent()
{
    for (auto* button : { &clearLogButton, &searchButton, &getSettingsButton, &saveSettingsButton })
        button->removeListener (this);

    stopTimer (discoveryTimer);
    stopTimer (replyTimer);

    // Releasing the entries closes the ports, so the MIDI thread posts nothing more before any
    // member goes.
    while (! midiInputs.isEmpty())
        midiInputs.remove (midiInputs.size() - 1);

    while (! midiOutputs.isEmpty())
        midiOutputs.remove (midiOutputs.size() - 1);

    deviceListBox.reset();
    setLookAndFeel (nullptr);
}

void MainComponent::paint (juce::Graphics&) {}

void MainComponent::resized()
{
    const int w = getWidth();

    selectInterfaceLabel.setBounds (10, 10, w / 2 - 20, 24);
    deviceListBox->setBounds (10, 46, 240, 132);
    searchButton.setBounds (120, 10, 100, 24);
    getSettingsButton.setBounds (10, 188, 100, 24);
    saveSettingsButton.setBounds (118, 188, 100, 24);
    versionLabel.setBounds (w - 46, 10, 40, 24);
    showMidiMessagesToggle.setBounds (258, 10, 160, 24);
    clearLogButton.setBounds (426, 10, 100, 24);
    midiMonitor.setBounds (258, 46, w - 268, 132);
    selectorLabel.setBounds (230, 188, 56, 24);
    selectorCombo.setBounds (290, 188, 140, 24);
    enableToggle.setBounds (10, 218, 80, 24);
    minPresetLabel.setBounds (90, 218, 72, 24);
    minPresetCombo.setBounds (166, 218, 164, 24);
    maxPresetLabel.setBounds (338, 218, 72, 24);
    maxPresetCombo.setBounds (414, 218, 164, 24);

    for (int k = 0; k < 16; ++k)
    {
        const int x = 10 + 24 * k + 12 * (k / 4);
        channelLabels[(size_t) k].setBounds (x, 248, 24, 24);
        channelCheckboxes[(size_t) k].setBounds (x, 278, 24, 24);
    }

    useProgramChangeToggle.setBounds (10, 308, 168, 24);
    useControlChangeToggle.setBounds (186, 308, 168, 24);
    ccModeLabel.setBounds (362, 308, 64, 24);
    ccModeCombo.setBounds (442, 308, 120, 24);
    globalRoutingGroup.setBounds (10, 368, 260, 88);
    midiInputPortLabel.setBounds (10, 16, 100, 24);
    midiInputPortCombo.setBounds (118, 16, 120, 24);
    routeToAllSelectorsToggle.setBounds (10, 46, 200, 24);
}

void MainComponent::addLabelAndSetStyle (juce::Label& label)
{
    label.setFont (juce::Font (15.0f, juce::Font::plain));
    label.setJustificationType (juce::Justification::centredLeft);
    label.setEditable (false, false, false);
    addAndMakeVisible (label);
}

//==============================================================================
// MIDI port lists

void MainComponent::createDeviceList (bool isInput)
{
    const auto available = isInput ? juce::MidiInput::getAvailableDevices() : juce::MidiOutput::getAvailableDevices();
    auto& list = isInput ? midiInputs : midiOutputs;

    for (int i = list.size(); --i >= 0;)
    {
        if (auto entry = list[i]; entry != nullptr && (entry->inputPort != nullptr || entry->outputPort != nullptr))
            closeDevice (isInput, i);

        list.remove (i);
    }

    for (auto& info : available)
        list.add (new MidiDeviceListEntry (info));

    for (int i = 0; i < list.size(); ++i)
        openDevice (isInput, i);
}

void MainComponent::openDevice (bool isInput, int index)
{
    auto entry = (isInput ? midiInputs : midiOutputs)[index];

    if (entry == nullptr)
        return;

    if (isInput)
    {
        if (entry->inputPort != nullptr)
            return;

        entry->inputPort = juce::MidiInput::openDevice (entry->portInfo.identifier, this);

        if (entry->inputPort != nullptr)
            entry->inputPort->start();

        return;
    }

    if (entry->outputPort == nullptr)
        entry->outputPort = juce::MidiOutput::openDevice (entry->portInfo.identifier);
}

void MainComponent::closeDevice (bool isInput, int index)
{
    auto entry = (isInput ? midiInputs : midiOutputs)[index];

    if (entry == nullptr)
        return;

    if (isInput)
    {
        if (entry->inputPort != nullptr)
        {
            entry->inputPort->stop();
            entry->inputPort.reset();
        }

        return;
    }

    entry->outputPort.reset();
}

void MainComponent::openDevice (int row)
{
    if (auto* record = discovery.devices[row])
    {
        openDevice (true, record->inputIndex);
        openDevice (false, record->outputIndex);
    }
}

void MainComponent::closeDevice (int row)
{
    if (auto* record = discovery.devices[row])
    {
        closeDevice (true, record->inputIndex);
        closeDevice (false, record->outputIndex);
    }
}

void MainComponent::sendToOutputs (const juce::MidiMessage& message)
{
    for (auto* entry : midiOutputs)
        if (entry->outputPort != nullptr)
            entry->outputPort->sendMessageNow (message);
}

//==============================================================================
// MIDI input hand-off and the request engine

void MainComponent::handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message)
{
    // The MIDI service's thread only hands the message over; everything else waits for the
    // message thread, where the program's state lives.
    postMessage (new MidiCallbackMessage (source, message));
}

void MainComponent::handleMessage (const juce::Message& posted)
{
    auto* received = dynamic_cast<const MidiCallbackMessage*> (&posted);

    if (received == nullptr)
        return;

    addMessageToList (received->message, false);

    // A reply already on its way when the user chose another row (or none) answers a
    // conversation that has ended: taken as awaited, it would carry a read, write or store on
    // at the new row, or fill the editor with the other interface's settings.
    if (received->handOverNumber <= lastHandOverBeforeSelection)
        return;

    if (! device.IsValidMidiMessage (received->message))
        return;

    switch (requestState)
    {
        case Discovering:
            handleDiscoveryReply (*received);
            break;
        case ReadingNames:
            handleProductNameReply (received->message);
            break;
        case ReadingMidiInfo:
            handleMidiInfoReply (received->message);
            break;
        case ReadingDeviceInfo:
            handleDeviceInfoReply (received->message);
            break;
        case ReadingAudioInfo:
            handleAudioInfoReply (received->message);
            break;
        case ReadingPresetNames:
            handlePresetNameReply (received->message);
            break;
        case ReadingPortInfo:
            handlePortInfoReply (received->message);
            break;
        case ReadingRouteInfo:
            handleRouteInfoReply (received->message);
            break;
        case ReadingSelectorInfo:
            handleSelectorInfoReply (received->message);
            break;
        case SavingGlobals:
        case WritingSettings:
            handleAcknowledgement (received->message);
            break;
        default:
            break;
    }
}

void MainComponent::ignoreWhatWasHandedOverSoFar()
{
    lastHandOverBeforeSelection = MidiCallbackMessage::lastHandOverNumber();
}

void MainComponent::timerCallback (int timerID)
{
    if (timerID == discoveryTimer)
    {
        endDiscoveryWindow();
        return;
    }

    if (timerID != replyTimer)
        return;

    stopReplyTimer();
    showWarning ("Time Out Error",
                 "Something went wrong, was expecting a message from interface but did not receive one.");
}

void MainComponent::sendRequest (unsigned char* payload, juce::uint16 length, juce::uint8 awaitedState)
{
    stopReplyTimer();
    requestState = awaitedState;
    sendFrame (payload, length);
}

void MainComponent::sendFrame (unsigned char* payload, juce::uint16 length)
{
    auto frame = device.sysex.CreateMessage (payload, length);
    awaitedTransactionId = Frame::Unpack28 (frame.getRawData() + Frame::transactionIdOffset);
    frame.setTimeStamp (juce::Time::getMillisecondCounterHiRes() * 0.001);
    addMessageToList (frame, true);
    sendToOutputs (frame);
    startReplyTimer();
}

void MainComponent::startReplyTimer()
{
    startTimer (replyTimer, replyTimeoutMs);
    updateControlsEnabled();
}

void MainComponent::stopReplyTimer()
{
    stopTimer (replyTimer);
    updateControlsEnabled();
}

void MainComponent::showWarning (const juce::String& title, const juce::String& message)
{
    // Modal: posted MIDI messages and timers go on being handled while the box is open, so
    // every caller has settled the engine before it gets here.
    keyboardFocus.aroundAlert (
        [&] { WholeAlertWindow::showMessageBox (juce::MessageBoxIconType::WarningIcon, title, message, "Shucks"); });
}

//==============================================================================
// Discovery and product names

void MainComponent::resetDeviceList()
{
    deviceListBox->resetList();
    updateControlsEnabled();
}

void MainComponent::startSearch()
{
    stopReplyTimer();
    discovery.devices.clear (true);

    device.sysex.sessionId = 0;
    device.sysex.productId = 0;
    device.sysex.serialNumber = 0;
    device.settings.Empty();
    requestState = Discovering;

    resetDeviceList();
    clrGUI (true);

    createDeviceList (true);
    createDeviceList (false);

    for (auto* entry : midiOutputs)
    {
        if (entry->outputPort == nullptr)
            continue;

        // A frame per output, so that each carries its own transaction ID and a reply tells
        // which output its request went out on.
        auto frame = device.sysex.CreateMessage (SXMessage_DeviceDiscovery, zun::SXLength::DeviceDiscovery);
        frame.setTimeStamp (juce::Time::getMillisecondCounterHiRes() * 0.001);
        entry->discoveryId = Frame::Unpack28 (frame.getRawData() + Frame::transactionIdOffset);
        addMessageToList (frame, true);
        entry->outputPort->sendMessageNow (frame);
    }

    startTimer (discoveryTimer, discoveryWindowMs);
}

void MainComponent::handleDiscoveryReply (const MidiCallbackMessage& reply)
{
    int inputIndex = -1;

    for (int i = 0; i < midiInputs.size() && inputIndex < 0; ++i)
        if (midiInputs.getObjectPointerUnchecked (i)->inputPort.get() == reply.source && reply.source != nullptr)
            inputIndex = i;

    if (inputIndex < 0)
        return;

    const auto transactionId = Frame::Unpack28 (reply.message.getRawData() + Frame::transactionIdOffset);
    int outputIndex = -1;

    for (int i = 0; i < midiOutputs.size() && outputIndex < 0; ++i)
    {
        auto* entry = midiOutputs.getObjectPointerUnchecked (i);

        if (entry->outputPort != nullptr && entry->discoveryId == transactionId)
            outputIndex = i;
    }

    if (outputIndex < 0)
        return;

    discovery.AddDevice (reply.message, inputIndex, outputIndex);
}

void MainComponent::endDiscoveryWindow()
{
    stopTimer (discoveryTimer);

    if (requestState != Discovering)
        return;

    for (int i = 0; i < midiInputs.size(); ++i)
        closeDevice (true, i);

    for (int i = 0; i < midiOutputs.size(); ++i)
        closeDevice (false, i);

    if (discovery.devices.isEmpty())
    {
        requestState = Idle;
        resetDeviceList();
        return;
    }

    // Give the interfaces time to settle after every port was closed; nothing is dispatched
    // meanwhile.
    juce::Thread::sleep (pauseBeforeNamesMs);

    discovery.currentIndex = 0;
    auto* first = discovery.devices.getFirst();
    openDevice (true, first->inputIndex);
    openDevice (false, first->outputIndex);
    requestState = ReadingNames;
    sendFrame (SXMessage_GetProductName, zun::SXLength::GetProductName);
}

void MainComponent::handleProductNameReply (const juce::MidiMessage& reply)
{
    const Payload p (reply);

    if (! p.has (8, { { 0, 0x43 }, { 1, 0x02 }, { 4, 0x03 }, { 7, 0x01 } }))
        return;

    // The entry length is the interface's word; only characters inside the payload are taken.
    device.productName.clear();
    appendTextBytes (device.productName, p.data() + 8, textBytesAvailable (p[6], 8, p.length));

    stopReplyTimer();
    closeDevice (discovery.currentIndex);

    if (auto* record = discovery.devices[discovery.currentIndex])
        record->label = device.productName + " SN: " + juce::String::formatted ("%08X", record->serialNumber);

    ++discovery.currentIndex;

    if (discovery.currentIndex >= discovery.devices.size())
    {
        requestState = Idle;
        resetDeviceList();
        return;
    }

    openDevice (discovery.currentIndex);
    sendFrame (SXMessage_GetProductName, zun::SXLength::GetProductName);
}

//==============================================================================
// Settings read

void MainComponent::startSettingsRead()
{
    const auto* record = selectedInterface();

    if (record == nullptr)
        return;

    stopReplyTimer();
    device.settings.Empty();
    settingsPartlyRead = true;
    device.sysex.sessionId = (juce::uint32) device.sysex.random.nextInt() & Frame::mask28;
    device.sysex.productId = record->productId;
    device.sysex.serialNumber = record->serialNumber;
    sendRequest (SXMessage_GetSettingsMI, zun::SXLength::GetSettingsMI, ReadingMidiInfo);
}

void MainComponent::handleMidiInfoReply (const juce::MidiMessage& reply)
{
    const Payload p (reply);
    auto& s = device.settings;

    if (p.length == 13 && p.has (13, { { 0, 0x43 }, { 1, 0x05 }, { 4, 0x03 }, { 7, 0x01 }, { 10, 0x15 } }))
    {
        s.portCount = (juce::uint8) p[8];
        s.selectorMask = (juce::uint8) p[11];
    }
    else if (p.length == 9 && p.has (9, { { 0, 0x43 }, { 1, 0x05 }, { 4, 0x03 }, { 7, 0x01 } }))
    {
        s.portCount = (juce::uint8) p[8];
        s.selectorMask = 1;
    }
    else
    {
        return;
    }

    stopReplyTimer();
    sendRequest (SXMessage_GetSettingsDI, zun::SXLength::GetSettingsDI, ReadingDeviceInfo);
}

void MainComponent::handleDeviceInfoReply (const juce::MidiMessage& reply)
{
    const Payload p (reply);

    if (p.length != 12 || ! p.has (12, { { 0, 0x43 }, { 1, 0x02 }, { 4, 0x03 }, { 7, 0x14 }, { 10, 0x17 } }))
        return;

    device.settings.presetCount = (juce::uint8) p[8];
    device.settings.sceneCount = (juce::uint8) p[11];
    stopReplyTimer();

    if ((device.settings.selectorMask & 0x04) != 0)
        sendRequest (SXMessage_GetSettingsAI, zun::SXLength::GetSettingsAI, ReadingAudioInfo);
    else
        beginPresetPhase();
}

void MainComponent::handleAudioInfoReply (const juce::MidiMessage& reply)
{
    const Payload p (reply);

    if (p.length != 9 || ! p.has (9, { { 0, 0x43 }, { 1, 0x08 }, { 4, 0x03 }, { 7, 0x13 } }))
        return;

    device.settings.snapshotCount = (juce::uint8) p[8];
    stopReplyTimer();
    beginPresetPhase();
}

void MainComponent::beginPresetPhase()
{
    device.itemIndex = 1;
    SXMessage_GetSettingsPresetName[7] = 1;
    sendRequest (SXMessage_GetSettingsPresetName, zun::SXLength::GetSettingsPresetName, ReadingPresetNames);
}

void MainComponent::handlePresetNameReply (const juce::MidiMessage& reply)
{
    const Payload p (reply);

    if (! p.has (13, { { 0, 0x43 }, { 1, 0x03 }, { 4, 0x04 }, { 6, 0x09 }, { 9, 0x03 }, { 12, 0x02 } }))
        return;

    auto& s = device.settings;
    const int number = p[7];

    // Numbers within the reported count are stored; the model holds the first 32 of them.
    if (number >= 1 && number <= s.presetCount)
        if (auto* preset = s.GetPreset (number))
        {
            preset->number = (juce::uint8) number;
            appendTextBytes (preset->name, p.data() + 13, textBytesAvailable (p[11], 13, p.length));
        }

    stopReplyTimer();

    if (device.itemIndex >= s.presetCount)
    {
        beginPortPhase();
        return;
    }

    ++device.itemIndex;
    SXMessage_GetSettingsPresetName[7] = device.itemIndex;
    sendRequest (SXMessage_GetSettingsPresetName, zun::SXLength::GetSettingsPresetName, ReadingPresetNames);
}

void MainComponent::beginPortPhase()
{
    device.itemIndex = 1;
    SXMessage_GetSettingsMIDIPortInfo[7] = 1;
    sendRequest (SXMessage_GetSettingsMIDIPortInfo, zun::SXLength::GetSettingsMIDIPortInfo, ReadingPortInfo);
}

void MainComponent::handlePortInfoReply (const juce::MidiMessage& reply)
{
    const Payload p (reply);

    if (p.length != 18
        || ! p.has (18,
                    { { 0, 0x43 }, { 1, 0x06 }, { 4, 0x04 }, { 6, 0x05 }, { 9, 0x03 }, { 12, 0x01 }, { 15, 0x02 } }))
        return;

    auto& s = device.settings;
    const int number = p[7];

    if (number >= 1 && number <= s.portCount)
        if (auto* port = s.GetPort (number))
        {
            port->number = (juce::uint8) number;
            port->type = (juce::uint8) p[13];
            port->numberA = (juce::uint8) p[16];
            port->numberB = (juce::uint8) p[17];
            port->name = portDisplayName (port->type, port->numberA, port->numberB);

            if (port->type == 5 && port->numberB == 1)
                s.SetSelectorPort ((juce::uint8) number);
        }

    stopReplyTimer();

    if (device.itemIndex >= s.portCount)
    {
        requestSelector (0x40);
        return;
    }

    ++device.itemIndex;
    SXMessage_GetSettingsMIDIPortInfo[7] = device.itemIndex;
    sendRequest (SXMessage_GetSettingsMIDIPortInfo, zun::SXLength::GetSettingsMIDIPortInfo, ReadingPortInfo);
}

void MainComponent::requestSelector (juce::uint8 selectorId)
{
    device.readingSelector = selectorId;
    SXMessage_GetSettingsPresetSelectorInfo[7] = device.settings.selectorPort;
    SXMessage_GetSettingsPresetSelectorInfo[11] = selectorId;
    sendRequest (
        SXMessage_GetSettingsPresetSelectorInfo, zun::SXLength::GetSettingsPresetSelectorInfo, ReadingSelectorInfo);
}

void MainComponent::handleSelectorInfoReply (const juce::MidiMessage& reply)
{
    const Payload p (reply);
    auto& s = device.settings;

    if (p.length != 39
        || ! p.has (39, { { 0, 0x43 }, { 1, 0x06 }, { 4, 0x04 }, { 6, 0x05 }, { 9, 0x03 }, { 7, s.selectorPort } }))
        return;

    auto* record = s.GetSelector (zun::SelectorTypeForId (p[12]));

    if (record == nullptr)
        return;

    zun::ReadSelectorSettings (p.data(), p.length, *record);
    stopReplyTimer();

    const auto mask = s.selectorMask;

    if (device.readingSelector == 0x40 && (mask & 0x02) != 0)
        requestSelector (0x41);
    else if ((device.readingSelector == 0x40 || device.readingSelector == 0x41) && (mask & 0x04) != 0)
        requestSelector (0x42);
    else
        beginRoutePhase();
}

void MainComponent::beginRoutePhase()
{
    device.readingSelector = 0;
    device.itemIndex = 1;
    SXMessage_GetSettingsMIDIRouteInfo[7] = 1;
    sendRequest (SXMessage_GetSettingsMIDIRouteInfo, zun::SXLength::GetSettingsMIDIRouteInfo, ReadingRouteInfo);
}

void MainComponent::handleRouteInfoReply (const juce::MidiMessage& reply)
{
    const Payload p (reply);

    if (! p.has (13, { { 0, 0x43 }, { 1, 0x06 }, { 4, 0x04 }, { 6, 0x05 }, { 9, 0x03 }, { 12, 0x18 } }))
        return;

    auto& s = device.settings;
    const int number = p[7];

    if (number >= 1 && number <= s.portCount)
        if (auto* port = s.GetPort (number))
        {
            zun::ReadRouteMask (p.data(), p.length, port->routeMask);
            port->routedToSelectors = s.RoutesToSelector (*port) ? 1 : 0;
        }

    stopReplyTimer();

    if (device.itemIndex >= s.portCount)
    {
        endSettingsRead();
        return;
    }

    ++device.itemIndex;
    SXMessage_GetSettingsMIDIRouteInfo[7] = device.itemIndex;
    sendRequest (SXMessage_GetSettingsMIDIRouteInfo, zun::SXLength::GetSettingsMIDIRouteInfo, ReadingRouteInfo);
}

void MainComponent::endSettingsRead()
{
    device.settings.routingPort = 1;
    device.settings.currentSelector = 1;
    settingsPartlyRead = false;
    setGUI (true);
    requestState = Idle;
}

//==============================================================================
// Writes, store and acknowledgements

void MainComponent::updatePresetSelector()
{
    if (! settingsLoaded)
        return;

    auto* record = editableRecord();

    if (record == nullptr)
        return;

    zun::WriteSelectorSettings (
        SXMessage_SetPresetSelectorInfo, *record, device.settings.selectorPort, device.settings.currentSelector);
    sendRequest (SXMessage_SetPresetSelectorInfo, zun::SXLength::SetPresetSelectorInfo, WritingSettings);
}

void MainComponent::routeToAllSelectorsClicked()
{
    const bool routed = routeToAllSelectorsToggle.getToggleState();
    auto& s = device.settings;
    auto* port = s.GetPort (s.routingPort);

    if (! settingsLoaded || settingsPartlyRead || port == nullptr || (port->routedToSelectors != 0) == routed)
        return;

    s.SetRoutedToSelectors (*port, routed);

    const auto text = routed ? "* " + port->name : port->name;
    midiInputPortCombo.setText (text, juce::dontSendNotification);

    if (midiInputPortCombo.indexOfItemId (port->number) >= 0)
        midiInputPortCombo.changeItemText (port->number, text);

    midiInputPortCombo.setSelectedId (port->number, juce::sendNotificationAsync);

    const auto length = zun::WriteRouteMask (SXMessage_SetMIDIRouteInfo, s.routingPort, port->routeMask, s.portCount);
    sendRequest (SXMessage_SetMIDIRouteInfo, (juce::uint16) length, WritingSettings);
}

void MainComponent::saveSettings()
{
    // A store sent now would take the read's place, and the read would silently stop there. The
    // button is greyed whenever a reply is awaited; this holds for a click that comes any other way.
    if (device.sysex.serialNumber == 0 || readUnderWay())
        return;

    sendRequest (SXMessage_SaveGlobals, zun::SXLength::SaveGlobals, SavingGlobals);
}

void MainComponent::handleAcknowledgement (const juce::MidiMessage& reply)
{
    const Payload p (reply);

    if (p.length != 5 || ! p.has (5, { { 0, 0x40 }, { 1, 0x00 } }))
        return;

    // Replies echo their request's transaction ID. Any other acknowledgement answers an earlier
    // request, one that timed out (its alert was shown) or was never awaited: judged against
    // this request's rule it would report a failure that did not happen.
    if (Frame::Unpack28 (reply.getRawData() + Frame::transactionIdOffset) != awaitedTransactionId)
        return;

    const auto awaited = requestState;
    stopReplyTimer();
    requestState = Idle;

    if (awaited == SavingGlobals)
    {
        if (p[2] != 0x11 || p[3] != 0 || p[4] != 0)
            showWarning ("Ack Error", "Settings could not be saved.");

        return;
    }

    if (p[2] != 0x10 || p[4] != 0)
        showWarning ("Ack Error", "Changes could not be made.");
}

//==============================================================================
// Buttons and combo boxes

void MainComponent::buttonClicked (juce::Button* button)
{
    if (button == &clearLogButton)
    {
        midiMonitor.clear();
        logLineCounter = 1;
    }
    else if (button == &searchButton)
    {
        startSearch();
    }
    else if (button == &getSettingsButton)
    {
        startSettingsRead();
    }
    else if (button == &saveSettingsButton)
    {
        saveSettings();
    }
    else if (button == &enableToggle)
    {
        changeRecordSwitch (button, &zun::SelectorSettings::enabled);
    }
    else if (button == &invertToggle)
    {
        changeRecordSwitch (button, &zun::SelectorSettings::invert);
    }
    else if (button == &wraparoundToggle)
    {
        changeRecordSwitch (button, &zun::SelectorSettings::wraparound);
    }
    else if (button == &useProgramChangeToggle)
    {
        changeControlChange (0);
    }
    else if (button == &useControlChangeToggle)
    {
        changeControlChange (1);
    }
    else if (button == &routeToAllSelectorsToggle)
    {
        routeToAllSelectorsClicked();
    }
    else
    {
        for (size_t k = 0; k < channelCheckboxes.size(); ++k)
            if (button == &channelCheckboxes[k])
                changeChannelCheckbox (button, (juce::uint16) (1u << k));
    }
}

void MainComponent::comboBoxChanged (juce::ComboBox* box) { appComboBoxChanged (box); }

//==============================================================================
// Monitor

juce::String MainComponent::formatTimeCode (double t)
{
    return juce::String::formatted ("%02d:%02d:%02d.%03d",
                                    wrappedPart (t / 3600.0, 24),
                                    wrappedPart (t / 60.0, 60),
                                    wrappedPart (t, 60),
                                    wrappedPart (t * 1000.0, 1000));
}

void MainComponent::addMessageToList (const juce::MidiMessage& message, bool isOutgoing)
{
    if (! showMidiMessagesToggle.getToggleState())
        return;

    midiMonitor.moveCaretToEnd();
    midiMonitor.insertTextAtCaret (nextMonitorLine (message, isOutgoing));
}

juce::String MainComponent::nextMonitorLine (const juce::MidiMessage& message, bool isOutgoing)
{
    const auto timeCode = formatTimeCode (message.getTimeStamp());
    const auto number = juce::String::formatted ("%d", logLineCounter++);
    return number + " - " + timeCode + (isOutgoing ? " S " : " R ") + describeMessage (message) + "\r\n";
}

juce::String MainComponent::describeMessage (const juce::MidiMessage& message) const
{
    const auto* b = message.getRawData();
    const int size = message.getRawDataSize();

    if (device.IsValidMidiMessage (message))
    {
        const Payload p (message);
        juce::String head;

        if (p.length == 0)
            head = "Ping";
        else if (p[0] == 0x40)
            head = juce::String ("Ack ")
                   + (p.length >= 5 ? ackErrorName (p[4]) : "???"); // no error code byte: never read past the payload
        else
            head = juce::String (nameOf (p[0], messageClassNames)) + nameOf (p[1], dataClassNames);

        return head + ": " + juce::String::toHexString (b + 5, size - 6, 1);
    }

    const auto hex = [&] { return juce::String::toHexString (b, size, 1); };

    if (size < 1)
        return hex();

    const int status = b[0];
    const int kind = status & 0xF0;
    const int needed = (kind == 0xC0 || kind == 0xD0) ? 2 : 3;

    // A channel message too short for its data bytes is shown as it stands, in hex.
    if (status >= 0x80 && status < 0xF0 && size < needed)
        return hex();

    const int d1 = size > 1 ? b[1] : 0;
    const int d2 = size > 2 ? b[2] : 0;
    const auto note = [&] { return juce::MidiMessage::getMidiNoteName (d1, true, true, 3); };

    if (kind == 0x90 && d2 != 0)
        return "Note on " + note();

    if (kind == 0x80 || kind == 0x90)
        return "Note off " + note();

    if (kind == 0xC0)
        return "Program change " + juce::String (d1);

    if (kind == 0xE0)
        return "Pitch wheel " + juce::String (d1 + 128 * d2);

    if (kind == 0xA0)
        return "After touch " + note() + ": " + juce::String (d2);

    if (kind == 0xD0)
        return "Channel pressure " + juce::String (d1);

    if (kind == 0xB0 && d1 == 123)
        return "All notes off";

    if (kind == 0xB0 && d1 == 120)
        return "All sound off";

    if (status == 0xFF)
        return "Meta event";

    if (kind == 0xB0)
    {
        const auto* name = juce::MidiMessage::getControllerName (d1);
        return "Controller " + (name != nullptr ? juce::String (name) : "[" + juce::String (d1) + "]") + ": "
               + juce::String (d2);
    }

    return hex();
}

//==============================================================================
// Settings editor: controls

void MainComponent::createGUI()
{
    selectorLabel.setText ("Selector", juce::dontSendNotification);
    addLabelAndSetStyle (selectorLabel);
    addAndMakeVisible (selectorCombo);
    selectorCombo.addListener (this);

    addAndMakeVisible (enableToggle);
    enableToggle.setButtonText ("Enable");
    enableToggle.addListener (this);

    for (size_t k = 0; k < channelLabels.size(); ++k)
    {
        channelLabels[k].setText (juce::String ((int) k + 1), juce::dontSendNotification);
        addLabelAndSetStyle (channelLabels[k]);
    }

    for (auto& checkbox : channelCheckboxes)
    {
        addAndMakeVisible (checkbox);
        checkbox.addListener (this);
    }

    const auto addLabelAndCombo = [this] (juce::Label& label, const char* text, juce::ComboBox& combo)
    {
        label.setText (text, juce::dontSendNotification);
        addLabelAndSetStyle (label);
        addAndMakeVisible (combo);
        combo.addListener (this);
    };

    addLabelAndCombo (minPresetLabel, "Min Select", minPresetCombo);
    addLabelAndCombo (maxPresetLabel, "Max Select", maxPresetCombo);

    const std::pair<juce::ToggleButton*, const char*> toggles[] = { { &useProgramChangeToggle, "Use Program Change" },
                                                                    { &useControlChangeToggle, "Use Control Change" },
                                                                    { &invertToggle, "Invert" },
                                                                    { &wraparoundToggle, "Wraparound" } };

    for (auto& [toggle, text] : toggles)
    {
        addAndMakeVisible (toggle);
        toggle->setButtonText (text);

        if (toggle == &useProgramChangeToggle || toggle == &useControlChangeToggle)
            toggle->setRadioGroupId (1);

        toggle->addListener (this);
    }

    addLabelAndCombo (ccModeLabel, "CC Mode", ccModeCombo);
    addLabelAndCombo (ccId1Label, "CCID1", ccId1Combo);
    addLabelAndCombo (ccId2Label, "CCID2", ccId2Combo);
    addLabelAndCombo (minValueLabel, "Min Value", minValueCombo);
    addLabelAndCombo (maxValueLabel, "Max Value", maxValueCombo);
    addLabelAndCombo (onValueLabel, "On Value", onValueCombo);
    addLabelAndCombo (offPresetLabel, "Off Select", offPresetCombo);
    addLabelAndCombo (onPresetLabel, "On Select", onPresetCombo);

    ccModeCombo.clear();
    ccModeCombo.addItem ("Continuous", 1);
    ccModeCombo.addItem ("Inc/Dec", 2);
    ccModeCombo.addItem ("Toggle", 3);

    setCCIDComboBoxItems (&ccId1Combo);
    setCCIDComboBoxItems (&ccId2Combo);
    setControlValComboBoxItems (&minValueCombo);
    setControlValComboBoxItems (&maxValueCombo);
    setControlValComboBoxItems (&onValueCombo);

    addAndMakeVisible (globalRoutingGroup);
    globalRoutingGroup.setText ("Global Routing");

    midiInputPortLabel.setText ("MIDI Input Port", juce::dontSendNotification);
    midiInputPortLabel.setFont (juce::Font (15.0f, juce::Font::plain));
    midiInputPortLabel.setJustificationType (juce::Justification::centredLeft);
    midiInputPortLabel.setEditable (false, false, false);
    globalRoutingGroup.addAndMakeVisible (midiInputPortLabel);

    globalRoutingGroup.addAndMakeVisible (midiInputPortCombo);
    midiInputPortCombo.addListener (this);

    globalRoutingGroup.addAndMakeVisible (routeToAllSelectorsToggle);
    routeToAllSelectorsToggle.setButtonText ("Route to All Selectors");
    routeToAllSelectorsToggle.addListener (this);
}

void MainComponent::setCCIDComboBoxItems (juce::ComboBox* combo)
{
    combo->clear();

    for (int number = 0; number < 128; ++number)
        combo->addItem (controllerItemTexts[number], number + 1);
}

void MainComponent::setControlValComboBoxItems (juce::ComboBox* combo)
{
    combo->clear();

    for (int value = 0; value < 128; ++value)
        combo->addItem (juce::String::formatted ("%d", value), value + 1);
}

//==============================================================================
// Settings editor: model to view

zun::SelectorSettings* MainComponent::currentRecord()
{
    return device.settings.GetSelector (device.settings.currentSelector);
}

zun::SelectorSettings* MainComponent::editableRecord()
{
    // A partly read record may be shown, but an edit kept in it would outlive the read's end as
    // if the interface held it.
    return settingsPartlyRead ? nullptr : currentRecord();
}

bool MainComponent::readUnderWay() const
{
    // After a time-out the reply timer is stopped: the read no longer counts as under way, though
    // a late reply may still carry it on.
    return requestState >= ReadingMidiInfo && requestState <= ReadingSelectorInfo && isTimerRunning (replyTimer);
}

void MainComponent::clrGUI (bool full)
{
    clearEditor (full);
    updateControlsEnabled();
}

void MainComponent::clearEditor (bool full)
{
    settingsLoaded = false;

    if (full)
    {
        selectorCombo.setSelectedId (-1, juce::dontSendNotification);
        selectorCombo.clear();
    }

    enableToggle.setToggleState (false, juce::dontSendNotification);

    for (auto& checkbox : channelCheckboxes)
        checkbox.setToggleState (false, juce::dontSendNotification);

    for (auto* toggle : { &useProgramChangeToggle, &useControlChangeToggle, &invertToggle, &wraparoundToggle })
        toggle->setToggleState (false, juce::dontSendNotification);

    for (auto* combo : { &minPresetCombo,
                         &maxPresetCombo,
                         &ccModeCombo,
                         &ccId1Combo,
                         &ccId2Combo,
                         &minValueCombo,
                         &maxValueCombo,
                         &onValueCombo,
                         &offPresetCombo,
                         &onPresetCombo })
        combo->setSelectedId (-1, juce::dontSendNotification);

    if (full)
    {
        midiInputPortCombo.setSelectedId (-1, juce::dontSendNotification);
        midiInputPortCombo.clear();
        routeToAllSelectorsToggle.setToggleState (false, juce::dontSendNotification);
    }
}

void MainComponent::setGUI (bool full)
{
    // The editor is cleared without greying it in between: a selector change goes through here,
    // and the combo it was made with keeps the keyboard focus.
    clearEditor (full);
    auto& s = device.settings;

    if (full)
    {
        selectorCombo.clear();

        if ((s.selectorMask & 0x01) != 0)
            selectorCombo.addItem ("Preset", 1);
        if ((s.selectorMask & 0x02) != 0)
            selectorCombo.addItem ("Scene", 2);
        if ((s.selectorMask & 0x04) != 0)
            selectorCombo.addItem ("Mixer Snapshot", 3);

        selectorCombo.setSelectedId (s.currentSelector, juce::dontSendNotification);
    }

    if (auto* r = currentRecord())
    {
        enableToggle.setToggleState (r->enabled != 0, juce::dontSendNotification);
        invertToggle.setToggleState (r->invert != 0, juce::dontSendNotification);
        wraparoundToggle.setToggleState (r->wraparound != 0, juce::dontSendNotification);

        if (r->useControlChange != 0)
            useControlChangeToggle.setToggleState (true, juce::dontSendNotification);
        else
            useProgramChangeToggle.setToggleState (true, juce::dontSendNotification);

        for (size_t k = 0; k < channelCheckboxes.size(); ++k)
            channelCheckboxes[k].setToggleState ((r->channelMask & (1u << k)) != 0, juce::dontSendNotification);

        for (auto* combo : { &minPresetCombo, &maxPresetCombo, &offPresetCombo, &onPresetCombo })
            fillPresetComboBox (combo);

        const std::pair<juce::ComboBox*, int> selections[] = {
            { &minPresetCombo, r->minPreset },   { &maxPresetCombo, r->maxPreset }, { &ccModeCombo, r->ccMode },
            { &ccId1Combo, r->ccId1 + 1 },       { &ccId2Combo, r->ccId2 + 1 },     { &minValueCombo, r->minValue + 1 },
            { &maxValueCombo, r->maxValue + 1 }, { &onValueCombo, r->onValue + 1 }, { &offPresetCombo, r->offPreset },
            { &onPresetCombo, r->onPreset }
        };

        for (auto& [combo, id] : selections)
            combo->setSelectedId (id, juce::dontSendNotification);
    }

    if (full)
    {
        midiInputPortCombo.clear();

        // The count comes from the interface; only the records the model holds are listed.
        for (int k = 0; k < juce::jmin ((int) s.portCount, Block::maxPorts); ++k)
        {
            const auto& port = s.ports[k];

            if (port.type == 5 || (port.type == 1 && port.numberA == 0))
                continue;

            addItemIfValid (
                midiInputPortCombo, port.routedToSelectors != 0 ? "* " + port.name : port.name, port.number);
        }

        midiInputPortCombo.setSelectedId (s.routingPort, juce::dontSendNotification);

        if (auto* port = s.GetPort (s.routingPort))
            routeToAllSelectorsToggle.setToggleState (port->routedToSelectors != 0, juce::dontSendNotification);
    }

    updateGUI();
    settingsLoaded = true;
    updateControlsEnabled();
}

void MainComponent::fillPresetComboBox (juce::ComboBox* combo)
{
    combo->clear();
    const auto& s = device.settings;

    switch (s.currentSelector)
    {
        case 1:
            // The count comes from the interface; only the records the model holds are listed.
            for (int j = 0; j < juce::jmin ((int) s.presetCount, Block::maxPresets); ++j)
                addItemIfValid (*combo,
                                juce::String::formatted ("%d - ", s.presets[j].number) + s.presets[j].name,
                                s.presets[j].number);
            break;

        case 2:
            for (int k = 0; k < s.sceneCount; ++k)
                addItemIfValid (*combo,
                                juce::String::formatted ("%d - Scene ", k + 1)
                                    + juce::String::charToString ((juce::juce_wchar) ('A' + k)),
                                k + 1);
            break;

        case 3:
            for (int k = 1; k <= s.snapshotCount; ++k)
                addItemIfValid (*combo, juce::String::formatted ("%d - Snapshot %d", k, k), k);
            break;

        default:
            break;
    }
}

void MainComponent::updateGUI()
{
    juce::Component* const ccDependent[] = { &ccModeLabel,   &ccModeCombo,   &ccId1Label,     &ccId1Combo,
                                             &ccId2Label,    &ccId2Combo,    &invertToggle,   &wraparoundToggle,
                                             &minValueLabel, &minValueCombo, &maxValueLabel,  &maxValueCombo,
                                             &onValueLabel,  &onValueCombo,  &offPresetLabel, &offPresetCombo,
                                             &onPresetLabel, &onPresetCombo };
    const auto* r = currentRecord();

    // Program Change, and no record at all (nothing read since the model was emptied): none
    // of the Control Change settings apply, so none is shown.
    if (r == nullptr || r->useControlChange == 0)
    {
        for (auto* c : ccDependent)
            c->setVisible (false);

        return;
    }

    ccModeLabel.setVisible (true);
    ccModeCombo.setVisible (true);

    std::vector<juce::Component*> shown;

    switch (r->ccMode)
    {
        case 1:
            setBoundsAndText (ccId1Label, "Control ID", { 362, 338, 80, 24 });
            ccId1Combo.setBounds (442, 338, 200, 24);
            minValueLabel.setBounds (362, 368, 80, 24);
            minValueCombo.setBounds (442, 368, 80, 24);
            maxValueLabel.setBounds (362, 398, 80, 24);
            maxValueCombo.setBounds (442, 398, 80, 24);
            invertToggle.setBounds (362, 428, 88, 24);
            shown = { &ccId1Label,    &ccId1Combo,    &minValueLabel, &minValueCombo,
                      &maxValueLabel, &maxValueCombo, &invertToggle };
            break;

        case 2:
            setBoundsAndText (ccId1Label, "Inc Cntl ID", { 362, 338, 80, 24 });
            ccId1Combo.setBounds (442, 338, 200, 24);
            setBoundsAndText (ccId2Label, "Dec Cntl ID", { 362, 368, 80, 24 });
            ccId2Combo.setBounds (442, 368, 200, 24);
            setBoundsAndText (onValueLabel, "On Value", { 362, 398, 80, 24 });
            onValueCombo.setBounds (442, 398, 80, 24);
            wraparoundToggle.setBounds (362, 428, 104, 24);
            shown = { &ccId1Label,   &ccId1Combo,   &ccId2Label,      &ccId2Combo,
                      &onValueLabel, &onValueCombo, &wraparoundToggle };
            break;

        case 3:
            setBoundsAndText (ccId1Label, "Control ID", { 362, 338, 80, 24 });
            ccId1Combo.setBounds (442, 338, 200, 24);
            setBoundsAndText (onValueLabel, "On Value", { 362, 368, 80, 24 });
            onValueCombo.setBounds (442, 368, 80, 24);
            setBoundsAndText (offPresetLabel, "Off Select", { 362, 398, 80, 24 });
            offPresetCombo.setBounds (442, 398, 164, 24);
            setBoundsAndText (onPresetLabel, "On Select", { 362, 428, 80, 24 });
            onPresetCombo.setBounds (442, 428, 164, 24);
            shown = { &ccId1Label,     &ccId1Combo,     &onValueLabel,  &onValueCombo,
                      &offPresetLabel, &offPresetCombo, &onPresetLabel, &onPresetCombo };
            break;

        default:
            // No mode chosen: the rest of the column keeps its last look.
            return;
    }

    for (auto* c : shown)
        c->setVisible (true);

    for (auto* c : ccDependent)
        if (c != &ccModeLabel && c != &ccModeCombo && std::find (shown.begin(), shown.end(), c) == shown.end())
            c->setVisible (false);
}

//==============================================================================
// Settings editor: which controls can act

bool MainComponent::canEdit() const
{
    // An edit is kept and sent at once only to a whole read, and only when no reply is awaited:
    // a write sent now would take the awaited reply's place.
    return settingsLoaded && ! settingsPartlyRead && ! isTimerRunning (replyTimer);
}

bool MainComponent::canStore() const
{
    // After a time-out the interface stores what it holds, so only a running wait holds it back.
    return lastReadInterfaceSelected() && ! isTimerRunning (replyTimer);
}

const zun::DiscoveredDevice* MainComponent::selectedInterface() const
{
    return discovery.devices[deviceListBox->getSelectedRow (0)];
}

bool MainComponent::lastReadInterfaceSelected() const
{
    // The store is addressed to the interface last read but goes out on the selected row's ports:
    // on any other row it could never arrive.
    const auto* record = selectedInterface();

    return device.sysex.serialNumber != 0 && record != nullptr && record->serialNumber == device.sysex.serialNumber
           && record->productId == device.sysex.productId;
}

void MainComponent::updateControlsEnabled()
{
    const bool edits = canEdit();

    // Each label greys with the control it names, and the routing frame with what it holds.
    juce::Component* const editorControls[] = { &selectorLabel,
                                                &selectorCombo,
                                                &enableToggle,
                                                &useProgramChangeToggle,
                                                &useControlChangeToggle,
                                                &wraparoundToggle,
                                                &invertToggle,
                                                &minPresetLabel,
                                                &minPresetCombo,
                                                &maxPresetLabel,
                                                &maxPresetCombo,
                                                &ccModeLabel,
                                                &ccModeCombo,
                                                &ccId1Label,
                                                &ccId1Combo,
                                                &ccId2Label,
                                                &ccId2Combo,
                                                &minValueLabel,
                                                &minValueCombo,
                                                &maxValueLabel,
                                                &maxValueCombo,
                                                &onValueLabel,
                                                &onValueCombo,
                                                &offPresetLabel,
                                                &offPresetCombo,
                                                &onPresetLabel,
                                                &onPresetCombo,
                                                &globalRoutingGroup,
                                                &midiInputPortLabel,
                                                &midiInputPortCombo,
                                                &routeToAllSelectorsToggle };

    for (auto* c : editorControls)
        setControlEnabled (*c, edits);

    for (size_t k = 0; k < channelCheckboxes.size(); ++k)
    {
        setControlEnabled (channelLabels[k], edits);
        setControlEnabled (channelCheckboxes[k], edits);
    }

    // A read restarted while one is under way reads the same interface again, so only the
    // selection decides.
    setControlEnabled (getSettingsButton, selectedInterface() != nullptr);
    setControlEnabled (saveSettingsButton, canStore());
    keyboardFocus.returnKeyboardFocus();
}

void MainComponent::setControlEnabled (juce::Component& control, bool enabled)
{
    if (! enabled)
        keyboardFocus.aboutToGrey (control);

    // Return pressed on a combo box just after a step asks for its list, which opens only when
    // that request is handled, after the step's write has greyed the box: it is closed then.
    auto* combo = dynamic_cast<juce::ComboBox*> (&control);
    const bool listAskedFor = ! enabled && combo != nullptr && combo->isPopupActive();

    control.setEnabled (enabled);

    if (listAskedFor)
        juce::MessageManager::callAsync (
            [greyed = juce::Component::SafePointer<juce::ComboBox> (combo)]
            {
                if (greyed != nullptr && ! greyed->isEnabled())
                    greyed->hidePopup();
            });
}

//==============================================================================
// Keyboard focus: the component holds it for a greyed control

void MainComponent::focusGained (FocusChangeType) { keyboardFocus.holderGainedFocus(); }

void MainComponent::focusLost (FocusChangeType) { keyboardFocus.holderLostFocus(); }

bool MainComponent::keyPressed (const juce::KeyPress&) { return keyboardFocus.holderKeyPressed(); }

//==============================================================================
// Settings editor: change handlers

void MainComponent::appComboBoxChanged (juce::ComboBox* box)
{
    using S = zun::SelectorSettings;

    if (box == &selectorCombo)
        changeSelector();
    else if (box == &ccModeCombo)
    {
        changeRecordValue (box, &S::ccMode, 0);
        updateGUI();
    }
    else if (box == &ccId1Combo)
        changeRecordValue (box, &S::ccId1, 1);
    else if (box == &ccId2Combo)
        changeRecordValue (box, &S::ccId2, 1);
    else if (box == &minValueCombo)
        changeRecordValue (box, &S::minValue, 1);
    else if (box == &maxValueCombo)
        changeRecordValue (box, &S::maxValue, 1);
    else if (box == &onValueCombo)
        changeRecordValue (box, &S::onValue, 1);
    else if (box == &minPresetCombo)
        changeMinPresetCombo (box);
    else if (box == &maxPresetCombo)
        changeMaxPresetCombo (box);
    else if (box == &offPresetCombo)
        changeOffPresetCombo (box);
    else if (box == &onPresetCombo)
        changeOnPresetCombo (box);
    else if (box == &midiInputPortCombo)
        changeRoutingPort();
}

void MainComponent::changeMinPresetCombo (juce::ComboBox* box)
{
    changeRecordValue (box, &zun::SelectorSettings::minPreset, 0);
}

void MainComponent::changeMaxPresetCombo (juce::ComboBox* box)
{
    changeRecordValue (box, &zun::SelectorSettings::maxPreset, 0);
}

void MainComponent::changeOffPresetCombo (juce::ComboBox* box)
{
    changeRecordValue (box, &zun::SelectorSettings::offPreset, 0);
}

void MainComponent::changeOnPresetCombo (juce::ComboBox* box)
{
    changeRecordValue (box, &zun::SelectorSettings::onPreset, 0);
}

void MainComponent::changeRecordValue (juce::ComboBox* box, juce::uint8 zun::SelectorSettings::*field, int offset)
{
    // Values are stored whether or not settings are loaded (never in a partly read model); only
    // the send waits for them.
    const int id = box->getSelectedId();
    auto* record = editableRecord();

    if (id < 1 || record == nullptr)
        return;

    const auto value = (juce::uint8) (id - offset);

    if (record->*field == value)
        return;

    record->*field = value;
    updatePresetSelector();
}

void MainComponent::changeRecordSwitch (juce::Button* toggle, juce::uint8 zun::SelectorSettings::*field)
{
    const auto state = (juce::uint8) (toggle->getToggleState() ? 1 : 0);
    auto* record = editableRecord();

    if (! settingsLoaded || record == nullptr || record->*field == state)
        return;

    record->*field = state;
    updatePresetSelector();
}

void MainComponent::changeControlChange (juce::uint8 value)
{
    auto* record = editableRecord();

    if (settingsLoaded && record != nullptr && record->useControlChange != value)
    {
        record->useControlChange = value;
        updatePresetSelector();
    }

    updateGUI();
}

void MainComponent::changeChannelCheckbox (juce::Button* checkbox, juce::uint16 mask)
{
    const bool state = checkbox->getToggleState();
    auto* record = editableRecord();

    if (! settingsLoaded || record == nullptr)
        return;

    if (state == ((record->channelMask & mask) != 0))
        return;

    record->channelMask = (juce::uint16) (state ? (record->channelMask | mask) : (record->channelMask & ~mask));
    updatePresetSelector();
}

void MainComponent::changeSelector()
{
    const int id = selectorCombo.getSelectedId();

    if (id >= 1 && id != device.settings.currentSelector)
    {
        device.settings.currentSelector = (juce::uint8) id;
        setGUI (false);
    }

    updateGUI();
}

void MainComponent::changeRoutingPort()
{
    const int id = midiInputPortCombo.getSelectedId();
    auto& s = device.settings;
    auto* port = s.GetPort (id);

    if (port == nullptr || id == s.routingPort)
        return;

    s.routingPort = (juce::uint8) id;
    // Shown without any notification, so no click reaches buttonClicked.
    routeToAllSelectorsToggle.setToggleState (port->routedToSelectors != 0, juce::dontSendNotification);
}
