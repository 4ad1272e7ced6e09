// The chosen display mode: the window's client size and the size of screen-sized render targets.
#pragma once

#include <cstdint>

// 1280 x 720 x 32 until a display mode is chosen, and when the platform lists none.
extern std::int32_t screenWidth;
extern std::int32_t screenHeight;
extern std::uint8_t screenBits;
