// qvtool frame SECONDS OUT.png [--size WxH]: renders, without a window, the picture the
// production shows at show time SECONDS (the part and time in part an ideal clock gives), with
// the real start-up resources, director and scene pass, and writes it as a PNG. It reads
// resources/ from the current folder, as the production does.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "gl/gl_api.h"
#include "gl/gl_helpers.h"
#include "gl/screen_size.h"
#include "platform/platform.h"
#include "png/png_encoder.h"
#include "show/director.h"
#include "show/startup.h"
#include "tools/headless_screen.h"
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

int runFrame(int argc, char** argv) {
    FrameRequest request;
    if (!parseRequest(argc, argv, request)) {
        std::fprintf(stderr, "usage: qvtool %s\n", kUsage);
        return 2;
    }
    HeadlessScreen screen;
    if (const std::optional<std::string> error = openHeadlessScreen(screen, request.width, request.height)) {
        std::fprintf(stderr, "qvtool frame: %s\n", error->c_str());
        return 1;
    }
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
