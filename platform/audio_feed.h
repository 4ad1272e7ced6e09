// Handing the song to an audio device that pulls buffers while the song is still being rendered.
// Portable, so the backends share it and tests drive it without a device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace platform {

// Fills `out` with `wanted` interleaved stereo float frames of `song` (`songFrames` long) from
// frame `position` on, and returns the position after them. Frames from `framesReady` on are not
// written yet and are never played: the rest of `out` is silence and the position waits there,
// so playback resumes, in order, once the render has moved on. Past the song's end the device
// gets silence and the position stays at `songFrames`.
inline std::uint32_t feedSongFrames(float* out, std::uint32_t wanted, const float* song,
                                    std::uint32_t songFrames, std::uint32_t framesReady,
                                    std::uint32_t position) {
    const std::uint32_t ready = framesReady < songFrames ? framesReady : songFrames;
    const std::uint32_t available = position < ready ? ready - position : 0;
    const std::uint32_t copied = wanted < available ? wanted : available;
    if (copied > 0) {
        std::memcpy(out, song + static_cast<std::size_t>(position) * 2, static_cast<std::size_t>(copied) * 8);
    }
    std::memset(out + static_cast<std::size_t>(copied) * 2, 0, static_cast<std::size_t>(wanted - copied) * 8);
    return position + copied;
}

}  // namespace platform
