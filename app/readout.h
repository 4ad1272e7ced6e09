// Making mode's text on the picture: the readout line (where the show stands and what it does)
// and the log of a shader or scene that failed to load. Drawn over the show's frame with
// stb_easy_font, a bitmap font built from quads, never in the show without options nor by the
// tools.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "synth/play_position.h"

enum class PlayState { Playing, Paused, HeldAtEnd };

struct ReadoutFacts {
    std::int32_t part = 0;
    const char* set = "";             // the part's set, e.g. "plaza"; empty where it draws nothing
    std::uint32_t pattern = 0;        // the song's pattern and row at `seconds`
    std::uint32_t row = 0;
    double seconds = 0.0;
    std::int32_t step = 0;            // the scene step (1/60 s pose) within the part
    double framesPerSecond = 0.0;
    PlayState state = PlayState::Playing;
    std::optional<double> renderedShare;  // 0 ... 1 while waiting for the song, else nothing
    std::optional<LoopRange> loop;
};

// "part 3 stairwell | 62.437 s | 22:8 | step 506 | 1.9 fps | playing | loop 60.000-64.000"; the
// time and the pattern:row can each be given back to --at. While waiting for the song its state
// reads "waiting for the song, 43% rendered". ASCII only, as the font draws it.
std::string readoutLine(const ReadoutFacts& facts);

// Width in the font's pixels of one line of ASCII text.
int textWidth(std::string_view line);

// `text` broken into lines at most `width` font pixels wide: at its own line breaks, then between
// words, and inside a word too long for a line. Characters the font lacks become '?'.
std::vector<std::string> wrapText(std::string_view text, int width);

// What goes on the picture: the readout lines on top (none when hidden), then the problem lines.
struct OverlayText {
    std::vector<std::string> readout;
    std::vector<std::string> problem;
    bool operator==(const OverlayText&) const = default;
};

// The overlay for a window `width` x `height` pixels: the readout when shown, wrapped to the
// width, and the problem log wrapped too, as many of its first lines as fit below the readout.
OverlayText layOutOverlay(const std::string& readout, bool readoutShown, const std::optional<std::string>& problem,
                          int width, int height);

// Draws the overlay into the bound framebuffer (the window), with the fixed-function pipeline.
void drawOverlay(const OverlayText& overlay, int width, int height);
