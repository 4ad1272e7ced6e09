#include "tools/headless_screen.h"

#include <cstdint>
#include <vector>

#include "gl/gl_api.h"
#include "gl/screen_size.h"
#include "platform/platform.h"

std::optional<std::string> openHeadlessScreen(HeadlessScreen& screen, int width, int height) {
    if (!platform::createGlContext()) return "no OpenGL context";
    if (loadGlApi().size() != 0) return "the OpenGL driver lacks entry points";
    // Surfaceless contexts have no window: a framebuffer of the screen's size stands in for it.
    screen.framebuffer = makeOffscreenScreen(width, height);
    return std::nullopt;
}

RgbaImage readScreen(int width, int height) {
    std::vector<float> rgba(static_cast<std::size_t>(width) * height * 4);
    glApi.glBindFramebuffer(kGlFramebuffer, screenFramebuffer);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_FLOAT, rgba.data());
    RgbaImage image{width, height, std::vector<std::uint8_t>(rgba.size())};
    for (int y = 0; y < height; ++y) {
        const float* source = &rgba[static_cast<std::size_t>(height - 1 - y) * width * 4];
        std::uint8_t* target = &image.pixels[static_cast<std::size_t>(y) * width * 4];
        for (int i = 0; i < width * 4; ++i) {
            const float v = source[i] < 0.0f ? 0.0f : (source[i] > 1.0f ? 1.0f : source[i]);
            target[i] = static_cast<std::uint8_t>(v * 255.0f + 0.5f);
        }
    }
    return image;
}
