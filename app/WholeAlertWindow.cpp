#include "WholeAlertWindow.h"

void WholeAlertWindow::showMessageBox (juce::MessageBoxIconType icon,
                                       const juce::String& title,
                                       const juce::String& message,
                                       const juce::String& buttonText)
{
    auto& lookAndFeel = juce::LookAndFeel::getDefaultLookAndFeel();
    std::unique_ptr<juce::AlertWindow> box (
        lookAndFeel.createAlertWindow (title, message, buttonText, {}, {}, icon, 1, nullptr));

    // Nothing has been handled since the box was built, so no size the server sent back has
    // been adopted yet: the component holds the finished size, and the new window is made at it.
    if (box->isOnDesktop())
    {
        box->removeFromDesktop();
        box->addToDesktop();
    }

    box->runModalLoop();
}
