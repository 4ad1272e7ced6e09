// qvtool frame SECONDS OUT.png [--size WxH]: renders, without a window, the picture the
// production shows at show time SECONDS (the part and time in part an ideal clock gives), with
// the real start-up resources, director and scene pass, and writes it as a PNG. It reads
// resources/ from the current folder, as the production does.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "gl/gl_api.h"
#include "gl/gl_helpers.h"
#include "gl/offscreen_screen.h"
#include "gl/screen_size.h"
#include "platform/platform.h"
#include "png/png_encoder.h"
#include "show/director.h"
#include "show/startup.h"
#include "tools/output_file.h"
#include "tools/qvtool_command.h"

namespace {

constexpr char kUsage[] = "frame SECONDS OUT.png [--size WxH]";

struct FrameRequest {
    float seconds = 0.0f;
    const char* output = nullptr;
    int width = 640;
    int height = 360;
};

bool parseSize(std::string_view text, int& width, int& height) {
    const std::size_t cross = text.find('x');
    if (cross == std::string_view::npos) return false;
    const auto w = std::from_chars(text.data(), text.data() + cross, width);
    const auto h = std::from_chars(text.data() + cross + 1, text.data() + text.size(), height);
    return w.ec == std::errc() && w.ptr == text.data() + cross && h.ec == std::errc() &&
           h.ptr == text.data() + text.size() && width > 0 && height > 0 && width <= 8192 && height <= 8192;
}

bool parseRequest(int argc, char** argv, FrameRequest& request) {
    if (argc != 3 && argc != 5) return false;
    char* end = nullptr;
    request.seconds = std::strtof(argv[1], &end);
    if (end == argv[1] || *end != '\0' || !(request.seconds >= 0.0f)) return false;
    request.output = argv[2];
    if (argc == 5) return std::strcmp(argv[3], "--size") == 0 && parseSize(argv[4], request.width, request.height);
    return true;
}

// The window's picture, as 8-bit RGBA rows top first.
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

int runFrame(int argc, char** argv) {
    FrameRequest request;
    if (!parseRequest(argc, argv, request)) {
        std::fprintf(stderr, "usage: qvtool %s\n", kUsage);
        return 2;
    }
    if (!platform::createGlContext()) {
        std::fprintf(stderr, "qvtool frame: no OpenGL context\n");
        return 1;
    }
    if (loadGlApi().size() != 0) {
        std::fprintf(stderr, "qvtool frame: the OpenGL driver lacks entry points\n");
        return 1;
    }
    // Surfaceless contexts have no window: a framebuffer of the screen's size stands in for it.
    const OffscreenScreen screen = makeOffscreenScreen(request.width, request.height);
    if (!createShowResources()) {
        std::fprintf(stderr, "qvtool frame: the show's resources could not be created\n");
        return 1;
    }
    DirectorState state = idealDirectorState(request.seconds);
    drawFrameAt(state, request.seconds);
    const std::vector<std::uint8_t> png = encodePng(readScreen(screenWidth, screenHeight));
    if (png.empty() || !writeFileInPlace(request.output, std::as_bytes(std::span(png)))) {
        std::fprintf(stderr, "qvtool frame: cannot write %s\n", request.output);
        return 1;
    }
    std::fprintf(stderr, "qvtool frame: part %d at %.3f s of it\n", state.currentPart,
                 static_cast<double>(request.seconds - state.partStart));
    return 0;
}

}  // namespace

QVTOOL_COMMAND(frame, "frame", kUsage, runFrame);
