// Real mouse clicks, made through the X server with xdotool on the window as it is shown: a greyed
// control takes none, an enabled one acts on it.
#include "ShownWindow.h"

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
} // namespace
