// Delay times and the sample table entries of the song.
#pragma once

#include <cstdint>
#include <iterator>

namespace synth {

// Delay lengths in samples, indexed by a delay unit's first-time index.
// Entries 21..28 are entries 13..20 plus 24 (the reverb's second channel).
inline constexpr std::uint16_t su_delay_times[] = {
    22050, 11025, 22050, 459,   12550, 24402, 21265, 32419, 420,  65535,  // 0-9
    43181, 14700, 13321, 1116,  1188,  1276,  1356,  1422,  1492, 1556,   // 10-19
    1618,  1140,  1212,  1300,  1380,  1446,  1516,  1580,  1642,         // 20-28
};
static_assert(std::size(su_delay_times) == 29);

// One sampled waveform in the sound bank image.
struct SampleOffset {
    std::uint32_t start;       // first 16-bit word in the bank image
    std::uint16_t loopStart;   // in samples from start
    std::uint16_t loopLength;  // in samples
};

inline constexpr SampleOffset su_sample_offsets[] = {
    {433554, 0, 5676},
};

}  // namespace synth
