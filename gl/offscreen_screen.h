// A framebuffer that stands in for the window where there is none (tools, benchmarks): the
// passes draw to screenFramebuffer, so pointing it here lets the real director draw off screen.
#pragma once

#include "gl/gl_helpers.h"

struct OffscreenScreen {
    Texture texture;  // RGBA32F, screen-sized
    RenderTarget target;
};

// Sets the screen size to width x height, makes the framebuffer, points screenFramebuffer at it
// and sets the viewport. The OpenGL entry points must be loaded.
OffscreenScreen makeOffscreenScreen(int width, int height);
