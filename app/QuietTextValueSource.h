#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A text editor's copy of its own text, kept without telling anyone that it changed, so that
    the editor never sets its text back to an older copy.

    Works around JUCE 7.0.5's TextEditor, which copies its text into its text Value when it loses
    the keyboard focus and hears of that change later, asynchronously. It then takes the Value's
    text as its own when others share the Value, which it tells by the Value's reference count;
    but the notice itself holds a reference, so the editor always does, and text inserted between
    the copy and the notice is erased. The editor still makes its copy on the same occasions with
    this source; it just never hears of it.

    Nothing else may share the text Value of an editor given this source: no one would hear of
    its changes. This can go once JUCE tells a change the editor made from one made by others.
*/
class QuietTextValueSource : public juce::Value::ValueSource
{
public:
    /** Gives `editor` a text Value that holds the editor's present text and tells no one of
        changes. */
    static void installIn (juce::TextEditor& editor);

    juce::var getValue() const override;
    void setValue (const juce::var& newValue) override;

private:
    explicit QuietTextValueSource (const juce::var& initialValue);

    juce::var value;

    JUCE_DECLARE_NON_COPYABLE (QuietTextValueSource)
};
