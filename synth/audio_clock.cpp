#include "synth/audio_clock.h"

#include <algorithm>

#include "platform/platform.h"
#include "synth/song_constants.h"

static_assert(synth::kSampleRate == platform::kAudioFrameRate, "the song is rendered at the output's rate");

namespace {

struct AudioClockState {
    AudioClockSource source;
    std::uint32_t songFrames = 0;
    const std::atomic<std::uint32_t>* framesReady = nullptr;  // null: the whole song is there
    bool deviceOpen = false;
    bool started = false;
    // The device's last answer: a failed query keeps the clock where it was, never back at 0.
    std::uint32_t lastDeviceFrames = 0;
    // Without a device: frame `anchorFrame` was reached at `anchorWall`, and the clock runs on
    // from there at the frame rate unless paused.
    std::uint32_t anchorFrame = 0;
    std::chrono::steady_clock::time_point anchorWall{};
    bool paused = false;
    // After a seek without a device: the clock stands at the target until the render has written
    // the target's frame, as a device would play silence until then.
    bool waitingForRender = false;
};

AudioClockState& clockState() {
    static AudioClockState instance;
    return instance;
}

std::uint32_t framesWritten(const AudioClockState& s) {
    return s.framesReady != nullptr ? s.framesReady->load(std::memory_order_acquire) : s.songFrames;
}

std::uint32_t steadyFrames(AudioClockState& s) {
    if (s.paused) return s.anchorFrame;
    const auto now = s.source.now();
    if (s.waitingForRender) {
        s.anchorWall = now;
        if (framesWritten(s) <= s.anchorFrame && s.anchorFrame < s.songFrames) return s.anchorFrame;
        s.waitingForRender = false;
    }
    const auto elapsed = now - s.anchorWall;
    const auto frames =
        std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * platform::kAudioFrameRate / 1000000;
    return static_cast<std::uint32_t>(std::clamp<long long>(s.anchorFrame + frames, 0, s.songFrames));
}

std::uint32_t playedFrames() {
    AudioClockState& s = clockState();
    if (!s.started) return 0;
    if (s.deviceOpen) {
        const std::optional<std::uint32_t> position = s.source.playPosition();
        if (position) s.lastDeviceFrames = std::min(*position, s.songFrames);
        return s.lastDeviceFrames;
    }
    return steadyFrames(s);
}

double secondsOf(std::uint32_t frames) {
    return static_cast<double>(static_cast<float>(frames) / static_cast<float>(platform::kAudioFrameRate));
}

void holdOutput(AudioClockState& s, bool paused) {
    if (paused == s.paused) return;
    if (s.deviceOpen) {
        if (s.source.pausePlayback != nullptr) s.source.pausePlayback(paused);
    } else if (paused) {
        s.anchorFrame = steadyFrames(s);
    } else {
        s.anchorWall = s.source.now();
    }
    s.paused = paused;
}

void seekOutput(AudioClockState& s, PlayPosition& play, double seconds) {
    const std::uint32_t frame = songFrameAt(seconds, s.songFrames);
    if (s.deviceOpen) {
        if (s.source.seekPlayback != nullptr) s.source.seekPlayback(frame);
        s.lastDeviceFrames = frame;
    } else {
        s.anchorFrame = frame;
        s.anchorWall = s.source.now();
        s.waitingForRender = true;
    }
    play.pendingSeek.reset();
    ++play.seeksDone;
    // Held only by the song's end: a seek from there plays on.
    if (play.heldAtEnd) {
        play.paused = false;
        play.heldAtEnd = false;
    }
}

}  // namespace

AudioClockSource platformAudioClockSource() {
    return AudioClockSource{platform::startAudioPlayback, platform::audioPlayPosition, std::chrono::steady_clock::now,
                            platform::pauseAudioPlayback, platform::seekAudioPlayback};
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
    s.framesReady = framesReady;
    s.deviceOpen = source.startPlayback(frames, frameCount, framesReady);
    s.anchorWall = source.now();
    s.started = true;
}

double audioSeconds() { return secondsOf(playedFrames()); }

bool audioIsPlaying() { return playedFrames() != clockState().songFrames || !clockState().started; }

void followPlayPosition(PlayPosition& play) {
    AudioClockState& s = clockState();
    if (play.pendingSeek) seekOutput(s, play, *play.pendingSeek);
    holdOutput(s, play.paused);
    std::uint32_t frames = playedFrames();
    play.showTime = secondsOf(frames);
    // A loop that ends at the song's end wraps there too: the float clock's last reading can
    // fall a hair short of the end as the option spells it.
    if (play.loop && (play.showTime >= play.loop->to || frames >= s.songFrames)) {
        seekOutput(s, play, play.loop->from);
        holdOutput(s, play.paused);
        frames = playedFrames();
        play.showTime = secondsOf(frames);
    }
    if (frames >= s.songFrames && !play.paused) {
        play.paused = true;
        play.heldAtEnd = true;
        holdOutput(s, true);
    }
}
