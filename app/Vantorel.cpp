#include "Vantorel.h"
#include "MainComponent.h"

Vantorel::Vantorel() = default;

Vantorel::~Vantorel() { mainWindow = nullptr; }

const juce::String Vantorel::getApplicationName() { return "Quorvel"; }

const juce::String Vantorel::getApplicationVersion() { return "1.0.0"; }

bool Vantorel::moreThanOneInstanceAllowed() { return true; }

void Vantorel::initialise (const juce::String&) { mainWindow = std::make_unique<MainWindow> (getApplicationName()); }

void Vantorel::shutdown() { mainWindow = nullptr; }

void Vantorel::anotherInstanceStarted (const juce::String&) {}

void Vantorel::systemRequestedQuit() { quit(); }

//==============================================================================
Vantorel::MainWindow::MainWindow (const juce::String& name)
    : juce::DocumentWindow (
        name,
        juce::Desktop::getInstance().getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
        juce::DocumentWindow::allButtons)
{
    setUsingNativeTitleBar (true);
    setContentOwned (new MainComponent(), true);
    setResizable (true, true);
    centreWithSize (getWidth(), getHeight());
    setVisible (true);
}

Vantorel::MainWindow::~MainWindow() = default;

void Vantorel::MainWindow::closeButtonPressed() { juce::JUCEApplication::getInstance()->systemRequestedQuit(); }
