#include "synth/play_position.h"

#include <algorithm>
#include <cmath>

#include "platform/platform.h"
#include "synth/song_constants.h"

double songEndSeconds() { return synth::kSongSeconds; }

void requestSeek(PlayPosition& play, double seconds) {
    play.pendingSeek = std::clamp(seconds, 0.0, songEndSeconds());
}

double seekBase(const PlayPosition& play) { return play.pendingSeek.value_or(play.showTime); }

void togglePause(PlayPosition& play) {
    play.paused = !play.paused;
    play.heldAtEnd = false;
}

std::uint32_t songFrameAt(double seconds, std::uint32_t songFrames) {
    const double frame = std::round(std::max(seconds, 0.0) * platform::kAudioFrameRate);
    return frame >= static_cast<double>(songFrames) ? songFrames : static_cast<std::uint32_t>(frame);
}
