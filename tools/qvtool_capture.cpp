// qvtool capture OUT.mp4 [--size WxH] [--fps N] [--from S] [--to S]: renders the show offline
// into a video file, frame by frame, without a window. The director and the scene pass step
// through the show as in the production, their state carried from frame to frame; frame i shows
// show time from + i / fps however long it takes to draw. The song of exactly [from, to) goes
// beside it, rendered with the production's bank rules. It reads resources/ from the current
// folder, as the production does.
//
// The file is written under a temporary name beside OUT and renamed when complete; a failure or
// an interrupt (SIGINT, SIGTERM) at any point before the rename deletes it, so OUT is either the
// whole capture or untouched. A second interrupt ends the process at once. Exit statuses: 0 done,
// 2 a bad request, 1 a failure while working, 128 + the signal's number after an interrupt.
#include <unistd.h>

#include <algorithm>
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

#include "show/director.h"
#include "show/startup.h"
#include "synth/song_render.h"
#include "synth/sound_bank.h"
#include "tools/headless_screen.h"
#include "tools/interrupts.h"
#include "tools/output_file.h"
#include "tools/qvtool_command.h"
#include "cli/arguments.h"
#include "tools/video_writer.h"

namespace {

constexpr char kUsage[] = "capture OUT.mp4 [--size WxH] [--fps N] [--from S] [--to S]";

constexpr int kMinSide = 16;
constexpr int kMaxWidth = 3840;
constexpr int kMaxHeight = 2160;
constexpr int kMaxFps = 120;
// The show lasts as long as its song.

struct CaptureRequest {
    std::filesystem::path output;
    int width = 1280;
    int height = 720;
    int fps = 60;
    double from = 0.0;
    double to = synth::kSongSeconds;
};

// What a request comes to: the pictures and the song frames [firstSongFrame, endSongFrame).
struct CapturePlan {
    std::int64_t pictures = 0;
    std::int64_t firstSongFrame = 0;
    std::int64_t endSongFrame = 0;
};

bool fail(const std::string& message) {
    std::fprintf(stderr, "qvtool capture: %s\n", message.c_str());
    return false;
}

constexpr OptionRule kOptions[] = {{"--size", 1}, {"--fps", 1}, {"--from", 1}, {"--to", 1}};

bool takeOption(const GivenOption& option, CaptureRequest& request) {
    const std::string value(option.value);
    if (option.flag == "--size") {
        if (auto error = parseSize("--size", option.value, request.width, request.height)) return fail(*error);
        return true;
    }
    if (option.flag == "--fps") {
        if (parseWholeNumber(option.value, request.fps)) return true;
        return fail("--fps takes a whole number of frames per second, not " + inQuotes(value));
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

bool checkRequest(const CaptureRequest& r) {
    if (lowerCase(r.output.extension().string()) != ".mp4")
        return fail(inQuotes(r.output.string()) + " does not end in .mp4, the only format written");
    if (r.width < kMinSide || r.width > kMaxWidth || r.height < kMinSide || r.height > kMaxHeight ||
        r.width % 2 != 0 || r.height % 2 != 0) {
        char message[128];
        std::snprintf(message, sizeof message, "size %dx%d is out of range (even sides, %dx%d to %dx%d)", r.width,
                      r.height, kMinSide, kMinSide, kMaxWidth, kMaxHeight);
        return fail(message);
    }
    if (r.fps < 1 || r.fps > kMaxFps) {
        char message[96];
        std::snprintf(message, sizeof message, "rate %d is out of range (1 to %d frames per second)", r.fps, kMaxFps);
        return fail(message);
    }
    if (!(r.from < r.to)) return fail("--from must be below --to");
    if (r.from < 0.0 || r.to > synth::kSongSeconds) {
        char message[128];
        std::snprintf(message, sizeof message, "the range %g to %g s is outside the show (0 to %.5f s)", r.from, r.to,
                      synth::kSongSeconds);
        return fail(message);
    }
    return true;
}

// The pictures are those whose show time lies in [from, to); the song frames those of [from, to)
// at 44,100 per second, both ends rounded to the nearest frame. The video is then longer than
// the sound by less than one picture.
CapturePlan planCapture(const CaptureRequest& r) {
    CapturePlan plan;
    plan.pictures = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil((r.to - r.from) * r.fps - 1e-9)));
    plan.firstSongFrame = std::llround(r.from * synth::kSampleRate);
    plan.endSongFrame = std::min<std::int64_t>(std::llround(r.to * synth::kSampleRate), kSongFrames);
    return plan;
}

// The song frames of the plan, rendered from the song's start as the production does (the
// system bank, else the built-in stand-in). False when interrupted.
bool renderSongRange(const CapturePlan& plan, std::vector<float>& audio) {
    (void)su_load_gmdls();  // no system bank: the built-in stand-in is what the show plays then
    synth::SongRenderer& renderer = synth::songRenderer();
    synth::beginSongRender(renderer);
    std::vector<float> row(2 * synth::kSamplesPerRow);
    const std::int64_t rowFrames = synth::kSamplesPerRow;
    for (std::int64_t first = 0; first < plan.endSongFrame; first += rowFrames) {
        if (interrupted()) return false;
        synth::renderSongRow(renderer, static_cast<int>(first / rowFrames), row.data());
        const std::int64_t begin = std::max(first, plan.firstSongFrame);
        const std::int64_t end = std::min(first + rowFrames, plan.endSongFrame);
        if (begin < end) {
            std::copy(row.begin() + 2 * (begin - first), row.begin() + 2 * (end - first),
                      audio.begin() + 2 * (begin - plan.firstSongFrame));
        }
    }
    return true;
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

// Draws every picture of the plan with the director stepping through the show and hands each to
// the writer. False when interrupted, or (having said why) when reading back or writing fails.
bool renderPictures(const CaptureRequest& r, const CapturePlan& plan, VideoWriter& writer) {
    Progress progress;
    progress.total = plan.pictures;
    DirectorState director = idealDirectorState(static_cast<float>(r.from));
    RgbaImage picture;
    for (std::int64_t i = 0; i < plan.pictures; ++i) {
        if (interrupted()) {
            std::fprintf(stderr, "\nqvtool capture: interrupted at frame %lld of %lld\n", static_cast<long long>(i + 1),
                         static_cast<long long>(plan.pictures));
            return false;
        }
        const double showTime = r.from + static_cast<double>(i) / r.fps;
        drawFrameAt(director, static_cast<float>(showTime));
        if (auto error = readScreen(r.width, r.height, picture)) return fail(*error);
        if (auto error = addVideoFrame(writer, std::move(picture.pixels))) {
            return fail("cannot write " + inQuotes(r.output.string()) + ": " + *error);
        }
        showProgress(progress, i + 1);
    }
    return true;
}

// Renders and writes the whole capture into the open temporary file. False on any failure or
// interrupt, having said why for a failure.
bool capture(const CaptureRequest& r, const CapturePlan& plan, const OutputFile& output) {
    std::vector<float> audio(2 * static_cast<std::size_t>(plan.endSongFrame - plan.firstSongFrame));
    VideoWriter writer;
    if (auto error = openVideoWriter(writer, output.descriptor, output.temporary, {r.width, r.height, r.fps, audio})) {
        return fail("cannot write " + inQuotes(r.output.string()) + ": " + *error);
    }
    HeadlessScreen screen;
    if (auto error = openHeadlessScreen(screen, r.width, r.height)) return fail(*error);
    if (!createShowResources()) return fail("the show's resources could not be created (run it where resources/ is)");
    if (!renderSongRange(plan, audio) || !renderPictures(r, plan, writer) || interrupted()) return false;
    if (auto error = finishVideoWriter(writer)) return fail("cannot write " + inQuotes(r.output.string()) + ": " + *error);
    return true;
}

int runCapture(int argc, char** argv) {
    CaptureRequest request;
    if (!parseRequest(argc, argv, request) || !checkRequest(request)) return kUsageStatus;
    // The output is checked and its temporary file made before anything is drawn.
    OutputFile output;
    if (auto error = openOutput(output, request.output)) {
        fail("cannot write " + inQuotes(request.output.string()) + ": " + *error);
        return kFailureStatus;
    }
    pollInterrupts();
    const CapturePlan plan = planCapture(request);
    const auto start = std::chrono::steady_clock::now();
    const bool written = capture(request, plan, output);
    // An interrupt at any moment up to here, the final flush included, fails the capture.
    const bool kept = written && !interrupted() && commitOutput(output);
    if (!kept) {
        discardOutput(output);
        if (interrupted()) {
            std::fprintf(stderr, "\nqvtool capture: interrupted; nothing written to '%s'\n", request.output.c_str());
            return 128 + interruptSignal();
        }
        if (written) fail("cannot complete " + inQuotes(request.output.string()));
        return kFailureStatus;
    }
    std::fprintf(stderr, "qvtool capture: %lld frames, %.2f s of show, in %s -> %s\n",
                 static_cast<long long>(plan.pictures), request.to - request.from,
                 clockText(secondsSince(start)).c_str(), request.output.c_str());
    return kDoneStatus;
}

}  // namespace

QVTOOL_COMMAND(capture, "capture", kUsage, runCapture);
