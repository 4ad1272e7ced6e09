// What the SDL backend offers its tests beyond the common boundary: the step that puts the
// window on screen, with the full-screen switch passed in so that a refusing one can stand in.
#pragma once

#include <SDL.h>

namespace platform::sdl {

// Shows `window` and, when `mode` is given, switches it to full screen in that mode through
// `switchFullScreen` (SDL_SetWindowFullscreen in the production): SDL changes the display mode
// only for a window on screen, so this is where a refusal shows. Switched: the cursor is hidden.
// Refused: the window stays framed with a client area of width x height and the cursor visible.
// False exactly when the switch was refused.
bool showOnScreen(SDL_Window* window, const SDL_DisplayMode* mode, int width, int height,
                  int (*switchFullScreen)(SDL_Window*, Uint32));

}  // namespace platform::sdl
