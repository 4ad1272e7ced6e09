// The patch: the song's twelve instruments as an opcode stream and an operand
// stream. Each opcode byte is (unit number x 2 + stereo flag); each instrument
// ends with a 0 byte. The operand stream holds, unit by unit, the parameter
// bytes (0..128, read as byte/128) followed by the unit's inline bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace synth {

// Unit numbers of the opcode stream (0 ends an instrument).
enum class SuOpcode : std::uint8_t {
    end = 0,
    noise = 1,
    send = 2,
    oscillator = 3,
    filter = 4,
    envelope = 5,
    mulp = 6,
    addp = 7,
    pan = 8,
    outaux = 9,
    distort = 10,
    delay = 11,
    add = 12,
    loadnote = 13,
    compressor = 14,
    push = 15,
    xch = 16,
    in = 17,
    out = 18,
};
inline constexpr int kOpcodeCount = 18;

// Parameter count of unit n at entry n-1.
inline constexpr std::uint8_t su_vm_transformcounts[kOpcodeCount] = {
    2, 1, 6, 2, 5, 0, 0, 1, 2, 1, 4, 0, 0, 5, 0, 0, 0, 1,
};

// Inline operand bytes that unit n reads itself after its parameters, at entry n-1.
inline constexpr std::uint8_t kInlineByteCounts[kOpcodeCount] = {
    0, 2, 1, 1, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 0,
};

constexpr std::uint8_t mono(SuOpcode op) { return static_cast<std::uint8_t>(static_cast<int>(op) * 2); }
constexpr std::uint8_t stereo(SuOpcode op) { return static_cast<std::uint8_t>(static_cast<int>(op) * 2 + 1); }
inline constexpr std::uint8_t kEndOfInstrument = 0;

inline constexpr std::uint8_t su_patch_opcodes[] = {
    // instrument 0: voice 0, track 0
    mono(SuOpcode::noise),             // unit 0
    mono(SuOpcode::send),              // unit 1
    mono(SuOpcode::oscillator),        // unit 2
    mono(SuOpcode::filter),            // unit 3
    mono(SuOpcode::envelope),          // unit 4
    mono(SuOpcode::mulp),              // unit 5
    mono(SuOpcode::envelope),          // unit 6
    mono(SuOpcode::send),              // unit 7
    mono(SuOpcode::noise),             // unit 8
    mono(SuOpcode::send),              // unit 9
    mono(SuOpcode::oscillator),        // unit 10
    mono(SuOpcode::filter),            // unit 11
    mono(SuOpcode::envelope),          // unit 12
    mono(SuOpcode::mulp),              // unit 13
    mono(SuOpcode::addp),              // unit 14
    mono(SuOpcode::pan),               // unit 15
    stereo(SuOpcode::outaux),          // unit 16
    kEndOfInstrument,
    // instrument 1: voice 1, track 1
    mono(SuOpcode::envelope),          // unit 0
    mono(SuOpcode::send),              // unit 1
    mono(SuOpcode::envelope),          // unit 2
    mono(SuOpcode::oscillator),        // unit 3
    mono(SuOpcode::distort),           // unit 4
    mono(SuOpcode::mulp),              // unit 5
    mono(SuOpcode::envelope),          // unit 6
    mono(SuOpcode::noise),             // unit 7
    mono(SuOpcode::mulp),              // unit 8
    mono(SuOpcode::filter),            // unit 9
    mono(SuOpcode::filter),            // unit 10
    mono(SuOpcode::addp),              // unit 11
    mono(SuOpcode::envelope),          // unit 12
    mono(SuOpcode::send),              // unit 13
    mono(SuOpcode::envelope),          // unit 14
    mono(SuOpcode::send),              // unit 15
    mono(SuOpcode::filter),            // unit 16
    mono(SuOpcode::filter),            // unit 17
    mono(SuOpcode::filter),            // unit 18
    mono(SuOpcode::filter),            // unit 19
    mono(SuOpcode::filter),            // unit 20
    mono(SuOpcode::distort),           // unit 21
    mono(SuOpcode::pan),               // unit 22
    stereo(SuOpcode::outaux),          // unit 23
    kEndOfInstrument,
    // instrument 2: voice 2, track 2
    mono(SuOpcode::envelope),          // unit 0
    mono(SuOpcode::envelope),          // unit 1
    mono(SuOpcode::mulp),              // unit 2
    mono(SuOpcode::noise),             // unit 3
    mono(SuOpcode::mulp),              // unit 4
    mono(SuOpcode::noise),             // unit 5
    mono(SuOpcode::send),              // unit 6
    mono(SuOpcode::filter),            // unit 7
    mono(SuOpcode::filter),            // unit 8
    mono(SuOpcode::pan),               // unit 9
    stereo(SuOpcode::delay),           // unit 10
    stereo(SuOpcode::outaux),          // unit 11
    kEndOfInstrument,
    // instrument 3: voice 3, track 3
    stereo(SuOpcode::envelope),        // unit 0
    stereo(SuOpcode::oscillator),      // unit 1
    stereo(SuOpcode::mulp),            // unit 2
    stereo(SuOpcode::pan),             // unit 3
    stereo(SuOpcode::delay),           // unit 4
    stereo(SuOpcode::outaux),          // unit 5
    kEndOfInstrument,
    // instrument 4: voices 4-6, tracks 4, 5 and 6 (one voice each)
    mono(SuOpcode::envelope),          // unit 0
    mono(SuOpcode::envelope),          // unit 1
    mono(SuOpcode::mulp),              // unit 2
    mono(SuOpcode::oscillator),        // unit 3
    mono(SuOpcode::add),               // unit 4
    mono(SuOpcode::oscillator),        // unit 5
    mono(SuOpcode::addp),              // unit 6
    mono(SuOpcode::mulp),              // unit 7
    mono(SuOpcode::filter),            // unit 8
    mono(SuOpcode::pan),               // unit 9
    stereo(SuOpcode::delay),           // unit 10
    stereo(SuOpcode::outaux),          // unit 11
    mono(SuOpcode::loadnote),          // unit 12
    mono(SuOpcode::send),              // unit 13
    kEndOfInstrument,
    // instrument 5: voices 7-9, track 7 (three voices)
    mono(SuOpcode::oscillator),        // unit 0
    mono(SuOpcode::oscillator),        // unit 1
    mono(SuOpcode::addp),              // unit 2
    mono(SuOpcode::envelope),          // unit 3
    mono(SuOpcode::mulp),              // unit 4
    mono(SuOpcode::oscillator),        // unit 5
    mono(SuOpcode::oscillator),        // unit 6
    mono(SuOpcode::addp),              // unit 7
    mono(SuOpcode::envelope),          // unit 8
    mono(SuOpcode::mulp),              // unit 9
    mono(SuOpcode::delay),             // unit 10
    stereo(SuOpcode::filter),          // unit 11
    stereo(SuOpcode::compressor),      // unit 12
    stereo(SuOpcode::mulp),            // unit 13
    stereo(SuOpcode::delay),           // unit 14
    stereo(SuOpcode::pan),             // unit 15
    stereo(SuOpcode::outaux),          // unit 16
    kEndOfInstrument,
    // instrument 6: voice 10, track 8
    mono(SuOpcode::envelope),          // unit 0
    mono(SuOpcode::oscillator),        // unit 1
    mono(SuOpcode::mulp),              // unit 2
    mono(SuOpcode::pan),               // unit 3
    stereo(SuOpcode::delay),           // unit 4
    stereo(SuOpcode::outaux),          // unit 5
    kEndOfInstrument,
    // instrument 7: voice 11, track 9
    mono(SuOpcode::oscillator),        // unit 0
    mono(SuOpcode::oscillator),        // unit 1
    mono(SuOpcode::addp),              // unit 2
    mono(SuOpcode::envelope),          // unit 3
    mono(SuOpcode::send),              // unit 4
    mono(SuOpcode::mulp),              // unit 5
    mono(SuOpcode::envelope),          // unit 6
    mono(SuOpcode::send),              // unit 7
    mono(SuOpcode::send),              // unit 8
    mono(SuOpcode::filter),            // unit 9
    mono(SuOpcode::filter),            // unit 10
    mono(SuOpcode::pan),               // unit 11
    stereo(SuOpcode::outaux),          // unit 12
    kEndOfInstrument,
    // instrument 8: voice 12, track 10
    mono(SuOpcode::oscillator),        // unit 0
    mono(SuOpcode::oscillator),        // unit 1
    mono(SuOpcode::addp),              // unit 2
    mono(SuOpcode::push),              // unit 3
    mono(SuOpcode::oscillator),        // unit 4
    mono(SuOpcode::send),              // unit 5
    mono(SuOpcode::send),              // unit 6
    mono(SuOpcode::filter),            // unit 7
    mono(SuOpcode::xch),               // unit 8
    mono(SuOpcode::oscillator),        // unit 9
    mono(SuOpcode::send),              // unit 10
    mono(SuOpcode::filter),            // unit 11
    mono(SuOpcode::addp),              // unit 12
    mono(SuOpcode::filter),            // unit 13
    mono(SuOpcode::envelope),          // unit 14
    mono(SuOpcode::mulp),              // unit 15
    mono(SuOpcode::pan),               // unit 16
    stereo(SuOpcode::delay),           // unit 17
    stereo(SuOpcode::outaux),          // unit 18
    kEndOfInstrument,
    // instrument 9: voice 13, track 11
    mono(SuOpcode::loadnote),          // unit 0
    mono(SuOpcode::send),              // unit 1
    mono(SuOpcode::send),              // unit 2
    mono(SuOpcode::send),              // unit 3
    kEndOfInstrument,
    // instrument 10: voice 14, track 12
    mono(SuOpcode::loadnote),          // unit 0
    mono(SuOpcode::send),              // unit 1
    kEndOfInstrument,
    // instrument 11: voice 15, no track
    stereo(SuOpcode::in),              // unit 0
    stereo(SuOpcode::delay),           // unit 1
    stereo(SuOpcode::out),             // unit 2
    kEndOfInstrument,
};

inline constexpr std::uint8_t su_patch_operands[] = {
    // instrument 0: voice 0, track 0
    77, 128,                           // unit 0 noise: shape, gain
    81, 0x38, 0x00,                    // unit 1 send: amount, address 0x0038
    64, 64, 0, 128, 76, 128, 0x40,     // unit 2 oscillator: transpose, detune, phase, color, shape, gain, flags (sine)
    86, 54, 0x24,                      // unit 3 filter: frequency, resonance, flags (+band -high)
    16, 51, 0, 59, 128,                // unit 4 envelope: attack, decay, sustain, release, gain
    39, 64, 4, 14, 99,                 // unit 6 envelope: attack, decay, sustain, release, gain
    75, 0xB8, 0x00,                    // unit 7 send: amount, address 0x00B8
    80, 33,                            // unit 8 noise: shape, gain
    86, 0xB8, 0x00,                    // unit 9 send: amount, address 0x00B8
    45, 64, 0, 128, 64, 110, 0x40,     // unit 10 oscillator: transpose, detune, phase, color, shape, gain, flags (sine)
    17, 98, 0x44,                      // unit 11 filter: frequency, resonance, flags (+low -high)
    39, 69, 1, 42, 60,                 // unit 12 envelope: attack, decay, sustain, release, gain
    64,                                // unit 15 pan: panning
    91, 3,                             // unit 16 outaux: outgain, auxgain
    // instrument 1: voice 1, track 1
    38, 49, 0, 0, 128,                 // unit 0 envelope: attack, decay, sustain, release, gain
    70, 0x48, 0x00,                    // unit 1 send: amount, address 0x0048
    22, 64, 0, 0, 38,                  // unit 2 envelope: attack, decay, sustain, release, gain
    56, 64, 19, 128, 84, 70, 0x40,     // unit 3 oscillator: transpose, detune, phase, color, shape, gain, flags (sine)
    82,                                // unit 4 distort: drive
    0, 68, 0, 0, 70,                   // unit 6 envelope: attack, decay, sustain, release, gain
    12, 31,                            // unit 7 noise: shape, gain
    108, 128, 0x44,                    // unit 9 filter: frequency, resonance, flags (+low -high)
    97, 128, 0x44,                     // unit 10 filter: frequency, resonance, flags (+low -high)
    47, 54, 0, 0, 128,                 // unit 12 envelope: attack, decay, sustain, release, gain
    19, 0xB8, 0x00,                    // unit 13 send: amount, address 0x00B8
    54, 68, 70, 0, 128,                // unit 14 envelope: attack, decay, sustain, release, gain
    26, 0x18, 0x01,                    // unit 15 send: amount, address 0x0118
    100, 128, 0x44,                    // unit 16 filter: frequency, resonance, flags (+low -high)
    19, 98, 0x10,                      // unit 17 filter: frequency, resonance, flags (+high)
    15, 128, 0x50,                     // unit 18 filter: frequency, resonance, flags (+low +high)
    40, 74, 0x50,                      // unit 19 filter: frequency, resonance, flags (+low +high)
    23, 42, 0x10,                      // unit 20 filter: frequency, resonance, flags (+high)
    88,                                // unit 21 distort: drive
    47,                                // unit 22 pan: panning
    55, 7,                             // unit 23 outaux: outgain, auxgain
    // instrument 2: voice 2, track 2
    7, 60, 0, 0, 128,                  // unit 0 envelope: attack, decay, sustain, release, gain
    0, 68, 0, 0, 128,                  // unit 1 envelope: attack, decay, sustain, release, gain
    52, 63,                            // unit 3 noise: shape, gain
    50, 31,                            // unit 5 noise: shape, gain
    51, 0x88, 0x00,                    // unit 6 send: amount, address 0x0088
    110, 128, 0x10,                    // unit 7 filter: frequency, resonance, flags (+high)
    94, 128, 0x08,                     // unit 8 filter: frequency, resonance, flags (-band)
    79,                                // unit 9 pan: panning
    58, 66, 31, 15, 0, 1,              // unit 10 delay: pregain, dry, feedback, damp, first time index, count byte
    45, 8,                             // unit 11 outaux: outgain, auxgain
    // instrument 3: voice 3, track 3
    3, 77, 0, 0, 64,                   // unit 0 envelope: attack, decay, sustain, release, gain
    64, 64, 0, 0, 64, 128, 0x80,       // unit 1 oscillator: transpose, detune, phase, color, shape, gain, flags (sample)
    41,                                // unit 3 pan: panning
    58, 79, 71, 0, 2, 1,               // unit 4 delay: pregain, dry, feedback, damp, first time index, count byte
    70, 33,                            // unit 5 outaux: outgain, auxgain
    // instrument 4: voices 4-6, tracks 4, 5 and 6 (one voice each)
    88, 96, 22, 96, 66,                // unit 0 envelope: attack, decay, sustain, release, gain
    53, 91, 128, 119, 80,              // unit 1 envelope: attack, decay, sustain, release, gain
    88, 52, 64, 41, 64, 64, 0x23,      // unit 3 oscillator: transpose, detune, phase, color, shape, gain, flags (trisaw, unison 4)
    76, 52, 0, 74, 58, 62, 0x22,       // unit 5 oscillator: transpose, detune, phase, color, shape, gain, flags (trisaw, unison 3)
    68, 93, 0x30,                      // unit 8 filter: frequency, resonance, flags (+band +high)
    64,                                // unit 9 pan: panning
    52, 117, 23, 116, 4, 3,            // unit 10 delay: pregain, dry, feedback, damp, first time index, count byte
    16, 12,                            // unit 11 outaux: outgain, auxgain
    81, 0x98, 0x00,                    // unit 13 send: amount, address 0x0098
    // instrument 5: voices 7-9, track 7 (three voices)
    64, 96, 64, 128, 64, 64, 0x23,     // unit 0 oscillator: transpose, detune, phase, color, shape, gain, flags (trisaw, unison 4)
    76, 77, 64, 128, 64, 80, 0x23,     // unit 1 oscillator: transpose, detune, phase, color, shape, gain, flags (trisaw, unison 4)
    1, 0, 85, 64, 64,                  // unit 3 envelope: attack, decay, sustain, release, gain
    64, 46, 64, 128, 64, 81, 0x23,     // unit 5 oscillator: transpose, detune, phase, color, shape, gain, flags (trisaw, unison 4)
    76, 38, 64, 128, 64, 76, 0x23,     // unit 6 oscillator: transpose, detune, phase, color, shape, gain, flags (trisaw, unison 4)
    18, 67, 99, 64, 64,                // unit 8 envelope: attack, decay, sustain, release, gain
    128, 0, 0, 0, 8, 1,                // unit 10 delay: pregain, dry, feedback, damp, first time index, count byte
    64, 93, 0x40,                      // unit 11 filter: frequency, resonance, flags (+low)
    32, 21, 70, 39, 79,                // unit 12 compressor: attack, release, gain divisor, threshold, ratio
    39, 64, 36, 91, 9, 1,              // unit 14 delay: pregain, dry, feedback, damp, first time index, count byte
    44,                                // unit 15 pan: panning
    17, 11,                            // unit 16 outaux: outgain, auxgain
    // instrument 6: voice 10, track 8
    31, 77, 38, 68, 64,                // unit 0 envelope: attack, decay, sustain, release, gain
    76, 64, 0, 128, 64, 56, 0x40,      // unit 1 oscillator: transpose, detune, phase, color, shape, gain, flags (sine)
    75,                                // unit 3 pan: panning
    64, 74, 50, 84, 0, 1,              // unit 4 delay: pregain, dry, feedback, damp, first time index, count byte
    64, 64,                            // unit 5 outaux: outgain, auxgain
    // instrument 7: voice 11, track 9
    52, 64, 0, 64, 64, 106, 0x10,      // unit 0 oscillator: transpose, detune, phase, color, shape, gain, flags (pulse)
    64, 64, 0, 0, 64, 122, 0x20,       // unit 1 oscillator: transpose, detune, phase, color, shape, gain, flags (trisaw)
    0, 64, 64, 76, 55,                 // unit 3 envelope: attack, decay, sustain, release, gain
    112, 0x44, 0x00,                   // unit 4 send: amount, address 0x0044
    0, 70, 18, 70, 128,                // unit 6 envelope: attack, decay, sustain, release, gain
    96, 0xF7, 0xFF,                    // unit 7 send: amount, address 0xFFF7
    100, 0xB8, 0x00,                   // unit 8 send: amount, address 0x00B8
    64, 91, 0x40,                      // unit 9 filter: frequency, resonance, flags (+low)
    64, 105, 0x40,                     // unit 10 filter: frequency, resonance, flags (+low)
    64,                                // unit 11 pan: panning
    13, 4,                             // unit 12 outaux: outgain, auxgain
    // instrument 8: voice 12, track 10
    64, 74, 0, 69, 128, 57, 0x13,      // unit 0 oscillator: transpose, detune, phase, color, shape, gain, flags (pulse, unison 4)
    64, 64, 0, 128, 75, 47, 0x21,      // unit 1 oscillator: transpose, detune, phase, color, shape, gain, flags (trisaw, unison 2)
    33, 64, 86, 128, 64, 128, 0x48,    // unit 4 oscillator: transpose, detune, phase, color, shape, gain, flags (sine, lfo)
    80, 0x13, 0x00,                    // unit 5 send: amount, address 0x0013
    80, 0x88, 0x00,                    // unit 6 send: amount, address 0x0088
    100, 65, 0x60,                     // unit 7 filter: frequency, resonance, flags (+low +band)
    40, 64, 96, 128, 64, 128, 0x48,    // unit 9 oscillator: transpose, detune, phase, color, shape, gain, flags (sine, lfo)
    46, 0xC8, 0x00,                    // unit 10 send: amount, address 0x00C8
    93, 128, 0x20,                     // unit 11 filter: frequency, resonance, flags (+band)
    54, 98, 0x44,                      // unit 13 filter: frequency, resonance, flags (+low -high)
    25, 82, 103, 64, 128,              // unit 14 envelope: attack, decay, sustain, release, gain
    61,                                // unit 16 pan: panning
    23, 35, 64, 64, 11, 1,             // unit 17 delay: pregain, dry, feedback, damp, first time index, count byte
    6, 10,                             // unit 18 outaux: outgain, auxgain
    // instrument 9: voice 13, track 11
    54, 0xD0, 0x9C,                    // unit 1 send: amount, address 0x9CD0
    54, 0xD0, 0xA0,                    // unit 2 send: amount, address 0xA0D0
    54, 0xD8, 0xA4,                    // unit 3 send: amount, address 0xA4D8
    // instrument 10: voice 14, track 12
    45, 0xB8, 0xAC,                    // unit 1 send: amount, address 0xACB8
    // instrument 11: voice 15, no track
    2,                                 // unit 0 in: channel
    52, 128, 125, 64, 13, 15,          // unit 1 delay: pregain, dry, feedback, damp, first time index, count byte
    128,                               // unit 2 out: gain
};

inline constexpr int kInstrumentCount = 12;
static_assert(std::size(su_patch_opcodes) == 149);
static_assert(std::size(su_patch_operands) == 416);

// Walks the opcode stream as the machine does and returns the number of operand
// bytes the twelve instruments consume; -1 if an opcode is out of range or the
// instrument count is wrong.
constexpr int patchOperandBytesConsumed() {
    int operands = 0;
    int instruments = 0;
    for (std::uint8_t byte : su_patch_opcodes) {
        const int number = byte >> 1;
        if (number == 0) {
            ++instruments;
            continue;
        }
        if (number > kOpcodeCount) return -1;
        operands += su_vm_transformcounts[number - 1] + kInlineByteCounts[number - 1];
    }
    return instruments == kInstrumentCount ? operands : -1;
}
static_assert(patchOperandBytesConsumed() == static_cast<int>(std::size(su_patch_operands)),
              "the opcode stream must consume exactly the operand stream");

}  // namespace synth
