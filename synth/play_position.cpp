#include "synth/play_position.h"

#include <algorithm>
#include <cmath>

#include "platform/platform.h"
#include "synth/song_constants.h"

double songEndSeconds() { return synth::kSongSeconds; }

std::uint32_t songFrameAt(double seconds, std::uint32_t songFrames) {
    const double frame = std::round(std::max(seconds, 0.0) * platform::kAudioFrameRate);
    return frame >= static_cast<double>(songFrames) ? songFrames : static_cast<std::uint32_t>(frame);
}

double secondsOfFrame(std::uint32_t frame) {
    return static_cast<double>(static_cast<float>(frame) / static_cast<float>(platform::kAudioFrameRate));
}
