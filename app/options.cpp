#include "app/options.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "cli/arguments.h"
#include "platform/platform.h"
#include "synth/song_rows.h"

namespace {

// Half the readout's last digit: a time it shows is at most this far from the one it stands for.
constexpr double kReadoutRounding = 0.0005;

constexpr OptionRule kOptions[] = {{"--at", 1}, {"--loop", 2}, {"--window", 1}};

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.5f", seconds);
    return text;
}

// PATTERN:ROW, two whole numbers; false when `text` is not of that form.
bool parsePatternRow(std::string_view text, std::uint32_t& pattern, std::uint32_t& row) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return false;
    const auto whole = [](std::string_view digits, std::uint32_t& value) {
        if (digits.empty() || digits.size() > 6) return false;
        value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + static_cast<std::uint32_t>(c - '0');
        }
        return true;
    };
    return whole(text.substr(0, colon), pattern) && whole(text.substr(colon + 1), row);
}

// A time within the show (0 to `showEnd`), in seconds or as PATTERN:ROW; otherwise why not.
// Seconds as the readout rounds them to the millisecond are taken back: the show's end, shown
// as the millisecond after it, is the end.
std::optional<std::string> readShowTime(std::string_view flag, std::string_view text, double showEnd,
                                        double& seconds) {
    std::uint32_t pattern = 0;
    std::uint32_t row = 0;
    if (parsePatternRow(text, pattern, row)) {
        if (row >= synth::kRowsPerPattern || synth::frameOfSongRow(pattern, row) > synth::kSongFrames) {
            return std::string(flag) + ": " + inQuotes(text) + " is outside the song (patterns 0 to " +
                   std::to_string(synth::kOrderPositions) + ", rows 0 to " + std::to_string(synth::kRowsPerPattern - 1) +
                   ")";
        }
        seconds = std::min(static_cast<double>(synth::frameOfSongRow(pattern, row)) / platform::kAudioFrameRate, showEnd);
        return std::nullopt;
    }
    double value = 0.0;
    if (!parseDecimal(text, value)) {
        return std::string(flag) + ": " + inQuotes(text) + " is not a number of seconds or a PATTERN:ROW";
    }
    if (value < 0.0 || value > showEnd + kReadoutRounding) {
        return std::string(flag) + ": " + inQuotes(text) + " s is outside the show (0 to " + secondsText(showEnd) + " s)";
    }
    seconds = std::min(value, showEnd);
    return std::nullopt;
}

std::optional<std::string> readOption(const GivenOption& option, double showEnd, ProductionOptions& options) {
    if (option.flag == "--at") {
        double seconds = 0.0;
        if (auto error = readShowTime(option.flag, option.value, showEnd, seconds)) return error;
        options.at = seconds;
    } else if (option.flag == "--loop") {
        LoopRange range;
        if (auto error = readShowTime(option.flag, option.value, showEnd, range.from)) return error;
        if (auto error = readShowTime(option.flag, option.second, showEnd, range.to)) return error;
        if (!(range.from < range.to)) {
            return "--loop: FROM (" + std::string(option.value) + ") must be below TO (" + std::string(option.second) + ")";
        }
        options.loop = range;
    } else {
        WindowSize size;
        if (auto error = parseSize(option.flag, option.value, size.width, size.height)) return error;
        const auto inRange = [](int side) { return side >= kMinWindowSide && side <= kMaxWindowSide; };
        if (!inRange(size.width) || !inRange(size.height)) {
            return "--window: " + inQuotes(option.value) + " is out of range (each side " +
                   std::to_string(kMinWindowSide) + " to " + std::to_string(kMaxWindowSide) + " pixels)";
        }
        options.window = size;
    }
    return std::nullopt;
}

}  // namespace

ParsedOptions parseOptions(std::span<const std::string_view> arguments, double showEnd) {
    std::vector<GivenOption> given;
    if (auto error = readOptions(arguments, kOptions, given)) return ParsedOptions{{}, std::move(error)};
    ParsedOptions parsed;
    for (const GivenOption& option : given) {
        if (auto error = readOption(option, showEnd, parsed.options)) return ParsedOptions{{}, std::move(error)};
    }
    // A start outside the loop would be moved to its start, as every seek outside it is: say so
    // instead of starting elsewhere than asked.
    const std::optional<LoopRange>& loop = parsed.options.loop;
    if (parsed.options.at && loop && (*parsed.options.at < loop->from || *parsed.options.at >= loop->to)) {
        char text[160];
        std::snprintf(text, sizeof text, "--at %g s is outside --loop %g %g (its start up to, not including, its end)",
                      *parsed.options.at, loop->from, loop->to);
        return ParsedOptions{{}, text};
    }
    parsed.options.makingMode = !arguments.empty();
    return parsed;
}

double startTime(const ProductionOptions& options) {
    if (options.at) return *options.at;
    if (options.loop) return options.loop->from;
    return 0.0;
}
