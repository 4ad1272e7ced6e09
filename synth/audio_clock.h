// The production's master clock: the audio output's play position.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "synth/play_position.h"

// Where the clock takes its device and its time from. The production uses the platform's audio
// output and the steady clock; tests script both.
struct AudioClockSource {
    bool (*startPlayback)(const float* frames, std::uint32_t frameCount,
                          const std::atomic<std::uint32_t>* framesReady) = nullptr;
    std::optional<std::uint32_t> (*playPosition)() = nullptr;
    std::chrono::steady_clock::time_point (*now)() = nullptr;
    // Making mode only; null where the device cannot hold or move (then nothing happens).
    void (*pausePlayback)(bool paused) = nullptr;
    void (*seekPlayback)(std::uint32_t frame) = nullptr;
};

// The platform's audio output and the system's steady clock.
AudioClockSource platformAudioClockSource();

// Starts playing `frameCount` interleaved stereo float frames once, of which `framesReady` have
// been written so far. Without an audio device the clock runs from the steady clock instead, so
// the show still plays through and ends.
void startAudio(const float* frames, std::uint32_t frameCount, const std::atomic<std::uint32_t>* framesReady);

// The same with the device and time taken from `source`; starting again restarts the clock.
void startAudio(const AudioClockSource& source, const float* frames, std::uint32_t frameCount,
                const std::atomic<std::uint32_t>* framesReady);

// Play position in seconds: frames / 44100 in single precision. In making mode it includes the
// frame of the last seek and stands still while paused.
double audioSeconds();

// True until the play position has reached the end of the song.
bool audioIsPlaying();

// Making mode, once per frame: carries out `play`'s pending seek (sound from song frame
// round(seconds x 44100); without a device the clock waits at the target until the render has
// written it), holds or resumes the output as `play` asks, and sets `play.showTime` from the
// clock. Reaching the loop's end goes back to its start; reaching the song's end holds there,
// paused, until a seek.
void followPlayPosition(PlayPosition& play);
