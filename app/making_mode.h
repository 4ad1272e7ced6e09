// Making mode: the keys that move through the show, the window title that says where one is,
// and the frame step that draws only when something changed while paused.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/options.h"
#include "platform/platform.h"
#include "show/timeline.h"
#include "synth/play_position.h"

// Left and Right move this many seconds.
inline constexpr double kSeekStepSeconds = 5.0;

// The first time on the song's clock at which the director draws part `part`: a part's start
// still belongs to the part before it, so one song frame after it (0 for the first part).
double partEntrySeconds(std::size_t part);

// What a key does to the play position: Space holds or resumes, Left and Right seek 5 s, Page Up
// and Page Down go to the start of the previous and next part, Home to the start (or the loop's
// start). False for keys that do nothing (Escape is the window's business).
bool applyMakingKey(PlayPosition& play, platform::Key key);

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
// time to the hundredth, so that a held frame can be found again. The first line of a shader
// build problem, when there is one, goes after it.
std::string makingTitle(std::int32_t part, double seconds, double framesPerSecond, bool paused,
                        const std::optional<std::string>& problem);

// Sets up making mode before start-up: failed shader builds keep the working program, and the
// show starts at the options' start time (a seek the first frame carries out), looping if asked.
void startMakingMode(const ProductionOptions& options);

// The window's events in making mode: Escape and closing end the loop; other keys act on the
// play position.
bool makingModeEventEndsLoop(const platform::WindowEvent& event);

// One turn of the main loop's drawing side: follows the clock, draws and presents a frame when
// playing or when a seek or a shader save changed a held picture, and keeps the title current.
void drawMakingFrame();
