#include "QuietTextValueSource.h"

QuietTextValueSource::QuietTextValueSource (const juce::var& initialValue)
    : value (initialValue)
{
}

void QuietTextValueSource::installIn (juce::TextEditor& editor)
{
    // Referring to the new source tells the editor once, synchronously, with the text it holds
    // already: nothing changes.
    editor.getTextValue().referTo (juce::Value (new QuietTextValueSource (editor.getText())));
}

juce::var QuietTextValueSource::getValue() const { return value; }

void QuietTextValueSource::setValue (const juce::var& newValue) { value = newValue; }
