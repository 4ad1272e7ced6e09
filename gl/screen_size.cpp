#include "gl/screen_size.h"

std::int32_t screenWidth = 1280;
std::int32_t screenHeight = 720;
std::uint8_t screenBits = 32;
std::uint32_t screenFramebuffer = 0;
