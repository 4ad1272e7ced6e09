// The arithmetic of the synthesizer units.
//
// Signals between units are doubles; parameters and everything a unit stores
// (phases, levels, filter and delay states, output channels) are 32-bit floats,
// and a stored value is used as stored from then on. These functions are shared
// by the patch interpreter (su_run_vm) and the specialised song player, so both
// compute the same bits.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "synth/song_constants.h"
#include "synth/song_tables.h"
#include "synth/sound_bank.h"
#include "synth/synth_object.h"

#if defined(__GNUC__)
#define QV_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define QV_ALWAYS_INLINE inline
#endif

namespace synth {

inline constexpr double kPi = 3.14159265358979323846;

// The signal stack: at most eight values, top = left channel of a pair.
struct SignalStack {
    double values[8] = {};
    int size = 0;

    void push(double v) { values[size++] = v; }
    double pop() { return values[--size]; }
    double& top(int below = 0) { return values[size - 1 - below]; }
};

// x x 2^whole for an integral `whole`, exact wherever 2^whole is a normal double.
inline double scaleByPowerOfTwo(double x, double whole) {
    if (whole >= -1022.0 && whole <= 1023.0) {
        const auto bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(whole) + 1023) << 52;
        return x * std::bit_cast<double>(bits);
    }
    if (std::isnan(whole)) return whole;
    return std::ldexp(x, static_cast<int>(std::clamp(whole, -4096.0, 4096.0)));
}

// 2^x as 2^(x - trunc x) x 2^(trunc x).
inline double su_pow2(double x) {
    const double whole = std::trunc(x);
    if (std::isinf(whole)) return whole > 0 ? whole : 0.0;
    return scaleByPowerOfTwo(std::exp2(x - whole), whole);
}

// The rate map 2^(-24p): 1 at p = 0, 2^-24 at p = 1.
inline double su_rate(float p) {
    return su_pow2(-static_cast<double>(su_constants::kRateExponentScale) * static_cast<double>(p));
}

// Turns very small magnitudes into exact zero (and -0 into +0).
QV_ALWAYS_INLINE double su_flush(double x) { return (x + su_constants::kHalf) - su_constants::kHalf; }

// fmod(x + 1, 1). For 0 <= y = x + 1 < 2^52 the remainder is y - trunc(y),
// exactly; phases keep y within 1..3, where trunc(y) is 1 or 2.
QV_ALWAYS_INLINE double su_wrap(double x) {
    const double y = x + 1.0;
    if (y >= 1.0 && y < 3.0) return y - (y >= 2.0 ? 2.0 : 1.0);
    if (y >= 0.0 && y < 0x1p52) return y - static_cast<double>(static_cast<std::int64_t>(y));
    return std::fmod(y, 1.0);
}

// y = x s / (1 - s + s'|x|), s' = 2(s - 0.5). At s = 0.5 the curve is the
// identity and is returned as such for normal x (x 0.5 / 0.5 is exact there).
// Where the denominator vanishes (x = 0 at s = 1; poles for s outside 0..1)
// the result is 0 instead of NaN or infinity.
QV_ALWAYS_INLINE double su_waveshape(double x, double s) {
    if (s == 0.5) {
        const double magnitude = std::fabs(x);
        if (magnitude >= 0x1p-1021 && magnitude <= 0x1p1023) return x;
    }
    const double slope = (s - su_constants::kHalf) * 2.0;
    const double denominator = (1.0 - s) + slope * std::fabs(x);
    if (denominator == 0.0) return 0.0;
    return x * s / denominator;
}

// ---------------------------------------------------------------- oscillator

inline constexpr std::uint8_t kOscSample = 0x80;
inline constexpr std::uint8_t kOscSine = 0x40;
inline constexpr std::uint8_t kOscTrisaw = 0x20;
inline constexpr std::uint8_t kOscPulse = 0x10;
inline constexpr std::uint8_t kOscLfo = 0x08;
inline constexpr std::uint8_t kOscUnisonMask = 0x03;

enum OscParam { kTranspose = 0, kDetune, kPhase, kColor, kShape, kGain };

// The computed waveforms at phase t (0..1) and colour c. With c = 0 the rising
// branch is empty, so t = 0 does not divide 0 by 0.
QV_ALWAYS_INLINE double sineWave(double t, double c) {
    if (t <= c && c != 0.0) return std::sin(2.0 * kPi * t / c);
    return 0.0;
}
QV_ALWAYS_INLINE double trisawWave(double t, double c) {
    if (c == 1.0) return 2.0 * t - 1.0;  // t <= 1: the rising branch, 2t/1 - 1
    // One division for either branch: rising 2t / c, falling 2(1 - t) / (1 - c).
    const bool rising = t <= c && c != 0.0;
    const double numerator = rising ? 2.0 * t : 2.0 * (1.0 - t);
    const double denominator = rising ? c : 1.0 - c;
    return numerator / denominator - 1.0;
}
QV_ALWAYS_INLINE double pulseWave(double t, double c) { return t <= c ? 1.0 : -1.0; }

QV_ALWAYS_INLINE double computedWave(std::uint8_t flags, double t, double c) {
    if (flags & kOscSine) return sineWave(t, c);
    if (flags & kOscTrisaw) return trisawWave(t, c);
    if (flags & kOscPulse) return pulseWave(t, c);
    return 0.0;
}

// The sampled waveform: the sample word at the phase's position, positions at
// or past the loop start folded into the loop.
inline double sampleWave(double phase, std::uint8_t sampleNumber) {
    if (sampleNumber >= std::size(su_sample_offsets)) return 0.0;
    const SampleOffset& sample = su_sample_offsets[sampleNumber];
    std::int64_t pos = std::llrint(phase * static_cast<double>(su_constants::kSamplePhaseScale));
    if (pos >= sample.loopStart && sample.loopLength != 0) {
        pos = sample.loopStart + (pos - sample.loopStart) % sample.loopLength;
    }
    return sampleTableWord(static_cast<std::int64_t>(sample.start) + pos) /
           static_cast<double>(su_constants::kSampleWordScale);
}

// Pitch in semitones of one unison copy (the note is added unless lfo).
QV_ALWAYS_INLINE double oscPitch(float transpose, double detune, std::int32_t note, std::uint8_t flags) {
    double pitch = (static_cast<double>(transpose) - su_constants::kHalf) * 128.0 + detune;
    if (!(flags & kOscLfo)) pitch += note;
    return pitch;
}

// Phase increment per frame for a pitch.
inline double oscIncrement(double pitch, std::uint8_t flags) {
    const double base = (flags & kOscLfo) ? su_constants::kLfoBaseIncrement : su_constants::kNoteBaseIncrement;
    return su_pow2(pitch * su_constants::kOneTwelfth) * base;
}

// The parameters of an oscillator unit, read once per run. `phase` is raised
// by 1/12 after each unison copy but the last and written back to the
// parameter area, so a stereo run's second channel continues from it.
struct OscillatorParams {
    float transpose;
    float phase;
    float color;
    float shape;
    float gain;
};

// One unison copy: advances its phase state and returns its shaped, scaled value.
QV_ALWAYS_INLINE double oscillatorCopy(float& phaseState, double inc, float phase, const OscillatorParams& p,
                                       std::uint8_t flags, std::uint8_t sampleNumber) {
    float state = phaseState;
    double x;
    if (flags & kOscSample) {
        state = static_cast<float>(static_cast<double>(state) + inc);
        x = sampleWave(static_cast<double>(state) + phase, sampleNumber);
    } else {
        state = static_cast<float>(su_wrap(static_cast<double>(state) + inc));
        const double t = su_wrap(static_cast<double>(state) + phase);
        x = computedWave(flags, t, p.color);
    }
    phaseState = state;
    return su_waveshape(x, p.shape) * p.gain;
}

// One channel of an oscillator: the sum of its unison copies. `phases` are the
// channel's state words (stride 2). `increment(copy, pitch)` returns
// oscIncrement(pitch, flags).
template <class Increment>
QV_ALWAYS_INLINE double oscillatorChannel(float* phases, OscillatorParams& p, double detune, std::int32_t note,
                                          std::uint8_t flags, std::uint8_t sampleNumber, Increment&& increment) {
    const int copies = (flags & kOscUnisonMask) + 1;
    double sum = 0.0;
    double copyDetune = detune;
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC unroll 4
#endif
    for (int k = 0; k < copies; ++k) {
        const double inc = increment(k, oscPitch(p.transpose, copyDetune, note, flags));
        sum += oscillatorCopy(phases[2 * k], inc, p.phase, p, flags, sampleNumber);
        if (k + 1 < copies) p.phase = static_cast<float>(p.phase + static_cast<double>(su_constants::kOneTwelfth));
        copyDetune *= -0.5;
    }
    return sum;
}

// The oscillator unit: mono pushes one channel (even state words); stereo
// computes the right channel (odd words) first, then the left with the detune
// negated, and leaves the left on top.
template <class Increment>
QV_ALWAYS_INLINE void oscillatorUnit(bool stereo, float* state, float* params, std::int32_t note, std::uint8_t flags,
                                     std::uint8_t sampleNumber, SignalStack& stack, Increment&& increment) {
    const double detune = (static_cast<double>(params[kDetune]) - su_constants::kHalf) * 2.0;
    OscillatorParams p{params[kTranspose], params[kPhase], params[kColor], params[kShape], params[kGain]};
    if (stereo) {
        const double right = oscillatorChannel(state + 1, p, detune, note, flags, sampleNumber,
                                               [&](int k, double pitch) { return increment(2 * k + 1, pitch); });
        const double left = oscillatorChannel(state, p, -detune, note, flags, sampleNumber,
                                              [&](int k, double pitch) { return increment(2 * k, pitch); });
        stack.push(right);
        stack.push(left);
    } else {
        stack.push(oscillatorChannel(state, p, detune, note, flags, sampleNumber,
                                     [&](int k, double pitch) { return increment(2 * k, pitch); }));
    }
    params[kPhase] = p.phase;
}

// ---------------------------------------------------------------- envelope

enum EnvelopeStage : std::int32_t { kAttack = 0, kDecay = 1, kSustain = 2, kRelease = 3 };
enum EnvParam { kEnvAttack = 0, kEnvDecay, kEnvSustain, kEnvRelease, kEnvGain };

// Advances the envelope by one frame and returns level x gain.
// `rate(i)` returns su_rate(params[i]).
template <class Rate>
QV_ALWAYS_INLINE double envelopeStep(float* state, std::int32_t gate, const float* params, Rate&& rate) {
    std::int32_t stage = loadInt(state[0]);
    double level = state[1];
    if (gate == 0) stage = kRelease;
    switch (stage) {
        case kAttack:
            level += rate(kEnvAttack);
            if (level >= 1.0) {
                level = 1.0;
                stage = kDecay;
            }
            break;
        case kDecay:
            level -= rate(kEnvDecay);
            if (level <= params[kEnvSustain]) {
                level = params[kEnvSustain];
                stage = kSustain;
            }
            break;
        case kSustain:
            break;
        default:
            level -= rate(kEnvRelease);
            if (level <= 0.0) level = 0.0;
            break;
    }
    storeInt(state[0], stage);
    state[1] = static_cast<float>(level);
    return static_cast<double>(state[1]) * params[kEnvGain];
}

// An envelope that can never again output anything but 0 until its voice is
// restarted: level 0 in the sustain or release stage.
QV_ALWAYS_INLINE bool envelopeIsSilentForGood(const float* state) {
    return loadInt(state[0]) >= kSustain && state[1] == 0.0f;
}

// ---------------------------------------------------------------- filter

inline constexpr std::uint8_t kFilterLow = 0x40;
inline constexpr std::uint8_t kFilterBand = 0x20;
inline constexpr std::uint8_t kFilterHigh = 0x10;
inline constexpr std::uint8_t kFilterNegBand = 0x08;
inline constexpr std::uint8_t kFilterNegHigh = 0x04;

// One channel of the state-variable filter; state = low, high, band, f.
QV_ALWAYS_INLINE double filterChannel(float* state, double x, float frequency, float resonance, std::uint8_t flags) {
    float& low = state[0];
    float& high = state[1];
    float& band = state[2];
    float& f = state[3];
    f = static_cast<float>(static_cast<double>(frequency) * frequency);
    low = static_cast<float>(low + static_cast<double>(f) * band);
    high = static_cast<float>(su_flush(x - low - static_cast<double>(resonance) * band));
    band = static_cast<float>(band + static_cast<double>(f) * high);
    double y = 0.0;
    if (flags & kFilterLow) y += low;
    if (flags & kFilterBand) y += band;
    if (flags & kFilterHigh) y += high;
    if (flags & kFilterNegBand) y -= band;
    if (flags & kFilterNegHigh) y -= high;
    return y;
}

// Mono filters the top with state words 0-3; stereo filters the right channel
// (below the top) with words 4-7 first, then the left with words 0-3.
QV_ALWAYS_INLINE void filterUnit(bool stereo, float* state, const float* params, std::uint8_t flags, SignalStack& stack) {
    if (stereo) stack.top(1) = filterChannel(state + 4, stack.top(1), params[0], params[1], flags);
    stack.top() = filterChannel(state, stack.top(), params[0], params[1], flags);
}

// ---------------------------------------------------------------- delay

enum DelayParam { kPregain = 0, kDry, kFeedback, kDamp };

inline constexpr std::uint32_t kDelayPrefetchAhead = 64;

inline void prefetchForWrite(const float* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address, 1);
#else
    (void)address;
#endif
}

// One channel of a delay unit over `count` consecutive lines starting at
// `line` (a header pointer), with delay times `times`. w = frame mod 65536.
// Returns the DC-blocked sum; the group's DC-blocker state follows its lines.
QV_ALWAYS_INLINE double delayChannel(float* line, int count, const std::uint16_t* times, const float* params,
                           std::uint32_t w, double x) {
    const double pregain = params[kPregain];
    const double input = x * (pregain * pregain);
    double acc = x * params[kDry];
    const double feedback = params[kFeedback];
    const double damp = params[kDamp];
    const double keep = 1.0 - damp;
    for (int j = 0; j < count; ++j, line += kDelayLineWords) {
        float* samples = line + kDelayHeaderWords;
        float& dampState = line[2];
        // The write position was last touched 65,536 frames ago: ask for its
        // cache line well before the store needs it.
        prefetchForWrite(samples + ((w + kDelayPrefetchAhead) & kDelayIndexMask));
        const double d = samples[(w - times[j]) & kDelayIndexMask];
        acc += d;
        dampState = static_cast<float>(su_flush(d * keep + damp * dampState));
        samples[w] = static_cast<float>(dampState * feedback + input);
    }
    float& x1 = line[0];
    float& y1 = line[1];
    const double y = su_flush(acc - x1 + static_cast<double>(su_constants::kDcBlockerPole) * y1);
    x1 = static_cast<float>(acc);
    y1 = static_cast<float>(y);
    return y1;
}

// Lines per channel of a delay unit from its count byte (a signed byte, 1..127).
inline int delayLinesPerChannel(std::uint8_t countByte) {
    return (static_cast<std::int8_t>(countByte) + 1) / 2;
}

// ---------------------------------------------------------------- compressor

enum CompressorParam { kCompAttack = 0, kCompRelease, kCompGainDivisor, kCompThreshold, kCompRatio };

// Updates the power follower from the pair on the stack and pushes the gain
// twice. A zero threshold or gain divisor mutes the pair instead of producing
// infinities or NaN. `rate(i)` returns su_rate(params[i]).
template <class Rate>
QV_ALWAYS_INLINE void compressorUnit(float* state, const float* params, SignalStack& stack, Rate&& rate) {
    const double left = stack.top();
    const double right = stack.top(1);
    const double power = left * left + right * right;
    const double r = state[0] < power ? rate(kCompAttack) : rate(kCompRelease);
    state[0] = static_cast<float>(su_flush(state[0] + (power - state[0]) * r));
    const double threshold = static_cast<double>(params[kCompThreshold]) * params[kCompThreshold];
    double gain = 0.0;
    if (threshold != 0.0 && params[kCompGainDivisor] != 0.0f) {
        const double level = state[0];
        const double exponent = (params[kCompRatio] * static_cast<double>(su_constants::kHalf)) *
                                std::log2(threshold / std::max(level, threshold));
        gain = su_pow2(exponent) / params[kCompGainDivisor];
    }
    stack.push(gain);
    stack.push(gain);
}

// ---------------------------------------------------------------- the others

QV_ALWAYS_INLINE double noiseValue(std::uint32_t& seed, const float* params) {
    seed *= 16007u;
    const double v = static_cast<double>(static_cast<std::int32_t>(seed)) /
                     static_cast<double>(su_constants::kNoiseDivisor);
    return su_waveshape(v, params[0]) * params[1];
}

QV_ALWAYS_INLINE double loadnoteValue(std::int32_t note) {
    return (note * static_cast<double>(su_constants::kByteToParam) - su_constants::kHalf) * 2.0;
}

// Mono: x becomes right = x p below, left = x (1 - p) on top. Stereo scales the pair.
QV_ALWAYS_INLINE void panUnit(bool stereo, float panning, SignalStack& stack) {
    const double p = panning;
    if (stereo) {
        stack.top() *= 1.0 - p;
        stack.top(1) *= p;
    } else {
        const double x = stack.pop();
        stack.push(x * p);
        stack.push(x * (1.0 - p));
    }
}

QV_ALWAYS_INLINE void mulpUnit(bool stereo, SignalStack& stack) {
    if (stereo) {
        const double l1 = stack.pop();
        const double r1 = stack.pop();
        stack.top() *= l1;
        stack.top(1) *= r1;
    } else {
        const double a = stack.pop();
        stack.top() *= a;
    }
}

QV_ALWAYS_INLINE void addpUnit(SignalStack& stack) {
    const double a = stack.pop();
    stack.top() += a;
}

QV_ALWAYS_INLINE void addUnit(SignalStack& stack) { stack.top() += stack.top(1); }

QV_ALWAYS_INLINE void xchUnit(SignalStack& stack) { std::swap(stack.top(), stack.top(1)); }

// Adds (amount - 0.5) x 2 x top to `target`; consumes the top if the address's
// bit 3 is set, else leaves it.
QV_ALWAYS_INLINE void sendUnit(float amount, std::uint16_t address, float& target, SignalStack& stack) {
    const double x = (address & 8) ? stack.pop() : stack.top();
    target = static_cast<float>(target + x * (static_cast<double>(amount) - su_constants::kHalf) * 2.0);
}

// The word a send address names: bit 15 selects the whole state block (else
// the current voice slot); bits 0-14 with bit 3 forced are the word index.
inline float& sendTarget(std::uint16_t address, SynthObject& object, float* voice) {
    const int word = (address & 0x7FFF) | 8;
    return (address & 0x8000) ? object.words[word] : voice[word];
}

QV_ALWAYS_INLINE void outauxUnit(const float* params, float* channels, SignalStack& stack) {
    const double left = stack.pop();
    const double right = stack.pop();
    channels[0] = static_cast<float>(channels[0] + left * params[0]);
    channels[2] = static_cast<float>(channels[2] + left * params[1]);
    channels[1] = static_cast<float>(channels[1] + right * params[0]);
    channels[3] = static_cast<float>(channels[3] + right * params[1]);
}

QV_ALWAYS_INLINE void outUnit(float gain, float* channels, SignalStack& stack) {
    const double left = stack.pop();
    const double right = stack.pop();
    channels[0] = static_cast<float>(channels[0] + left * gain);
    channels[1] = static_cast<float>(channels[1] + right * gain);
}

QV_ALWAYS_INLINE void inUnit(std::uint8_t channel, float* channels, SignalStack& stack) {
    stack.push(channels[channel + 1]);
    stack.push(channels[channel]);
    channels[channel + 1] = 0.0f;
    channels[channel] = 0.0f;
}

}  // namespace synth
