#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The application object: names the program, opens the one main window and deletes it at the
    end, which tears down the main component with every open MIDI port and timer. */
class Vantorel : public juce::JUCEApplication
{
public:
    Vantorel();
    ~Vantorel() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String& commandLine) override;
    void systemRequestedQuit() override;

    /** The main window: a resizable desktop window with a native title bar, whose content is
        the main component. */
    class MainWindow : public juce::DocumentWindow
    {
    public:
        explicit MainWindow (const juce::String& name);
        ~MainWindow() override;

        /** Asks the application to quit; the window goes when the application shuts down. */
        void closeButtonPressed() override;

    private:
        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
    };

    /** The main window while the application runs; null before initialise and after shutdown. */
    MainWindow* getMainWindow() const noexcept { return mainWindow.get(); }

private:
    std::unique_ptr<MainWindow> mainWindow;
};
