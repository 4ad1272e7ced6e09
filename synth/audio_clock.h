// The production's master clock: the audio output's play position. Main thread only: the clock
// keeps the device's last answer in plain fields.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "platform/platform.h"
#include "synth/play_position.h"

// Where the clock takes its device and its time from. The production uses the platform's audio
// output and the steady clock; tests script both.
struct AudioClockSource {
    bool (*startPlayback)(const float* frames, std::uint32_t frameCount,
                          const std::atomic<std::uint32_t>* framesReady, const platform::AudioStart& start) = nullptr;
    std::optional<std::uint32_t> (*playPosition)() = nullptr;
    std::chrono::steady_clock::time_point (*now)() = nullptr;
    // Making mode only; null where the device cannot hold or move (then nothing happens).
    void (*pausePlayback)(bool paused) = nullptr;
    void (*seekPlayback)(std::uint32_t frame) = nullptr;
    void (*loopPlayback)(platform::AudioLoop loop) = nullptr;
    void (*movePlayback)(std::int32_t frames) = nullptr;
};

// The platform's audio output and the system's steady clock.
AudioClockSource platformAudioClockSource();

// Starts playing `frameCount` interleaved stereo float frames once, of which `framesReady` have
// been written so far: from frame 0 at once, or as planAudioStart asked. Without an audio device
// the clock runs from the steady clock instead, so the show still plays through and ends.
void startAudio(const float* frames, std::uint32_t frameCount, const std::atomic<std::uint32_t>* framesReady);

// The same with the device and time taken from `source`; starting again restarts the clock.
void startAudio(const AudioClockSource& source, const float* frames, std::uint32_t frameCount,
                const std::atomic<std::uint32_t>* framesReady);

// Play position in seconds: frames / 44100 in single precision. In making mode it includes the
// frame of the last seek, wraps with the loop and stands still while paused.
double audioSeconds();

// True until the play position has reached the end of the song.
bool audioIsPlaying();

// ---- Making mode: what the clock offers the rules in app/ --------------------------------------
// Each call goes to the output's feed, which carries it out sample-exactly; without a device the
// steady clock follows the same rules.

// Before start-up: the output starts at show time `seconds` (round(seconds x 44100)), looping over
// `loop` when given, and only once the song is written far enough there (as after a seek).
// Holds for the next startAudio only.
void planAudioStart(double seconds, const std::optional<LoopRange>& loop);

// Moves the output to song frame round(seconds x 44100) (the loop's start when that is at or
// past the loop's end). The position reads the target at once and waits there, silent, until the
// song is written far enough beyond it. Returns the frame moved to.
std::uint32_t seekAudio(double seconds);

// Moves the output by round(seconds x 44100) frames from where its sound is cut, so that the sound
// moves by exactly that; lands as a seek does (seekLanding). Without a device, from the clock's
// frame now.
void moveAudio(double seconds);

// Holds (true) or resumes (false) the output; each change once. The output fades out and stops
// at a whole millisecond's frame, which the clock then reads.
void pauseAudio(bool paused);

// Sets or clears the loop from the frame now playing on.
void loopAudio(const std::optional<LoopRange>& loop);

// The play position in song frames (audioSeconds before the conversion).
std::uint32_t audioFrame();

// The song frames the render has written so far, and the song's length.
std::uint32_t songFramesWritten();
std::uint32_t songFramesTotal();

// True while the output waits at its position for the render (after a seek past it).
bool audioWaitsForSong();
