// Which controls can be used when: an editor control only while an edit made with it is kept and
// sent at once, "Save Settings" only while a click sends the store, and every acknowledgement
// judged by the request it answers. Driven through the window's own controls, on slow, silent
// and late links.
#include "AppTestSupport.h"
#include "app/EditorLookAndFeel.h"
#include <set>

using namespace apptest;

namespace
{
using Request = Interface::Request;

class ControlStates : public AppTest
{
protected:
    /** Every combo box and toggle of the window but "Show MIDI Messages": the editor and
        "Global Routing", found without the program's help. */
    std::vector<juce::Component*> editorControls()
    {
        std::vector<juce::Component*> found;

        for (auto* combo : harness::findAll<juce::ComboBox> (mc()))
            found.push_back (combo);

        for (auto* toggle : harness::findAll<juce::ToggleButton> (mc()))
            if (toggle != &mc().showMidiMessagesToggle)
                found.push_back (toggle);

        return found;
    }

    void expectEnabled (bool edits, bool store, bool read = true)
    {
        auto& m = mc();
        const auto controls = editorControls();
        ASSERT_EQ (controls.size(), 34u);

        for (size_t i = 0; i < controls.size(); ++i)
        {
            auto* button = dynamic_cast<juce::Button*> (controls[i]);
            EXPECT_EQ (controls[i]->isEnabled(), edits)
                << "control " << i << " " << (button ? button->getButtonText() : "");
        }

        EXPECT_EQ (m.saveSettingsButton.isEnabled(), store);
        EXPECT_EQ (m.getSettingsButton.isEnabled(), read);

        for (auto* c :
             std::initializer_list<juce::Component*> { &m.searchButton, &m.clearLogButton, &m.showMidiMessagesToggle })
            EXPECT_TRUE (c->isEnabled());
    }

    /** Clicks every toggle and chooses another item in every combo box, as a user may try, all
        within a moment, so that a reply due soon cannot come in between. */
    void tryEveryControl()
    {
        for (auto* c : editorControls())
        {
            if (auto* combo = dynamic_cast<juce::ComboBox*> (c))
            {
                if (combo->isEnabled() && combo->getNumItems() > 1)
                    combo->setSelectedId (combo->getItemId (combo->getSelectedItemIndex() == 0 ? 1 : 0),
                                          juce::sendNotificationAsync);
            }
            else if (auto* toggle = dynamic_cast<juce::ToggleButton*> (c))
            {
                toggle->triggerClick();
            }
        }

        harness::handlePending();
    }

    /** What the editor shows: every toggle's state, every combo box's selection and text. */
    juce::String shownValues()
    {
        juce::String text;

        for (auto* c : editorControls())
        {
            if (auto* combo = dynamic_cast<juce::ComboBox*> (c))
                text << combo->getSelectedId() << " " << combo->getText() << "; ";
            else if (auto* toggle = dynamic_cast<juce::ToggleButton*> (c))
                text << (toggle->getToggleState() ? "on; " : "off; ");
        }

        return text;
    }

    /** The monitor's lines of frames sent. */
    juce::StringArray sentLines()
    {
        juce::StringArray sent;

        for (auto& line : monitorLines())
            if (line.contains (" S "))
                sent.add (line);

        return sent;
    }

    bool idle()
    {
        return harness::pumpUntil ([this] { return mc().requestState == MainComponent::Idle; }, 5000);
    }

    /** Clicks a button, or chooses another item in a combo box, as a user does: the control must
        be enabled, and `messageClass` must go out at once. */
    void useAndExpectASend (juce::Component& control, const char* messageClass = "SetParmVal ")
    {
        ASSERT_TRUE (control.isEnabled());
        const int before = sentLines().size();

        if (auto* combo = dynamic_cast<juce::ComboBox*> (&control))
            harness::choose (*combo, combo->getItemId (combo->getSelectedItemIndex() == 0 ? 1 : 0));
        else
            harness::click (dynamic_cast<juce::Button&> (control));

        const auto sent = sentLines();
        ASSERT_EQ (sent.size(), before + 1);
        EXPECT_TRUE (sent[before].contains (messageClass)) << sent[before];
    }
};

TEST_F (ControlStates, FromStartThroughReadsToAnotherInterfaceAndSearch)
{
    auto box = addInterface (smallInterface());
    auto other = addInterface (smallInterface (0x0222, 0x0B0B0B0B), "Other");
    auto& m = makeComponent (true);
    showMessages();
    harness::AlertCatcher catcher;
    const auto built = smallInterface();

    expectEnabled (false, false, false);
    ASSERT_TRUE (search());
    expectEnabled (false, false, false);
    const int row = m.discovery.devices[0]->serialNumber == built.serialNumber ? 0 : 1;
    selectRow (row);
    expectEnabled (false, false);

    // A read on a slow link, first and over a read already shown: greyed until its last reply,
    // showing the earlier read meanwhile.
    Interface::Fault slow;
    slow.delayMs = 400;
    box->setFault (Request::routeInfo, slow);

    for (int read = 0; read < 2; ++read)
    {
        SCOPED_TRACE (read);
        harness::click (m.getSettingsButton);
        ASSERT_TRUE (harness::pumpUntil ([&m] { return m.requestState == MainComponent::ReadingRouteInfo; }));
        expectEnabled (false, false);
        tryEveryControl();
        EXPECT_EQ (m.enableToggle.getToggleState(), read == 1);
        EXPECT_EQ (m.selectorCombo.getText(), read == 1 ? "Preset" : "");
        ASSERT_TRUE (idle());
        expectEnabled (true, true);
    }

    // A write, a route mask and a store on the slow link: greyed while each acknowledgement is awaited.
    box->setFault (Request::selectorWrite, slow);
    box->setFault (Request::routeWrite, slow);
    box->setFault (Request::store, slow);

    for (auto* button :
         std::initializer_list<juce::Button*> { &m.enableToggle, &m.routeToAllSelectorsToggle, &m.saveSettingsButton })
    {
        SCOPED_TRACE (button->getButtonText());
        useAndExpectASend (*button, button == &m.saveSettingsButton ? "SetCmdVal " : "SetParmVal ");
        expectEnabled (false, false);
        tryEveryControl();
        ASSERT_TRUE (idle());
        expectEnabled (true, true);
    }

    // Another interface: an empty editor, greyed, and no store, which would go out on its ports.
    // Back on the row read, the store acts again; the editor waits for a new read.
    selectRow (1 - row);
    expectEnabled (false, false);
    selectRow (row);
    expectEnabled (false, true);
    harness::click (m.searchButton);
    expectEnabled (false, false, false);
    ASSERT_TRUE (idle());
    expectEnabled (false, false, false);

    settle();
    EXPECT_TRUE (catcher.alerts.empty());
    EXPECT_EQ (box->getStoreCount(), 1);
    EXPECT_EQ (box->getRequestCount (Request::selectorWrite) + box->getRequestCount (Request::routeWrite), 2);
    EXPECT_EQ (box->getSelector (0).enabled, 0);
    EXPECT_EQ (box->getRouteMask (1)[0], 0);
    EXPECT_TRUE (box->getSelector (1) == built.selectors[1]);
    EXPECT_EQ (other->getRequestCount (Request::store), 0);
}

// "Get Settings" reads the interface selected in the list: it can be used exactly while one is, a
// read under way included, and greyed it reads nothing.
TEST_F (ControlStates, GetSettingsCanBeUsedExactlyWhileAnInterfaceIsSelected)
{
    auto box = addInterface (smallInterface());
    auto& m = makeComponent (true);
    showMessages();
    harness::AlertCatcher catcher;

    const auto expectGreyedAndReadingNothing = [&] (const char* when)
    {
        SCOPED_TRACE (when);
        EXPECT_FALSE (m.getSettingsButton.isEnabled());
        const auto state = m.requestState;
        const auto reads = box->getRequestCount (Request::midiInfo);
        harness::click (m.getSettingsButton);
        EXPECT_EQ (m.requestState, state);
        settle();
        EXPECT_EQ (box->getRequestCount (Request::midiInfo), reads) << "a greyed click read the interface";
    };

    expectGreyedAndReadingNothing ("at start-up");

    // Two searches that find the interface, then one that finds nothing.
    for (int search = 0; search < 3; ++search)
    {
        SCOPED_TRACE (search);
        const bool findsNothing = search == 2;

        if (findsNothing)
            box->setFault (Request::discovery, noReply());

        harness::click (m.searchButton);
        ASSERT_EQ (m.requestState, MainComponent::Discovering);
        expectGreyedAndReadingNothing ("while the search goes on");
        ASSERT_TRUE (idle());
        ASSERT_EQ (m.deviceListBox->getNumRows(), findsNothing ? 0 : 1);
        expectGreyedAndReadingNothing (findsNothing ? "nothing found" : "listed, none chosen");

        if (findsNothing)
            break;

        selectRow (0);
        EXPECT_TRUE (m.getSettingsButton.isEnabled());
        Interface::Fault slow;
        slow.delayMs = 300;
        slow.times = 1;
        box->setFault (Request::routeInfo, slow);
        harness::click (m.getSettingsButton);
        ASSERT_TRUE (harness::pumpUntil ([&m] { return m.requestState == MainComponent::ReadingRouteInfo; }));
        EXPECT_TRUE (m.getSettingsButton.isEnabled()) << "a read under way can be started again";

        const auto reads = box->getRequestCount (Request::midiInfo);
        harness::click (m.getSettingsButton);
        EXPECT_TRUE (harness::pumpUntil ([&] { return box->getRequestCount (Request::midiInfo) == reads + 1; }));
        ASSERT_TRUE (idle());
        EXPECT_TRUE (m.settingsLoaded && m.getSettingsButton.isEnabled());
    }

    settle (300);
    EXPECT_TRUE (catcher.alerts.empty());
    EXPECT_EQ (box->getRequestCount (Request::midiInfo), 4);
}

// Greyed, the editor shows the same values, but each control, each label naming one and the
// routing frame look greyed; nothing outside the editor changes its look.
TEST_F (ControlStates, EveryGreyedControlLooksGreyedAndSoDoTheLabelsNamingThem)
{
    auto box = addInterface (smallInterface());
    auto& m = makeComponent (true);
    harness::AlertCatcher catcher;
    ASSERT_TRUE (searchSelectAndRead());
    Interface::Fault slow;
    slow.delayMs = 400;
    box->setFault (Request::store, slow);

    auto editor = editorControls();
    const std::vector<juce::Component*> topBar = { &m.searchButton,           &m.getSettingsButton,  &m.clearLogButton,
                                                   &m.showMidiMessagesToggle, m.deviceListBox.get(), &m.midiMonitor,
                                                   &m.selectInterfaceLabel,   &m.versionLabel };

    // A combo box's text is a label of its own, compared with the combo box.
    for (auto* label : harness::findAll<juce::Label> (m))
        if (std::find (topBar.begin(), topBar.end(), label) == topBar.end()
            && dynamic_cast<juce::ComboBox*> (label->getParentComponent()) == nullptr)
            editor.push_back (label);

    const auto drawn = [&m] { return m.createComponentSnapshot (m.getLocalBounds()); };
    const auto areaOf = [&m] (juce::Component* c) { return m.getLocalArea (c->getParentComponent(), c->getBounds()); };
    const auto nameOf = [] (juce::Component* c)
    {
        if (auto* b = dynamic_cast<juce::Button*> (c))
            return "button " + b->getButtonText() + " at " + b->getBounds().toString();

        if (auto* l = dynamic_cast<juce::Label*> (c))
            return "label " + l->getText();

        return "combo at " + c->getBounds().toString();
    };

    // The title and top edge of the routing frame, above the controls it holds.
    const auto frameTitle = areaOf (&m.globalRoutingGroup).withHeight (15);
    std::set<juce::Component*> compared;

    // Program Change ("Preset"), then Control Change ("Scene") in each mode: between them every
    // control and label shows. The Preset selector listens on channels 1 and 3 of the sixteen.
    for (int layout = 0; layout < 4; ++layout)
    {
        SCOPED_TRACE (layout);

        if (layout == 1)
            harness::choose (m.selectorCombo, 2);
        else if (layout > 1)
            harness::choose (m.ccModeCombo, layout == 2 ? 1 : 3);

        ASSERT_TRUE (idle());

        if (layout == 0)
        {
            EXPECT_TRUE (m.channelCheckboxes[0].getToggleState() && ! m.channelCheckboxes[1].getToggleState());
        }

        // A button flashes after a click and lights up under the pointer, which other tests'
        // windows may move this window out from under: only a button at rest both times counts.
        const auto atRest = [&topBar]
        {
            std::set<juce::Component*> resting;

            for (auto* c : topBar)
                if (auto* b = dynamic_cast<juce::Button*> (c);
                    b == nullptr || b->getState() == juce::Button::buttonNormal)
                    resting.insert (c);

            return resting;
        };

        harness::pumpUntil ([&] { return atRest().size() == topBar.size(); }, 1000);
        const auto enabled = drawn();
        const auto restingBefore = atRest();
        const auto values = shownValues();

        harness::click (m.saveSettingsButton);
        ASSERT_FALSE (m.enableToggle.isEnabled());
        const auto greyed = drawn();
        const auto restingAfter = atRest();
        EXPECT_EQ (shownValues(), values);

        for (auto* c : editor)
        {
            if (! c->isShowing())
                continue;

            compared.insert (c);
            EXPECT_TRUE (harness::imagesDiffer (enabled, greyed, areaOf (c))) << nameOf (c) << " looks usable";
        }

        EXPECT_TRUE (harness::imagesDiffer (enabled, greyed, frameTitle)) << "the routing frame looks usable";

        for (auto* c : topBar)
        {
            if (restingBefore.count (c) != 0 && restingAfter.count (c) != 0)
            {
                EXPECT_FALSE (harness::imagesDiffer (enabled, greyed, areaOf (c))) << nameOf (c) << " changed its look";
            }
        }

        ASSERT_TRUE (idle());
    }

    EXPECT_EQ (compared.size(), editor.size()) << "some control or label never showed";
    EXPECT_TRUE (catcher.alerts.empty());
}

// The tick box, the one widget whose look the program changes: drawn as JUCE draws it while
// enabled, at half its opacity while greyed.
TEST (EditorLook, ATickBoxIsDrawnAsJuceDrawsItUnlessGreyedThenAtHalfOpacity)
{
    EditorLookAndFeel ours;
    juce::LookAndFeel_V4 juces;
    juce::ToggleButton tickBox;
    tickBox.setSize (24, 24);

    const auto draw = [&tickBox] (juce::LookAndFeel& lookAndFeel)
    {
        tickBox.setLookAndFeel (&lookAndFeel);
        auto image = tickBox.createComponentSnapshot (tickBox.getLocalBounds());
        tickBox.setLookAndFeel (nullptr);
        return image;
    };

    const auto strongestAlpha = [] (const juce::Image& image)
    {
        int alpha = 0;

        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                alpha = juce::jmax (alpha, (int) image.getPixelAt (x, y).getAlpha());

        return alpha;
    };

    for (bool ticked : { false, true })
    {
        SCOPED_TRACE (ticked);
        tickBox.setToggleState (ticked, juce::dontSendNotification);
        tickBox.setEnabled (true);
        const auto usable = draw (ours);
        EXPECT_FALSE (harness::imagesDiffer (usable, draw (juces), usable.getBounds()));

        tickBox.setEnabled (false);
        const auto greyed = draw (ours);
        EXPECT_GT (strongestAlpha (usable), 100);
        EXPECT_NEAR (strongestAlpha (greyed), strongestAlpha (usable) / 2, 2);
    }
}

TEST_F (ControlStates, AfterAReadEveryKindOfEditorControlSendsItsWriteAtOnce)
{
    addInterface (smallInterface());
    auto& m = makeComponent (true);
    showMessages();
    harness::AlertCatcher catcher;
    ASSERT_TRUE (searchSelectAndRead());
    int writes = 0;

    // Preset reacts to Program Change, Scene to Control Change: between them every control shows.
    for (int selector : { 1, 2 })
    {
        harness::choose (m.selectorCombo, selector);
        EXPECT_EQ (m.device.settings.currentSelector, selector);

        for (auto* c : editorControls())
        {
            if (! c->isShowing() || c == &m.selectorCombo || c == &m.midiInputPortCombo)
                continue;

            // A radio toggle already on is the one click that changes nothing.
            if (auto* b = dynamic_cast<juce::Button*> (c);
                b != nullptr && b->getRadioGroupId() != 0 && b->getToggleState())
                continue;

            ++writes;
            useAndExpectASend (*c);
            ASSERT_TRUE (idle());
        }
    }

    EXPECT_GE (writes, 30);
    EXPECT_TRUE (catcher.alerts.empty());
}

//==============================================================================
enum class Link
{
    slow,
    silent,
    late
};

class InFlight : public ControlStates, public ::testing::WithParamInterface<std::tuple<Link, Request>>
{
};

// A request in flight greys every control that cannot act; when the wait ends, by a reply or a
// time-out, each control the rule enables acts on its click at once. Only a time-out raises an
// alert, and the interface ends up holding exactly what was read and chosen.
TEST_P (InFlight, GreysTheControlsUntilTheWaitEndsThenEveryClickActs)
{
    const auto [link, request] = GetParam();
    auto built = smallInterface();
    auto box = addInterface (built);
    auto& m = makeComponent (true);
    showMessages();
    harness::AlertCatcher catcher;
    ASSERT_TRUE (searchSelectAndRead());

    Interface::Fault fault;
    fault.times = 1;
    fault.noReply = link == Link::silent;
    fault.delayMs = link == Link::slow ? 700 : link == Link::late ? 1800 : 0;
    box->setFault (request, fault);

    auto& start = request == Request::routeInfo       ? (juce::Button&) m.getSettingsButton
                  : request == Request::selectorWrite ? (juce::Button&) m.enableToggle
                  : request == Request::routeWrite    ? (juce::Button&) m.routeToAllSelectorsToggle
                                                      : (juce::Button&) m.saveSettingsButton;
    harness::click (start);
    ASSERT_NE (m.requestState, MainComponent::Idle);
    built.selectors[0].enabled ^= request == Request::selectorWrite ? 1 : 0;
    built.ports[0].routeMask[0] &= request == Request::routeWrite ? 0xF7 : 0xFF;

    if (request == Request::routeInfo)
    {
        ASSERT_TRUE (harness::pumpUntil ([&m] { return m.requestState == MainComponent::ReadingRouteInfo; }));
    }

    expectEnabled (false, false);
    const auto sent = sentLines();
    tryEveryControl();
    EXPECT_EQ (sentLines(), sent) << "a greyed control sent something";

    if (link == Link::slow)
        ASSERT_TRUE (idle());
    else
        ASSERT_TRUE (harness::pumpUntil ([&] { return ! catcher.alerts.empty() && catcher.openCount() == 0; }));

    // A read cut short leaves nothing to edit; the interface still stores what it holds.
    const bool readCutShort = request == Request::routeInfo && link != Link::slow;
    expectEnabled (! readCutShort, true);

    // An edit and a store, the one of the other kind than the request in flight first: on a late
    // link the late reply comes while it is awaited, and judged by its rule would be a refusal.
    const std::initializer_list<juce::Button*> next =
        request == Request::store ? std::initializer_list<juce::Button*> { &m.enableToggle, &m.saveSettingsButton }
                                  : std::initializer_list<juce::Button*> { &m.saveSettingsButton, &m.enableToggle };

    for (auto* button : next)
    {
        if (button == &m.enableToggle && readCutShort)
            continue;

        useAndExpectASend (*button, button == &m.saveSettingsButton ? "SetCmdVal " : "SetParmVal ");
        built.selectors[0].enabled ^= button == &m.enableToggle ? 1 : 0;
        ASSERT_TRUE (idle());
    }

    settle (link == Link::late ? 300 : 20);
    EXPECT_EQ (m.requestState, MainComponent::Idle);

    ASSERT_EQ (catcher.alerts.size(), link == Link::slow ? 0u : 1u);

    for (auto& alert : catcher.alerts)
        EXPECT_EQ (alert.title, "Time Out Error");

    harness::click (m.getSettingsButton);
    ASSERT_TRUE (idle());
    ASSERT_TRUE (m.settingsLoaded && ! m.settingsPartlyRead);
    EXPECT_EQ (box->getStoreCount(), request == Request::store ? 2 : 1);

    for (int k = 0; k < 3; ++k)
        EXPECT_EQ (fieldsOf (box->getSelector (k)), fieldsOf (built.selectors[(size_t) k])) << "selector " << k;

    for (int p = 1; p <= (int) built.ports.size(); ++p)
        EXPECT_TRUE (box->getRouteMask (p) == built.ports[(size_t) p - 1].routeMask) << "port " << p;
}

std::string nameOf (const ::testing::TestParamInfo<InFlight::ParamType>& info)
{
    const char* const links[] = { "slow", "silent", "late" };
    const auto request = std::get<1> (info.param);
    const char* const kind = request == Request::routeInfo       ? "read"
                             : request == Request::selectorWrite ? "write"
                             : request == Request::routeWrite    ? "route"
                                                                 : "store";
    return std::string (links[(int) std::get<0> (info.param)]) + "_" + kind;
}

INSTANTIATE_TEST_SUITE_P (EveryLink,
                          InFlight,
                          ::testing::Combine (::testing::Values (Link::slow, Link::silent, Link::late),
                                              ::testing::Values (Request::routeInfo,
                                                                 Request::selectorWrite,
                                                                 Request::routeWrite,
                                                                 Request::store)),
                          nameOf);
} // namespace
