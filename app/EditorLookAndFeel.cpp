#include "EditorLookAndFeel.h"

void EditorLookAndFeel::drawTickBox (juce::Graphics& g,
                                     juce::Component& component,
                                     float x,
                                     float y,
                                     float w,
                                     float h,
                                     bool ticked,
                                     bool isEnabled,
                                     bool shouldDrawButtonAsHighlighted,
                                     bool shouldDrawButtonAsDown)
{
    const auto draw = [&]
    {
        LookAndFeel_V4::drawTickBox (
            g, component, x, y, w, h, ticked, isEnabled, shouldDrawButtonAsHighlighted, shouldDrawButtonAsDown);
    };

    if (isEnabled)
    {
        draw();
        return;
    }

    // The same opacity JUCE gives a disabled toggle's text.
    g.beginTransparencyLayer (0.5f);
    draw();
    g.endTransparencyLayer();
}
