// The production's master clock: the audio output's play position.
#pragma once

#include <atomic>
#include <cstdint>

// Starts playing `frameCount` interleaved stereo float frames once, of which `framesReady` have
// been written so far. Without an audio device the clock runs from the system's steady clock
// instead, so the show still plays through and ends.
void startAudio(const float* frames, std::uint32_t frameCount, const std::atomic<std::uint32_t>* framesReady);

// Play position in seconds: frames / 44100 in single precision.
double audioSeconds();

// True until the play position has reached the end of the song.
bool audioIsPlaying();
