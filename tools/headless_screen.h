// The window's stand-in for tools and benchmarks that render the show without one: a surfaceless
// OpenGL context with a framebuffer of the screen's size, and the read-back of the picture drawn
// into it. Every step is checked, so that a render target the driver cannot make is reported and
// never read back as a black picture. GL thread only.
#pragma once

#include <optional>
#include <string>

#include "gl/offscreen_screen.h"
#include "png/png_encoder.h"

// The framebuffer standing in for the window; it lives as long as the tool draws.
struct HeadlessScreen {
    OffscreenScreen framebuffer;
};

// Makes the context current, fetches the entry points, sets screenWidth and screenHeight to the
// given size and points screenFramebuffer at a new framebuffer of that size, checking that it is
// complete. On failure returns why, in a few words.
[[nodiscard]] std::optional<std::string> openHeadlessScreen(HeadlessScreen& screen, int width, int height);

// The stand-in window's picture as 8-bit RGBA rows top first; the driver converts and clamps the
// framebuffer's values. On failure (an incomplete framebuffer, a GL error in drawing it or in
// reading it back) returns why and leaves `image` empty.
[[nodiscard]] std::optional<std::string> readScreen(int width, int height, RgbaImage& image);
