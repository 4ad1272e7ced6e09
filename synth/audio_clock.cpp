#include "synth/audio_clock.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "platform/platform.h"

namespace {

struct AudioClockState {
    std::uint32_t songFrames = 0;
    bool deviceOpen = false;
    std::chrono::steady_clock::time_point wallStart{};
    bool started = false;
};

AudioClockState& clockState() {
    static AudioClockState instance;
    return instance;
}

std::uint32_t playedFrames() {
    const AudioClockState& s = clockState();
    if (!s.started) return 0;
    if (s.deviceOpen) {
        const std::optional<std::uint32_t> position = platform::audioPlayPosition();
        return std::min(position.value_or(0), s.songFrames);
    }
    const auto elapsed = std::chrono::steady_clock::now() - s.wallStart;
    const auto frames = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * 441 / 10000;
    return static_cast<std::uint32_t>(std::min<long long>(frames, s.songFrames));
}

}  // namespace

void startAudio(const float* frames, std::uint32_t frameCount, const std::atomic<std::uint32_t>* framesReady) {
    AudioClockState& s = clockState();
    s.songFrames = frameCount;
    s.deviceOpen = platform::startAudioPlayback(frames, frameCount, framesReady);
    s.wallStart = std::chrono::steady_clock::now();
    s.started = true;
}

double audioSeconds() { return static_cast<double>(static_cast<float>(playedFrames()) / 44100.0f); }

bool audioIsPlaying() { return playedFrames() != clockState().songFrames || !clockState().started; }
