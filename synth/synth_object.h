// The synthesizer's state block, the delay workspace and the render context.
//
// synth_object is addressed by 32-bit word index, because sends in the patch
// carry word addresses into it:
//   words 0-7      per-track rotation index, one byte per track
//   words 8-15     eight output channels (0/1 main L/R, 2/3 auxiliary L/R)
//   words 16..     32 voice slots of 1024 words; slot v starts at word 16 + 1024v
// A voice slot: word 0 note (int32), word 1 gate (int32), words 2-15 the
// parameter area, then 63 unit records of 16 words (0-7 private state, 8-15
// modulation slots).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "synth/song_constants.h"

namespace synth {

inline constexpr int kVoiceSlotWords = 1024;
inline constexpr int kUnitWords = 16;
inline constexpr int kUnitStateWords = 8;       // words 0-7 of a unit record
inline constexpr int kModulationWord = 8;       // words 8-15 of a unit record
inline constexpr int kMaxUnitsPerVoice = 63;
inline constexpr int kOutputChannelWord = 8;
inline constexpr int kFirstVoiceWord = 16;
inline constexpr int kNoteWord = 0;
inline constexpr int kGateWord = 1;
inline constexpr int kParameterWord = 2;
inline constexpr int kSynthObjectWords = kFirstVoiceWord + kVoiceSlotCount * kVoiceSlotWords;

struct SynthObject {
    // Floats and int32 share the words; integer words are accessed through
    // loadInt/storeInt, which reinterpret the bits.
    alignas(64) float words[kSynthObjectWords];
};

inline std::int32_t loadInt(float word) { return std::bit_cast<std::int32_t>(word); }
inline void storeInt(float& word, std::int32_t value) { word = std::bit_cast<float>(value); }

inline float* voiceSlot(SynthObject& object, int voice) {
    return object.words + kFirstVoiceWord + voice * kVoiceSlotWords;
}
inline float* outputChannels(SynthObject& object) { return object.words + kOutputChannelWord; }
inline std::uint8_t* trackRotation(SynthObject& object) {
    return reinterpret_cast<std::uint8_t*>(object.words);
}
// The record of unit u (0-based, in patch order) within a voice slot.
inline float* unitRecord(float* slot, int unit) { return slot + kUnitWords * (unit + 1); }

// The delay workspace: 45 lines, each a 3-word header (DC-blocker x1 and y1,
// damping state) and 65,536 samples. The DC-blocker words of a group of lines
// are the first two header words of the line after the group's last line; the
// last group's lie in the two words after the 45th line.
//
// Lines are padded so that consecutive lines start 23 cache lines apart modulo
// 64 KiB: unpadded, all 45 write positions (and the headers) fall into the
// same few cache sets and evict one another every frame.
inline constexpr std::size_t kDelayHeaderWords = 3;
inline constexpr std::size_t kDelayLinePadWords = 365;
inline constexpr std::size_t kDelayLineWords = kDelayHeaderWords + kDelayLineLength + kDelayLinePadWords;
static_assert(kDelayLineWords * 4 % 65536 == 23 * 64);
inline constexpr std::uint32_t kDelayIndexMask = kDelayLineLength - 1;

struct DelayWorkspace {
    alignas(64) float words[kDelayLineCount * kDelayLineWords + 2];
};

// What the units read besides their voice: the frame counter (delay), the
// noise seed (noise), the state block (global sends, output channels) and the
// delay cursor, which hands out delay lines in run order.
struct RenderContext {
    std::uint32_t frame = 0;
    std::uint32_t noiseSeed = 1;
    float* delayCursor = nullptr;
};

// Everything one render owns. Large (about 12 MB): keep it in static storage
// or on the heap, never on a thread's stack.
struct SynthState {
    SynthObject object;
    DelayWorkspace delays;
    RenderContext context;
};

// Zeroes the state block and the delay workspace and restarts the frame
// counter and the noise seed.
void resetSynthState(SynthState& state);

}  // namespace synth
