#pragma once

#include <functional>
#include <juce_gui_basics/juce_gui_basics.h>

/** Keeps the keyboard on the control the user put it on, across the greying of that control,
    alerts and switches between windows.

    Works around JUCE 7.0.5, which:
    - takes the keyboard from a control as it is greyed and gives it back to nothing when the
      control can act again;
    - notes a window's focused control only when the window hears that it lost the system focus,
      which an alert taking the keyboard precedes, so that the window later gives the keyboard to
      a control the user left long before, or to itself;
    - gives the keyboard to the window itself when the system focus comes back and its note names
      nothing that can take it.

    The holder, a component that holds the controls, takes the keyboard while the control that had
    it is greyed: keys pressed meanwhile act on nothing. It must pass on its own focus callbacks
    and keys. This can go once JUCE keeps a greyed control's focus to give back, and notes the
    focus whenever it moves within a window.
*/
class KeyboardFocusKeeper : private juce::FocusChangeListener
{
public:
    /** `replyAwaited` tells whether a reply is awaited: the keyboard stays with the holder until
        none is. */
    KeyboardFocusKeeper (juce::Component& holder, std::function<bool()> replyAwaited);
    ~KeyboardFocusKeeper() override;

    /** Call before greying `control`: if the keyboard is on it, the holder takes it for it. */
    void aboutToGrey (juce::Component& control);

    /** Call whenever which controls can act may have changed: the keyboard goes back to the
        control it is held for once that control can act and no reply is awaited. */
    void returnKeyboardFocus();

    /** Shows a modal alert through `show`; the keyboard comes back to the user's control after it. */
    void aroundAlert (const std::function<void()>& show);

    /** The holder's focusGained, focusLost and keyPressed pass on to these. */
    void holderGainedFocus();
    void holderLostFocus();
    bool holderKeyPressed();

private:
    void holdKeyboardFocusFor (juce::Component& control);
    void releaseKeyboardFocus();
    static bool visibleInAWindow (juce::Component& control);
    void globalFocusChanged (juce::Component* focused) override;
    void noteKeyboardFocusForWindow();
    void keyboardFocusAfterAlert (juce::Component* focused);

    juce::Component& holder;
    std::function<bool()> replyAwaited;

    /** The control that had the keyboard focus when it was greyed, while the holder holds the
        focus for it. */
    juce::Component::SafePointer<juce::Component> focusHeldFor;

    /** The control inside the holder that last had the keyboard focus. */
    juce::Component::SafePointer<juce::Component> lastFocusedControl;

    JUCE_DECLARE_NON_COPYABLE (KeyboardFocusKeeper)
};
