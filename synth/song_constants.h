// Output format, timing and the numeric constants the synthesizer units use.
#pragma once

#include <bit>
#include <cstdint>

#include "platform/platform.h"

namespace synth {

// Output format and song timing: the song is rendered at the output's frame rate,
// platform::kAudioFrameRate.
inline constexpr std::uint32_t kChannels = 2;
inline constexpr std::uint32_t kSamplesPerRow = 5512;
inline constexpr std::uint32_t kRowsPerPattern = 16;
inline constexpr std::uint32_t kOrderPositions = 56;
inline constexpr std::uint32_t kSongRows = kOrderPositions * kRowsPerPattern;  // 896
inline constexpr std::uint32_t kSongFrames = kSongRows * kSamplesPerRow;  // 4,938,752
inline constexpr std::uint32_t kSongBytes = kSongFrames * kChannels * 4;  // 39,510,016
// The song's length in seconds (111.98984...): where the show ends.
inline constexpr double kSongSeconds = static_cast<double>(kSongFrames) / platform::kAudioFrameRate;

// Tracks, voices and their masks.
inline constexpr int kTrackCount = 13;
inline constexpr int kVoiceCount = 16;     // voices that are run (15 driven by tracks + the global one)
inline constexpr int kVoiceSlotCount = 32; // voice slots in the state block
inline constexpr std::uint32_t kTrackVoiceMask = 0x180;       // bit v: voice v+1 belongs to voice v's track
inline constexpr std::uint32_t kInstrumentVoiceMask = 0xD80;  // bit (15-k): voice k+1 runs voice k's instrument
inline constexpr int kPatternCount = 70;
inline constexpr int kDelayLineCount = 45;
inline constexpr std::uint32_t kDelayLineLength = 65536;

// The numeric constants, given by their exact bit patterns.
namespace su_constants {
inline constexpr float kByteToParam = std::bit_cast<float>(0x3C000000u);      // 1/128
inline constexpr float kHalf = std::bit_cast<float>(0x3F000000u);             // 0.5
inline constexpr float kDcBlockerPole = std::bit_cast<float>(0x3F7F0000u);    // 255/256
inline constexpr float kLfoBaseIncrement = std::bit_cast<float>(0x381F6230u); // cycles per sample
inline constexpr float kNoteBaseIncrement = std::bit_cast<float>(0x38C265DCu);// cycles per sample at note 0
inline constexpr float kSamplePhaseScale = std::bit_cast<float>(0x42A88FBEu); // phase to sample position
inline constexpr float kSampleWordScale = std::bit_cast<float>(0x46FFFE00u);  // 32767
inline constexpr std::int32_t kNoiseDivisor = std::bit_cast<std::int32_t>(0x80000000u);  // -2^31
inline constexpr float kOneTwelfth = std::bit_cast<float>(0x3DAAAAAAu);       // semitones to octaves
inline constexpr std::int32_t kRateExponentScale = 0x00000018;               // 24
}  // namespace su_constants

// The system sound bank: its relative path and the number of bytes read from it.
inline constexpr char su_gmdls_path1[] = "drivers/gm.dls";
static_assert(sizeof(su_gmdls_path1) == 15);
inline constexpr std::uint32_t kSampleTableBytes = 3440660;  // 0x348014

}  // namespace synth
