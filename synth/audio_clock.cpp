#include "synth/audio_clock.h"

#include <algorithm>
#include <cmath>

#include "platform/audio_feed.h"
#include "platform/song_feed.h"
#include "synth/song_constants.h"

namespace {

struct AudioClockState {
    AudioClockSource source;
    std::uint32_t songFrames = 0;
    const std::atomic<std::uint32_t>* framesReady = nullptr;  // null: the whole song is there
    bool deviceOpen = false;
    bool started = false;
    platform::AudioLoop loop;  // in song frames, clamped to the song
    // The device's last answer: a failed query keeps the clock where it was, never back at 0.
    std::uint32_t lastDeviceFrames = 0;
    // Without a device: frame `anchorFrame` was reached at `anchorWall`, and the clock runs on
    // from there at the frame rate (round the loop) unless paused.
    std::uint32_t anchorFrame = 0;
    std::chrono::steady_clock::time_point anchorWall{};
    bool paused = false;
    // After a seek without a device: the clock stands at the target until the render has written
    // far enough beyond it, as a device plays silence until then.
    bool waitingForRender = false;
};

AudioClockState& clockState() {
    static AudioClockState instance;
    return instance;
}

// Making mode's start, asked for before start-up; startAudio takes it.
std::optional<platform::AudioStart>& plannedStart() {
    static std::optional<platform::AudioStart> instance;
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
        if (!platform::songWrittenFor(s.anchorFrame, framesWritten(s), s.songFrames)) return s.anchorFrame;
        s.waitingForRender = false;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - s.anchorWall).count();
    const auto frames = std::max<long long>(elapsed, 0) * platform::kAudioFrameRate / 1000000;
    return platform::frameAfter(s.anchorFrame, static_cast<std::uint64_t>(frames), s.loop, s.songFrames);
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

platform::AudioLoop loopFrames(const std::optional<LoopRange>& loop, std::uint32_t songFrames) {
    if (!loop) return {};
    return platform::clampedLoop({songFrameAt(loop->from, songFrames), songFrameAt(loop->to, songFrames)}, songFrames);
}

}  // namespace

AudioClockSource platformAudioClockSource() {
    return AudioClockSource{platform::startAudioPlayback, platform::audioPlayPosition, std::chrono::steady_clock::now,
                            platform::pauseAudioPlayback, platform::seekAudioPlayback, platform::setAudioLoop,
                            platform::moveAudioPlayback};
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
    platform::AudioStart start = plannedStart().value_or(platform::AudioStart{});
    plannedStart().reset();
    start.loop = platform::clampedLoop(start.loop, frameCount);
    start.frame = platform::loopEntry(std::min(start.frame, frameCount), start.loop);
    s.loop = start.loop;
    s.deviceOpen = source.startPlayback(frames, frameCount, framesReady, start);
    s.lastDeviceFrames = start.frame;
    s.anchorFrame = start.frame;
    s.anchorWall = source.now();
    s.waitingForRender = start.waitForLead && !platform::songWrittenFor(start.frame, framesWritten(s), frameCount);
    s.started = true;
}

double audioSeconds() { return secondsOfFrame(playedFrames()); }

bool audioIsPlaying() { return playedFrames() != clockState().songFrames || !clockState().started; }

void planAudioStart(double seconds, const std::optional<LoopRange>& loop) {
    plannedStart() = platform::AudioStart{songFrameAt(seconds, synth::kSongFrames), loopFrames(loop, synth::kSongFrames),
                                          true, true};
}

namespace {

std::uint32_t seekToFrame(std::uint32_t songFrame) {
    AudioClockState& s = clockState();
    const std::uint32_t frame = platform::loopEntry(songFrame, s.loop);
    if (s.deviceOpen) {
        if (s.source.seekPlayback != nullptr) s.source.seekPlayback(frame);
        s.lastDeviceFrames = frame;
    } else {
        s.anchorFrame = frame;
        s.anchorWall = s.source.now();
        s.waitingForRender = !platform::songWrittenFor(frame, framesWritten(s), s.songFrames);
    }
    return frame;
}

}  // namespace

std::uint32_t seekAudio(double seconds) { return seekToFrame(songFrameAt(seconds, clockState().songFrames)); }

void moveAudio(double seconds) {
    AudioClockState& s = clockState();
    const auto frames = static_cast<std::int32_t>(std::lround(seconds * platform::kAudioFrameRate));
    if (s.deviceOpen && s.source.movePlayback != nullptr) {
        s.source.movePlayback(frames);
        return;
    }
    const std::int64_t from = s.deviceOpen ? playedFrames() : steadyFrames(s);
    seekToFrame(platform::seekLanding(from + frames, s.loop, s.songFrames));
}

void pauseAudio(bool paused) {
    AudioClockState& s = clockState();
    if (paused == s.paused) return;
    if (s.deviceOpen) {
        if (s.source.pausePlayback != nullptr) s.source.pausePlayback(paused);
    } else if (paused) {
        // Held at a whole millisecond, as the output's feed stops.
        s.anchorFrame = std::min(platform::wholeMillisecondFrameFrom(steadyFrames(s)), s.songFrames);
    } else {
        s.anchorWall = s.source.now();
    }
    s.paused = paused;
}

void loopAudio(const std::optional<LoopRange>& loop) {
    AudioClockState& s = clockState();
    const platform::AudioLoop frames = loopFrames(loop, s.songFrames);
    if (s.deviceOpen) {
        if (s.source.loopPlayback != nullptr) s.source.loopPlayback(frames);
    } else {
        s.anchorFrame = steadyFrames(s);
        s.anchorWall = s.source.now();
    }
    s.loop = frames;
    if (!s.deviceOpen) s.anchorFrame = platform::loopEntry(s.anchorFrame, s.loop);
}

std::uint32_t audioFrame() { return playedFrames(); }

std::uint32_t songFramesWritten() { return std::min(framesWritten(clockState()), clockState().songFrames); }

std::uint32_t songFramesTotal() { return clockState().songFrames; }

bool audioWaitsForSong() {
    const AudioClockState& s = clockState();
    return s.started && !platform::songWrittenFor(playedFrames(), framesWritten(s), s.songFrames);
}
