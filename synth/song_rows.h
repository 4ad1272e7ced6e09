// The song's own position: rows of kSamplesPerRow frames, patterns of kRowsPerPattern rows, as
// the song tables play them. Making mode shows it, moves by it and accepts it as PATTERN:ROW.
#pragma once

#include <cstdint>

#include "synth/song_constants.h"

namespace synth {

struct SongRow {
    std::uint32_t pattern = 0;  // order position, 0 to kOrderPositions (the song's end)
    std::uint32_t row = 0;      // within the pattern, 0 to kRowsPerPattern - 1
    bool operator==(const SongRow&) const = default;
};

// The row being played at song frame `frame`.
constexpr SongRow songRowAt(std::uint32_t frame) {
    const std::uint32_t row = frame / kSamplesPerRow;
    return {row / kRowsPerPattern, row % kRowsPerPattern};
}

// The song frame a row starts at.
constexpr std::uint32_t frameOfSongRow(std::uint32_t pattern, std::uint32_t row) {
    return (pattern * kRowsPerPattern + row) * kSamplesPerRow;
}

static_assert(frameOfSongRow(kOrderPositions, 0) == kSongFrames, "the last pattern ends with the song");
static_assert(songRowAt(frameOfSongRow(12, 3) + kSamplesPerRow - 1) == SongRow{12, 3});

}  // namespace synth
