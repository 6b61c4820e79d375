#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace harness
{
/** Hands the X events that Xlib has already read from the server, and nobody has handled yet,
    to the window system, as the next event from the server would; false when there were none. */
bool deliverEventsXlibHasRead();
} // namespace harness
