// The whole song: sane levels, the same bits from the song player as from the
// patch interpreter, a fresh start on every render, and the sample table
// reaching only track 3's voice.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "synth/song_render.h"
#include "synth/sound_bank.h"

namespace {

using namespace synth;

constexpr int kCheckedRows = 192;  // past the first notes of tracks 3 (row 176) and 7 (row 177)
constexpr std::size_t kCheckedSamples = 2 * kSamplesPerRow * kCheckedRows;
constexpr std::size_t kTrackThreeStart = 2 * kSamplesPerRow * 176;

// The song rendered once with the stand-in bank, shared by the tests.
const std::vector<float>& standInSong() {
    static const std::vector<float> song = [] {
        su_write_stand_in_bank();
        std::vector<float> buffer(2 * static_cast<std::size_t>(kSongFrames));
        su_render_song(buffer.data());
        return buffer;
    }();
    return song;
}

std::vector<float> renderFirstRows(int rows) {
    SongRenderer& renderer = songRenderer();
    beginSongRender(renderer);
    std::vector<float> buffer(2 * kSamplesPerRow * rows);
    for (int row = 0; row < rows; ++row) renderSongRow(renderer, row, buffer.data() + 2 * kSamplesPerRow * row);
    return buffer;
}

std::size_t firstDifference(const std::vector<float>& a, const std::vector<float>& b, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return i;
    }
    return count;
}

TEST(Song, EverySampleIsFiniteAndWithinLevel) {
    const std::vector<float>& song = standInSong();
    double sumSquares[2] = {};
    for (std::size_t i = 0; i < song.size(); ++i) {
        ASSERT_TRUE(std::isfinite(song[i])) << i;
        ASSERT_LE(std::fabs(song[i]), 1.5f) << i;
        sumSquares[i & 1] += static_cast<double>(song[i]) * song[i];
    }
    EXPECT_GT(std::sqrt(sumSquares[0] / kSongFrames), 0.01);
    EXPECT_GT(std::sqrt(sumSquares[1] / kSongFrames), 0.01);
}

TEST(Song, PlayerMatchesTheInterpreterBitForBit) {
    su_write_stand_in_bank();
    auto state = std::make_unique<SynthState>();
    resetSynthState(*state);
    std::vector<float> interpreted(kCheckedSamples);
    renderRowsWithVm(*state, interpreted.data(), kCheckedRows);
    EXPECT_EQ(firstDifference(standInSong(), interpreted, kCheckedSamples), kCheckedSamples);
}

TEST(Song, EachRenderStartsFromAClearedSynthesizer) {
    const std::vector<float>& song = standInSong();
    su_write_stand_in_bank();
    const std::vector<float> again = renderFirstRows(kCheckedRows);
    EXPECT_EQ(firstDifference(song, again, kCheckedSamples), kCheckedSamples);
}

TEST(Song, TheSampleTableReachesOnlyTrackThreeFromItsFirstNote) {
    const std::vector<float>& song = standInSong();
    su_clear_bank();
    const std::vector<float> withoutBank = renderFirstRows(kCheckedRows);
    su_write_stand_in_bank();
    // The stand-in's first word is 0, so the note's first frame or two may match.
    const std::size_t first = firstDifference(song, withoutBank, kCheckedSamples);
    EXPECT_GE(first, kTrackThreeStart);
    EXPECT_LT(first, kTrackThreeStart + 2 * 4);
}

}  // namespace
