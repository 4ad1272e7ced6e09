// The song of a stretch of show time, rendered as the production renders it, for the commands that
// put it beside pictures (capture, join).
#pragma once

#include <vector>

#include "tools/capture_range.h"

// Renders the song from its start (the system bank, else the built-in stand-in, as the production
// chooses) and keeps the frames of `span`, interleaved left/right. False when interrupted.
[[nodiscard]] bool renderSongSpan(const SongSpan& span, std::vector<float>& audio);
