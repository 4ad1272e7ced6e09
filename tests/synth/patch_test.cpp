// The encoded patch: every send reaches the unit and parameter the song's table
// of sends names, and the instruments take the delay lines the song lists.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "synth/song_patch.h"
#include "synth/synth_object.h"
#include "synth/units.h"

namespace {

using synth::SuOpcode;

struct DecodedSend {
    int instrument;
    int unit;        // index within the instrument
    int amountByte;
    int targetVoice; // -1: the sending voice itself
    int targetUnit;
    int targetParam;
    bool consumes;
};

struct DecodedUnit {
    int instrument;
    int unit;
    SuOpcode op;
    bool stereo;
    const std::uint8_t* operands;
};

std::vector<DecodedUnit> decodePatch() {
    std::vector<DecodedUnit> units;
    const std::uint8_t* operands = synth::su_patch_operands;
    int instrument = 0;
    int unit = 0;
    for (std::uint8_t byte : synth::su_patch_opcodes) {
        const int number = byte >> 1;
        if (number == 0) {
            ++instrument;
            unit = 0;
            continue;
        }
        units.push_back({instrument, unit++, static_cast<SuOpcode>(number), (byte & 1) != 0, operands});
        operands += synth::su_vm_transformcounts[number - 1] + synth::kInlineByteCounts[number - 1];
    }
    return units;
}

std::vector<DecodedSend> decodeSends() {
    std::vector<DecodedSend> sends;
    for (const DecodedUnit& u : decodePatch()) {
        if (u.op != SuOpcode::send) continue;
        const int address = u.operands[1] | (u.operands[2] << 8);
        int word = (address & 0x7FFF) | 8;
        int voice = -1;
        if (address & 0x8000) {
            voice = (word - 16) / 1024;
            word = (word - 16) % 1024;
        }
        sends.push_back({u.instrument, u.unit, u.operands[0], voice, word / 16 - 1, word % 16 - 8, (address & 8) != 0});
    }
    return sends;
}

TEST(Patch, EverySendReachesTheTargetOfTheTableOfSends) {
    // Instrument, sending unit, amount; target voice (-1 own), unit, parameter; consumes.
    // Parameters: oscillator transpose 0 and colour 3, filter frequency 0, envelope gain 4.
    const std::vector<DecodedSend> expected = {
        {0, 1, 81, -1, 2, 0, true},    {0, 7, 75, -1, 10, 0, true},   {0, 9, 86, -1, 10, 0, true},
        {1, 1, 70, -1, 3, 0, true},    {1, 13, 19, -1, 10, 0, true},  {1, 15, 26, -1, 16, 0, true},
        {2, 6, 51, -1, 7, 0, true},    {4, 13, 81, -1, 8, 0, true},   {7, 4, 112, -1, 3, 4, false},
        {7, 7, 96, 31, 61, 7, false},  {7, 8, 100, -1, 10, 0, true},  {8, 5, 80, -1, 0, 3, false},
        {8, 6, 80, -1, 7, 0, true},    {8, 10, 46, -1, 11, 0, true},  {9, 1, 54, 7, 11, 0, false},
        {9, 2, 54, 8, 11, 0, false},   {9, 3, 54, 9, 11, 0, true},    {10, 1, 45, 11, 9, 0, true},
    };
    const std::vector<DecodedSend> sends = decodeSends();
    ASSERT_EQ(sends.size(), expected.size());
    for (std::size_t i = 0; i < sends.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sends[i].instrument, expected[i].instrument);
        EXPECT_EQ(sends[i].unit, expected[i].unit);
        EXPECT_EQ(sends[i].amountByte, expected[i].amountByte);
        EXPECT_EQ(sends[i].targetVoice, expected[i].targetVoice);
        EXPECT_EQ(sends[i].targetUnit, expected[i].targetUnit);
        EXPECT_EQ(sends[i].targetParam, expected[i].targetParam);
        EXPECT_EQ(sends[i].consumes, expected[i].consumes);
    }
}

TEST(Patch, SendTargetsAreTheUnitsTheTableNames) {
    std::vector<DecodedUnit> units = decodePatch();
    auto opAt = [&](int instrument, int unit) {
        for (const DecodedUnit& u : units) {
            if (u.instrument == instrument && u.unit == unit) return u.op;
        }
        return SuOpcode::end;
    };
    EXPECT_EQ(opAt(0, 2), SuOpcode::oscillator);
    EXPECT_EQ(opAt(0, 10), SuOpcode::oscillator);
    EXPECT_EQ(opAt(1, 3), SuOpcode::oscillator);
    EXPECT_EQ(opAt(1, 10), SuOpcode::filter);
    EXPECT_EQ(opAt(1, 16), SuOpcode::filter);
    EXPECT_EQ(opAt(2, 7), SuOpcode::filter);
    EXPECT_EQ(opAt(4, 8), SuOpcode::filter);
    EXPECT_EQ(opAt(5, 11), SuOpcode::filter);  // voices 7-9, reached from instrument 9
    EXPECT_EQ(opAt(7, 3), SuOpcode::envelope);
    EXPECT_EQ(opAt(7, 9), SuOpcode::filter);   // voice 11, reached from instrument 10
    EXPECT_EQ(opAt(7, 10), SuOpcode::filter);
    EXPECT_EQ(opAt(8, 0), SuOpcode::oscillator);
    EXPECT_EQ(opAt(8, 7), SuOpcode::filter);
    EXPECT_EQ(opAt(8, 11), SuOpcode::filter);
}

TEST(Patch, DelayUnitsTakeFortyFiveLinesInTheSongsOrder) {
    // Instruments 4 and 5 run on three voices each.
    const int voicesOfInstrument[synth::kInstrumentCount] = {1, 1, 1, 1, 3, 3, 1, 1, 1, 1, 1, 1};
    std::vector<int> linesPerInstrument(synth::kInstrumentCount, 0);
    for (const DecodedUnit& u : decodePatch()) {
        if (u.op != SuOpcode::delay) continue;
        linesPerInstrument[u.instrument] += (u.stereo ? 2 : 1) * synth::delayLinesPerChannel(u.operands[5]);
    }
    EXPECT_EQ(linesPerInstrument, (std::vector<int>{0, 0, 2, 2, 4, 3, 2, 0, 2, 0, 0, 16}));
    int total = 0;
    for (int i = 0; i < synth::kInstrumentCount; ++i) total += linesPerInstrument[i] * voicesOfInstrument[i];
    EXPECT_EQ(total, synth::kDelayLineCount);
}

}  // namespace
