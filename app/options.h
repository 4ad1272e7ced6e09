// The production's command line. Without options it is the show as it always was; any option
// puts it in making mode, for the people who make the show.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "synth/play_position.h"

inline constexpr char kOptionsUsage[] =
    "usage: quorvale [--at TIME] [--loop FROM TO] [--window WIDTHxHEIGHT]  (times: SECONDS or PATTERN:ROW)";

// The window's client size limits, in pixels, for --window.
inline constexpr int kMinWindowSide = 16;
inline constexpr int kMaxWindowSide = 8192;

struct WindowSize {
    int width = 0;
    int height = 0;
};

struct ProductionOptions {
    bool makingMode = false;         // any option given
    std::optional<double> at;        // --at TIME
    std::optional<LoopRange> loop;   // --loop FROM TO
    std::optional<WindowSize> window;// --window WIDTHxHEIGHT: framed, display mode untouched
};

struct ParsedOptions {
    ProductionOptions options;
    std::optional<std::string> error;  // one line saying what is wrong; the options are then unused
};

// Parses the arguments after the program name. Times are decimal seconds within the show
// (0 to `showEnd`, or the end rounded up to the millisecond as the readout shows it) or the
// song's PATTERN:ROW (e.g. 12:0); a loop needs FROM below TO; each option may be given once.
ParsedOptions parseOptions(std::span<const std::string_view> arguments, double showEnd);

// Where making mode starts: --at, else the loop's start, else 0.
double startTime(const ProductionOptions& options);
