#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace harness
{
/** The X events that Xlib has already read from the server but that nobody has handled yet. */
int eventsXlibHasRead();

/** Hands the events Xlib has already read to the window system, as the next event from the
    server would; false when there were none. */
bool deliverEventsXlibHasRead();
} // namespace harness
