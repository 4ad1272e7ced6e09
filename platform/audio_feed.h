// Handing the song to an audio device that pulls buffers while the song is still being rendered.
// Portable, so the backends and the clock share it and tests drive it without a device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace platform {

// Song frames that must be written beyond a start frame before playing from there: the render
// writes them in a fraction of that time, and the lead absorbs the render thread losing the
// processor for a moment while a picture is drawn.
inline constexpr std::uint32_t kStartLeadFrames = kAudioFrameRate / 2;

// The one rule for "wait until the song is rendered this far": playback may start at `frame`
// once the render has written kStartLeadFrames beyond it, or up to the song's end.
constexpr bool songWrittenFor(std::uint32_t frame, std::uint32_t framesReady, std::uint32_t songFrames) {
    const std::uint32_t needed = frame < songFrames && songFrames - frame > kStartLeadFrames
                                     ? frame + kStartLeadFrames
                                     : songFrames;
    return framesReady >= needed;
}

// The loop as it applies to a song of `songFrames` frames: its end at most the song's end.
constexpr AudioLoop clampedLoop(AudioLoop loop, std::uint32_t songFrames) {
    if (loop.to > songFrames) loop.to = songFrames;
    return loop.active() ? loop : AudioLoop{};
}

// Whether a seek to `frame` stays where it is: no active loop, or inside it [from, to). A seek
// outside goes to the loop's start (seekLanding; the rules in app/ ask the same).
constexpr bool insideLoop(std::uint32_t frame, AudioLoop loop) {
    return !loop.active() || (frame >= loop.from && frame < loop.to);
}

// Where playing from `start` leads: at or past an active loop's end, the loop's start (playing
// from before its start runs into it).
constexpr std::uint32_t loopEntry(std::uint32_t start, AudioLoop loop) {
    return loop.active() && start >= loop.to ? loop.from : start;
}

// The buffer frame reached after `played` frames have sounded from `start`, without gaps: on to
// the song's end, or round and round an active loop (see loopEntry).
constexpr std::uint32_t frameAfter(std::uint32_t start, std::uint64_t played, AudioLoop loop,
                                   std::uint32_t songFrames) {
    loop = clampedLoop(loop, songFrames);
    start = loopEntry(start, loop);
    if (!loop.active()) {
        const std::uint64_t reached = start + played;
        return reached < songFrames ? static_cast<std::uint32_t>(reached) : songFrames;
    }
    const std::uint64_t toEnd = loop.to - start;
    if (played < toEnd) return start + static_cast<std::uint32_t>(played);
    return loop.from + static_cast<std::uint32_t>((played - toEnd) % (loop.to - loop.from));
}

// Fills `out` with `wanted` interleaved stereo float frames of `song` (`songFrames` long) from
// frame `position` on, and returns the position after them. Reaching an active loop's end it goes
// on from the loop's start within `out`. Frames from `framesReady` on are not written yet and are
// never played: the rest of `out` is silence and the position waits there, so playback resumes,
// in order, once the render has moved on. Past the song's end the device gets silence and the
// position stays at `songFrames`.
inline std::uint32_t feedSongFrames(float* out, std::uint32_t wanted, const float* song,
                                    std::uint32_t songFrames, std::uint32_t framesReady,
                                    std::uint32_t position, AudioLoop loop = {}) {
    loop = clampedLoop(loop, songFrames);
    position = loopEntry(position, loop);
    const std::uint32_t ready = framesReady < songFrames ? framesReady : songFrames;
    std::uint32_t copied = 0;
    for (;;) {
        const std::uint32_t end = loop.active() && loop.to < ready ? loop.to : ready;
        const std::uint32_t available = position < end ? end - position : 0;
        const std::uint32_t count = wanted - copied < available ? wanted - copied : available;
        if (count == 0 && copied == wanted) break;
        if (count > 0) {
            std::memcpy(out + static_cast<std::size_t>(copied) * 2, song + static_cast<std::size_t>(position) * 2,
                        static_cast<std::size_t>(count) * 8);
        }
        copied += count;
        position += count;
        if (!loop.active() || position != loop.to) break;
        position = loop.from;  // also when `out` is full: the position never reads the loop's end
    }
    std::memset(out + static_cast<std::size_t>(copied) * 2, 0, static_cast<std::size_t>(wanted - copied) * 8);
    return position;
}

}  // namespace platform
