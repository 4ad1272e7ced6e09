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
    const char* meaning = first == GL_OUT_OF_MEMORY ? " (out of memory)" : "";
    return std::string("OpenGL error ") + hex(first) + meaning + " " + during;
}

std::optional<std::string> checkFramebuffer(std::uint32_t framebuffer) {
    if (glApi.glCheckFramebufferStatus == nullptr) return "the OpenGL driver cannot check framebuffers";
    glApi.glBindFramebuffer(kGlFramebuffer, framebuffer);
    const GLenum status = glApi.glCheckFramebufferStatus(kGlFramebuffer);
    if (status != kGlFramebufferComplete) return "the screen's framebuffer is incomplete (status " + hex(status) + ")";
    return std::nullopt;
}

// A screen larger than the driver's largest texture or viewport is refused by name, rather than
// drawn in part.
std::optional<std::string> checkDrawableSize(int width, int height) {
    GLint largestTexture = 0;
    GLint largestViewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largestTexture);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, largestViewport);
    const int largest = std::min({largestTexture, largestViewport[0], largestViewport[1]});
    if (width <= largest && height <= largest) return std::nullopt;
    return "the OpenGL driver draws at most " + std::to_string(largest) + " pixels a side, not " +
           std::to_string(width) + "x" + std::to_string(height);
}

std::optional<std::string> readFramebuffer(std::uint32_t framebuffer, int width, int height, RgbaImage& image) {
    image = RgbaImage{};
    if (width <= 0 || height <= 0) return "nothing to read back";
    if (auto error = checkFramebuffer(framebuffer)) return error;
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

}  // namespace

int sampleGridSide(int samples) {
    for (int side = 1; side <= 4; ++side) {
        if (side * side == samples) return side;
    }
    return 0;
}

std::optional<std::string> openHeadlessScreen(HeadlessScreen& screen, int width, int height, int samples) {
    const int side = sampleGridSide(samples);
    if (side == 0) return std::to_string(samples) + " samples a pixel is not 1, 4, 9 or 16";
    if (!platform::createGlContext()) return "no OpenGL context";
    if (loadGlApi().size() != 0) return "the OpenGL driver lacks entry points";
    (void)pendingGlError("");  // start from a clean slate: only errors of what follows count
    if (auto error = checkDrawableSize(side * width, side * height)) return error;
    screen.width = width;
    screen.height = height;
    if (side > 1) {
        if (auto error = makePictureReduction(screen.reduction, width, height, side)) return error;
        if (auto error = pendingGlError("making the picture's reduction")) return error;
    }
    // Surfaceless contexts have no window: a framebuffer of the screen's size stands in for it.
    screen.framebuffer = makeOffscreenScreen(side * width, side * height);
    if (screenFramebuffer == 0) return "cannot make the screen's framebuffer";
    const std::string during = "making a " + std::to_string(side * width) + "x" + std::to_string(side * height) +
                               " screen for " + std::to_string(samples) + " samples a pixel";
    if (auto error = pendingGlError(during.c_str())) return error;
    if (auto error = checkFramebuffer(screenFramebuffer)) return error;
    screen.supersampled = side > 1;
    if (side == 1) return std::nullopt;
    screen.plain = makeOffscreenScreen(width, height);
    screen.supersampled = false;
    if (auto error = pendingGlError("making the picture's own screen")) return error;
    return checkFramebuffer(screenFramebuffer);
}

void selectScreen(HeadlessScreen& screen, bool supersampled) {
    if (screen.reduction.factor <= 1) return;
    const int factor = supersampled ? screen.reduction.factor : 1;
    screenWidth = factor * screen.width;
    screenHeight = factor * screen.height;
    screenFramebuffer = (supersampled ? screen.framebuffer : screen.plain).target.framebuffer;
    glViewport(0, 0, screenWidth, screenHeight);
    screen.supersampled = supersampled;
}

std::optional<std::string> readScreen(int width, int height, RgbaImage& image) {
    image = RgbaImage{};
    if (auto error = pendingGlError("while drawing")) return error;
    return readFramebuffer(screenFramebuffer, width, height, image);
}

std::optional<std::string> readPicture(const HeadlessScreen& screen, RgbaImage& image) {
    if (!screen.supersampled) return readScreen(screen.width, screen.height, image);
    image = RgbaImage{};
    if (auto error = pendingGlError("while drawing")) return error;
    reducePicture(screen.reduction, static_cast<std::uint32_t>(screen.framebuffer.texture.id));
    if (auto error = pendingGlError("reducing the picture")) return error;
    auto error = readFramebuffer(screen.reduction.target.framebuffer, screen.width, screen.height, image);
    glApi.glBindFramebuffer(kGlFramebuffer, screenFramebuffer);
    return error;
}
