// The arithmetic a render farm relies on: pieces of a plan showing exactly the one-run capture's
// picture times, a capture's record surviving its metadata, and the join's rules for pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tools/capture_range.h"
#include "cli/arguments.h"

namespace {

// Every picture time of a range, as one capture of it draws them.
std::vector<double> timesOf(double from, double to, int fps) {
    const PictureGrid grid = pictureGrid(from, to, fps);
    std::vector<double> times;
    for (std::int64_t i = 0; i < grid.pictures; ++i) times.push_back(pictureTime(grid, i));
    return times;
}

TEST(PlanPiecesTest, PiecesRunFromTheirPrintedTimesShowTheOneRunTimesBitForBit) {
    struct Case {
        double from, to;
        int fps, pieces;
    };
    for (const Case c : {Case{0.0, synth::kSongSeconds, 60, 7}, Case{44.0, 48.0, 20, 4}, Case{0.0, synth::kSongSeconds, 30, 16},
                         Case{13.0, 71.3, 7, 5}, Case{0.0125, 3.0, 20, 3}}) {
        const std::vector<double> oneRun = timesOf(c.from, c.to, c.fps);
        const std::vector<PlannedPiece> plan = planPieces(c.from, c.to, c.fps, c.pieces);
        ASSERT_EQ(plan.size(), static_cast<std::size_t>(c.pieces));
        std::vector<double> joined;
        for (std::size_t k = 0; k < plan.size(); ++k) {
            // A piece is run from the command line, so its times go through their printed form.
            double from = 0.0, to = 0.0;
            ASSERT_TRUE(parseDecimal(exactSeconds(plan[k].from), from));
            ASSERT_TRUE(parseDecimal(exactSeconds(plan[k].to), to));
            EXPECT_EQ(from, k == 0 ? c.from : plan[k - 1].to) << "piece " << k;
            const std::vector<double> times = timesOf(from, to, c.fps);
            EXPECT_EQ(static_cast<std::int64_t>(times.size()), plan[k].pictures) << "piece " << k;
            joined.insert(joined.end(), times.begin(), times.end());
        }
        EXPECT_EQ(plan.back().to, c.to);
        // Off the grid of whole pictures from 0 a piece's start is a sum of its own, one rounding away.
        if (pictureGrid(c.from, c.to, c.fps).onGrid) {
            EXPECT_EQ(joined, oneRun) << c.from << " to " << c.to << " at " << c.fps;
        } else {
            ASSERT_EQ(joined.size(), oneRun.size());
            for (std::size_t i = 0; i < joined.size(); ++i) EXPECT_NEAR(joined[i], oneRun[i], 1e-12) << i;
        }
        const auto [smallest, largest] = std::minmax_element(
            plan.begin(), plan.end(), [](const PlannedPiece& a, const PlannedPiece& b) { return a.pictures < b.pictures; });
        EXPECT_LE(largest->pictures - smallest->pictures, 1);
    }
}

TEST(PlanPiecesTest, ARangeOfFewerPicturesThanPiecesGetsOnePieceAPicture) {
    const std::vector<PlannedPiece> plan = planPieces(10.0, 10.2, 20, 8);
    ASSERT_EQ(plan.size(), 4u);
    for (const PlannedPiece& piece : plan) EXPECT_EQ(piece.pictures, 1);
}

TEST(CaptureRecordTest, SurvivesTheFileMetadataAndRefusesAnIncompleteOne) {
    const CaptureRecord record{44.05, synth::kSongSeconds, 320, 180, 20, 16, 23, "slow", false};
    const Metadata entries = captureMetadata(record);
    std::map<std::string, std::string> metadata(entries.begin(), entries.end());
    const std::optional<CaptureRecord> read = readCaptureRecord(metadata);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(captureMetadata(*read), entries);  // every field, the times to the bit

    for (const char* key : {"capture_from", "capture_size", "capture_audio"}) {
        std::map<std::string, std::string> damaged = metadata;
        damaged.erase(key);
        EXPECT_EQ(readCaptureRecord(damaged), std::nullopt) << key;
        damaged[key] = "x";
        EXPECT_EQ(readCaptureRecord(damaged), std::nullopt) << key;
    }
}

// "p1", "p2", ...: the name of piece k, counting from 0. (Built by appending: GCC 12 warns falsely
// about "p" + std::to_string.)
std::string pieceName(std::size_t k) {
    std::string name = "p";
    name += std::to_string(k + 1);
    return name;
}

// Four pieces of 44 to 48 s at 20 pictures a second, as a plan gives them, named after their order.
std::vector<PieceFacts> fourPieces() {
    std::vector<PieceFacts> pieces;
    for (const PlannedPiece& planned : planPieces(44.0, 48.0, 20, 4)) {
        const CaptureRecord record{planned.from, planned.to, 320, 180, 20, 1, 18, "medium", false};
        pieces.push_back({pieceName(pieces.size()), record, planned.pictures, false});
    }
    return pieces;
}

TEST(OrderAndCheckPiecesTest, TakesFittingPiecesInShowOrderWhateverOrderTheyCome) {
    std::vector<PieceFacts> pieces = fourPieces();
    std::swap(pieces[0], pieces[3]);
    std::swap(pieces[1], pieces[2]);
    EXPECT_EQ(orderAndCheckPieces(pieces), std::nullopt);
    for (std::size_t k = 0; k < pieces.size(); ++k) EXPECT_EQ(pieces[k].name, pieceName(k));

    // The last piece alone may end within a picture, as a capture to the end of the show does.
    pieces.back().record.to = 47.97;
    EXPECT_EQ(orderAndCheckPieces(pieces), std::nullopt);
}

TEST(OrderAndCheckPiecesTest, RefusesEveryMisfitNamingThePiecesAndWhy) {
    struct Misfit {
        const char* what;
        void (*spoil)(std::vector<PieceFacts>&);
        const char* expected;
    };
    const Misfit misfits[] = {
        {"a piece left out", [](auto& p) { p.erase(p.begin() + 2); }, "a gap of 1 s (20 pictures) between 'p2'"},
        {"an overlap", [](auto& p) { p[2].record.from = 45.95, p[2].pictures = 21; }, "an overlap of 0.05 s"},
        {"the same piece twice", [](auto& p) { p.push_back(p[1]); }, "an overlap of 1 s"},
        {"another size", [](auto& p) { p[3].record.width = 640; }, "'p1' and 'p4' were made differently (size"},
        {"other samples", [](auto& p) { p[1].record.samples = 4; }, "(samples 1 and 4)"},
        {"another preset", [](auto& p) { p[1].record.preset = "fast"; }, "(preset medium and fast)"},
        {"sound in the file", [](auto& p) { p[2].hasAudio = true; }, "'p3' has sound"},
        {"sound in the record", [](auto& p) { p[0].record.audio = true; }, "'p1' has sound"},
        {"a picture short", [](auto& p) { p[1].pictures = 19; }, "'p2' holds 19 pictures where its range needs 20"},
        {"an end within a picture", [](auto& p) { p[0].record.to = 45.01, p[0].pictures = 21, p[1].record.from = 45.01; },
         "'p1' ends within a picture"},
    };
    for (const Misfit& misfit : misfits) {
        std::vector<PieceFacts> pieces = fourPieces();
        misfit.spoil(pieces);
        const std::optional<std::string> refusal = orderAndCheckPieces(pieces);
        ASSERT_TRUE(refusal.has_value()) << misfit.what;
        EXPECT_NE(refusal->find(misfit.expected), std::string::npos) << misfit.what << ": " << *refusal;
    }
    std::vector<PieceFacts> none;
    EXPECT_TRUE(orderAndCheckPieces(none).has_value());
}

}  // namespace
