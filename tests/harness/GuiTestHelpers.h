#pragma once

#include <functional>
#include <juce_gui_basics/juce_gui_basics.h>
#include <vector>

/** Helpers for tests that drive JUCE components on the message thread. */
namespace harness
{
/** Runs the message loop until the condition holds or the time runs out; returns the last value. */
bool pumpUntil (const std::function<bool()>& condition, int timeoutMs = 3000);

/** Runs the message loop for the given time. */
void pump (int milliseconds);

/** Runs the message loop until everything posted before the call has been handled: on a loaded
    machine a few milliseconds of the loop may pass without dispatching anything. */
void handlePending();

/** What one modal alert showed before it was dismissed. */
struct AlertRecord
{
    juce::String title;
    juce::String message;
    juce::StringArray buttons;
};

/** Watches for modal alert windows while it exists, records each one and dismisses it by
    pressing its button, as a user would. An alert can be left open for a while first, so that
    a test can see what the program does while it is shown.
*/
class AlertCatcher : private juce::Timer
{
public:
    explicit AlertCatcher (int keepOpenMs = 0);
    ~AlertCatcher() override;

    /** Every alert seen so far, in the order in which they appeared. */
    std::vector<AlertRecord> alerts;

    /** The number of alerts that are open right now (nested alerts count each). */
    int openCount() const;

private:
    void timerCallback() override;

    int keepOpenMs;
    std::vector<std::pair<juce::Component::SafePointer<juce::AlertWindow>, juce::uint32>> seen;
};

/** Every descendant of `root` of type T, in depth-first order. */
template <typename T>
std::vector<T*> findAll (juce::Component& root)
{
    std::vector<T*> found;
    std::function<void (juce::Component&)> visit = [&] (juce::Component& c)
    {
        for (auto* child : c.getChildren())
        {
            if (auto* typed = dynamic_cast<T*> (child))
                found.push_back (typed);
            visit (*child);
        }
    };
    visit (root);
    return found;
}

/** The first button below `root` whose text is `text`, or nullptr. */
juce::Button* findButton (juce::Component& root, const juce::String& text);

/** The first label below `root` whose text is `text`, or nullptr. */
juce::Label* findLabel (juce::Component& root, const juce::String& text);

/** Clicks a button through JUCE's own click path (asynchronous) and lets it be handled. */
void click (juce::Button& button);

/** Selects an item of a combo box as a user's choice does (an asynchronous change notification),
    and lets the notification be handled. */
void choose (juce::ComboBox& combo, int itemId);

/** Whether two pictures of the same size differ in any pixel inside `area`. */
bool imagesDiffer (const juce::Image& a, const juce::Image& b, juce::Rectangle<int> area);

/** Where tests put the pictures they take: $QUORVEL_TEST_OUTPUT, else ./test-output. */
juce::File outputDirectory();

/** Saves a snapshot of a component as PNG; false when nothing could be written. */
bool saveSnapshot (juce::Component& component, const juce::File& file);

/** Saves the real on-screen window of a component as PNG, with the title bar a window manager
    draws around it, or the whole X screen when `window` is null; false when no screen grabber
    is installed or the grab failed. */
bool saveScreen (const juce::File& file, juce::Component* window = nullptr);
} // namespace harness
