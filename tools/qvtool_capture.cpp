// qvtool capture OUT.mp4 [--size WxH] [--fps N] [--from S] [--to S] [--samples N] [--crf N]
// [--preset NAME] [--no-audio] [--plan K]: renders the show offline into a video file, picture by
// picture, without a window. Picture i shows show time from + i / fps however long it takes to
// draw, with the director state an ideal clock gives there and the scene settled at the range's
// start: the pictures are a function of the range, size, rate and samples alone, so a piece of a
// range drawn anywhere equals the same stretch of a one-run capture. The song of exactly
// [from, to) goes beside it, rendered with the production's bank rules, unless --no-audio asks for
// a video-only piece (for `qvtool join`). How the file was made goes into its metadata. It reads
// resources/ from the current folder, as the production does.
//
// --plan K writes nothing: it prints K commands, one a line, that capture the range as K
// video-only pieces of whole pictures, for a render farm to run; `qvtool join` puts them together.
//
// The file is written under a temporary name beside OUT and renamed when complete; a failure or
// an interrupt (SIGINT, SIGTERM) at any point before the rename deletes it, so OUT is either the
// whole capture or untouched. A second interrupt ends the process at once. Exit statuses: 0 done,
// 2 a bad request, 1 a failure while working, 128 + the signal's number after an interrupt.
#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "scene/scene.h"
#include "show/director.h"
#include "show/startup.h"
#include "tools/capture_range.h"
#include "tools/headless_screen.h"
#include "tools/interrupts.h"
#include "tools/output_file.h"
#include "tools/qvtool_command.h"
#include "tools/show_picture.h"
#include "tools/song_range.h"
#include "tools/video_writer.h"

namespace {

constexpr char kUsage[] =
    "capture OUT.mp4 [--size WxH] [--fps N] [--from S] [--to S] [--samples N] [--crf N] [--preset NAME] "
    "[--no-audio] [--plan K]";

constexpr int kMinSide = 16;
constexpr int kMaxWidth = 3840;
constexpr int kMaxHeight = 2160;
constexpr int kMaxFps = 120;
constexpr int kMaxCrf = 51;
constexpr int kMaxPieces = 100000;
// x264's presets, fastest first.
constexpr std::array<std::string_view, 10> kPresets = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                                       "medium",    "slow",      "slower",   "veryslow", "placebo"};

struct CaptureRequest {
    std::filesystem::path output;
    int width = 1280;
    int height = 720;
    int fps = 60;
    double from = 0.0;
    double to = synth::kSongSeconds;
    int samples = 1;
    int crf = kVideoCrf;
    std::string preset = kVideoPreset;
    bool audio = true;
    std::optional<int> piecesToPlan;  // given: print the farm's commands instead of capturing
};

bool fail(const std::string& message) {
    std::fprintf(stderr, "qvtool capture: %s\n", message.c_str());
    return false;
}

constexpr OptionRule kOptions[] = {{"--size", 1},   {"--fps", 1}, {"--from", 1},     {"--to", 1},  {"--samples", 1},
                                   {"--crf", 1},    {"--preset", 1}, {"--no-audio", 0}, {"--plan", 1}};

bool takeWholeNumber(const GivenOption& option, int& value, const char* meaning) {
    if (parseWholeNumber(option.value, value)) return true;
    return fail(std::string(option.flag) + " takes " + meaning + ", not " + inQuotes(option.value));
}

bool takeOption(const GivenOption& option, CaptureRequest& request) {
    const std::string value(option.value);
    if (option.flag == "--size") {
        if (auto error = parseSize("--size", option.value, request.width, request.height)) return fail(*error);
        return true;
    }
    if (option.flag == "--fps") return takeWholeNumber(option, request.fps, "a whole number of frames per second");
    if (option.flag == "--samples") return takeWholeNumber(option, request.samples, "1, 4, 9 or 16");
    if (option.flag == "--crf") return takeWholeNumber(option, request.crf, "a whole rate factor, 0 to 51");
    if (option.flag == "--plan")
        return takeWholeNumber(option, request.piecesToPlan.emplace(), "a whole number of pieces");
    if (option.flag == "--preset") {
        request.preset = value;
        return true;
    }
    if (option.flag == "--no-audio") {
        request.audio = false;
        return true;
    }
    if (parseDecimal(option.value, option.flag == "--from" ? request.from : request.to)) return true;
    return fail(std::string(option.flag) + " takes seconds of show time, not " + inQuotes(value));
}

bool parseRequest(int argc, char** argv, CaptureRequest& request) {
    if (argc < 2 || argv[1][0] == '-') return fail(std::string("usage: qvtool ") + kUsage);
    request.output = argv[1];
    std::vector<GivenOption> options;
    if (auto error = readOptions(std::span(argv + 2, static_cast<std::size_t>(argc - 2)), kOptions, options)) {
        return fail(*error + " (usage: qvtool " + kUsage + ")");
    }
    return std::all_of(options.begin(), options.end(), [&](const GivenOption& o) { return takeOption(o, request); });
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool checkEncoding(const CaptureRequest& request) {
    if (sampleGridSide(request.samples) == 0)
        return fail("--samples takes 1, 4, 9 or 16, not " + std::to_string(request.samples));
    if (request.crf < 0 || request.crf > kMaxCrf)
        return fail("--crf takes 0 to 51, not " + std::to_string(request.crf));
    if (std::find(kPresets.begin(), kPresets.end(), request.preset) == kPresets.end()) {
        return fail("--preset takes one of x264's presets (ultrafast ... medium ... placebo), not " +
                    inQuotes(request.preset));
    }
    if (request.piecesToPlan && (*request.piecesToPlan < 1 || *request.piecesToPlan > kMaxPieces)) {
        return fail("--plan takes 1 to " + std::to_string(kMaxPieces) + " pieces, not " +
                    std::to_string(*request.piecesToPlan));
    }
    return true;
}

bool checkRequest(const CaptureRequest& request) {
    if (lowerCase(request.output.extension().string()) != ".mp4")
        return fail(inQuotes(request.output.string()) + " does not end in .mp4, the only format written");
    if (request.width < kMinSide || request.width > kMaxWidth || request.height < kMinSide ||
        request.height > kMaxHeight || request.width % 2 != 0 || request.height % 2 != 0) {
        char message[128];
        std::snprintf(message, sizeof message, "size %dx%d is out of range (even sides, %dx%d to %dx%d)", request.width,
                      request.height, kMinSide, kMinSide, kMaxWidth, kMaxHeight);
        return fail(message);
    }
    if (request.fps < 1 || request.fps > kMaxFps) {
        char message[96];
        std::snprintf(message, sizeof message, "rate %d is out of range (1 to %d frames per second)", request.fps,
                      kMaxFps);
        return fail(message);
    }
    if (!(request.from < request.to)) return fail("--from must be below --to");
    if (request.from < 0.0 || request.to > synth::kSongSeconds) {
        char message[128];
        std::snprintf(message, sizeof message, "the range %g to %g s is outside the show (0 to %.5f s)", request.from,
                      request.to, synth::kSongSeconds);
        return fail(message);
    }
    return checkEncoding(request);
}

CaptureRecord recordOf(const CaptureRequest& request) {
    return {request.from,    request.to,  request.width,  request.height, request.fps,
            request.samples, request.crf, request.preset, request.audio};
}

// An argument as the shell reads it back: as it is when it holds only safe characters, else in
// single quotes.
std::string shellWord(const std::string& text) {
    const bool safe = !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isalnum(c) || std::string_view("/._-+=:,@%").find(static_cast<char>(c)) != std::string_view::npos;
    });
    if (safe) return text;
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// OUT with the piece's number before its extension, zero-padded so that names sort in show order.
std::filesystem::path pieceName(const std::filesystem::path& output, std::size_t index, std::size_t count) {
    const std::size_t digits = std::to_string(count).size();
    std::string number = std::to_string(index + 1);
    number.insert(0, digits - number.size(), '0');
    std::filesystem::path name = output;
    name.replace_filename(output.stem().string() + ".piece" + number + output.extension().string());
    return name;
}

// The farm's plan: one capture command a line on stdout, the join that follows on stderr.
int printPlan(const CaptureRequest& request) {
    const std::vector<PlannedPiece> pieces = planPieces(request.from, request.to, request.fps, *request.piecesToPlan);
    const std::string program = shellWord(program_invocation_name);
    std::string join = program + " join " + shellWord(request.output.string());
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const std::string piece = shellWord(pieceName(request.output, k, pieces.size()).string());
        std::printf(
            "%s capture %s --from %s --to %s --size %dx%d --fps %d --samples %d --crf %d --preset %s "
            "--no-audio\n",
            program.c_str(), piece.c_str(), exactSeconds(pieces[k].from).c_str(), exactSeconds(pieces[k].to).c_str(),
            request.width, request.height, request.fps, request.samples, request.crf, request.preset.c_str());
        join += " " + piece;
    }
    std::fprintf(stderr, "qvtool capture: %zu pieces of %lld pictures in all; then: %s\n", pieces.size(),
                 static_cast<long long>(pictureGrid(request.from, request.to, request.fps).pictures), join.c_str());
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kDoneStatus : kFailureStatus;
}

std::string clockText(double seconds) {
    const auto whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

// Progress on stderr: rewritten in place on a terminal, a line every few seconds elsewhere.
struct Progress {
    std::int64_t total = 0;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastShown = start;
    bool terminal = ::isatty(STDERR_FILENO) != 0;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void showProgress(Progress& progress, std::int64_t done) {
    const auto now = std::chrono::steady_clock::now();
    const double sinceShown = std::chrono::duration<double>(now - progress.lastShown).count();
    if (done < progress.total && sinceShown < (progress.terminal ? 0.25 : 5.0)) return;
    progress.lastShown = now;
    const double rate = static_cast<double>(done) / std::max(secondsSince(progress.start), 1e-6);
    const double left = static_cast<double>(progress.total - done) / std::max(rate, 1e-6);
    std::fprintf(stderr, "%sqvtool capture: frame %lld of %lld, %.2f frames/s, %s left%s",
                 progress.terminal ? "\r" : "", static_cast<long long>(done), static_cast<long long>(progress.total),
                 rate, clockText(left).c_str(), progress.terminal ? "   " : "\n");
    if (progress.terminal && done == progress.total) std::fputc('\n', stderr);
}

// Draws every picture of the range and hands each to the writer. Each picture is drawn with the
// director state an ideal clock gives at its time, the scene having been settled at the range's
// start, so that it does not depend on where the range began. False when interrupted, or (having
// said why) when reading back or writing fails.
bool renderPictures(const CaptureRequest& request, HeadlessScreen& screen, VideoWriter& writer) {
    const PictureGrid grid = pictureGrid(request.from, request.to, request.fps);
    Progress progress;
    progress.total = grid.pictures;
    settleSceneAt(theScene, static_cast<float>(pictureTime(grid, 0)));
    RgbaImage picture;
    for (std::int64_t i = 0; i < grid.pictures; ++i) {
        if (interrupted()) {
            std::fprintf(stderr, "\nqvtool capture: interrupted at frame %lld of %lld\n", static_cast<long long>(i + 1),
                         static_cast<long long>(grid.pictures));
            return false;
        }
        if (auto error = drawShowPicture(screen, static_cast<float>(pictureTime(grid, i)), picture)) {
            return fail(*error);
        }
        if (auto error = addVideoFrame(writer, std::move(picture.pixels))) {
            return fail("cannot write " + inQuotes(request.output.string()) + ": " + *error);
        }
        showProgress(progress, i + 1);
    }
    return true;
}

// Renders and writes the whole capture into the open temporary file. False on any failure or
// interrupt, having said why for a failure.
bool capture(const CaptureRequest& request, const OutputFile& output) {
    HeadlessScreen screen;
    if (auto error = openHeadlessScreen(screen, request.width, request.height, request.samples)) return fail(*error);
    if (!createShowResources()) return fail("the show's resources could not be created (run it where resources/ is)");
    std::vector<float> audio;
    if (request.audio && !renderSongSpan(songSpan(request.from, request.to), audio)) return false;
    VideoWriterSettings settings{request.width, request.height, request.fps, audio};
    settings.withAudio = request.audio;
    settings.crf = request.crf;
    settings.preset = request.preset;
    settings.metadata = captureMetadata(recordOf(request));
    VideoWriter writer;
    if (auto error = openVideoWriter(writer, output.descriptor, output.temporary, settings)) {
        return fail("cannot write " + inQuotes(request.output.string()) + ": " + *error);
    }
    if (!renderPictures(request, screen, writer) || interrupted()) return false;
    if (auto error = finishVideoWriter(writer))
        return fail("cannot write " + inQuotes(request.output.string()) + ": " + *error);
    return true;
}

int runCapture(int argc, char** argv) {
    CaptureRequest request;
    if (!parseRequest(argc, argv, request) || !checkRequest(request)) return kUsageStatus;
    if (request.piecesToPlan) return printPlan(request);
    // The output is checked and its temporary file made before anything is drawn.
    OutputFile output;
    if (auto error = openOutput(output, request.output)) {
        fail("cannot write " + inQuotes(request.output.string()) + ": " + *error);
        return kFailureStatus;
    }
    pollInterrupts();
    const auto start = std::chrono::steady_clock::now();
    const bool written = capture(request, output);
    // An interrupt at any moment up to here, the final flush included, fails the capture.
    const bool kept = written && !interrupted() && commitOutput(output);
    if (!kept) {
        discardOutput(output);
        if (interrupted()) {
            std::fprintf(stderr, "\nqvtool capture: interrupted; nothing written to %s\n",
                         inQuotes(request.output.string()).c_str());
            return signalExitStatus(interruptSignal());
        }
        if (written) fail("cannot complete " + inQuotes(request.output.string()));
        return kFailureStatus;
    }
    std::fprintf(stderr, "qvtool capture: %lld frames, %.2f s of show, in %s -> %s\n",
                 static_cast<long long>(pictureGrid(request.from, request.to, request.fps).pictures),
                 request.to - request.from, clockText(secondsSince(start)).c_str(), request.output.c_str());
    return kDoneStatus;
}

}  // namespace

QVTOOL_COMMAND(capture, "capture", kUsage, runCapture);
