// The per-frame director: reads the clock, picks up edited shaders and draws the frame.
#pragma once

// Draws one complete frame into the window's back buffer.
void drawFrame();
