// Unit arithmetic against values worked out by hand from the unit definitions.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "synth/song_render.h"
#include "synth/sound_bank.h"
#include "synth/units.h"
#include "synth/vm.h"

namespace {

using namespace synth;

auto exactRate(const float* params) {
    return [params](int i) { return su_rate(params[i]); };
}

TEST(SharedRoutines, RateMapEndsAndMiddle) {
    EXPECT_EQ(su_rate(0.0f), 1.0);
    EXPECT_EQ(su_rate(1.0f), 0x1p-24);
    EXPECT_EQ(su_rate(0.5f), 0x1p-12);
    EXPECT_EQ(su_pow2(-1.0), 0.5);
    EXPECT_EQ(su_pow2(3.0), 8.0);
}

TEST(SharedRoutines, FlushZeroesTinyValuesAndKeepsOthers) {
    EXPECT_EQ(su_flush(1e-20), 0.0);
    EXPECT_FALSE(std::signbit(su_flush(-0.0)));
    EXPECT_EQ(su_flush(0.25), 0.25);
    EXPECT_EQ(su_flush(-0.375), -0.375);
}

TEST(SharedRoutines, WrapIsTheFractionalPart) {
    EXPECT_EQ(su_wrap(0.25), 0.25);
    EXPECT_EQ(su_wrap(1.75), 0.75);
    EXPECT_EQ(su_wrap(0.75 + 0.25), 0.0);  // a phase landing on an integer
    EXPECT_EQ(su_wrap(-0.25), 0.75);
}

TEST(SharedRoutines, WaveshapeKeepsUnitMagnitudeAndHalfIsIdentity) {
    EXPECT_EQ(su_waveshape(0.3, 0.5), 0.3);
    EXPECT_EQ(su_waveshape(1.0, 0.75), 1.0);
    EXPECT_EQ(su_waveshape(-1.0, 0.25), -1.0);
    // s = 0.75: s' = 0.5, 0.5 x 0.75 / (0.25 + 0.25) = 0.75.
    EXPECT_EQ(su_waveshape(0.5, 0.75), 0.75);
    // s = 1 at x = 0 would be 0/0.
    EXPECT_EQ(su_waveshape(0.0, 1.0), 0.0);
}

TEST(Waveforms, ColourZeroLeavesOnlyTheFallingBranch) {
    EXPECT_EQ(trisawWave(0.25, 0.0), 0.5);  // 1 - 2t
    EXPECT_EQ(trisawWave(0.0, 0.0), 1.0);
    EXPECT_EQ(sineWave(0.0, 0.0), 0.0);
    EXPECT_EQ(sineWave(0.5, 0.0), 0.0);
}

TEST(Waveforms, PhaseZeroGivesTheStartOfEachWave) {
    EXPECT_EQ(pulseWave(0.0, 0.5), 1.0);
    EXPECT_EQ(trisawWave(0.0, 0.5), -1.0);
    EXPECT_EQ(sineWave(0.0, 0.5), 0.0);
    EXPECT_EQ(trisawWave(0.875, 0.5), -0.5);  // 2(1 - 0.875)/0.5 - 1
    EXPECT_EQ(pulseWave(0.875, 0.5), -1.0);
}

TEST(Oscillator, LfoCopyAdvancesByTheBaseIncrementAndUnisonRaisesThePhase) {
    // Transpose 0.5 and detune 0.5 give pitch 0 for an lfo: increment = 3.7999998e-05.
    float state[8] = {};
    float params[6] = {0.5f, 0.5f, 0.25f, 0.5f, 0.5f, 1.0f};
    SignalStack stack;
    const std::uint8_t flags = kOscPulse | kOscLfo | 1;  // two copies
    oscillatorUnit(false, state, params, 60, flags, 0, stack,
                   [&](int, double pitch) { return oscIncrement(pitch, flags); });
    const float inc = su_constants::kLfoBaseIncrement;
    EXPECT_EQ(state[0], inc);
    EXPECT_EQ(state[2], inc);
    // Copy 0 at t = inc + 0.25 (pulse +1), copy 1 at phase raised by 1/12: still below 0.5.
    ASSERT_EQ(stack.size, 1);
    EXPECT_EQ(stack.top(), 2.0);
    EXPECT_EQ(params[kPhase], static_cast<float>(0.25f + static_cast<double>(su_constants::kOneTwelfth)));
}

TEST(Oscillator, StereoComputesTheRightChannelFirstFromTheOddWords) {
    float state[8] = {0.0f, 0.6f};  // left phase 0, right phase 0.6
    float params[6] = {0.5f, 0.5f, 0.0f, 0.5f, 0.5f, 1.0f};
    SignalStack stack;
    const std::uint8_t flags = kOscPulse | kOscLfo;
    oscillatorUnit(true, state, params, 0, flags, 0, stack,
                   [&](int, double pitch) { return oscIncrement(pitch, flags); });
    ASSERT_EQ(stack.size, 2);
    EXPECT_EQ(stack.top(), 1.0);    // left: t just above 0
    EXPECT_EQ(stack.top(1), -1.0);  // right: t just above 0.6
}

TEST(Noise, FirstValuesAfterSeedOne) {
    std::uint32_t seed = 1;
    const float params[2] = {0.5f, 1.0f};
    EXPECT_EQ(noiseValue(seed, params), 16007.0 / -2147483648.0);
    EXPECT_EQ(seed, 16007u);
    EXPECT_EQ(noiseValue(seed, params), 256224049.0 / -2147483648.0);  // 16007^2 < 2^31
}

TEST(Envelope, AttackZeroReachesOneAtOnceAndDecaysNextFrame) {
    float state[8] = {};
    const float params[5] = {0.0f, 0.5f, 0.25f, 0.5f, 0.5f};
    EXPECT_EQ(envelopeStep(state, 60, params, exactRate(params)), 0.5);  // level 1 x gain 0.5
    EXPECT_EQ(loadInt(state[0]), kDecay);
    EXPECT_EQ(envelopeStep(state, 60, params, exactRate(params)), (1.0 - 0x1p-12) * 0.5);
}

TEST(Envelope, FirstFrameOutputsOneAttackStep) {
    float state[8] = {};
    const float params[5] = {0.5f, 0.5f, 0.25f, 0.5f, 1.0f};
    EXPECT_EQ(envelopeStep(state, 60, params, exactRate(params)), 0x1p-12);
}

TEST(Envelope, SustainAtOrAboveOneEndsTheDecayAtTheSustainValue) {
    float state[8] = {};
    storeInt(state[0], kDecay);
    state[1] = 1.0f;
    const float params[5] = {0.0f, 0.5f, 1.25f, 0.5f, 1.0f};
    EXPECT_EQ(envelopeStep(state, 60, params, exactRate(params)), 1.25);
    EXPECT_EQ(loadInt(state[0]), kSustain);
    EXPECT_EQ(envelopeStep(state, 60, params, exactRate(params)), 1.25);
}

TEST(Envelope, ReleaseZeroDropsToZeroAndStaysWhileTheGateIsClosed) {
    float state[8] = {};
    storeInt(state[0], kSustain);
    state[1] = 0.75f;
    const float params[5] = {0.0f, 0.5f, 0.75f, 0.0f, 1.0f};
    EXPECT_EQ(envelopeStep(state, 60, params, exactRate(params)), 0.75);
    EXPECT_EQ(envelopeStep(state, 0, params, exactRate(params)), 0.0);
    EXPECT_EQ(loadInt(state[0]), kRelease);
    EXPECT_TRUE(envelopeIsSilentForGood(state));
    EXPECT_EQ(envelopeStep(state, 0, params, exactRate(params)), 0.0);
}

TEST(Filter, TwoStepsOfTheStateVariableFilter) {
    // f = 0.25, resonance 1, input 1. Step 1: low 0, high 1, band 0.25.
    // Step 2: low 0.0625, high 1 - 0.0625 - 0.25 = 0.6875, band 0.25 + 0.171875.
    float state[8] = {};
    EXPECT_EQ(filterChannel(state, 1.0, 0.5f, 1.0f, kFilterHigh), 1.0);
    EXPECT_EQ(filterChannel(state, 1.0, 0.5f, 1.0f, kFilterLow | kFilterNegHigh), 0.0625 - 0.6875);
    EXPECT_EQ(state[2], 0.421875f);
    EXPECT_EQ(state[3], 0.25f);
}

TEST(Filter, StereoFiltersTheRightChannelWithTheUpperStateWords) {
    float state[8] = {};
    const float params[2] = {0.5f, 1.0f};
    SignalStack stack;
    stack.push(2.0);  // right
    stack.push(1.0);  // left
    filterUnit(true, state, params, kFilterHigh | kFilterBand, stack);
    EXPECT_EQ(stack.top(), 1.25);   // high 1 + band 0.25
    EXPECT_EQ(stack.top(1), 2.5);   // high 2 + band 0.5
    EXPECT_EQ(state[2], 0.25f);
    EXPECT_EQ(state[6], 0.5f);
}

TEST(Delay, TimeZeroReadsTheSampleWrittenOneBufferAgoAndTimeMaxTheOldestButOne) {
    auto workspace = std::make_unique<DelayWorkspace>();
    float* line = workspace->words;
    float* samples = line + kDelayHeaderWords;
    const std::uint32_t w = 100;
    samples[w] = 0.75f;      // written 65,536 frames ago
    samples[w + 1] = 0.5f;   // written 65,535 frames ago
    const std::uint16_t timeZero[1] = {0};
    const std::uint16_t timeMax[1] = {65535};
    const float params[4] = {0.5f, 0.0f, 0.5f, 0.0f};  // pregain, dry, feedback, damp
    EXPECT_EQ(delayChannel(line, 1, timeZero, params, w, 0.0), 0.75);
    // Damping 0 keeps d: the line now holds 0.75 x feedback 0.5 + input 0.
    EXPECT_EQ(samples[w], 0.375f);
    float* other = workspace->words + 2 * kDelayLineWords;
    other[kDelayHeaderWords + w + 1] = 0.5f;
    EXPECT_EQ(delayChannel(other, 1, timeMax, params, w, 0.0), 0.5);
}

TEST(Delay, InputIsScaledByPregainSquaredAndTheDcBlockerRemembersItsInput) {
    auto workspace = std::make_unique<DelayWorkspace>();
    float* line = workspace->words;
    const std::uint16_t time[1] = {10};
    const float params[4] = {0.5f, 1.0f, 0.0f, 0.0f};
    EXPECT_EQ(delayChannel(line, 1, time, params, 7, 1.0), 1.0);
    EXPECT_EQ(line[kDelayHeaderWords + 7], 0.25f);
    EXPECT_EQ(line[kDelayLineWords], 1.0f);  // DC x1 of the group: first word of the next line
    // Next frame, input 0: y = 0 - 1 + 255/256 x 1.
    EXPECT_EQ(delayChannel(line, 1, time, params, 8, 0.0), -1.0 / 256.0);
    EXPECT_EQ(line[kDelayLineWords + 1], -1.0f / 256.0f);
}

TEST(Compressor, BelowThresholdOnlyDividesAndAboveReducesByTheRatio) {
    float state[8] = {};
    const float params[5] = {0.0f, 0.0f, 0.5f, 0.5f, 1.0f};
    SignalStack quiet;
    quiet.push(0.0);
    quiet.push(0.0);
    compressorUnit(state, params, quiet, exactRate(params));
    EXPECT_EQ(quiet.top(), 2.0);  // 1 / 0.5
    SignalStack loud;
    loud.push(0.0);  // right
    loud.push(1.0);  // left: power 1, attack rate 1, level 1
    const float divisorOne[5] = {0.0f, 0.0f, 1.0f, 0.5f, 1.0f};
    compressorUnit(state, divisorOne, loud, exactRate(divisorOne));
    EXPECT_EQ(state[0], 1.0f);
    ASSERT_EQ(loud.size, 4);
    EXPECT_EQ(loud.top(), 0.5);  // (0.25 / 1)^(1/2)
    EXPECT_EQ(loud.top(2), 1.0);
}

TEST(Routing, SendsAddUpAndAmountHalfStillConsumes) {
    float target = 0.0f;
    SignalStack stack;
    stack.push(0.75);
    sendUnit(1.0f, 0x0008, target, stack);   // +1 x 0.75, consumes
    EXPECT_EQ(stack.size, 0);
    stack.push(0.5);
    sendUnit(0.25f, 0x0000, target, stack);  // -0.5 x 0.5, keeps
    EXPECT_EQ(target, 0.5f);
    EXPECT_EQ(stack.size, 1);
    sendUnit(0.5f, 0x0008, target, stack);   // sends nothing, consumes
    EXPECT_EQ(target, 0.5f);
    EXPECT_EQ(stack.size, 0);
}

TEST(Routing, MonoPanPutsTheLeftChannelOnTop) {
    SignalStack stack;
    stack.push(1.0);
    panUnit(false, 0.25f, stack);
    EXPECT_EQ(stack.top(), 0.75);
    EXPECT_EQ(stack.top(1), 0.25);
}

TEST(Routing, StereoMulpMultipliesPairwise) {
    SignalStack stack;
    stack.push(3.0);  // R2
    stack.push(5.0);  // L2
    stack.push(7.0);  // R1
    stack.push(11.0); // L1
    mulpUnit(true, stack);
    ASSERT_EQ(stack.size, 2);
    EXPECT_EQ(stack.top(), 55.0);
    EXPECT_EQ(stack.top(1), 21.0);
}

TEST(Routing, AddKeepsTheSecondValue) {
    SignalStack stack;
    stack.push(2.0);
    stack.push(3.0);
    addUnit(stack);
    EXPECT_EQ(stack.top(), 5.0);
    EXPECT_EQ(stack.top(1), 2.0);
}

TEST(SampleOscillator, PositionsRoundHalfToEvenAndFoldIntoTheLoop) {
    su_clear_bank();
    const SampleOffset& sample = su_sample_offsets[0];
    for (int i = 0; i < 400; ++i) {
        const auto value = static_cast<std::uint16_t>(i + 1);  // word i holds i + 1
        susamtable[2 * (sample.start + i)] = static_cast<std::uint8_t>(value & 0xFF);
        susamtable[2 * (sample.start + i) + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    const double scale = su_constants::kSamplePhaseScale;
    // Phases whose product with the scale is exactly n + 0.5, where one exists.
    int evenTies = 0;
    int oddTies = 0;
    for (int n = 0; n < 300; ++n) {
        const double tie = n + 0.5;
        double p = tie / scale;
        for (int step = 0; step < 4 && p * scale != tie; ++step) p = std::nextafter(p, p * scale < tie ? 1.0 : 0.0);
        if (p * scale != tie) continue;
        const int even = n % 2 == 0 ? n : n + 1;
        EXPECT_EQ(sampleWave(p, 0), (even + 1) / 32767.0) << tie;
        ++(n % 2 == 0 ? evenTies : oddTies);
    }
    EXPECT_GT(evenTies, 0);
    EXPECT_GT(oddTies, 0);
    // Position 5679 folds into the loop of 5676 words: word 3.
    EXPECT_EQ(sampleWave(5679.0 / scale, 0), 4.0 / 32767.0);
    su_clear_bank();
}

// One frame of the machine on a fresh state with the auxiliary pair preset: no
// voice sounds yet, so the reverb voice's `in` reads exactly the preset pair,
// its delay passes it through (dry 128 = 1.0, empty lines), and `out`
// (gain 128 = 1.0) writes it to the main pair.
TEST(VirtualMachine, ParameterByte128IsOneAndTheAuxPairReachesTheOutput) {
    auto state = std::make_unique<SynthState>();
    resetSynthState(*state);
    float* channels = outputChannels(state->object);
    channels[2] = 0.25f;
    channels[3] = -0.5f;
    su_run_vm(*state);
    EXPECT_EQ(channels[0], 0.25f);
    EXPECT_EQ(channels[1], -0.5f);
    EXPECT_EQ(channels[2], 0.0f);
    EXPECT_EQ(channels[3], 0.0f);
    // Next frame, nobody wrote the pair: silence.
    channels[0] = channels[1] = 0.0f;
    ++state->context.frame;
    su_run_vm(*state);
    EXPECT_EQ(channels[0], -0.25f / 256.0f);  // the DC blocker's tail: 0 - 0.25 + 0
    EXPECT_EQ(channels[1], 0.5f / 256.0f);
}

TEST(VirtualMachine, ModulationIsAddedOnceAndCleared) {
    auto state = std::make_unique<SynthState>();
    resetSynthState(*state);
    float* channels = outputChannels(state->object);
    // Voice 15's `out` is its unit 2; two sends' worth in its gain slot: -0.25 - 0.25.
    float* outGainSlot = unitRecord(voiceSlot(state->object, 15), 2) + kModulationWord;
    outGainSlot[0] = -0.25f;
    outGainSlot[0] += -0.25f;
    channels[2] = 0.25f;
    channels[3] = 0.25f;
    su_run_vm(*state);
    EXPECT_EQ(channels[0], 0.125f);  // gain 1.0 - 0.5
    EXPECT_EQ(outGainSlot[0], 0.0f);
}

TEST(VirtualMachine, NoiseSeedAdvancesOncePerNoiseUnitPerFrame) {
    auto state = std::make_unique<SynthState>();
    resetSynthState(*state);
    su_run_vm(*state);
    // Instruments 0, 1 and 2 hold 2 + 1 + 2 noise units.
    EXPECT_EQ(state->context.noiseSeed, 16007u * 16007u * 16007u * 16007u * 16007u);
}

}  // namespace
