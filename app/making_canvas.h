// Making mode's picture: the show draws into a framebuffer of the window's size, which is then
// copied to the window with the readout over it. A held picture can so be shown again (after an
// expose, with a changed readout) without drawing the show again.
#pragma once

#include <cstdint>

#include "gl/gl_base.h"

// The canvas's internal format: 8-bit RGBA, as the window.
inline constexpr GLenum kMakingCanvasFormat = kGlRGBA8;

struct MakingCanvas {
    std::uint32_t framebuffer = 0;  // 0: none could be made; the show then draws to the window
    int width = 0;
    int height = 0;
};

// Makes the canvas (8-bit RGBA, as the window) and points screenFramebuffer at it, so that the
// director draws there. Needs the OpenGL entry points; false (and nothing changed) when the
// driver cannot make it.
bool makeMakingCanvas(MakingCanvas& canvas, int width, int height);

// Clears the canvas (or the window without one) to black before the show draws: a part that
// draws nothing shows black, as `qvtool frame` gives it.
void clearCanvas(const MakingCanvas& canvas);

// Where the canvas goes in a window of `windowWidth` x `windowHeight`: as large as fits with its
// shape kept, centred; the rest of the window is black.
struct CanvasPlace {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const CanvasPlace&) const = default;
};
CanvasPlace placeCanvas(int canvasWidth, int canvasHeight, int windowWidth, int windowHeight);

// Copies the canvas, scaled into its place, to the window's back buffer (`windowWidth` x
// `windowHeight`, which may have been resized since) and leaves the window's framebuffer bound.
void presentCanvas(const MakingCanvas& canvas, int windowWidth, int windowHeight);
