#include "tools/headless_screen.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "gl/gl_api.h"
#include "gl/screen_size.h"
#include "platform/platform.h"

namespace {

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

// The first pending GL error, with every other pending one cleared; empty when there is none.
std::optional<std::string> pendingGlError(const char* during) {
    const GLenum first = glGetError();
    if (first == GL_NO_ERROR) return std::nullopt;
    int cleared = 0;
    while (cleared < 16 && glGetError() != GL_NO_ERROR) ++cleared;
    return std::string("OpenGL error ") + hex(first) + " " + during;
}

std::optional<std::string> checkFramebuffer() {
    if (glApi.glCheckFramebufferStatus == nullptr) return "the OpenGL driver cannot check framebuffers";
    glApi.glBindFramebuffer(kGlFramebuffer, screenFramebuffer);
    const GLenum status = glApi.glCheckFramebufferStatus(kGlFramebuffer);
    if (status != kGlFramebufferComplete) return "the screen's framebuffer is incomplete (status " + hex(status) + ")";
    return std::nullopt;
}

}  // namespace

std::optional<std::string> openHeadlessScreen(HeadlessScreen& screen, int width, int height) {
    if (!platform::createGlContext()) return "no OpenGL context";
    if (loadGlApi().size() != 0) return "the OpenGL driver lacks entry points";
    (void)pendingGlError("");  // start from a clean slate: only errors of what follows count
    // Surfaceless contexts have no window: a framebuffer of the screen's size stands in for it.
    screen.framebuffer = makeOffscreenScreen(width, height);
    if (screenFramebuffer == 0) return "cannot make the screen's framebuffer";
    if (auto error = pendingGlError("making the screen's framebuffer")) return error;
    return checkFramebuffer();
}

std::optional<std::string> readScreen(int width, int height, RgbaImage& image) {
    image = RgbaImage{};
    if (width <= 0 || height <= 0) return "nothing to read back";
    if (auto error = pendingGlError("while drawing")) return error;
    if (auto error = checkFramebuffer()) return error;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    std::vector<std::uint8_t> rows(rowBytes * static_cast<std::size_t>(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    if (auto error = pendingGlError("reading the picture back")) return error;
    // OpenGL gives the bottom row first; the picture is top first.
    RgbaImage read{width, height, std::vector<std::uint8_t>(rows.size())};
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* source = &rows[static_cast<std::size_t>(height - 1 - y) * rowBytes];
        std::copy(source, source + rowBytes, &read.pixels[static_cast<std::size_t>(y) * rowBytes]);
    }
    image = std::move(read);
    return std::nullopt;
}
