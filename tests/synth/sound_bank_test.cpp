// The sample table: loading a given file, clearing, and the built-in stand-in.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "synth/song_tables.h"
#include "synth/sound_bank.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace synth;

std::vector<int> standInLoop() {
    std::vector<int> words;
    for (int i = 0; i < kStandInLoopWords; ++i) words.push_back(sampleTableWord(su_sample_offsets[0].start + i));
    return words;
}

TEST(SoundBank, AShortFileFillsTheStartAndLeavesTheRestZero) {
    const ScratchFolder folder{"sound_bank"};
    const std::filesystem::path path = folder.path / "bank.bin";
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const unsigned char bytes[6] = {0x01, 0x02, 0xFF, 0x7F, 0x00, 0x80};
    std::fwrite(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    su_write_stand_in_bank();
    EXPECT_TRUE(su_load_bank_file(path.string().c_str()));
    EXPECT_EQ(sampleTableWord(0), 0x0201);
    EXPECT_EQ(sampleTableWord(1), 32767);
    EXPECT_EQ(sampleTableWord(2), -32768);
    EXPECT_EQ(sampleTableWord(3), 0);
    EXPECT_EQ(sampleTableWord(su_sample_offsets[0].start), 0);
}

TEST(SoundBank, AMissingFileLeavesTheTableZero) {
    su_write_stand_in_bank();
    EXPECT_FALSE(su_load_bank_file("/nonexistent/qv/gm.dls"));
    for (int w : standInLoop()) ASSERT_EQ(w, 0);
}

TEST(SoundBank, WordsOutsideTheTableReadAsZero) {
    su_write_stand_in_bank();
    EXPECT_EQ(sampleTableWord(-1), 0);
    EXPECT_EQ(sampleTableWord(kSampleTableBytes / 2), 0);
}

TEST(StandIn, FillsExactlyTheLoopOfTheSongsSample) {
    su_write_stand_in_bank();
    const std::uint32_t start = su_sample_offsets[0].start;
    EXPECT_EQ(sampleTableWord(start - 1), 0);
    EXPECT_EQ(sampleTableWord(start + kStandInLoopWords), 0);
    int peak = 0;
    for (int w : standInLoop()) peak = std::max(peak, std::abs(w));
    EXPECT_GT(peak, 16000);
    EXPECT_LT(peak, 32767);
    su_clear_bank();
    for (int w : standInLoop()) ASSERT_EQ(w, 0);
}

TEST(StandIn, LoopsWithoutASeam) {
    su_write_stand_in_bank();
    const std::vector<int> words = standInLoop();
    int largestStep = 0;
    for (std::size_t i = 1; i < words.size(); ++i) largestStep = std::max(largestStep, std::abs(words[i] - words[i - 1]));
    EXPECT_LE(std::abs(words.front() - words.back()), largestStep);
}

// Strongest component at 67 cycles per loop: played at note 72 (half a word per
// frame) that is 67 x 22050 / 5676 = 260.3 Hz, 9 cents under the note's 261.6 Hz.
TEST(StandIn, FundamentalIsSixtySevenCyclesPerLoop) {
    su_write_stand_in_bank();
    const std::vector<int> words = standInLoop();
    int strongest = 0;
    double strongestMagnitude = 0.0;
    for (int k = 1; k < 600; ++k) {
        std::complex<double> sum = 0.0;
        for (std::size_t i = 0; i < words.size(); ++i) {
            sum += static_cast<double>(words[i]) * std::polar(1.0, -2.0 * 3.14159265358979323846 * k * i / words.size());
        }
        if (std::abs(sum) > strongestMagnitude) {
            strongestMagnitude = std::abs(sum);
            strongest = k;
        }
    }
    EXPECT_EQ(strongest, 67);
    EXPECT_NEAR(1200.0 * std::log2(67.0 * 22050.0 / 5676.0 / 261.6256), -9.0, 1.0);
}

}  // namespace
