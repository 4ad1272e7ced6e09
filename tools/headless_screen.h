// The window's stand-in for tools and benchmarks that render the show without one: a surfaceless
// OpenGL context with a framebuffer of the screen's size, and the read-back of the picture drawn
// into it. Every step is checked, so that a render target the driver cannot make is reported and
// never read back as a black picture. GL thread only.
//
// With more than one sample a pixel the screen is drawn at a multiple of the picture's size (the
// show sees that as its screen size) and reduced on the GPU, in linear light, when read back. A
// second screen of the picture's own size is kept beside it for pictures that must not be
// supersampled (see selectScreen).
#pragma once

#include <optional>
#include <string>

#include "gl/offscreen_screen.h"
#include "gl/picture_reduction.h"
#include "png/png_encoder.h"

// The framebuffer standing in for the window; it lives as long as the tool draws.
struct HeadlessScreen {
    OffscreenScreen framebuffer;  // the screen the show draws into, samples times the picture's pixels
    OffscreenScreen plain;        // with more than one sample a pixel: a screen of the picture's size
    PictureReduction reduction;   // only with more than one sample a pixel
    int width = 0;                // the picture read back
    int height = 0;
    bool supersampled = false;    // the screen the show draws into now is `framebuffer`, not `plain`
};

// The side of the square grid of samples in a pixel for 1, 4, 9 or 16 samples; 0 for any other count.
int sampleGridSide(int samples);

// Makes the context current, fetches the entry points, sets screenWidth and screenHeight to the
// given size and points screenFramebuffer at a new framebuffer of that size, checking that it is
// complete. With `samples` (1, 4, 9 or 16) above 1 the screen is sqrt(samples) times the size in
// each direction, and the plain screen of the picture's size is the one selected on return, so
// that the show's screen-sized render targets made next are of the picture's size. On failure
// (the driver cannot hold a screen that large among others) returns why, in a few words.
[[nodiscard]] std::optional<std::string> openHeadlessScreen(HeadlessScreen& screen, int width, int height,
                                                            int samples = 1);

// The stand-in window's picture as 8-bit RGBA rows top first; the driver converts and clamps the
// framebuffer's values. On failure (an incomplete framebuffer, a GL error in drawing it or in
// reading it back) returns why and leaves `image` empty.
[[nodiscard]] std::optional<std::string> readScreen(int width, int height, RgbaImage& image);

// Points the show (screenWidth, screenHeight, screenFramebuffer, the viewport) at the supersampled
// screen or at the plain one. Without supersampling there is only the one screen.
void selectScreen(HeadlessScreen& screen, bool supersampled);

// The picture of the selected screen at its picture size: the screen itself, or its reduction when it is
// drawn with more than one sample a pixel. Failures as readScreen.
[[nodiscard]] std::optional<std::string> readPicture(const HeadlessScreen& screen, RgbaImage& image);
