#include "synth/music_thread.h"

#include <thread>

#include "synth/song_render.h"
#include "synth/sound_bank.h"

namespace {

// Static storage: 39.5 MB that the render writes once and the audio output reads behind it.
float songBuffer[static_cast<std::size_t>(kSongFrames) * 2];
std::atomic<std::uint32_t> framesReady{0};

// The song render, row by row, publishing each finished row to the audio output.
void renderSong() {
    synth::SongRenderer& renderer = synth::songRenderer();
    synth::beginSongRender(renderer);
    for (int row = 0; row < static_cast<int>(synth::kSongRows); ++row) {
        const std::uint32_t firstFrame = static_cast<std::uint32_t>(row) * synth::kSamplesPerRow;
        synth::renderSongRow(renderer, row, songBuffer + static_cast<std::size_t>(firstFrame) * 2);
        framesReady.store(firstFrame + synth::kSamplesPerRow, std::memory_order_release);
    }
}

}  // namespace

void startSongRender() {
    su_load_gmdls();
    std::thread(renderSong).detach();
}

const float* songFrames() { return songBuffer; }

const std::atomic<std::uint32_t>& songFramesReady() { return framesReady; }
