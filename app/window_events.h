// How the window's events map onto the end of the main loop.
#pragma once

#include "platform/platform.h"

// Escape, closing the window and the window's destruction end the loop; nothing else does
// (other keys, the mouse, resizing).
bool windowEventEndsLoop(const platform::WindowEvent& event);
