// The production's master clock: the audio output's play position.
#pragma once

#include <cstdint>

// Starts playing `frameCount` interleaved stereo float frames once. Without an audio device the
// clock runs from the system's steady clock instead, so the show still plays through and ends.
void startAudio(const float* frames, std::uint32_t frameCount);

// Play position in seconds: frames / 44100 in single precision.
double audioSeconds();

// True until the play position has reached the end of the song.
bool audioIsPlaying();
