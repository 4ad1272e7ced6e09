// Making mode's rules over the play position, against the audio clock without a device (its
// steady clock scripted), and the show steps the keys move by, against the director.
#include <gtest/gtest.h>

#include "app/making_mode.h"
#include "app/readout.h"
#include "app/show_steps.h"
#include "show/timeline.h"
#include "synth/audio_clock.h"
#include "synth/song_constants.h"

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point scriptedTime = Clock::time_point{} + std::chrono::hours(1);
bool noDevice(const float*, std::uint32_t, const std::atomic<std::uint32_t>*, const platform::AudioStart&) { return false; }
std::optional<std::uint32_t> noPosition() { return std::nullopt; }
Clock::time_point scriptedNow() { return scriptedTime; }

TEST(MakingRulesTest, TheSongsEndHoldsUntilASeekAndSeeksLandInsideTheLoop) {
    startAudio(AudioClockSource{noDevice, noPosition, scriptedNow}, nullptr, synth::kSongFrames, nullptr);
    PlayPosition play;
    requestSeek(play, 111.5);
    followClock(play);
    scriptedTime += std::chrono::seconds(2);
    followClock(play);
    EXPECT_TRUE(play.paused && play.heldAtEnd);
    EXPECT_EQ(play.showTime, secondsOfFrame(synth::kSongFrames));
    requestSeek(play, 100.0);
    followClock(play);
    EXPECT_FALSE(play.paused) << "a seek from the end plays on";
    EXPECT_EQ(play.showTime, 100.0) << "the first picture after a seek is the target's";

    setLoop(play, LoopRange{30.0, 34.0});
    for (const double target : {20.0, 34.0, 50.0}) {
        requestSeek(play, target);
        EXPECT_EQ(play.pendingSeek, 30.0) << "a seek to " << target << " s, outside the loop, goes to its start";
    }
    requestSeek(play, 33.9996);
    EXPECT_EQ(play.pendingSeek, 34.0) << "rounded to the millisecond, at the loop's end: kept for the clock to wrap";
    followClock(play);
    EXPECT_EQ(play.showTime, 30.0) << "the clock plays the loop's end as its start";

    play.showTime = 31.0;
    play.paused = true;
    EXPECT_TRUE(setLoopEndHere(play));
    EXPECT_EQ(play.loop->from, 30.0);
    EXPECT_EQ(play.loop->to, 31.0);
    EXPECT_EQ(play.pendingSeek, 30.0) << "a held time at the new loop's end goes to its start";
    followClock(play);
    EXPECT_EQ(play.showTime, 30.0);
    EXPECT_TRUE(play.paused) << "and stays held there";
    play.showTime = 40.0;
    EXPECT_TRUE(setLoopStartHere(play));
    EXPECT_EQ(play.loop->to, songEndSeconds()) << "a start past the end opens the loop to the show's end";
    play.showTime = 0.0;
    play.pendingSeek.reset();
    play.loop.reset();
    EXPECT_FALSE(setLoopEndHere(play)) << "no loop ends at the show's start";
}

TEST(MakingRulesTest, AutoRepeatMovesAtMostOncePerPictureAndNeverToggles) {
    RepeatGate gate;
    const auto press = [](platform::Key key, bool repeat) {
        platform::WindowEvent event{platform::WindowEventKind::KeyDown, key};
        event.repeat = repeat;
        return event;
    };
    EXPECT_TRUE(pressActs(gate, press(platform::Key::Space, false), 7));
    EXPECT_FALSE(pressActs(gate, press(platform::Key::Space, true), 8));
    EXPECT_FALSE(pressActs(gate, press(platform::Key::PageDown, true), 9));
    EXPECT_TRUE(pressActs(gate, press(platform::Key::Right, true), 9));
    EXPECT_FALSE(pressActs(gate, press(platform::Key::Right, true), 9)) << "no new picture since";
    EXPECT_TRUE(pressActs(gate, press(platform::Key::Period, true), 10));
}

// A held time given back as --at must land on the same step: steps are found with the
// director's own single-precision arithmetic, at every part start and in every part.
TEST(ShowStepsTest, StepKeysAndPartStartsAgreeWithTheDirector) {
    for (std::int32_t part = 1; part < 6; ++part) {
        const std::int64_t first = firstMillisecondOfPart(part);
        EXPECT_EQ(showStepAt(timeOfMillisecond(first)), (ShowStep{part, 0})) << "part " << part;
        EXPECT_EQ(showStepAt(timeOfMillisecond(first - 1)).part, part - 1) << "a part keeps its last moment";
    }
    std::int64_t millisecond = firstMillisecondOfPart(3) - 40;
    for (int i = 0; i < 200; ++i) {
        const ShowStep from = showStepAt(timeOfMillisecond(millisecond));
        const std::int64_t next = *nextStepMillisecond(millisecond);
        const ShowStep to = showStepAt(timeOfMillisecond(next));
        EXPECT_TRUE(to.part == from.part ? to.step == from.step + 1 : to == (ShowStep{from.part + 1, 0})) << next;
        EXPECT_EQ(showStepAt(timeOfMillisecond(next - 1)), from) << "the first millisecond of the step";
        if (i > 0) {
            EXPECT_EQ(*previousStepMillisecond(next), millisecond) << "one step back: the step's first millisecond";
        }
        millisecond = next;
    }
    EXPECT_FALSE(previousStepMillisecond(10));
    EXPECT_FALSE(nextStepMillisecond(111989));
}

// The same against the table and the 1/60 s step rather than against functions built on
// showStepAt: a part keeps the millisecond its durations add up to, its first millisecond is the
// one after, and the step is the whole sixtieths of a second into the part.
TEST(ShowStepsTest, PartsKeepTheirLastMillisecondAndStepsAreSixtiethsIntoThePart) {
    for (std::size_t part = 1; part < timeline.size(); ++part) {
        const auto end = static_cast<std::int64_t>(partStartSeconds(part) * 1000.0);
        EXPECT_EQ(showStepAt(timeOfMillisecond(end)).part, static_cast<std::int32_t>(part) - 1) << "part " << part;
        EXPECT_EQ(firstMillisecondOfPart(static_cast<std::int32_t>(part)), end + 1) << "part " << part;
    }
    const double inPart3 = 8.437;
    EXPECT_EQ(showStepAt(partStartSeconds(3) + inPart3), (ShowStep{3, static_cast<std::int32_t>(inPart3 * 60.0)}));
}

TEST(ReadoutTest, ALogIsWrappedToTheWindowAndKeepsTheFirstLinesThatFit) {
    const std::string log = "test.glsl: 0:3(34): error: syntax error\n" + std::string(400, 'x') + "\n" +
                            std::string(30, '\n') + "last line";
    const OverlayText overlay = layOutOverlay("part 3 | 62.437 s", true, log, 320, 180);
    ASSERT_EQ(overlay.readout, std::vector<std::string>{"part 3 | 62.437 s"});
    EXPECT_EQ(overlay.problem.size(), 13u) << "172 pixels inside the margins hold 14 rows of 12, one the readout's";
    EXPECT_EQ(overlay.problem.front(), "test.glsl: 0:3(34): error: syntax error");
    std::string joined;
    for (const std::string& line : overlay.problem) {
        EXPECT_LE(textWidth(line), 312) << line;
        joined += line;
    }
    EXPECT_EQ(joined.substr(39, 400), std::string(400, 'x')) << "a long word is cut, not lost";
    EXPECT_TRUE(layOutOverlay("part 3", false, std::nullopt, 320, 180).readout.empty());
}

}  // namespace
