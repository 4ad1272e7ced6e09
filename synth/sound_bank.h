// The sample table: an image of the system's General MIDI DLS bank, read as
// little-endian signed 16-bit words. The sample oscillator reads it through
// su_sample_offsets.
#pragma once

#include <cstdint>

#include "synth/song_constants.h"

namespace synth {

extern std::uint8_t susamtable[kSampleTableBytes];

// Signed 16-bit little-endian word `index` of the table; 0 outside it.
inline std::int32_t sampleTableWord(std::int64_t index) {
    if (index < 0 || index >= static_cast<std::int64_t>(kSampleTableBytes / 2)) return 0;
    const std::uint8_t* p = susamtable + 2 * index;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

// The built-in stand-in instrument: the word count of its loop and the cycles of
// its fundamental within the loop.
inline constexpr int kStandInLoopWords = 5676;
inline constexpr int kStandInCycles = 67;

}  // namespace synth

// Fills the sample table from the system bank "drivers/gm.dls" (on Windows
// found by the platform's own search rules for the relative path, elsewhere
// relative to the current directory). Where the bank cannot be opened, writes
// the built-in stand-in instrument instead. Returns true if the system bank
// was read.
bool su_load_gmdls();

// Fills the sample table from the first bytes of `path`; a shorter file
// leaves the rest zero. Returns false (table all zero) if it cannot be opened.
bool su_load_bank_file(const char* path);

// Zeroes the whole sample table.
void su_clear_bank();

// Zeroes the table and writes the built-in stand-in instrument at the song's
// sample entry.
void su_write_stand_in_bank();
