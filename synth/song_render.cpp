#include "synth/song_render.h"

#include <algorithm>

#include "synth/song_patterns.h"
#include "synth/song_tracks.h"
#include "synth/vm.h"

namespace synth {
namespace {

// Voices owned by the track whose first voice is `firstVoice`: 1 + the run of
// set bits of the track voice mask from that bit up.
int trackVoiceCount(int firstVoice) {
    int count = 1;
    while ((kTrackVoiceMask >> (firstVoice + count - 1)) & 1) ++count;
    return count;
}

void restartVoice(SynthObject& object, int voice, std::int32_t note) {
    float* slot = voiceSlot(object, voice);
    std::fill(slot, slot + kVoiceSlotWords, 0.0f);
    storeInt(slot[kNoteWord], note);
    storeInt(slot[kGateWord], note);
}

// Appends the main channels as one frame and clears them.
void emitFrame(SynthState& state, float* frame) {
    float* channels = outputChannels(state.object);
    frame[0] = channels[0];
    frame[1] = channels[1];
    channels[0] = 0.0f;
    channels[1] = 0.0f;
    ++state.context.frame;
}

}  // namespace

void updateVoices(SynthObject& object, int row) {
    const int order = row / static_cast<int>(kRowsPerPattern);
    const int rowInPattern = row % static_cast<int>(kRowsPerPattern);
    std::uint8_t* rotation = trackRotation(object);
    int firstVoice = 0;
    for (int track = 0; track < kTrackCount; ++track) {
        const int voices = trackVoiceCount(firstVoice);
        const int pattern = su_tracks[track * kOrderPositions + order];
        const std::uint8_t note = su_patterns[pattern * kRowsPerPattern + rowInPattern];
        if (note != 1) {
            storeInt(voiceSlot(object, firstVoice + rotation[track])[kGateWord], 0);
            if (note != 0) {
                rotation[track] = static_cast<std::uint8_t>((rotation[track] + 1) % voices);
                restartVoice(object, firstVoice + rotation[track], note);
            }
        }
        firstVoice += voices;
    }
}

void resetSynthState(SynthState& state) {
    std::fill(std::begin(state.object.words), std::end(state.object.words), 0.0f);
    std::fill(std::begin(state.delays.words), std::end(state.delays.words), 0.0f);
    state.context = RenderContext{};
    state.context.delayCursor = state.delays.words;
}

SongRenderer& songRenderer() {
    static SongRenderer renderer;
    return renderer;
}

void beginSongRender(SongRenderer& renderer) {
    resetSynthState(renderer.synth);
    compileSongPlayer(renderer.player, renderer.synth);
}

void renderSongRow(SongRenderer& renderer, int row, float* frames) {
    updateVoices(renderer.synth.object, row);
    forgetSilentEnvelopes(renderer.player);
    for (std::uint32_t i = 0; i < kSamplesPerRow; ++i) {
        playFrame(renderer.player, renderer.synth);
        emitFrame(renderer.synth, frames + 2 * i);
    }
}

void renderRowsWithVm(SynthState& state, float* buffer, int rows) {
    for (int row = 0; row < rows; ++row) {
        updateVoices(state.object, row);
        for (std::uint32_t i = 0; i < kSamplesPerRow; ++i) {
            su_run_vm(state);
            emitFrame(state, buffer);
            buffer += 2;
        }
    }
}

}  // namespace synth

void su_render_song(float* buffer) {
    synth::SongRenderer& renderer = synth::songRenderer();
    synth::beginSongRender(renderer);
    for (int row = 0; row < static_cast<int>(synth::kSongRows); ++row) {
        synth::renderSongRow(renderer, row, buffer + 2 * synth::kSamplesPerRow * row);
    }
}
