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

}  // namespace
