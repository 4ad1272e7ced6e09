// The chosen display mode: the window's client size and the size of screen-sized render targets.
#pragma once

#include <cstdint>

// 1280 x 720 x 32 until a display mode is chosen, and when the platform lists none.
extern std::int32_t screenWidth;
extern std::int32_t screenHeight;
extern std::uint8_t screenBits;

// The framebuffer that stands for the window: 0 (the window itself) in the production; tools
// that render without a window point it at a framebuffer of their own.
extern std::uint32_t screenFramebuffer;
