#include "synth/audio_clock.h"

#include <algorithm>

#include "platform/platform.h"

namespace {

struct AudioClockState {
    AudioClockSource source;
    std::uint32_t songFrames = 0;
    bool deviceOpen = false;
    std::chrono::steady_clock::time_point wallStart{};
    bool started = false;
    // The device's last answer: a failed query keeps the clock where it was, never back at 0.
    std::uint32_t lastDeviceFrames = 0;
};

AudioClockState& clockState() {
    static AudioClockState instance;
    return instance;
}

std::uint32_t playedFrames() {
    AudioClockState& s = clockState();
    if (!s.started) return 0;
    if (s.deviceOpen) {
        const std::optional<std::uint32_t> position = s.source.playPosition();
        if (position) s.lastDeviceFrames = std::min(*position, s.songFrames);
        return s.lastDeviceFrames;
    }
    const auto elapsed = s.source.now() - s.wallStart;
    const auto frames = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * 441 / 10000;
    return static_cast<std::uint32_t>(std::clamp<long long>(frames, 0, s.songFrames));
}

}  // namespace

AudioClockSource platformAudioClockSource() {
    return AudioClockSource{platform::startAudioPlayback, platform::audioPlayPosition,
                            std::chrono::steady_clock::now};
}

void startAudio(const float* frames, std::uint32_t frameCount, const std::atomic<std::uint32_t>* framesReady) {
    startAudio(platformAudioClockSource(), frames, frameCount, framesReady);
}

void startAudio(const AudioClockSource& source, const float* frames, std::uint32_t frameCount,
                const std::atomic<std::uint32_t>* framesReady) {
    AudioClockState& s = clockState();
    s = AudioClockState{};
    s.source = source;
    s.songFrames = frameCount;
    s.deviceOpen = source.startPlayback(frames, frameCount, framesReady);
    s.wallStart = source.now();
    s.started = true;
}

double audioSeconds() { return static_cast<double>(static_cast<float>(playedFrames()) / 44100.0f); }

bool audioIsPlaying() { return playedFrames() != clockState().songFrames || !clockState().started; }
