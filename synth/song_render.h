// The song renderer: all 896 rows of the song, 5512 frames each, into one
// buffer of interleaved stereo floats.
#pragma once

#include <cstdint>

#include "synth/song_constants.h"
#include "synth/song_player.h"
#include "synth/synth_object.h"

using synth::kSongFrames;

// Renders the whole song into `buffer` (2 x kSongFrames floats, left then
// right), writing each frame once from front to back. Starts from a cleared
// synthesizer every time, so repeated calls give identical results. Allocates
// nothing; uses the process-wide render state, so one render at a time.
void su_render_song(float* buffer);

namespace synth {

// A render in progress: the synthesizer state and the decoded patch.
struct SongRenderer {
    SynthState synth;
    SongPlayer player;
};

// The process-wide renderer that su_render_song uses (static storage).
SongRenderer& songRenderer();

// Clears the state and decodes the patch: the start of a render.
void beginSongRender(SongRenderer& renderer);

// Applies row `row`'s notes and renders its 5512 frames to `frames`
// (2 x 5512 floats).
void renderSongRow(SongRenderer& renderer, int row, float* frames);

// The row step on any state block: for each track, releases its current voice
// on a 0 byte, and on a note byte >= 2 also moves to the track's next voice and
// restarts it with the note.
void updateVoices(SynthObject& object, int row);

// Renders the first `rows` rows with the patch interpreter su_run_vm instead of
// the song player (same results, slower). `state` must be zero-initialised or
// reset; `buffer` takes 2 x 5512 x rows floats.
void renderRowsWithVm(SynthState& state, float* buffer, int rows);

}  // namespace synth
