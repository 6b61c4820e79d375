#include "GuiTestHelpers.h"
#include <atomic>

namespace harness
{
bool pumpUntil (const std::function<bool()>& condition, int timeoutMs)
{
    auto* mm = juce::MessageManager::getInstance();
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() >= end)
            return condition();

        mm->runDispatchLoopUntil (2);
    }

    return true;
}

void pump (int milliseconds) { juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds); }

//==============================================================================
AlertCatcher::AlertCatcher (int keepOpen)
    : keepOpenMs (keepOpen)
{
    startTimer (5);
}

AlertCatcher::~AlertCatcher() { stopTimer(); }

int AlertCatcher::openCount() const
{
    int count = 0;

    for (auto& entry : seen)
        if (entry.first != nullptr && entry.first->isCurrentlyModal (false))
            ++count;

    return count;
}

void AlertCatcher::timerCallback()
{
    const auto now = juce::Time::getMillisecondCounter();

    for (int i = 0; i < juce::ModalComponentManager::getInstance()->getNumModalComponents(); ++i)
    {
        auto* alert =
            dynamic_cast<juce::AlertWindow*> (juce::ModalComponentManager::getInstance()->getModalComponent (i));

        if (alert == nullptr)
            continue;

        const bool known = std::any_of (seen.begin(), seen.end(), [alert] (auto& e) { return e.first == alert; });

        if (known)
            continue;

        AlertRecord record;
        record.title = alert->getName();
        // The window keeps its message private; its accessible description is "title. message".
        record.message = alert->getDescription().fromFirstOccurrenceOf (record.title + ". ", false, false);

        for (auto* button : findAll<juce::TextButton> (*alert))
            record.buttons.add (button->getButtonText());

        alerts.push_back (record);
        seen.emplace_back (alert, now);
    }

    for (auto& entry : seen)
    {
        auto* alert = entry.first.getComponent();

        if (alert == nullptr || ! alert->isCurrentlyModal (false) || now - entry.second < (juce::uint32) keepOpenMs)
            continue;

        // Only the topmost alert can take a click; nested ones are pressed from the top down.
        if (juce::Component::getCurrentlyModalComponent() != alert)
            continue;

        auto buttons = findAll<juce::TextButton> (*alert);

        if (! buttons.empty())
            buttons.front()->triggerClick();
        else
            alert->exitModalState (0);

        entry.second = now + 100000; // pressed; do not press again while it closes
    }
}

//==============================================================================
juce::Button* findButton (juce::Component& root, const juce::String& text)
{
    for (auto* button : findAll<juce::Button> (root))
        if (button->getButtonText() == text)
            return button;

    return nullptr;
}

juce::Label* findLabel (juce::Component& root, const juce::String& text)
{
    for (auto* label : findAll<juce::Label> (root))
        if (label->getText() == text)
            return label;

    return nullptr;
}

void handlePending()
{
    auto handled = std::make_shared<std::atomic<bool>> (false);
    juce::MessageManager::callAsync ([handled] { *handled = true; });
    pumpUntil ([handled] { return handled->load(); }, 10000);
}

void click (juce::Button& button)
{
    button.triggerClick();
    handlePending();
    pump (5);
}

void choose (juce::ComboBox& combo, int itemId)
{
    // A greyed combo box takes no choice, as a greyed button takes no click.
    if (combo.isEnabled())
        combo.setSelectedId (itemId, juce::sendNotificationAsync);

    handlePending();
    pump (5);
}

//==============================================================================
juce::File outputDirectory()
{
    auto path = juce::SystemStats::getEnvironmentVariable ("QUORVEL_TEST_OUTPUT", {});
    auto dir =
        path.isNotEmpty() ? juce::File (path) : juce::File::getCurrentWorkingDirectory().getChildFile ("test-output");
    dir.createDirectory();
    return dir;
}

bool imagesDiffer (const juce::Image& a, const juce::Image& b, juce::Rectangle<int> area)
{
    area = area.getIntersection (a.getBounds()).getIntersection (b.getBounds());

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                return true;

    return false;
}

bool saveSnapshot (juce::Component& component, const juce::File& file)
{
    auto image = component.createComponentSnapshot (component.getLocalBounds());
    file.deleteFile();
    juce::FileOutputStream out (file);

    if (! out.openedOk())
        return false;

    juce::PNGImageFormat png;
    return png.writeImageToStream (image, out);
}

bool saveScreen (const juce::File& file, juce::Component* window)
{
    const juce::File grabber ("/usr/bin/import");

    if (! grabber.existsAsFile())
        return false;

    // Other test processes share the X server, so a single window is grabbed where one is given.
    juce::StringArray command { grabber.getFullPathName(), "-window", "root" };

    if (auto* peer = window != nullptr ? window->getPeer() : nullptr)
        command = { grabber.getFullPathName(),
                    "-frame",
                    "-window",
                    juce::String ((juce::uint64) (juce::pointer_sized_uint) peer->getNativeHandle()) };

    command.add (file.getFullPathName());
    juce::ChildProcess process;

    if (! process.start (command))
        return false;

    // Keep the message loop running while the grabber talks to the X server.
    pumpUntil ([&] { return ! process.isRunning(); }, 20000);
    return process.getExitCode() == 0 && file.existsAsFile();
}
} // namespace harness
