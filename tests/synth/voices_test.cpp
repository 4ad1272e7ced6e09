// The row step: releases, restarts and the voice rotation, with the rows read
// by hand from the song's order lists and patterns.
#include <gtest/gtest.h>

#include <memory>

#include "synth/song_render.h"

namespace {

using namespace synth;

struct Voices : ::testing::Test {
    std::unique_ptr<SynthObject> object = std::make_unique<SynthObject>();

    void SetUp() override { std::fill(std::begin(object->words), std::end(object->words), 0.0f); }
    void applyRows(int first, int last) {
        for (int row = first; row <= last; ++row) updateVoices(*object, row);
    }
    int note(int voice) { return loadInt(voiceSlot(*object, voice)[kNoteWord]); }
    int gate(int voice) { return loadInt(voiceSlot(*object, voice)[kGateWord]); }
};

TEST_F(Voices, RowZeroStartsTheNotesOfTracksFourAndSix) {
    applyRows(0, 0);
    EXPECT_EQ(note(4), 0x3C);  // track 4, pattern 11
    EXPECT_EQ(gate(4), 0x3C);
    EXPECT_EQ(note(6), 0x24);  // track 6, pattern 19
    EXPECT_EQ(note(5), 0);     // track 5 plays pattern 0
    EXPECT_EQ(gate(5), 0);
}

TEST_F(Voices, ANewNoteClearsTheWholeVoiceSlot) {
    float* slot = voiceSlot(*object, 4);
    std::fill(slot, slot + kVoiceSlotWords, 7.0f);
    applyRows(0, 0);
    EXPECT_EQ(note(4), 0x3C);
    EXPECT_EQ(gate(4), 0x3C);
    for (int word = 2; word < kVoiceSlotWords; ++word) ASSERT_EQ(slot[word], 0.0f) << word;
}

TEST_F(Voices, AReleaseClearsTheGateAndKeepsTheNote) {
    applyRows(0, 48);
    EXPECT_EQ(gate(4), 0x3C);
    applyRows(49, 49);  // track 4, order 3: pattern 12 releases on its row 1
    EXPECT_EQ(gate(4), 0);
    EXPECT_EQ(note(4), 0x3C);
}

TEST_F(Voices, TrackSevenRotatesThroughVoicesEightNineSeven) {
    applyRows(0, 176);
    EXPECT_EQ(note(7) | note(8) | note(9), 0);
    applyRows(177, 177);  // pattern 23, row 1: 0x3C
    EXPECT_EQ(note(8), 0x3C);
    EXPECT_EQ(gate(8), 0x3C);
    applyRows(178, 180);  // row 2 releases voice 8, row 4 starts 0x3C
    EXPECT_EQ(gate(8), 0);
    EXPECT_EQ(note(9), 0x3C);
    EXPECT_EQ(gate(9), 0x3C);
    applyRows(181, 183);  // row 7: 0x30
    EXPECT_EQ(note(7), 0x30);
    EXPECT_EQ(gate(7), 0x30);
    EXPECT_EQ(gate(9), 0);
    applyRows(184, 188);  // row 12: 0x3F, back on voice 8
    EXPECT_EQ(note(8), 0x3F);
    EXPECT_EQ(trackRotation(*object)[7], 1);
}

TEST_F(Voices, HoldBytesCarryANoteAcrossAPatternBoundary) {
    applyRows(0, 176);  // track 3, order 11: pattern 3 starts 0x48
    EXPECT_EQ(gate(3), 0x48);
    float* record = unitRecord(voiceSlot(*object, 3), 0);
    record[1] = 0.5f;  // an envelope level reached while the note sounds
    applyRows(177, 192 + 15);  // the rest of pattern 3 and all of pattern 4
    EXPECT_EQ(gate(3), 0x48);
    EXPECT_EQ(record[1], 0.5f);
}

TEST_F(Voices, GlobalVoiceIsNeverTriggered) {
    for (int row = 0; row < static_cast<int>(kSongRows); ++row) updateVoices(*object, row);
    EXPECT_EQ(note(15), 0);
    EXPECT_EQ(gate(15), 0);
}

}  // namespace
