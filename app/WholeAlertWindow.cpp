#include "WholeAlertWindow.h"

void WholeAlertWindow::showMessageBox (juce::MessageBoxIconType icon,
                                       const juce::String& title,
                                       const juce::String& message,
                                       const juce::String& buttonText)
{
    JUCE_ASSERT_MESSAGE_THREAD

    auto& lookAndFeel = juce::LookAndFeel::getDefaultLookAndFeel();
    std::unique_ptr<juce::AlertWindow> box (
        lookAndFeel.createAlertWindow (title, message, buttonText, {}, {}, icon, 1, nullptr));
    jassert (box != nullptr);

    // Nothing has been handled since the box was built, so no size the server sent back has
    // been adopted yet: the component holds the finished size, the only one the new window is
    // asked for.
    if (box->isOnDesktop())
    {
        box->removeFromDesktop();
        box->addToDesktop();
    }

    box->runModalLoop();
}
