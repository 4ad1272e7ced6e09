// Show time and song frames in making mode: the loop range the options and keys give, and the
// conversions between seconds and the frames the audio output plays.
#pragma once

#include <cstdint>

// A stretch of show time played over and over: reaching `to` goes back to `from`.
struct LoopRange {
    double from = 0.0;
    double to = 0.0;
};

// The song's length in seconds: where the show ends and making mode holds.
double songEndSeconds();

// The song frame of show time `seconds`: round(seconds x frame rate), at most `songFrames`.
std::uint32_t songFrameAt(double seconds, std::uint32_t songFrames);

// The clock's reading at song frame `frame`: frame / 44100 in single precision, widened.
double secondsOfFrame(std::uint32_t frame);
