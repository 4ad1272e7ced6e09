#include "platform/song_feed.h"

#include <algorithm>

#include "platform/audio_feed.h"

namespace platform {
namespace {

std::uint32_t written(const SongFeed& f) {
    if (f.framesReady == nullptr) return f.songFrames;
    return std::min(f.framesReady->load(std::memory_order_acquire), f.songFrames);
}

// Whether the next frame at the position sounds: not held, not waiting, written, not the end.
bool sounding(const SongFeed& f, std::uint32_t ready) {
    return !f.held && !f.waiting && f.position < ready && f.position < f.songFrames;
}

// Starts a new stretch of the output unless the next frame continues the current one.
void noteFrame(SongFeed& f, bool moving) {
    if (f.stretchCount > 0 && !f.jumped) {
        const FeedStretch& last = f.stretches[(f.stretchCount - 1) % f.stretches.size()];
        const std::uint64_t along = moving ? f.outputFrames - last.outputStart : 0;
        if (last.moving == moving && last.songStart + along == f.position) return;
    }
    f.stretches[f.stretchCount % f.stretches.size()] = FeedStretch{f.outputFrames, f.position, moving, f.jumped};
    ++f.stretchCount;
    f.jumped = false;
}

bool grainPlaying(const SongFeed& f) { return f.grainPlayed < f.grainLength; }

// Ends the grain playing within a fade, so that whatever follows starts from silence.
void fadeGrainOut(SongFeed& f) { f.grainLength = std::min(f.grainLength, f.grainPlayed + kFadeFrames); }

void startGrain(SongFeed& f, std::uint32_t at) {
    f.grainAt = at;
    f.grainPlayed = 0;
    f.grainLength = kGrainFrames;
    f.nextGrain.reset();
}

// Goes to `target` at once: after a cut's fade, or with nothing sounding to fade. A held output
// plays a grain there.
void jumpTo(SongFeed& f, std::uint32_t target, std::uint32_t ready) {
    f.position = target;
    f.waiting = !songWrittenFor(target, ready, f.songFrames);
    f.sinceCut = 0;
    f.jumped = true;
    if (!f.held) return;
    if (grainPlaying(f)) {
        fadeGrainOut(f);
        f.nextGrain = target;
    } else {
        startGrain(f, target);
    }
}

// The fade out has reached the cut: what was asked takes effect there.
void finishCut(SongFeed& f, std::uint32_t ready) {
    f.cutting = false;
    f.held = f.wantPaused;
    f.sinceCut = 0;
    if (f.seekTo || f.seekBy) {
        const std::uint32_t target =
            f.seekTo ? *f.seekTo : seekLanding(static_cast<std::int64_t>(f.position) + *f.seekBy, f.loop, f.songFrames);
        f.seekTo.reset();
        f.seekBy.reset();
        jumpTo(f, target, ready);
        return;
    }
    f.position = loopEntry(f.position, f.loop);
}

// Fades out from the position to the next whole millisecond at least kFadeFrames on (sooner at
// the loop's end or where the render stands), then finishCut.
void startCut(SongFeed& f, std::uint32_t ready) {
    if (f.cutting) return;
    if (!sounding(f, ready)) {
        finishCut(f, ready);
        return;
    }
    std::uint32_t end = std::min(ready, f.songFrames);
    if (f.loop.active() && f.position < f.loop.to) end = std::min(end, f.loop.to);
    f.cutting = true;
    f.cutFrom = f.position;
    f.cutAt = std::min(wholeMillisecondFrameFrom(f.position + kFadeFrames), end);
}

// Takes what the main thread asked since the last buffer.
void takeAsks(SongFeed& f, std::uint32_t ready) {
    if (f.wantLoop.from != f.loop.from || f.wantLoop.to != f.loop.to) {
        f.loop = clampedLoop(f.wantLoop, f.songFrames);
        // Already past the new loop's end: the sound goes to its start, faded like any cut.
        if (f.loop.active() && f.position >= f.loop.to) {
            if (sounding(f, ready) && !f.seekTo && !f.seekBy) f.seekTo = f.loop.from;
            if (!sounding(f, ready)) f.position = f.loop.from;
        }
    }
    const bool seekAsked = f.seekTo || f.seekBy;
    if (f.cutting) return;  // the cut under way carries out what was asked once it is done
    if (seekAsked || (f.wantPaused && !f.held)) {
        startCut(f, ready);
    } else if (!f.wantPaused && f.held) {
        // Resumes once a grain playing has faded out (see fillSongFeed).
        f.nextGrain.reset();
        if (grainPlaying(f)) {
            fadeGrainOut(f);
        } else {
            f.held = false;
            f.sinceCut = 0;
        }
    }
}

// The gain of the frame at the position: fading in after a cut, out before a loop's end and
// before a cut. 1 (the song's own sample) everywhere else.
float gainAt(const SongFeed& f) {
    float gain = 1.0f;
    constexpr float kSteps = static_cast<float>(kFadeFrames + 1);
    if (f.sinceCut < kFadeFrames) gain *= static_cast<float>(f.sinceCut + 1) / kSteps;
    if (f.loop.active() && f.position < f.loop.to) {
        const std::uint32_t fade = std::min(kFadeFrames, (f.loop.to - f.loop.from) / 2);
        const std::uint32_t left = f.loop.to - f.position;
        if (left <= fade) gain *= static_cast<float>(left) / static_cast<float>(fade + 1);
    }
    if (f.cutting) gain *= static_cast<float>(f.cutAt - f.position) / static_cast<float>(f.cutAt - f.cutFrom + 1);
    return gain;
}

// A grain's gain: faded in and out over its short length.
float grainGain(std::uint32_t played, std::uint32_t length) {
    const std::uint32_t left = length - played;
    const std::uint32_t edge = std::min(played + 1, left);
    return edge > kFadeFrames ? 1.0f : static_cast<float>(edge) / static_cast<float>(kFadeFrames + 1);
}

void advance(SongFeed& f, std::uint32_t ready) {
    ++f.position;
    if (f.sinceCut < kFadeFrames) ++f.sinceCut;
    const bool atLoopEnd = f.loop.active() && f.position == f.loop.to;
    if (f.cutting && (f.position == f.cutAt || atLoopEnd)) {
        finishCut(f, ready);
    } else if (atLoopEnd) {
        f.position = f.loop.from;
        f.sinceCut = 0;
    }
}

}  // namespace

void startSongFeed(SongFeed& feed, const float* song, std::uint32_t songFrames,
                   const std::atomic<std::uint32_t>* framesReady, const AudioStart& start) {
    std::lock_guard guard(feed.lock);
    feed.song = song;
    feed.songFrames = songFrames;
    feed.framesReady = framesReady;
    feed.loop = clampedLoop(start.loop, songFrames);
    feed.wantLoop = feed.loop;
    feed.position = loopEntry(std::min(start.frame, songFrames), feed.loop);
    feed.waiting = true;
    feed.sinceCut = 0;
}

void fillSongFeed(SongFeed& f, float* out, std::uint32_t wanted) {
    std::lock_guard guard(f.lock);
    const std::uint32_t ready = written(f);
    takeAsks(f, ready);
    if (f.waiting && songWrittenFor(f.position, ready, f.songFrames)) {
        f.waiting = false;
        f.sinceCut = 0;
    }
    for (std::uint32_t k = 0; k < wanted; ++k) {
        float gain = 0.0f;
        std::uint32_t frame = 0;
        const bool moving = sounding(f, ready);
        if (moving) {
            gain = gainAt(f);
            frame = f.position;
        } else if (f.held && grainPlaying(f) && f.grainAt + f.grainPlayed < ready) {
            gain = grainGain(f.grainPlayed, f.grainLength);
            frame = f.grainAt + f.grainPlayed;
            ++f.grainPlayed;
            if (!grainPlaying(f) && f.nextGrain) {
                startGrain(f, *f.nextGrain);
            } else if (!grainPlaying(f) && !f.wantPaused) {
                f.held = false;
                f.sinceCut = 0;
            }
        }
        noteFrame(f, moving);
        const float* in = f.song + static_cast<std::size_t>(frame) * 2;
        out[2 * static_cast<std::size_t>(k)] = gain > 0.0f ? in[0] * gain : 0.0f;
        out[2 * static_cast<std::size_t>(k) + 1] = gain > 0.0f ? in[1] * gain : 0.0f;
        ++f.outputFrames;
        if (moving) advance(f, ready);
    }
}

void askFeedPause(SongFeed& feed, bool paused) {
    std::lock_guard guard(feed.lock);
    feed.wantPaused = paused;
    takeAsks(feed, written(feed));
}

void askFeedSeek(SongFeed& feed, std::uint32_t frame) {
    std::lock_guard guard(feed.lock);
    feed.seekTo = seekLanding(frame, clampedLoop(feed.wantLoop, feed.songFrames), feed.songFrames);
    feed.seekBy.reset();
    takeAsks(feed, written(feed));
}

void askFeedMove(SongFeed& feed, std::int64_t frames) {
    std::lock_guard guard(feed.lock);
    if (feed.seekTo) {
        feed.seekTo = seekLanding(static_cast<std::int64_t>(*feed.seekTo) + frames,
                                  clampedLoop(feed.wantLoop, feed.songFrames), feed.songFrames);
        return;
    }
    feed.seekBy = feed.seekBy.value_or(0) + frames;
    takeAsks(feed, written(feed));
}

void askFeedLoop(SongFeed& feed, AudioLoop loop) {
    std::lock_guard guard(feed.lock);
    feed.wantLoop = loop;
    takeAsks(feed, written(feed));
}

std::uint32_t songFrameHeard(SongFeed& f, std::uint64_t heardOutput) {
    std::lock_guard guard(f.lock);
    if (f.cutting) {
        // Where the cut under way lands, or where the sound stops.
        if (f.seekTo) return *f.seekTo;
        if (f.seekBy) return seekLanding(static_cast<std::int64_t>(f.cutAt) + *f.seekBy, f.loop, f.songFrames);
        if (f.wantPaused) return f.cutAt;
    }
    if (f.held) return f.position;
    if (f.stretchCount == 0) return f.position;
    const std::uint64_t kept = std::min<std::uint64_t>(f.stretchCount, f.stretches.size());
    std::optional<std::uint32_t> unheardJump;
    for (std::uint64_t i = 0; i < kept; ++i) {
        const FeedStretch& s = f.stretches[(f.stretchCount - 1 - i) % f.stretches.size()];
        if (s.outputStart > heardOutput) {
            if (s.jump && !unheardJump) unheardJump = s.songStart;
            continue;
        }
        if (unheardJump) return *unheardJump;
        return s.moving ? s.songStart + static_cast<std::uint32_t>(heardOutput - s.outputStart) : s.songStart;
    }
    // Older than every stretch kept: where the oldest began.
    return unheardJump.value_or(f.stretches[(f.stretchCount - kept) % f.stretches.size()].songStart);
}

std::uint64_t feedOutputFrames(SongFeed& feed) {
    std::lock_guard guard(feed.lock);
    return feed.outputFrames;
}

}  // namespace platform
