#include "KeyboardFocusKeeper.h"

KeyboardFocusKeeper::KeyboardFocusKeeper (juce::Component& holderToUse, std::function<bool()> replyAwaitedToUse)
    : holder (holderToUse)
    , replyAwaited (std::move (replyAwaitedToUse))
{
    juce::Desktop::getInstance().addFocusChangeListener (this);
}

KeyboardFocusKeeper::~KeyboardFocusKeeper() { juce::Desktop::getInstance().removeFocusChangeListener (this); }

void KeyboardFocusKeeper::aboutToGrey (juce::Component& control)
{
    if (control.hasKeyboardFocus (true))
        holdKeyboardFocusFor (*juce::Component::getCurrentlyFocusedComponent());
}

void KeyboardFocusKeeper::aroundAlert (const std::function<void()>& show)
{
    noteKeyboardFocusForWindow();
    const juce::Component::SafePointer<juce::Component> focused (juce::Component::getCurrentlyFocusedComponent());
    show();
    keyboardFocusAfterAlert (focused.getComponent());
}

void KeyboardFocusKeeper::noteKeyboardFocusForWindow()
{
    // When the window gets the system focus back, it hands the keyboard to the component it noted
    // on losing that focus. Around an alert it hears of that loss only once the alert has the
    // keyboard, and of the gain only after the keyboard is back in the window, however late: its
    // note would name a control the user left long before, or nothing, and it would give the
    // keyboard to that or to itself. So the note follows the keyboard, made as the loss makes it,
    // and is made again before each alert, which may come before the last change of focus is seen.
    auto* peer = holder.getPeer();
    auto* focused = juce::Component::getCurrentlyFocusedComponent();

    if (peer == nullptr || focused == nullptr || ! (focused == &holder || holder.isParentOf (focused))
        || ! focused->getWantsKeyboardFocus() || peer->getLastFocusedSubcomponent() == focused)
        return;

    peer->handleFocusLoss();
    peer->handleFocusGain();
}

void KeyboardFocusKeeper::keyboardFocusAfterAlert (juce::Component* focused)
{
    // JUCE's modal loop notes the focus only once the alert has taken it: the keyboard goes back
    // to where the user had it in the holder.
    auto* control = focused == &holder ? focusHeldFor.getComponent() : focused;

    if (control == nullptr || ! holder.isParentOf (control) || ! control->isShowing()
        || control->isCurrentlyBlockedByAnotherModalComponent())
        return;

    if (control->getWantsKeyboardFocus())
    {
        releaseKeyboardFocus();
        control->grabKeyboardFocus();
        return;
    }

    // Greyed while the alert was open: held as the greying would have held it, and noted at once,
    // before the system focus coming back can hand the keyboard elsewhere.
    holdKeyboardFocusFor (*control);
    returnKeyboardFocus();
    noteKeyboardFocusForWindow();
}

void KeyboardFocusKeeper::holdKeyboardFocusFor (juce::Component& control)
{
    holder.setWantsKeyboardFocus (true);
    holder.grabKeyboardFocus();

    if (holder.hasKeyboardFocus (false))
        focusHeldFor = &control;
    else
        holder.setWantsKeyboardFocus (false);
}

void KeyboardFocusKeeper::returnKeyboardFocus()
{
    auto* control = focusHeldFor.getComponent();

    // Keys pressed while a reply is awaited stay with the holder, refused like clicks on the greyed
    // control.
    if (control != nullptr && replyAwaited())
        return;

    // Minimised, nothing shows and nothing can take the keyboard: the hold waits for the window to
    // come back, and holderGainedFocus hands the keyboard on before the first key is seen. Asking
    // is a round trip to the X server, so it is asked once, and only while a hold is on.
    if (control != nullptr && holder.getPeer() != nullptr && holder.getPeer()->isMinimised())
        return;

    if (control == nullptr
        || ! (visibleInAWindow (*control) && control->isEnabled() && control->getWantsKeyboardFocus()))
    {
        releaseKeyboardFocus();
        return;
    }

    auto* focused = juce::Component::getCurrentlyFocusedComponent();

    // With the window in the background the focus goes back when the window gets it again, to
    // the holder first (holderGainedFocus).
    if (focused == nullptr)
        return;

    // The user put the focus on another control: it stays there. JUCE moving it to the window
    // itself was not the user's doing.
    if (focused != &holder && focused != holder.getTopLevelComponent())
    {
        releaseKeyboardFocus();
        return;
    }

    control->grabKeyboardFocus();

    // Held on when the grab failed (the window lost the system focus a moment ago), so that the
    // focus still comes back through holderGainedFocus.
    if (control->hasKeyboardFocus (true))
        releaseKeyboardFocus();
}

bool KeyboardFocusKeeper::visibleInAWindow (juce::Component& control)
{
    // isShowing, less the question to the X server whether the window is minimised: the one
    // caller has just asked it.
    for (auto* c = &control; c != nullptr; c = c->getParentComponent())
        if (! c->isVisible())
            return false;

    return control.getPeer() != nullptr;
}

void KeyboardFocusKeeper::releaseKeyboardFocus()
{
    focusHeldFor = nullptr;
    holder.setWantsKeyboardFocus (false);
}

void KeyboardFocusKeeper::holderGainedFocus()
{
    // Taking the focus for a hold comes here before the hold is recorded, and hands nothing back.
    if (focusHeldFor != nullptr)
        returnKeyboardFocus();
}

void KeyboardFocusKeeper::holderLostFocus()
{
    // The user put the focus on another control: it stays there. The window losing the system
    // focus, or an alert taking it, leaves the hold as it is.
    auto* focused = juce::Component::getCurrentlyFocusedComponent();
    auto* window = holder.getTopLevelComponent();

    if (focused != nullptr && focused != window && window->isParentOf (focused))
        releaseKeyboardFocus();
}

void KeyboardFocusKeeper::globalFocusChanged (juce::Component* focused)
{
    if (focused == nullptr)
        return;

    if (focused == &holder || holder.isParentOf (focused))
    {
        if (focused != &holder)
            lastFocusedControl = focused;

        noteKeyboardFocusForWindow();
        return;
    }

    // The window itself takes the focus when the system focus comes back and its note names
    // nothing that can take the keyboard (the control was greyed or hidden since). The user's
    // control gets it back, or the holder holds it while that control is greyed.
    if (focused != holder.getTopLevelComponent())
        return;

    if (focusHeldFor != nullptr)
    {
        holder.grabKeyboardFocus();
        return;
    }

    auto* control = lastFocusedControl.getComponent();

    if (control != nullptr && control->isShowing() && control->isEnabled() && control->getWantsKeyboardFocus())
        control->grabKeyboardFocus();
}

bool KeyboardFocusKeeper::holderKeyPressed()
{
    // Only keys that come to the holder itself: those of other controls pass on up.
    return focusHeldFor != nullptr && holder.hasKeyboardFocus (false);
}
