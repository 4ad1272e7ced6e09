// The per-frame director: walks the timeline on the music's clock, picks up edited shaders and
// draws the current part, dithered to small palettes during the opening.
#pragma once

#include <cstdint>

struct Scene;

// Where the director stands in the timeline.
struct DirectorState {
    std::int32_t currentPart = 0;
    float partStart = 0.0f;  // play position at which the current part began
    bool started = false;    // false until the first frame has set partStart
};

// How the opening part's frame is drawn at a time in the part.
enum class FramePath {
    Direct,           // the scene straight into the window
    TwoColourDither,  // t < 14: off screen, then dithered to 2 colours
    SteppedDither,    // 14 <= t < 20: off screen, then dithered to 4, 16 or 256 colours
};

// The palette texture and `resolution` value of the stepped dither at time t in the part.
enum class DitherPalette { Colours2, Colours4, Colours16, Colours256 };
struct DitherChoice {
    DitherPalette palette;
    float resolution;
};

// The time in the current part at play position `now`. The first call starts the current part;
// once the time exceeds the part's duration the next part begins at `now`, one part per call,
// never past the last entry.
float advanceTimeline(DirectorState& state, float now);

FramePath framePathFor(std::int32_t camera, float t);
DitherChoice steppedDitherAt(float t);

// The opening part's white flash amount on each path (0 ... 1).
float twoColourFlash(float t);
float steppedFlash(float t);
float directOpeningFlash(float t);

// Draws one complete frame into the window's back buffer at the music's play position.
void drawFrame();

// Draws the frame of play position `now` with the given director state.
void drawFrameAt(DirectorState& state, float now);

// The director state an ideal clock gives at show time `seconds`: the part that holds it, started
// at the sum of the durations before it.
DirectorState idealDirectorState(float seconds);

// Moves the scene's cameras, lights and meshes to where playing from 0 would have left them at
// show time `seconds`: each part before it at its last frame, the part holding it at its frame
// then. An object whose recording is shorter keeps its last recorded frame. Used after a jump in
// show time, since the scene pass moves only the current part's objects, and only to frames that
// exist.
void settleSceneAt(Scene& scene, float seconds);

// Making mode: draws the frame of show time `seconds` with the director state an ideal clock
// gives, so every frame is the one that time shows however the show got there.
void drawShowTime(float seconds);
