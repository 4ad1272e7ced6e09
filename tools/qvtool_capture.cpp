// qvtool capture OUT.mp4 [--size WxH] [--fps N] [--from S] [--to S]: renders the show offline
// into a video file, frame by frame, without a window. The director and the scene pass step
// through the show as in the production, their state carried from frame to frame; frame i shows
// show time from + i / fps however long it takes to draw. The song of exactly [from, to) goes
// beside it, rendered with the production's bank rules. It reads resources/ from the current
// folder, as the production does.
//
// The file is written under a temporary name beside OUT and renamed when complete; a failure or
// an interrupt (SIGINT, SIGTERM) deletes it, so OUT is either the whole capture or untouched.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "show/director.h"
#include "show/startup.h"
#include "synth/song_render.h"
#include "synth/sound_bank.h"
#include "tools/headless_screen.h"
#include "tools/output_file.h"
#include "tools/qvtool_command.h"
#include "tools/video_writer.h"

namespace {

constexpr char kUsage[] = "capture OUT.mp4 [--size WxH] [--fps N] [--from S] [--to S]";

constexpr int kMinSide = 16;
constexpr int kMaxWidth = 3840;
constexpr int kMaxHeight = 2160;
constexpr int kMaxFps = 120;
// The show lasts as long as its song.
constexpr double kShowSeconds = static_cast<double>(kSongFrames) / synth::kSampleRate;

struct CaptureRequest {
    std::filesystem::path output;
    int width = 1280;
    int height = 720;
    int fps = 60;
    double from = 0.0;
    double to = kShowSeconds;
};

// What a request comes to: the pictures and the song frames [firstSongFrame, endSongFrame).
struct CapturePlan {
    std::int64_t pictures = 0;
    std::int64_t firstSongFrame = 0;
    std::int64_t endSongFrame = 0;
};

volatile std::sig_atomic_t interruptSignal = 0;

void noteInterrupt(int signal) { interruptSignal = signal; }

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool fail(const std::string& message) {
    std::fprintf(stderr, "qvtool capture: %s\n", message.c_str());
    return false;
}

std::string inQuotes(const std::string& text) {
    std::string result = "'";
    result += text;
    result += "'";
    return result;
}

template <typename Number>
bool parseWhole(std::string_view text, Number& value) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool parseSeconds(const char* text, double& seconds) {
    char* end = nullptr;
    seconds = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(seconds);
}

bool parseSize(std::string_view text, int& width, int& height) {
    const std::size_t cross = text.find('x');
    return cross != std::string_view::npos && parseWhole(text.substr(0, cross), width) &&
           parseWhole(text.substr(cross + 1), height);
}

bool parseOption(std::string_view flag, const char* value, CaptureRequest& request) {
    if (flag == "--size") {
        if (parseSize(value, request.width, request.height)) return true;
        return fail(std::string("--size takes WxH, such as 640x360, not '") + value + "'");
    }
    if (flag == "--fps") {
        if (parseWhole(std::string_view(value), request.fps)) return true;
        return fail(std::string("--fps takes a whole number of frames per second, not '") + value + "'");
    }
    if (flag == "--from" || flag == "--to") {
        if (parseSeconds(value, flag == "--from" ? request.from : request.to)) return true;
        return fail(std::string(flag) + " takes seconds of show time, not '" + value + "'");
    }
    return fail("unknown option " + inQuotes(std::string(flag)) + " (usage: qvtool " + kUsage + ")");
}

bool parseRequest(int argc, char** argv, CaptureRequest& request) {
    if (argc < 2 || argv[1][0] == '-') return fail(std::string("usage: qvtool ") + kUsage);
    request.output = argv[1];
    for (int i = 2; i < argc; i += 2) {
        if (i + 1 >= argc) return fail(std::string("option '") + argv[i] + "' needs a value");
        if (!parseOption(argv[i], argv[i + 1], request)) return false;
    }
    return true;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::filesystem::path folderOf(const std::filesystem::path& file) {
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

bool checkRequest(const CaptureRequest& r) {
    if (lowerCase(r.output.extension().string()) != ".mp4")
        return fail(inQuotes(r.output.string()) + " does not end in .mp4, the only format written");
    std::error_code error;
    if (!std::filesystem::is_directory(folderOf(r.output), error))
        return fail("folder " + inQuotes(folderOf(r.output).string()) + " does not exist");
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
    if (r.from < 0.0 || r.to > kShowSeconds) {
        char message[128];
        std::snprintf(message, sizeof message, "the range %g to %g s is outside the show (0 to %.5f s)", r.from, r.to,
                      kShowSeconds);
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
    su_load_gmdls();
    synth::SongRenderer& renderer = synth::songRenderer();
    synth::beginSongRender(renderer);
    std::vector<float> row(2 * synth::kSamplesPerRow);
    const std::int64_t rowFrames = synth::kSamplesPerRow;
    for (std::int64_t first = 0; first < plan.endSongFrame; first += rowFrames) {
        if (interruptSignal != 0) return false;
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
// the writer. False when interrupted or when the writer has failed (it says why on finishing).
bool renderPictures(const CaptureRequest& r, const CapturePlan& plan, VideoWriter& writer) {
    Progress progress;
    progress.total = plan.pictures;
    DirectorState director = idealDirectorState(static_cast<float>(r.from));
    for (std::int64_t i = 0; i < plan.pictures; ++i) {
        if (interruptSignal != 0) return false;
        const double showTime = r.from + static_cast<double>(i) / r.fps;
        drawFrameAt(director, static_cast<float>(showTime));
        if (!addVideoFrame(writer, readScreen(r.width, r.height).pixels)) return false;
        showProgress(progress, i + 1);
    }
    return true;
}

// Renders and writes the whole capture into `file`. False (having said why) on any failure.
bool capture(const CaptureRequest& r, const CapturePlan& plan, const std::filesystem::path& file) {
    std::vector<float> audio(2 * static_cast<std::size_t>(plan.endSongFrame - plan.firstSongFrame));
    VideoWriter writer;
    if (auto error = openVideoWriter(writer, file, {r.width, r.height, r.fps, audio})) {
        return fail("cannot write " + inQuotes(r.output.string()) + ": " + *error);
    }
    HeadlessScreen screen;
    if (auto error = openHeadlessScreen(screen, r.width, r.height)) return fail(*error);
    if (!createShowResources()) return fail("the show's resources could not be created (run it where resources/ is)");
    if (!renderSongRange(plan, audio)) return false;
    const bool drawn = renderPictures(r, plan, writer);
    if (interruptSignal != 0) return false;
    if (auto error = finishVideoWriter(writer)) return fail("cannot write " + inQuotes(r.output.string()) + ": " + *error);
    return drawn || fail("stopped early");
}

int runCapture(int argc, char** argv) {
    CaptureRequest request;
    if (!parseRequest(argc, argv, request) || !checkRequest(request)) return 1;
    catchInterrupts();
    const CapturePlan plan = planCapture(request);
    const std::filesystem::path temporary = temporaryPathFor(request.output);
    const auto start = std::chrono::steady_clock::now();
    const bool written = capture(request, plan, temporary);
    const bool moved = written && moveIntoPlace(temporary, request.output);
    if (!moved) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        if (interruptSignal != 0) {
            std::fprintf(stderr, "\nqvtool capture: interrupted; nothing written to '%s'\n", request.output.c_str());
            return 128 + interruptSignal;
        }
        if (written) fail("cannot rename the finished capture to " + inQuotes(request.output.string()));
        return 1;
    }
    std::fprintf(stderr, "qvtool capture: %lld frames, %.2f s of show, in %s -> %s\n",
                 static_cast<long long>(plan.pictures), request.to - request.from,
                 clockText(secondsSince(start)).c_str(), request.output.c_str());
    return 0;
}

}  // namespace

QVTOOL_COMMAND(capture, "capture", kUsage, runCapture);
