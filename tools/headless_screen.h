// The window's stand-in for tools that render the show without one: a surfaceless OpenGL context
// with a framebuffer of the screen's size, and the read-back of the picture drawn into it.
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
// given size and points screenFramebuffer at a new framebuffer of that size. On failure returns
// why, in a few words.
std::optional<std::string> openHeadlessScreen(HeadlessScreen& screen, int width, int height);

// The stand-in window's picture, as 8-bit RGBA rows top first. Runs on the GL thread.
RgbaImage readScreen(int width, int height);
