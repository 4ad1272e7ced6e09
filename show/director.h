// The per-frame director: walks the timeline on the music's clock, picks up edited shaders and
// draws the current part, dithered to small palettes during the opening.
#pragma once

#include <cstdint>

#include "gl/gl_helpers.h"
#include "show/scene_pass.h"

struct Scene;
struct Shader;

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

// Rebuilds every saved shader file, then draws one complete frame into the window's back buffer
// at the music's play position.
void drawFrame();

// Draws the frame of play position `now` with the given director state; rebuilds nothing.
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

// ---- Rehearsing a new program (making mode) ----
// A driver prepares a program for the state it is drawn in, once per context, at its first draw;
// on a software rasteriser that takes a good part of a second for the scene program. Making mode
// builds a saved program in a second context sharing the window's objects, on a thread of its
// own, and draws it there once exactly as its pass draws it, so that the drawing context's first
// draw finds that work in the driver's shader cache instead of holding the picture.

enum class ShowPass { Scene, Dither, None };

// The pass that draws the library entry `shader` (one of shaderSlots'); None for one no pass draws.
ShowPass passDrawing(const Shader* shader);

// What the drawing context has bound when its passes draw; read there, between two pictures.
struct PassBindings {
    TextureUnitBindings textures;
    SceneTextureNames scene;
};
PassBindings currentPassBindings();

// The rehearsal's 1 x 1 targets: one of the picture's format, one of the opening's off-screen
// texture's. The storage is made once and shared; the framebuffers are made in each context that
// rehearses (set them to 0 for a new one).
struct RehearsalTargets {
    std::uint32_t picture = 0;  // framebuffers, 0: not made in this context
    std::uint32_t offscreen = 0;
    std::uint32_t pictureStorage = 0;
    Texture offscreenTexture;
};

// Draws `program` once as `pass` draws it, into each kind of target the pass draws into:
// `pictureFormat` is the internal format of the renderbuffer the show's picture is drawn into.
// Waits until the driver has done the work. Nothing for ShowPass::None.
void rehearsePass(ShowPass pass, const Shader& program, const PassBindings& bindings, std::uint32_t pictureFormat,
                  RehearsalTargets& targets);

// After the last rehearsal of a job: lets go of every program and texture the rehearsals used, so
// that the rehearsal programs are freed when deleted, on the rehearsing thread, and deleting the
// context afterwards frees little.
void endRehearsals(RehearsalTargets& targets);
