#include "gl/offscreen_screen.h"

#include "gl/gl_api.h"
#include "gl/screen_size.h"

OffscreenScreen makeOffscreenScreen(int width, int height) {
    screenWidth = width;
    screenHeight = height;
    OffscreenScreen screen;
    screen.texture = createTexture(width, height, kTextureFormatRGBA32F, nullptr, false, 0);
    makeRenderTarget(screen.target, static_cast<std::uint32_t>(screen.texture.id));
    screenFramebuffer = screen.target.framebuffer;
    glViewport(0, 0, width, height);
    return screen;
}
