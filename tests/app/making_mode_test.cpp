// Making mode's portable side: keys moving the play position through the show, and the window
// title.
#include <gtest/gtest.h>

#include <cmath>

#include "app/making_canvas.h"
#include "app/making_mode.h"
#include "synth/song_constants.h"

namespace {

using platform::Key;

PlayPosition at(double seconds) {
    PlayPosition play;
    play.showTime = seconds;
    return play;
}

TEST(MakingKeysTest, SpaceHoldsWhereTheSoundStopsAndOtherKeysLeaveThePositionAlone) {
    PlayPosition play = at(62.00042);
    EXPECT_TRUE(applyMakingKey(play, Key::Space));
    EXPECT_TRUE(play.paused);
    EXPECT_FALSE(play.pendingSeek) << "the output stops where the sound is, not at the picture's time";
    EXPECT_TRUE(applyMakingKey(play, Key::Space));
    EXPECT_FALSE(play.paused);
    EXPECT_FALSE(play.pendingSeek) << "playing on is no seek";

    EXPECT_FALSE(applyMakingKey(play, Key::Other));
    EXPECT_FALSE(applyMakingKey(play, Key::Escape));
    EXPECT_FALSE(play.pendingSeek || play.pendingMove);
    EXPECT_FALSE(play.paused);
}

TEST(MakingKeysTest, ArrowsMoveTheSoundWhilePlayingAndTheHeldTimeWhileHeld) {
    PlayPosition play = at(62.0);
    applyMakingKey(play, Key::Right);
    EXPECT_EQ(play.pendingMove, 5.0) << "playing: the sound moves 5 s from where it is cut";
    applyMakingKey(play, Key::Right);
    EXPECT_EQ(play.pendingMove, 10.0) << "a second press before the next frame moves on from the first";
    applyMakingKey(play, Key::Left, true);
    EXPECT_EQ(play.pendingMove, 9.0) << "Shift moves one second";
    EXPECT_FALSE(play.pendingSeek);
    EXPECT_EQ(play.showTime, 62.0) << "the clock, not the key, moves the shown time";
    applyMakingKey(play, Key::Space);
    EXPECT_FALSE(play.pendingMove) << "pausing turns the move into a seek from the held time";
    EXPECT_EQ(play.pendingSeek, 71.0);

    PlayPosition early = at(3.0);
    early.paused = true;
    applyMakingKey(early, Key::Left);
    EXPECT_EQ(early.pendingSeek, 0.0);

    PlayPosition late = at(110.0);
    late.paused = true;
    applyMakingKey(late, Key::Right);
    EXPECT_EQ(late.pendingSeek, 111.989) << "the last whole millisecond of the song";
    applyMakingKey(late, Key::Left, true);
    EXPECT_EQ(late.pendingSeek, 110.989) << "held: from the latest target";

    PlayPosition held = at(62.0);
    held.paused = true;
    applyMakingKey(held, Key::Right);
    EXPECT_TRUE(held.paused) << "a seek keeps a held picture held";
}

TEST(MakingKeysTest, PageKeysGoToTheFirstMillisecondTheDirectorDrawsInAPartAndHomeToTheStartOrTheLoopsStart) {
    // The director keeps a part up to its duration inclusive: 70.000 s is still part 3.
    PlayPosition play = at(62.0);
    applyMakingKey(play, Key::PageDown);
    EXPECT_EQ(play.pendingSeek, 70.001);
    applyMakingKey(play, Key::PageDown);
    EXPECT_EQ(play.pendingSeek, 110.001) << "from the start just reached, on to the next";
    EXPECT_FALSE(applyMakingKey(play, Key::PageDown)) << "the last part has no next one";
    EXPECT_EQ(play.pendingSeek, 110.001);

    PlayPosition back = at(62.0);
    applyMakingKey(back, Key::PageUp);
    EXPECT_EQ(back.pendingSeek, 38.001);
    applyMakingKey(back, Key::PageUp);
    EXPECT_EQ(back.pendingSeek, 22.001);
    applyMakingKey(back, Key::PageUp);
    EXPECT_EQ(back.pendingSeek, 0.0);

    PlayPosition boundary = at(70.0);  // the last moment of part 3
    applyMakingKey(boundary, Key::PageDown);
    EXPECT_EQ(boundary.pendingSeek, 70.001);

    PlayPosition home = at(62.0);
    applyMakingKey(home, Key::Home);
    EXPECT_EQ(home.pendingSeek, 0.0);
    home.loop = LoopRange{30.0, 34.0};
    applyMakingKey(home, Key::Home);
    EXPECT_EQ(home.pendingSeek, 30.0);
}

TEST(MakingKeysTest, UpAndDownMoveByRowsShiftByPatternsAndPLoopsThePatternPlaying) {
    constexpr double kRow = 5512.0 / 44100.0;
    const auto frameOf = [](const std::optional<double>& seconds) { return std::lround(seconds.value_or(-1.0) * 44100.0); };
    PlayPosition play = at(62.0);  // frame 2,734,200: row 496 (pattern 31, row 0)
    applyMakingKey(play, Key::Up);
    EXPECT_EQ(frameOf(play.pendingSeek), 497 * 5512) << "row 496 holds 62 s: on to row 497's start";
    applyMakingKey(play, Key::Down);
    EXPECT_EQ(frameOf(play.pendingSeek), 496 * 5512) << "exactly on a row: back to the row before";
    applyMakingKey(play, Key::Down);
    EXPECT_EQ(frameOf(play.pendingSeek), 495 * 5512);
    applyMakingKey(play, Key::Up, true);
    EXPECT_EQ(frameOf(play.pendingSeek), 496 * 5512) << "Shift: the next pattern's first row (31 x 16)";
    applyMakingKey(play, Key::Down, true);
    EXPECT_EQ(frameOf(play.pendingSeek), 480 * 5512);

    PlayPosition inside = at(496 * kRow + 0.05);
    applyMakingKey(inside, Key::Down);
    EXPECT_EQ(frameOf(inside.pendingSeek), 496 * 5512) << "inside a row: back to its start";
    EXPECT_FALSE(applyMakingKey(inside = at(0.0), Key::Down)) << "nothing before 0:0";
    EXPECT_FALSE(applyMakingKey(inside = at(111.9), Key::Up)) << "nothing after the last row";

    PlayPosition looping = at(62.0);
    applyMakingKey(looping, Key::P);
    ASSERT_TRUE(looping.loop);
    EXPECT_EQ(std::lround(looping.loop->from * 44100.0), 496 * 5512);
    EXPECT_EQ(std::lround(looping.loop->to * 44100.0), 512 * 5512);
    EXPECT_FALSE(looping.pendingSeek) << "62 s is inside the pattern: no seek";
}

TEST(MakingCanvasTest, ThePictureFillsAResizedWindowWithItsShapeKeptAndCentred) {
    EXPECT_EQ(placeCanvas(320, 180, 640, 360), (CanvasPlace{0, 0, 640, 360}));
    EXPECT_EQ(placeCanvas(320, 180, 640, 600), (CanvasPlace{0, 120, 640, 360})) << "taller: bands above and below";
    EXPECT_EQ(placeCanvas(320, 180, 1000, 360), (CanvasPlace{180, 0, 640, 360})) << "wider: bands left and right";
    EXPECT_EQ(placeCanvas(320, 180, 0, 360), CanvasPlace{}) << "a minimised window gets nothing";
}

TEST(MakingTitleTest, SaysPartTimeAndRateOrPausedAndTheFirstLineOfABuildProblem) {
    EXPECT_EQ(makingTitle(3, 62.44, 1.94, false, std::nullopt), "Quorvale · part 3 · 62.4 s · 1.9 fps");
    EXPECT_EQ(makingTitle(0, 0.0, 0.0, true, std::nullopt), "Quorvale · part 0 · 0.000 s · paused");
    EXPECT_EQ(makingTitle(1, 30.0, 2.0, false, std::string("test.glsl: 0:3(1): error: syntax error\nmore")),
              "Quorvale · part 1 · 30.0 s · 2.0 fps · test.glsl: 0:3(1): error: syntax error");
    const std::string longTitle = makingTitle(1, 30.0, 2.0, false, std::string(500, 'e'));
    EXPECT_LT(longTitle.size(), 200u);
}

TEST(MakingTitleTest, TheRateCountsFramesOverTheTimeSinceTheLastReading) {
    using namespace std::chrono;
    FrameRateMeter meter;
    const steady_clock::time_point start = steady_clock::now();
    readFrameRate(meter, start);
    for (int i = 0; i < 3; ++i) countFrame(meter);
    EXPECT_DOUBLE_EQ(readFrameRate(meter, start + milliseconds(1500)), 2.0);
    countFrame(meter);
    EXPECT_DOUBLE_EQ(readFrameRate(meter, start + milliseconds(2000)), 2.0) << "one frame in half a second";
    EXPECT_DOUBLE_EQ(readFrameRate(meter, start + milliseconds(2000)), 2.0) << "no time passed keeps the last rate";
    EXPECT_DOUBLE_EQ(readFrameRate(meter, start + milliseconds(3000)), 0.0) << "no frame since: held";
}

}  // namespace
