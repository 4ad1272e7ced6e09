// Unison copies of an oscillator computed two at a time in SIMD lanes. Every
// lane performs the same IEEE operations, in the same order, as
// oscillatorCopy() does for one copy, so the results are the same bits; the
// copies are still summed one after another in copy order.
//
// Used by the song player for mono oscillators with a computed triangle/saw
// or pulse waveform; the interpreter keeps the one-copy-at-a-time code.
#pragma once

#include "synth/units.h"

namespace synth {

#if defined(__GNUC__)
#define QV_HAVE_OSCILLATOR_PAIRS 1

using Double2 = double __attribute__((vector_size(16)));
using Mask2 = long long __attribute__((vector_size(16)));
using Float2 = float __attribute__((vector_size(8)));

QV_ALWAYS_INLINE Double2 splat(double v) { return Double2{v, v}; }
QV_ALWAYS_INLINE bool bothSet(Mask2 m) { return (m[0] & m[1]) != 0; }

// su_wrap of both lanes.
QV_ALWAYS_INLINE Double2 wrapPair(Double2 x) {
    const Double2 y = x + splat(1.0);
    if (bothSet((y >= splat(1.0)) & (y < splat(3.0)))) return y - (y >= splat(2.0) ? splat(2.0) : splat(1.0));
    return Double2{su_wrap(x[0]), su_wrap(x[1])};
}

// trisawWave / pulseWave of both lanes.
QV_ALWAYS_INLINE Double2 wavePair(std::uint8_t flags, Double2 t, double c) {
    if (flags & kOscTrisaw) {
        if (c == 1.0) return splat(2.0) * t - splat(1.0);
        const Mask2 rising = (t <= splat(c)) & Mask2{c != 0.0 ? -1LL : 0LL, c != 0.0 ? -1LL : 0LL};
        const Double2 numerator = rising ? splat(2.0) * t : splat(2.0) * (splat(1.0) - t);
        const Double2 denominator = rising ? splat(c) : splat(1.0 - c);
        return numerator / denominator - splat(1.0);
    }
    return t <= splat(c) ? splat(1.0) : splat(-1.0);
}

// su_waveshape of both lanes. The waves above are 0 or at least 2^-53 in
// magnitude, so at s = 0.5 a finite value is its own image.
QV_ALWAYS_INLINE Double2 waveshapePair(Double2 x, double s) {
    if (s == 0.5 && bothSet((x - x) == splat(0.0))) return x;
    return Double2{su_waveshape(x[0], s), su_waveshape(x[1], s)};
}

// Copies k and k+1: phase states at phases[2k] and phases[2k+2].
QV_ALWAYS_INLINE Double2 oscillatorCopyPair(float* phases, Double2 inc, Double2 phase, const OscillatorParams& p,
                                            std::uint8_t flags) {
    const Double2 state = Double2{phases[0], phases[2]};
    const Float2 stored = __builtin_convertvector(wrapPair(state + inc), Float2);
    phases[0] = stored[0];
    phases[2] = stored[1];
    const Double2 t = wrapPair(__builtin_convertvector(stored, Double2) + phase);
    return waveshapePair(wavePair(flags, t, p.color), p.shape) * splat(p.gain);
}

// oscillatorChannel for a mono triangle/saw or pulse oscillator.
template <class Increment>
QV_ALWAYS_INLINE double pairedOscillatorChannel(float* phases, OscillatorParams& p, double detune, std::int32_t note,
                                                std::uint8_t flags, Increment&& increment) {
    const int copies = (flags & kOscUnisonMask) + 1;
    double inc[4] = {};
    float phase[4] = {};
    double copyDetune = detune;
    phase[0] = p.phase;
    for (int k = 0; k < copies; ++k) {
        inc[k] = increment(k, oscPitch(p.transpose, copyDetune, note, flags));
        if (k > 0) phase[k] = static_cast<float>(phase[k - 1] + static_cast<double>(su_constants::kOneTwelfth));
        copyDetune *= -0.5;
    }
    p.phase = phase[copies - 1];
    double sum = 0.0;
    int k = 0;
    for (; k + 1 < copies; k += 2) {
        const Double2 values = oscillatorCopyPair(phases + 2 * k, Double2{inc[k], inc[k + 1]},
                                                  Double2{phase[k], phase[k + 1]}, p, flags);
        sum += values[0];
        sum += values[1];
    }
    if (k < copies) sum += oscillatorCopy(phases[2 * k], inc[k], phase[k], p, flags, 0);
    return sum;
}

// `frames` consecutive frames of pairedOscillatorChannel for an oscillator
// whose parameters and note stay the same throughout: out[n] is frame n's
// value. The increments and the raised phases are worked out once.
template <class Increment>
QV_ALWAYS_INLINE void pairedOscillatorFrames(float* phases, const OscillatorParams& params, double detune,
                                             std::int32_t note, std::uint8_t flags, Increment&& increment,
                                             double* out, int frames) {
    const int copies = (flags & kOscUnisonMask) + 1;
    double inc[4] = {};
    float phase[4] = {};
    double copyDetune = detune;
    phase[0] = params.phase;
    for (int k = 0; k < copies; ++k) {
        inc[k] = increment(k, oscPitch(params.transpose, copyDetune, note, flags));
        if (k > 0) phase[k] = static_cast<float>(phase[k - 1] + static_cast<double>(su_constants::kOneTwelfth));
        copyDetune *= -0.5;
    }
    const Double2 pairInc[2] = {Double2{inc[0], inc[1]}, Double2{inc[2], inc[3]}};
    const Double2 pairPhase[2] = {Double2{phase[0], phase[1]}, Double2{phase[2], phase[3]}};
    for (int n = 0; n < frames; ++n) {
        double sum = 0.0;
        int k = 0;
        for (; k + 1 < copies; k += 2) {
            const Double2 values = oscillatorCopyPair(phases + 2 * k, pairInc[k / 2], pairPhase[k / 2], params, flags);
            sum += values[0];
            sum += values[1];
        }
        if (k < copies) sum += oscillatorCopy(phases[2 * k], inc[k], phase[k], params, flags, 0);
        out[n] = sum;
    }
}

#endif

}  // namespace synth
