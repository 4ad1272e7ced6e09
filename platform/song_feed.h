// Making mode's audio feed: the song as a maker hears it while moving through it. The main thread
// asks for a pause, a seek or a loop; the audio thread carries each out inside the buffers it
// fills, with a short fade out before every cut and a fade in after it (seek, pause, resume, loop
// wrap, start), so that nothing clicks. Every other sample is the song's own, and a loop plays no
// frame at or past its end. Portable: the SDL callback and the Win32 streaming thread both run it,
// and tests drive it without a device.
//
// Threads: the ask* calls and songFrameHeard come from the main thread, fillSongFeed from the
// audio thread; one mutex inside the feed keeps them apart (held for one buffer's work at most).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

#include "platform/audio_feed.h"
#include "platform/platform.h"

namespace platform {

// Fades last this many frames (4 ms), and a grain played while paused this many (0.1 s, less
// than one of the song's rows).
inline constexpr std::uint32_t kFadeFrames = kAudioFrameRate / 250;
inline constexpr std::uint32_t kGrainFrames = kAudioFrameRate / 10;

// The song frame of whole millisecond `millisecond`: round(ms x 44.1), as the clock converts.
constexpr std::uint32_t frameOfMillisecond(std::uint64_t millisecond) {
    return static_cast<std::uint32_t>((millisecond * kAudioFrameRate + 500) / 1000);
}

// The first whole millisecond's frame at or after `frame`: where a pause or a relative seek cuts,
// so that a held time is always a whole millisecond.
constexpr std::uint32_t wholeMillisecondFrameFrom(std::uint32_t frame) {
    std::uint64_t millisecond = static_cast<std::uint64_t>(frame) * 1000 / kAudioFrameRate;
    while (frameOfMillisecond(millisecond) < frame) ++millisecond;
    return frameOfMillisecond(millisecond);
}

// The last whole millisecond's frame inside a song of `songFrames` frames: its end lies between
// two milliseconds, and the one before stands for it.
constexpr std::uint32_t lastWholeMillisecondFrame(std::uint32_t songFrames) {
    return frameOfMillisecond(static_cast<std::uint64_t>(songFrames) * 1000 / kAudioFrameRate);
}

// Where a seek to `frame` lands: inside the song, at most its last whole millisecond's frame;
// with an active loop, a frame before its start or at or past its end goes to its start.
constexpr std::uint32_t seekLanding(std::int64_t frame, AudioLoop loop, std::uint32_t songFrames) {
    const std::int64_t last = lastWholeMillisecondFrame(songFrames);
    const auto landed = static_cast<std::uint32_t>(frame < 0 ? 0 : (frame > last ? last : frame));
    return insideLoop(landed, loop) ? landed : loop.from;
}

// One stretch of the output: from output frame `outputStart` on it plays song frames from
// `songStart` (moving) or stands at `songStart` (silence: held, waiting for the render, ended).
struct FeedStretch {
    std::uint64_t outputStart = 0;
    std::uint32_t songStart = 0;
    bool moving = false;
    bool jump = false;  // began at a seek's target
};

struct SongFeed {
    // Set once before the audio thread starts.
    const float* song = nullptr;
    std::uint32_t songFrames = 0;
    const std::atomic<std::uint32_t>* framesReady = nullptr;  // null: the whole song is written

    std::mutex lock;
    // ---- Asked by the main thread, taken by the audio thread ----
    bool wantPaused = false;
    AudioLoop wantLoop;
    std::optional<std::uint32_t> seekTo;  // a buffer frame (landed)
    std::optional<std::int64_t> seekBy;   // frames from where the sound is cut
    // ---- The audio thread's ----
    AudioLoop loop;
    std::uint32_t position = 0;   // the next song frame to play, or where the output stands
    bool held = false;            // paused and faded out: silence, the position standing
    bool waiting = true;          // waits until the song is written far enough beyond `position`
    std::uint32_t sinceCut = kFadeFrames;  // frames played since the last cut (fades in below kFadeFrames)
    // A cut under way: the frames up to `cutAt` fade out from `cutFrom`, then the seek and pause
    // asked for take effect.
    bool cutting = false;
    std::uint32_t cutFrom = 0;
    std::uint32_t cutAt = 0;
    // A grain while held: song frames from `grainAt`, `grainPlayed` of `grainLength` played so
    // far. A newer grain, or resuming, first fades the one playing out (`nextGrain` waits).
    std::uint32_t grainAt = 0;
    std::uint32_t grainPlayed = 0;
    std::uint32_t grainLength = 0;
    std::optional<std::uint32_t> nextGrain;
    // What went to the device: frames handed out in all, and the last stretches for the heard
    // position (a ring; `stretchCount` counts every stretch begun).
    std::uint64_t outputFrames = 0;
    bool jumped = false;  // the next frame handed out begins a seek's stretch
    std::array<FeedStretch, 64> stretches{};
    std::uint64_t stretchCount = 0;
};

// Sets the feed up to play `song` from `start.frame` (with `start.loop`), once the song is
// written there, fading in. Call before the audio thread runs.
void startSongFeed(SongFeed& feed, const float* song, std::uint32_t songFrames,
                   const std::atomic<std::uint32_t>* framesReady, const AudioStart& start);

// Fills `out` with `wanted` interleaved stereo frames and moves the feed on. Audio thread.
void fillSongFeed(SongFeed& feed, float* out, std::uint32_t wanted);

// What the main thread asks. A cut starts at once from the next frame to be handed out, so where
// it ends and lands is known at once; it sounds with the next buffer filled.
void askFeedPause(SongFeed& feed, bool paused);
void askFeedSeek(SongFeed& feed, std::uint32_t frame);  // lands by seekLanding
void askFeedMove(SongFeed& feed, std::int64_t frames);  // relative to where the sound is cut
void askFeedLoop(SongFeed& feed, AudioLoop loop);

// The song frame of the output frame `heardOutput` (frames handed out less those the device still
// holds): where the sound heard now is in the song. A seek asked for or carried out but not yet
// heard reads its target, and a held output the frame it stopped at, so that the picture never
// goes back to the time before a key.
std::uint32_t songFrameHeard(SongFeed& feed, std::uint64_t heardOutput);

// The output frames handed out so far.
std::uint64_t feedOutputFrames(SongFeed& feed);

}  // namespace platform
