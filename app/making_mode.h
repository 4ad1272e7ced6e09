// Making mode: the keys that move through the show, the readout on the picture and the window
// title that say where one is, and the frame step that draws only what changed.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/making_rules.h"
#include "app/options.h"
#include "platform/platform.h"

// Left and Right move this many seconds; with Shift, kFineSeekSeconds.
inline constexpr double kSeekStepSeconds = 5.0;
inline constexpr double kFineSeekSeconds = 1.0;

// What a key does to the play position: Space holds or resumes; Left and Right move 5 s (1 s with
// Shift); Up and Down move to the next or previous row's start (a pattern's with Shift), P loops
// the pattern playing; Comma and Period hold the show and step one scene step back or forward;
// Page Up and Page Down go to the first step of the previous and next part; Home to the start (or
// the loop's start); the brackets set the loop's start and end at the time heard and Backspace
// clears the loop. False for keys that do nothing (Escape is the window's business, Tab the
// readout's).
bool applyMakingKey(PlayPosition& play, platform::Key key, bool shift = false);

// Whether a key press acts. A first press always does; the keyboard's auto-repeat only for the
// keys that move (Left, Right, Comma, Period), and at most once per drawn picture, so that a held
// key never runs ahead of what is shown.
struct RepeatGate {
    std::optional<std::uint64_t> pictureOfLastRepeat;
};
bool pressActs(RepeatGate& gate, const platform::WindowEvent& event, std::uint64_t picturesDrawn);

// Frames drawn per second, over the frames since the last reading.
struct FrameRateMeter {
    std::chrono::steady_clock::time_point since{};
    int frames = 0;
    double lastRate = 0.0;
};
void countFrame(FrameRateMeter& meter);
// The rate since the last reading (the last rate when no time has passed), and starts anew.
double readFrameRate(FrameRateMeter& meter, std::chrono::steady_clock::time_point now);

// "Quorvale · part 3 · 62.4 s · 1.9 fps"; while held, "paused" in place of the rate and the
// time to the millisecond, which given to --at gives the held picture back. The first line of a
// shader build problem, when there is one, goes after it.
std::string makingTitle(std::int32_t part, double seconds, double framesPerSecond, bool paused,
                        const std::optional<std::string>& problem);

// Sets up making mode before start-up: failed shader builds keep the working program, and the
// output starts at the options' start time (its picture first), looping if asked.
void startMakingMode(const ProductionOptions& options);

// The window's events in making mode: Escape and closing end the loop; other keys act on the
// play position or the readout; an expose shows the held picture again.
bool makingModeEventEndsLoop(const platform::WindowEvent& event);

// One turn of the main loop's drawing side: follows the clock, draws the show when its time, a
// shader, the scene or a seek changed the picture, and presents it with the readout when that or
// the text on it changed or the window was exposed. Otherwise it waits a moment.
void drawMakingFrame();
