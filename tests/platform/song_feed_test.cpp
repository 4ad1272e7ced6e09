// Making mode's song feed, driven buffer by buffer as an audio thread would: what it plays across
// pauses, seeks and loop wraps, how it fades each cut, and which song frame the heard output is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "platform/song_feed.h"

namespace {

using platform::kFadeFrames;

constexpr std::uint32_t kSongFrames = 10 * platform::kAudioFrameRate;
constexpr std::uint32_t kBuffer = 1024;

// Frame i holds i + 1 on the left and -1 on the right, so that a faded frame still tells which
// song frame it is (left / -right) and by what gain (-right).
std::vector<float> numberedSong() {
    std::vector<float> song(static_cast<std::size_t>(kSongFrames) * 2);
    for (std::uint32_t i = 0; i < kSongFrames; ++i) {
        song[2 * i] = static_cast<float>(i + 1);
        song[2 * i + 1] = -1.0f;
    }
    return song;
}

struct Played {
    std::optional<std::uint32_t> frame;  // nothing: silence
    float gain = 0.0f;
};

struct FeedRun {
    std::vector<float> song = numberedSong();
    platform::SongFeed feed;
    std::vector<Played> played;

    explicit FeedRun(std::uint32_t start, platform::AudioLoop loop = {}) {
        platform::startSongFeed(feed, song.data(), kSongFrames, nullptr, platform::AudioStart{start, loop, true, true});
    }
    void fill(std::uint32_t buffers) {
        std::vector<float> out(kBuffer * 2);
        for (std::uint32_t b = 0; b < buffers; ++b) {
            platform::fillSongFeed(feed, out.data(), kBuffer);
            for (std::uint32_t k = 0; k < kBuffer; ++k) {
                const float gain = -out[2 * k + 1];
                if (gain == 0.0f) {
                    played.push_back({});
                } else {
                    played.push_back({static_cast<std::uint32_t>(std::lround(out[2 * k] / gain)) - 1, gain});
                }
            }
        }
    }
    // The song frames played, in order, leaving out silence.
    std::vector<std::uint32_t> frames() const {
        std::vector<std::uint32_t> result;
        for (const Played& p : played) {
            if (p.frame) result.push_back(*p.frame);
        }
        return result;
    }
};

// Where the frames played stop following one another: the index after each jump.
std::vector<std::size_t> jumpsIn(const std::vector<std::uint32_t>& frames) {
    std::vector<std::size_t> jumps;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        if (frames[i] != frames[i - 1] + 1) jumps.push_back(i);
    }
    return jumps;
}

bool isWholeMillisecond(std::uint32_t frame) {
    return platform::frameOfMillisecond(static_cast<std::uint64_t>(std::llround(frame * 1000.0 / 44100.0))) == frame;
}

TEST(SongFeedTest, APauseStopsAtAWholeMillisecondAndResumingRepeatsAndSkipsNothing) {
    FeedRun run(44100);
    run.fill(4);
    platform::askFeedPause(run.feed, true);
    run.fill(4);
    const std::uint32_t held = platform::songFrameHeard(run.feed, run.feed.outputFrames);
    EXPECT_TRUE(isWholeMillisecond(held)) << held;
    platform::askFeedPause(run.feed, false);
    run.fill(4);
    const std::vector<std::uint32_t> frames = run.frames();
    EXPECT_TRUE(jumpsIn(frames).empty()) << "one unbroken run from the start, pause or not";
    EXPECT_EQ(frames.front(), 44100u);
    const auto resumed = std::find(frames.begin(), frames.end(), held);
    ASSERT_NE(resumed, frames.end());
    EXPECT_LT(resumed - frames.begin(), 4 * static_cast<long>(kBuffer) + static_cast<long>(kFadeFrames) + 50)
        << "the sound stops within a fade and a millisecond of the pause";
    // Silence lies between the pause's fade out and the resume's fade in, and both are ramps.
    const auto firstSilence = std::find_if(run.played.begin() + 1, run.played.end(), [](const Played& p) { return !p.frame; });
    ASSERT_NE(firstSilence, run.played.end());
    EXPECT_LT((firstSilence - 1)->gain, 0.02f);
    EXPECT_LT(std::next(std::find_if(firstSilence, run.played.end(), [](const Played& p) { return p.frame.has_value(); }))->gain,
              0.02f);
}

TEST(SongFeedTest, AMoveShiftsTheSoundByExactlyItsFramesFromTheCut) {
    FeedRun run(10000);
    run.fill(3);
    platform::askFeedMove(run.feed, 44100);
    run.fill(3);
    const std::vector<std::uint32_t> frames = run.frames();
    const std::vector<std::size_t> jumps = jumpsIn(frames);
    ASSERT_EQ(jumps.size(), 1u);
    EXPECT_EQ(frames[jumps[0]], frames[jumps[0] - 1] + 1 + 44100) << "the frame after the cut, moved 1 s";
    EXPECT_TRUE(isWholeMillisecond(frames[jumps[0]]));
    EXPECT_GE(frames[jumps[0] - 1] + 1 - 3 * kBuffer - 10000, kFadeFrames) << "the cut comes after a whole fade";
}

TEST(SongFeedTest, EveryCutIsFadedAndEveryOtherFrameIsTheSongsOwn) {
    // A loop of 0.1 s, a seek into it and a pause: each cut ramps; elsewhere the gain is exactly 1.
    FeedRun run(44100, platform::AudioLoop{44100, 48510});
    run.fill(20);
    platform::askFeedSeek(run.feed, 46000);
    run.fill(2);
    platform::askFeedPause(run.feed, true);
    run.fill(2);
    std::size_t faded = 0;
    float previousGain = 0.0f;
    for (const Played& p : run.played) {
        if (p.frame) {
            EXPECT_GE(*p.frame, 44100u);
            EXPECT_LT(*p.frame, 48510u) << "nothing at or past the loop's end";
        }
        EXPECT_LE(std::abs(p.gain - previousGain), 1.0f / kFadeFrames + 1e-4f) << "no step in the gain";
        if (p.frame && p.gain < 1.0f) ++faded;
        if (p.frame && p.gain > 1.0f) ADD_FAILURE() << "louder than the song";
        previousGain = p.gain;
    }
    // The start's fade in, four wraps of two fades each, the seek's two and the pause's one, each
    // a fade's length (a cut's up to a millisecond more).
    EXPECT_LE(faded, 12 * (kFadeFrames + 45));
    EXPECT_GE(faded, 12 * kFadeFrames);
}

TEST(SongFeedTest, TheHeardFrameLagsWhatWasHandedOutAndASeekReadsItsTargetAtOnce) {
    FeedRun run(0);
    run.fill(4);
    EXPECT_EQ(platform::songFrameHeard(run.feed, 1000), 1000u);
    EXPECT_EQ(platform::songFrameHeard(run.feed, 4096 - 2048), 2048u);
    platform::askFeedSeek(run.feed, 220500);
    EXPECT_EQ(platform::songFrameHeard(run.feed, 4096 - 2048), 220500u) << "asked for: the picture goes there";
    run.fill(1);
    EXPECT_EQ(platform::songFrameHeard(run.feed, 4096), 220500u) << "carried out, not heard yet: still the target";
    run.fill(4);
    EXPECT_EQ(platform::songFrameHeard(run.feed, run.feed.outputFrames - 2048),
              run.frames().back() + 1 - 2048) << "heard: the target and on";
}

TEST(SongFeedTest, ASeekWhileHeldPlaysOneShortFadedGrainAndStaysThere) {
    FeedRun run(44100);
    run.fill(2);
    platform::askFeedPause(run.feed, true);
    run.fill(2);
    const std::size_t before = run.frames().size();
    platform::askFeedSeek(run.feed, 88200);
    run.fill(10);
    const std::vector<std::uint32_t> frames = run.frames();
    const std::vector<std::uint32_t> grain(frames.begin() + static_cast<long>(before), frames.end());
    ASSERT_EQ(grain.size(), platform::kGrainFrames);
    EXPECT_EQ(grain.front(), 88200u);
    EXPECT_LT(run.played.back().gain, 0.02f);
    EXPECT_EQ(platform::songFrameHeard(run.feed, run.feed.outputFrames), 88200u) << "held at the target";
    platform::askFeedPause(run.feed, false);
    run.fill(1);
    EXPECT_EQ(run.frames()[before + grain.size()], 88200u) << "resuming plays from the target";
}

TEST(SongFeedTest, ANewGrainOrAResumeFadesTheGrainPlayingOutFirst) {
    FeedRun run(44100);
    run.fill(2);
    platform::askFeedPause(run.feed, true);
    run.fill(2);
    platform::askFeedSeek(run.feed, 88200);
    run.fill(1);  // a quarter of the grain
    platform::askFeedSeek(run.feed, 132300);
    run.fill(1);
    platform::askFeedPause(run.feed, false);  // in the middle of the second grain
    run.fill(8);
    float previousGain = 0.0f;
    for (const Played& p : run.played) {
        EXPECT_LE(std::abs(p.gain - previousGain), 1.0f / kFadeFrames + 1e-4f) << "a step in the gain at output frame " << (&p - run.played.data());
        previousGain = p.gain;
    }
    const std::vector<std::uint32_t> frames = run.frames();
    EXPECT_NE(std::find(frames.begin(), frames.end(), 132300u), frames.end());
    EXPECT_EQ(frames.back(), 132300u + (frames.end() - std::find(frames.begin(), frames.end(), 132300u + 1024 + kFadeFrames)) +
                                 1024 + kFadeFrames - 1)
        << "after the grain's fade the song plays on from its start, without a gap in the frames";
}

}  // namespace
