// The production's master clock: the audio output's play position.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

// Where the clock takes its device and its time from. The production uses the platform's audio
// output and the steady clock; tests script both.
struct AudioClockSource {
    bool (*startPlayback)(const float* frames, std::uint32_t frameCount,
                          const std::atomic<std::uint32_t>* framesReady) = nullptr;
    std::optional<std::uint32_t> (*playPosition)() = nullptr;
    std::chrono::steady_clock::time_point (*now)() = nullptr;
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

// Play position in seconds: frames / 44100 in single precision.
double audioSeconds();

// True until the play position has reached the end of the song.
bool audioIsPlaying();
