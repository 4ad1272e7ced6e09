// The song player: the patch decoded once into per-voice unit lists, run frame
// by frame with the same arithmetic as su_run_vm and bit-identical results.
//
// What it saves over interpreting the streams each frame:
//  - operands are decoded once (parameter bases, send targets, delay lines);
//  - 2^x of the envelope and compressor rates and of the oscillator pitches is
//    remembered per unit for the last input (a pure function: same input, same
//    bits);
//  - units whose every use ends in a product with an envelope that has fallen
//    silent for good (level 0 in sustain or release) are not computed: their
//    results could only ever be multiplied by that zero until the voice is
//    restarted, which clears their state anyway.
#pragma once

#include <cstdint>

#include "synth/song_patch.h"
#include "synth/synth_object.h"

namespace synth {

struct PlayerUnit {
    SuOpcode op = SuOpcode::end;
    bool stereo = false;
    std::uint8_t paramCount = 0;
    std::uint8_t flags = 0;         // oscillator/filter flags, `in` channel
    std::uint8_t sampleNumber = 0;  // oscillator: the raw colour byte
    std::uint8_t delayLines = 0;    // delay: lines per channel
    std::uint16_t sendAddress = 0;
    float base[6] = {};             // parameter byte / 128
    float* record = nullptr;        // the unit's record in its voice slot
    float* sendTarget = nullptr;
    float* delayLine = nullptr;     // first delay line taken by this unit
    const std::uint16_t* delayTimes = nullptr;
    float rateKey[5] = {};
    double rateValue[5] = {};
    double pitchKey[8] = {};
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
// voices (su_update_voices), before the next frame.
void forgetSilentEnvelopes(SongPlayer& player);

}  // namespace synth
