#include "tools/capture_range.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "cli/arguments.h"
#include "platform/platform.h"

namespace {

// How close to a whole picture a count of pictures must be to be taken as that whole picture: far
// below anything a rate or a typed time can mean, far above double rounding.
constexpr double kPictureTolerance = 1e-6;

bool isWhole(double pictures) { return std::abs(pictures - std::round(pictures)) < kPictureTolerance; }

std::string sizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

std::optional<std::string> findValue(const std::map<std::string, std::string>& metadata, const char* key) {
    const auto found = metadata.find(key);
    if (found == metadata.end()) return std::nullopt;
    return found->second;
}

// The first setting in which `piece` differs from `first`, as "size 320x180 and 640x360", or
// nothing.
std::optional<std::string> differingSetting(const CaptureRecord& first, const CaptureRecord& piece) {
    if (first.width != piece.width || first.height != piece.height) {
        return "size " + sizeText(first.width, first.height) + " and " + sizeText(piece.width, piece.height);
    }
    if (first.fps != piece.fps) return "rate " + std::to_string(first.fps) + " and " + std::to_string(piece.fps);
    if (first.samples != piece.samples) {
        return "samples " + std::to_string(first.samples) + " and " + std::to_string(piece.samples);
    }
    if (first.crf != piece.crf) return "crf " + std::to_string(first.crf) + " and " + std::to_string(piece.crf);
    if (first.preset != piece.preset) return "preset " + first.preset + " and " + piece.preset;
    return std::nullopt;
}

std::string seamText(const char* what, double seconds, double pictures) {
    char text[96];
    std::snprintf(text, sizeof text, "%s of %.6g s (%.3g picture%s)", what, seconds, pictures,
                  std::abs(pictures - 1.0) < kPictureTolerance ? "" : "s");
    return text;
}

}  // namespace

PictureGrid pictureGrid(double from, double to, int fps) {
    PictureGrid grid;
    grid.from = from;
    grid.fps = fps;
    const double fromPictures = from * fps;
    grid.onGrid = isWhole(fromPictures);
    grid.first = grid.onGrid ? std::llround(fromPictures) : 0;
    const double span = grid.onGrid ? to * fps - static_cast<double>(grid.first) : (to - from) * fps;
    grid.pictures = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(span - kPictureTolerance)));
    return grid;
}

double pictureTime(const PictureGrid& grid, std::int64_t i) {
    if (grid.onGrid) return static_cast<double>(grid.first + i) / grid.fps;
    return grid.from + static_cast<double>(i) / grid.fps;
}

SongSpan songSpan(double from, double to) {
    const auto songEnd = static_cast<std::int64_t>(synth::kSongFrames);
    SongSpan span;
    span.first = std::clamp<std::int64_t>(std::llround(from * platform::kAudioFrameRate), 0, songEnd);
    span.end = std::clamp<std::int64_t>(std::llround(to * platform::kAudioFrameRate), span.first, songEnd);
    return span;
}

std::vector<PlannedPiece> planPieces(double from, double to, int fps, int count) {
    const PictureGrid grid = pictureGrid(from, to, fps);
    const std::int64_t pieces = std::clamp<std::int64_t>(count, 1, grid.pictures);
    std::vector<PlannedPiece> plan;
    for (std::int64_t k = 0; k < pieces; ++k) {
        const std::int64_t start = k * grid.pictures / pieces;
        const std::int64_t end = (k + 1) * grid.pictures / pieces;
        PlannedPiece piece;
        piece.from = k == 0 ? from : pictureTime(grid, start);
        piece.to = k + 1 == pieces ? to : pictureTime(grid, end);
        piece.pictures = end - start;
        plan.push_back(piece);
    }
    return plan;
}

std::string exactSeconds(double seconds) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, seconds);
    return std::string(text, result.ptr);
}

Metadata captureMetadata(const CaptureRecord& record) {
    const std::string command = "qvtool capture OUT.mp4 --from " + exactSeconds(record.from) + " --to " +
                                exactSeconds(record.to) + " --size " + sizeText(record.width, record.height) +
                                " --fps " + std::to_string(record.fps) + " --samples " +
                                std::to_string(record.samples) + " --crf " + std::to_string(record.crf) + " --preset " +
                                record.preset + (record.audio ? "" : " --no-audio");
    return {{"capture_from", exactSeconds(record.from)},
            {"capture_to", exactSeconds(record.to)},
            {"capture_size", sizeText(record.width, record.height)},
            {"capture_fps", std::to_string(record.fps)},
            {"capture_samples", std::to_string(record.samples)},
            {"capture_crf", std::to_string(record.crf)},
            {"capture_preset", record.preset},
            {"capture_audio", record.audio ? "yes" : "no"},
            {"comment", command}};
}

std::optional<CaptureRecord> readCaptureRecord(const std::map<std::string, std::string>& metadata) {
    CaptureRecord record;
    const auto from = findValue(metadata, "capture_from");
    const auto to = findValue(metadata, "capture_to");
    const auto size = findValue(metadata, "capture_size");
    const auto fps = findValue(metadata, "capture_fps");
    const auto samples = findValue(metadata, "capture_samples");
    const auto crf = findValue(metadata, "capture_crf");
    const auto preset = findValue(metadata, "capture_preset");
    const auto audio = findValue(metadata, "capture_audio");
    if (!from || !to || !size || !fps || !samples || !crf || !preset || !audio) return std::nullopt;
    if (!parseDecimal(*from, record.from) || !parseDecimal(*to, record.to) ||
        parseSize("capture_size", *size, record.width, record.height) || !parseWholeNumber(*fps, record.fps) ||
        !parseWholeNumber(*samples, record.samples) || !parseWholeNumber(*crf, record.crf)) {
        return std::nullopt;
    }
    if (*audio != "yes" && *audio != "no") return std::nullopt;
    if (record.fps < 1 || !(record.from < record.to)) return std::nullopt;
    record.preset = *preset;
    record.audio = *audio == "yes";
    return record;
}

std::optional<std::string> orderAndCheckPieces(std::vector<PieceFacts>& pieces) {
    if (pieces.empty()) return "no pieces to join";
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const PieceFacts& a, const PieceFacts& b) { return a.record.from < b.record.from; });
    const CaptureRecord& first = pieces.front().record;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const PieceFacts& piece = pieces[k];
        const CaptureRecord& record = piece.record;
        const std::string name = inQuotes(piece.name);
        if (piece.hasAudio || record.audio) return name + " has sound; pieces are captured with --no-audio";
        if (auto setting = differingSetting(first, record)) {
            return inQuotes(pieces.front().name) + " and " + name + " were made differently (" + *setting + ")";
        }
        const std::int64_t needed = pictureGrid(record.from, record.to, record.fps).pictures;
        if (piece.pictures != needed) {
            return name + " holds " + std::to_string(piece.pictures) + " pictures where its range needs " +
                   std::to_string(needed);
        }
        if (k + 1 < pieces.size() && !isWhole((record.to - record.from) * record.fps)) {
            return name + " ends within a picture (" + exactSeconds(record.to) +
                   " s); every piece but the last must hold whole pictures";
        }
        if (k == 0) continue;
        const CaptureRecord& previous = pieces[k - 1].record;
        const double seam = record.from - previous.to;
        const double seamPictures = seam * record.fps;
        if (std::abs(seamPictures) >= kPictureTolerance) {
            return seamText(seamPictures > 0 ? "a gap" : "an overlap", std::abs(seam), std::abs(seamPictures)) +
                   " between " + inQuotes(pieces[k - 1].name) + " (to " + exactSeconds(previous.to) + " s) and " +
                   name + " (from " + exactSeconds(record.from) + " s)";
        }
    }
    return std::nullopt;
}
