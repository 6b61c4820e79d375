// Constructs and destroys the main component in a window, as another program would.
#include "app/MainComponent.h"
#include <cstdio>
#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
juce::JUCEApplicationBase* noApplication() { return nullptr; }
} // namespace

int main()
{
    // JUCE sets up its X error handling only for applications.
    juce::JUCEApplicationBase::createInstance = &noApplication;
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    bool ok = false;

    {
        MainComponent component;
        juce::DocumentWindow window ("Quorvel", juce::Colours::black, juce::DocumentWindow::allButtons);
        window.setContentNonOwned (&component, true);
        window.setVisible (true);
        juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
        ok = component.getWidth() == 652 && component.getHeight() == 468 && component.searchButton.isShowing();
        window.clearContentComponent();
    }

    std::printf ("main component from outside: %s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
