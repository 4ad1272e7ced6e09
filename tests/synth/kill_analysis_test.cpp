// Which units the song player may leave out while an envelope is silent for
// good, worked out by hand from the instruments' signal flow.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "synth/kill_analysis.h"

namespace {

using namespace synth;

// The kill masks of instrument `instrument`, decoded from the patch.
std::vector<std::uint64_t> killMasksOf(int instrument) {
    int first = 0;
    int operand = 0;
    for (int i = 0, seen = 0; seen < instrument; ++i) {
        const int number = su_patch_opcodes[i] >> 1;
        if (number == 0) {
            ++seen;
            first = i + 1;
            continue;
        }
        operand += su_vm_transformcounts[number - 1] + kInlineByteCounts[number - 1];
    }
    int sendTargets[kMaxUnitsPerVoice] = {};
    bool sendConsumes[kMaxUnitsPerVoice] = {};
    int units = 0;
    for (; su_patch_opcodes[first + units] >> 1; ++units) {
        const int number = su_patch_opcodes[first + units] >> 1;
        sendTargets[units] = -1;
        if (number == static_cast<int>(SuOpcode::send)) {
            const int address = su_patch_operands[operand + 1] | (su_patch_operands[operand + 2] << 8);
            sendConsumes[units] = (address & 8) != 0;
            if (!(address & 0x8000)) sendTargets[units] = ((address | 8) & 0x7FFF) / 16 - 1;
        }
        operand += su_vm_transformcounts[number - 1] + kInlineByteCounts[number - 1];
    }
    std::vector<std::uint64_t> masks(units);
    computeKillMasks(su_patch_opcodes + first, units, sendTargets, sendConsumes, masks.data());
    return masks;
}

constexpr std::uint64_t env(int unit) { return std::uint64_t{1} << unit; }

TEST(KillAnalysis, BassDrumBranchesFollowTheirOwnEnvelopes) {
    // noise, send, osc, filter | env4 mulp | env6, send->osc10 | noise, send, osc10, filter | env12 mulp ...
    const std::vector<std::uint64_t> expected = {env(4), env(4), env(4), env(4), 0, 0, 0, env(12), env(12),
                                                 env(12), env(12), env(12), 0, 0, 0, 0, 0};
    EXPECT_EQ(killMasksOf(0), expected);
}

TEST(KillAnalysis, PadOscillatorsStopWithEitherEnvelopeButTheAddThatPassesTheEnvelopeOnRuns) {
    // env0 env1 mulp | osc3 add4 osc5 addp6 | mulp7 filter pan delay outaux loadnote send
    const std::uint64_t both = env(0) | env(1);
    const std::vector<std::uint64_t> expected = {0, 0, 0, both, 0, both, both, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(killMasksOf(4), expected);
}

TEST(KillAnalysis, StringOscillatorPairsStopWithTheirEnvelopes) {
    const std::vector<std::uint64_t> expected = {env(3), env(3), env(3), 0, 0, env(8), env(8), env(8), 0,
                                                 0,      0,      0,      0, 0, 0,      0,      0};
    EXPECT_EQ(killMasksOf(5), expected);
}

TEST(KillAnalysis, EverythingBeforeTheLeadsEnvelopeStopsWithIt) {
    std::vector<std::uint64_t> expected(19, 0);
    for (int u = 0; u < 14; ++u) expected[u] = env(14);
    EXPECT_EQ(killMasksOf(8), expected);
}

TEST(KillAnalysis, ReverbAndNoteSendersNeverStop) {
    for (int instrument : {9, 10, 11}) {
        for (std::uint64_t mask : killMasksOf(instrument)) EXPECT_EQ(mask, 0u) << instrument;
    }
}

}  // namespace
