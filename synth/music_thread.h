// The music thread: renders the whole song into memory while the show loads and plays.
#pragma once

#include <atomic>
#include <cstdint>

// Fills the sample table (the system's bank, else the built-in stand-in) and starts rendering
// the song on a thread of its own that is never waited for. The table is filled first, so the
// render never reads it while it changes.
void startSongRender();

// The song buffer: kSongFrames interleaved stereo frames, written front to back by the render.
const float* songFrames();

// How many frames of the song buffer the render has written so far (whole rows).
const std::atomic<std::uint32_t>& songFramesReady();
