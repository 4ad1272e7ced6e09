// qvtool frame SECONDS OUT.png [--size WxH] [--samples N]: renders, without a window, the picture
// the production shows at show time SECONDS (the part and time in part an ideal clock gives), with
// the real start-up resources, director and scene pass, and writes it as a PNG. With N samples a
// pixel (4, 9 or 16) the picture is drawn at sqrt(N) times the size and averaged down in linear
// light, as `qvtool capture --samples N` draws it. It reads resources/ from the current folder, as
// the production does.
//
// Exit statuses: 0 done, 2 bad usage (a malformed time or size), 1 a failure while working (no
// GL context, an unwritable OUT). OUT is checked before anything is drawn.
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "png/png_encoder.h"
#include "show/director.h"
#include "show/startup.h"
#include "tools/headless_screen.h"
#include "tools/output_file.h"
#include "tools/qvtool_command.h"
#include "tools/show_picture.h"

namespace {

constexpr char kUsage[] = "frame SECONDS OUT.png [--size WxH] [--samples N]";
constexpr int kMaxSide = 8192;

struct FrameRequest {
    double seconds = 0.0;
    const char* output = nullptr;
    int width = 640;
    int height = 360;
    int samples = 1;
};

constexpr OptionRule kOptions[] = {{"--size", 1}, {"--samples", 1}};

// Why the command line is refused, or nothing.
std::optional<std::string> parseRequest(int argc, char** argv, FrameRequest& request) {
    if (argc < 3) return "SECONDS and OUT.png are needed";
    if (!parseDecimal(argv[1], request.seconds) || request.seconds < 0.0) {
        return "SECONDS takes a show time of 0 or more, not " + inQuotes(argv[1]);
    }
    request.output = argv[2];
    std::vector<GivenOption> options;
    if (auto error = readOptions(std::span(argv + 3, static_cast<std::size_t>(argc - 3)), kOptions, options)) {
        return error;
    }
    for (const GivenOption& option : options) {
        if (option.flag == "--samples") {
            if (!parseWholeNumber(option.value, request.samples) || sampleGridSide(request.samples) == 0) {
                return "--samples takes 1, 4, 9 or 16, not " + inQuotes(option.value);
            }
        } else if (auto error = parseSize("--size", option.value, request.width, request.height)) {
            return error;
        }
    }
    if (request.width > kMaxSide || request.height > kMaxSide) return "--size allows up to 8192 pixels a side";
    return std::nullopt;
}

int failWith(const std::string& message) {
    std::fprintf(stderr, "qvtool frame: %s\n", message.c_str());
    return kFailureStatus;
}

int runFrame(int argc, char** argv) {
    FrameRequest request;
    if (auto error = parseRequest(argc, argv, request)) {
        return refuseUsage("frame", kUsage, *error);
    }
    OutputFile output;
    if (auto error = openOutput(output, request.output)) {
        return failWith("cannot write '" + std::string(request.output) + "': " + *error);
    }
    HeadlessScreen screen;
    if (auto error = openHeadlessScreen(screen, request.width, request.height, request.samples)) {
        return failWith(*error);
    }
    if (!createShowResources()) return failWith("the show's resources could not be created");
    const auto seconds = static_cast<float>(request.seconds);
    RgbaImage picture;
    if (auto error = drawShowPicture(screen, seconds, picture)) return failWith(*error);
    const DirectorState state = idealDirectorState(seconds);
    const std::vector<std::uint8_t> png = encodePng(picture);
    if (png.empty()) return failWith("cannot encode the picture as PNG");
    writeBytes(output, std::as_bytes(std::span(png)));
    if (!commitOutput(output)) return failWith(std::string("cannot write ") + request.output);
    std::fprintf(stderr, "qvtool frame: part %d at %.3f s of it\n", state.currentPart,
                 static_cast<double>(seconds - state.partStart));
    return kDoneStatus;
}

}  // namespace

QVTOOL_COMMAND(frame, "frame", kUsage, runFrame);
