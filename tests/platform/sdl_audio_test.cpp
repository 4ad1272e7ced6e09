// The SDL audio output on its own: it plays a buffer once, waits (in silence, its position held)
// for frames not yet written, and at the end drains what the device still holds.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/platform.h"
#include "tests/platform/disk_audio.h"

namespace {

using Clock = std::chrono::steady_clock;

// Interleaved stereo frames that are never silent, frame i holding i in its left sample.
std::vector<float> numberedFrames(std::uint32_t count) {
    std::vector<float> frames(static_cast<std::size_t>(count) * 2);
    for (std::uint32_t i = 0; i < count; ++i) {
        frames[2 * i] = static_cast<float>(i + 1);
        frames[2 * i + 1] = -1.0f;
    }
    return frames;
}

// Waits, for at most `limit`, until the play position reaches `frames`.
bool waitForPosition(std::uint32_t frames, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        if (platform::audioPlayPosition().value_or(0) >= frames) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

// Closes the device, which flushes the recording.
void closeAudio() { SDL_QuitSubSystem(SDL_INIT_AUDIO); }

TEST(SdlAudio, AtTheEndTheDrainLetsTheDeviceSoundItsLastBuffers) {
    const auto file = useDiskAudio("drain_end");
    const std::uint32_t count = 11025;  // a quarter of a second; its last buffer is mostly song
    const std::vector<float> frames = numberedFrames(count);
    const std::atomic<std::uint32_t> ready{count};
    ASSERT_TRUE(platform::startAudioPlayback(frames.data(), count, &ready));
    ASSERT_TRUE(waitForPosition(count, std::chrono::seconds(10)));
    EXPECT_EQ(platform::audioPlayPosition().value_or(0), count);  // stops at the buffer's end
    platform::drainAudioOutput();
    closeAudio();

    // SDL hands the device silence until the output is unpaused; then comes the song.
    const std::vector<StereoFrame> played = readStereoFrames(file);
    std::size_t first = 0;
    while (first < played.size() && isSilent(played[first])) ++first;
    ASSERT_GE(played.size(), first + count);
    for (std::uint32_t i = 0; i < count; ++i) {
        ASSERT_EQ(played[first + i].left, static_cast<float>(i + 1)) << "frame " << i;
    }
    // The device's queue and the buffer in flight (1024-frame buffers here) were pushed through
    // with silence before the output closed.
    std::size_t silentAfter = 0;
    for (std::size_t i = first + count; i < played.size(); ++i) silentAfter += isSilent(played[i]) ? 1 : 0;
    EXPECT_EQ(silentAfter, played.size() - first - count);
    EXPECT_GE(silentAfter, 3u * 1024u);
}

TEST(SdlAudio, BeforeTheEndTheDrainReturnsAtOnce) {
    useDiskAudio("drain_early");
    const std::uint32_t count = 441000;  // ten seconds
    const std::vector<float> frames = numberedFrames(count);
    const std::atomic<std::uint32_t> ready{count};
    ASSERT_TRUE(platform::startAudioPlayback(frames.data(), count, &ready));
    ASSERT_TRUE(waitForPosition(1, std::chrono::seconds(10)));
    const auto before = Clock::now();
    platform::drainAudioOutput();
    // Its bound is a second; ending on Escape must not wait for it.
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(300));
    EXPECT_LT(platform::audioPlayPosition().value_or(count), count);
    closeAudio();
}

TEST(SdlAudio, FramesNotYetWrittenAreNeverPlayedThePositionWaitsInstead) {
    const auto file = useDiskAudio("wait_for_render");
    const std::uint32_t count = 22050;
    const std::vector<float> frames = numberedFrames(count);
    std::atomic<std::uint32_t> ready{3000};
    ASSERT_TRUE(platform::startAudioPlayback(frames.data(), count, &ready));
    ASSERT_TRUE(waitForPosition(3000, std::chrono::seconds(10)));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // about eight buffers
    EXPECT_EQ(platform::audioPlayPosition().value_or(0), 3000u);
    ready.store(count, std::memory_order_release);
    ASSERT_TRUE(waitForPosition(count, std::chrono::seconds(10)));
    closeAudio();

    // Every frame once and in order, with silence between where the output waited.
    const std::vector<StereoFrame> played = readStereoFrames(file);
    std::uint32_t next = 0;
    std::size_t waited = 0;
    for (const StereoFrame& frame : played) {
        if (next < count && frame.left == static_cast<float>(next + 1)) {
            ++next;
        } else {
            ASSERT_TRUE(isSilent(frame)) << "after song frame " << next;
            waited += next < count ? 1 : 0;
        }
    }
    EXPECT_EQ(next, count);
    EXPECT_GE(waited, 4u * 1024u);
}


// ---- Making mode: seek and pause -----------------------------------------------------------

// A recording of numbered frames as runs: consecutive song frames (first is the frame's number,
// from 1) or silence (first is 0).
struct PlayedRun {
    std::uint32_t first = 0;
    std::size_t length = 0;
};

std::vector<PlayedRun> runsOf(const std::vector<StereoFrame>& played) {
    std::vector<PlayedRun> runs;
    for (const StereoFrame& frame : played) {
        const auto number = static_cast<std::uint32_t>(frame.left);
        const bool continues = !runs.empty() && (isSilent(frame) ? runs.back().first == 0
                                                                  : runs.back().first != 0 &&
                                                                        runs.back().first + runs.back().length == number);
        if (continues) {
            ++runs.back().length;
        } else {
            runs.push_back({number, 1});
        }
    }
    return runs;
}

// Leading silence is SDL's before the output starts; runs of song frames are what was played.
std::vector<PlayedRun> playedRuns(const std::filesystem::path& file) {
    std::vector<PlayedRun> runs = runsOf(readStereoFrames(file));
    if (!runs.empty() && runs.front().first == 0) runs.erase(runs.begin());
    return runs;
}

TEST(SdlAudioMaking, ASeekPlaysOnFromTheTargetFrameWithNothingBetween) {
    const auto file = useDiskAudio("seek");
    const std::uint32_t count = 441000;
    const std::vector<float> frames = numberedFrames(count);
    const std::atomic<std::uint32_t> ready{count};
    ASSERT_TRUE(platform::startAudioPlayback(frames.data(), count, &ready));
    ASSERT_TRUE(waitForPosition(2048, std::chrono::seconds(10)));
    platform::seekAudioPlayback(200000);
    EXPECT_EQ(platform::audioPlayPosition().value_or(0), 200000u) << "the position reads the target at once";
    ASSERT_TRUE(waitForPosition(200000 + 4096, std::chrono::seconds(10)));
    platform::seekAudioPlayback(count + 5000);
    EXPECT_EQ(platform::audioPlayPosition().value_or(0), count) << "a seek past the end stops at the end";
    closeAudio();

    const std::vector<PlayedRun> runs = playedRuns(file);
    ASSERT_GE(runs.size(), 2u);
    EXPECT_EQ(runs[0].first, 1u);
    EXPECT_EQ(runs[1].first, 200001u) << "the frame after the jump is the target frame";
    EXPECT_GE(runs[1].length, 4096u);
    for (std::size_t i = 2; i < runs.size(); ++i) EXPECT_EQ(runs[i].first, 0u) << "after the end only silence";
}

TEST(SdlAudioMaking, WhilePausedOnlySilencePlaysThePositionHoldsAndASeekWaitsForTheResume) {
    const auto file = useDiskAudio("pause");
    const std::uint32_t count = 441000;
    const std::vector<float> frames = numberedFrames(count);
    const std::atomic<std::uint32_t> ready{count};
    ASSERT_TRUE(platform::startAudioPlayback(frames.data(), count, &ready));
    ASSERT_TRUE(waitForPosition(2048, std::chrono::seconds(10)));
    platform::pauseAudioPlayback(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a buffer in flight finishes
    const std::uint32_t held = platform::audioPlayPosition().value_or(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(platform::audioPlayPosition().value_or(0), held);
    platform::seekAudioPlayback(300000);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(platform::audioPlayPosition().value_or(0), 300000u) << "held at the new frame";
    platform::pauseAudioPlayback(false);
    ASSERT_TRUE(waitForPosition(300000 + 4096, std::chrono::seconds(10)));
    closeAudio();

    const std::vector<PlayedRun> runs = playedRuns(file);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].first, 1u);
    EXPECT_EQ(runs[0].length, held);
    EXPECT_EQ(runs[1].first, 0u) << "silence while paused";
    EXPECT_GE(runs[1].length, 8u * 1024u) << "about 350 ms held";
    EXPECT_EQ(runs[2].first, 300001u);
}

TEST(SdlAudioMaking, ASeekAheadOfTheWriterPlaysSilenceUntilTheTargetIsWritten) {
    const auto file = useDiskAudio("seek_ahead");
    const std::uint32_t count = 220500;
    const std::vector<float> frames = numberedFrames(count);
    std::atomic<std::uint32_t> ready{50000};
    ASSERT_TRUE(platform::startAudioPlayback(frames.data(), count, &ready));
    ASSERT_TRUE(waitForPosition(1024, std::chrono::seconds(10)));
    platform::seekAudioPlayback(100000);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(platform::audioPlayPosition().value_or(0), 100000u) << "the position waits at the target";
    ready.store(count, std::memory_order_release);
    ASSERT_TRUE(waitForPosition(100000 + 4096, std::chrono::seconds(10)));
    closeAudio();

    const std::vector<PlayedRun> runs = playedRuns(file);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].first, 1u);
    EXPECT_EQ(runs[1].first, 0u);
    EXPECT_GE(runs[1].length, 4u * 1024u);
    EXPECT_EQ(runs[2].first, 100001u) << "never a frame between the old position and the target";
}

}  // namespace
