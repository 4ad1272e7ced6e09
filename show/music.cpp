#include "show/music.h"

#include <thread>

#include "synth/song_render.h"
#include "synth/sound_bank.h"

namespace {

// Static storage: 39.5 MB that the render writes once and the audio output reads behind it.
float songBuffer[static_cast<std::size_t>(kSongFrames) * 2];

}  // namespace

void startSongRender() {
    su_load_gmdls();
    std::thread(su_render_song, songBuffer).detach();
}

const float* songFrames() { return songBuffer; }
