#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The main component's look: JUCE's own, except that a greyed tick box looks greyed.

    JUCE draws a disabled toggle's text at half opacity but its tick box exactly as an enabled one.
    A channel box has no text, so greyed it would look usable and refuse a click without a sign.
*/
class EditorLookAndFeel : public juce::LookAndFeel_V4
{
public:
    void drawTickBox (juce::Graphics& g,
                      juce::Component& component,
                      float x,
                      float y,
                      float w,
                      float h,
                      bool ticked,
                      bool isEnabled,
                      bool shouldDrawButtonAsHighlighted,
                      bool shouldDrawButtonAsDown) override;
};
