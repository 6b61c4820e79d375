#include "harness/GuiTestHelpers.h"

#include <gtest/gtest.h>

// The application's warnings are synchronous message boxes shown from inside the message loop;
// the catcher must see them as the user would and press their button.
TEST (AlertCatcher, CapturesAndDismissesASynchronousMessageBox)
{
    harness::AlertCatcher catcher;
    bool returned = false;

    juce::MessageManager::callAsync (
        [&returned]
        {
            juce::AlertWindow::showMessageBox (juce::MessageBoxIconType::WarningIcon, "Title", "Message", "Shucks");
            returned = true;
        });

    ASSERT_TRUE (harness::pumpUntil ([&returned] { return returned; }, 10000));
    ASSERT_EQ (catcher.alerts.size(), 1u);
    EXPECT_EQ (catcher.alerts[0].title, "Title");
    EXPECT_EQ (catcher.alerts[0].message, "Message");
    EXPECT_EQ (catcher.alerts[0].buttons, juce::StringArray ({ "Shucks" }));
    EXPECT_EQ (catcher.openCount(), 0);
}
