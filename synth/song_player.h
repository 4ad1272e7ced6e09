// The song player: runs the patch frame by frame with the same arithmetic as
// su_run_vm and bit-identical results, faster.
//
// What it saves over interpreting the streams each frame:
//  - each instrument is code specialised at compile time from the patch: the
//    opcodes, flags, operand bytes and stack depths are constants, and so are
//    the parameters of units that nothing has sent to;
//  - send targets and delay lines are looked up once, at the start of a render;
//  - 2^x of the envelope and compressor rates and of the oscillator pitches is
//    remembered per unit for the last input (a pure function: same input, same
//    bits);
//  - units whose every use ends in a product with an envelope that has fallen
//    silent for good (level 0 in sustain or release) are not computed (see
//    kill_analysis.h);
//  - unison copies of triangle/saw and pulse oscillators run two at a time in
//    SIMD lanes, and oscillators that nothing sends to are computed eight
//    frames ahead within a row (their phase words run ahead of the frame by up
//    to seven frames; nothing reads them in between).
#pragma once

#include <cstdint>

#include "synth/synth_object.h"

namespace synth {

// What a unit needs at run time beyond what is fixed at compile time.
struct PlayerUnit {
    float* record = nullptr;        // the unit's record in its voice slot
    std::uint16_t sendAddress = 0;  // send: the address operand
    float* sendTarget = nullptr;    // send: the word it adds to
    float* delayLine = nullptr;     // delay: the first line it takes
    float rateKey[5] = {};          // envelope, compressor: remembered rates
    double rateValue[5] = {};
    double pitchKey[8] = {};        // oscillator: remembered increments per copy and channel
    double incrementValue[8] = {};
    double frames[8] = {};          // oscillator: values of the current run of frames, computed ahead
};

struct PlayerVoice {
    float* slot = nullptr;
    int firstUnit = 0;
    int unitCount = 0;
    std::uint64_t silent = 0;         // bit u set: envelope unit u has fallen silent for good
};

struct SongPlayer {
    PlayerUnit units[kVoiceCount * kMaxUnitsPerVoice];
    PlayerVoice voices[kVoiceCount];
    int unitCount = 0;
};

// Decodes the patch for the voices of `state` and clears the remembered results.
void compileSongPlayer(SongPlayer& player, SynthState& state);

// Computes one frame into the output channels of state.object, like su_run_vm.
void playFrame(SongPlayer& player, SynthState& state);

// Forgets which envelopes have fallen silent. Call after anything restarts
// voices (updateVoices), before the next frame.
void forgetSilentEnvelopes(SongPlayer& player);

}  // namespace synth
