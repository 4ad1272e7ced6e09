// The audio clock against a scripted device and a scripted steady clock, and the song feed that
// an audio callback runs, against a deliberately slow render.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio_feed.h"
#include "synth/audio_clock.h"
#include "synth/song_render.h"

namespace {

using Clock = std::chrono::steady_clock;

// What the scripted platform answers. Read by plain function pointers, hence one shared record.
struct Script {
    bool deviceOpens = true;
    std::optional<std::uint32_t> position = 0;
    Clock::time_point now{};
    std::atomic<std::uint32_t>* livePosition = nullptr;  // when set, the device's position
};

Script script;

platform::AudioStart startAsked;
bool scriptedStart(const float*, std::uint32_t, const std::atomic<std::uint32_t>*, const platform::AudioStart& start) {
    startAsked = start;
    script.position = start.frame;  // where a device reports it starts
    return script.deviceOpens;
}

std::optional<std::uint32_t> scriptedPosition() {
    if (script.livePosition != nullptr) return script.livePosition->load(std::memory_order_acquire);
    return script.position;
}

Clock::time_point scriptedNow() { return script.now; }

const AudioClockSource kScripted{scriptedStart, scriptedPosition, scriptedNow};

const float kSongEndSeconds = static_cast<float>(synth::kSongSeconds);

void startScripted(bool deviceOpens, std::uint32_t frameCount = kSongFrames) {
    script = Script{};
    script.deviceOpens = deviceOpens;
    script.now = Clock::time_point{} + std::chrono::hours(5);
    startAudio(kScripted, nullptr, frameCount, nullptr);
}

TEST(AudioClockTest, FollowsTheDeviceFromZeroWithoutGoingBack) {
    startScripted(true);
    EXPECT_EQ(audioSeconds(), 0.0);
    EXPECT_TRUE(audioIsPlaying());

    double last = audioSeconds();
    const std::vector<std::optional<std::uint32_t>> answers = {
        512, 44100, std::nullopt, 44100, 88200, std::nullopt, std::nullopt, 1000000};
    for (const auto& answer : answers) {
        script.position = answer;
        const double now = audioSeconds();
        EXPECT_GE(now, last) << "a failed position query must not move the clock back";
        EXPECT_TRUE(audioIsPlaying());
        last = now;
    }
    EXPECT_DOUBLE_EQ(last, static_cast<double>(1000000.0f / 44100.0f));
    script.position = 88200;
    EXPECT_EQ(audioSeconds(), 2.0);
    script.position = std::nullopt;
    EXPECT_EQ(audioSeconds(), 2.0) << "a failed query keeps the last position";
}

TEST(AudioClockTest, EndsAtTheLastFrameAndStaysThere) {
    startScripted(true);
    script.position = kSongFrames - 1;
    EXPECT_TRUE(audioIsPlaying());
    script.position = kSongFrames;
    EXPECT_FALSE(audioIsPlaying());
    EXPECT_EQ(audioSeconds(), static_cast<double>(kSongEndSeconds));
    EXPECT_FLOAT_EQ(static_cast<float>(audioSeconds()), 111.98984f);
    script.position = std::nullopt;
    EXPECT_FALSE(audioIsPlaying()) << "the end stays the end when the device stops answering";
}

TEST(AudioClockTest, ClampsADevicePositionPastTheEnd) {
    startScripted(true);
    script.position = kSongFrames + 3000;  // skipped past the end without ever equalling it
    EXPECT_FALSE(audioIsPlaying());
    EXPECT_EQ(audioSeconds(), static_cast<double>(kSongEndSeconds));
}

TEST(AudioClockTest, WithoutADeviceFollowsTheSteadyClockAndEndsOnTime) {
    startScripted(false);
    EXPECT_EQ(audioSeconds(), 0.0);
    EXPECT_TRUE(audioIsPlaying());

    script.now += std::chrono::milliseconds(1500);
    EXPECT_NEAR(audioSeconds(), 1.5, 1e-4);
    script.now += std::chrono::seconds(100);
    EXPECT_NEAR(audioSeconds(), 101.5, 1e-4);
    EXPECT_TRUE(audioIsPlaying());

    // One microsecond before the last frame is due, then the moment it is.
    const auto songLength = std::chrono::microseconds(static_cast<long long>(kSongFrames) * 10000 / 441);
    script.now = Clock::time_point{} + std::chrono::hours(5) + songLength - std::chrono::microseconds(30);
    EXPECT_TRUE(audioIsPlaying());
    script.now += std::chrono::microseconds(60);
    EXPECT_FALSE(audioIsPlaying());
    EXPECT_EQ(audioSeconds(), static_cast<double>(kSongEndSeconds));

    script.now += std::chrono::minutes(10);
    EXPECT_FALSE(audioIsPlaying());
    EXPECT_EQ(audioSeconds(), static_cast<double>(kSongEndSeconds)) << "the clock stops at the last frame";
}

// ---- Making mode: what the clock offers the rules ------------------------------------------

// The scripted device's answers to pausing, seeking and looping: a seek moves its position, as
// the platform's does; the rest only records the call (the script's position does not run).
std::vector<std::string> deviceCalls;
void scriptedPause(bool paused) { deviceCalls.push_back(paused ? "pause" : "resume"); }
void scriptedSeek(std::uint32_t frame) {
    deviceCalls.push_back("seek " + std::to_string(frame));
    script.position = frame;
}
void scriptedLoop(platform::AudioLoop loop) {
    deviceCalls.push_back("loop " + std::to_string(loop.from) + " " + std::to_string(loop.to));
}

const AudioClockSource kScriptedMaking{scriptedStart, scriptedPosition, scriptedNow,
                                       scriptedPause, scriptedSeek,     scriptedLoop};

void startMaking(bool deviceOpens, const std::atomic<std::uint32_t>* framesReady = nullptr) {
    script = Script{};
    script.deviceOpens = deviceOpens;
    script.now = Clock::time_point{} + std::chrono::hours(5);
    deviceCalls.clear();
    startAudio(kScriptedMaking, nullptr, kSongFrames, framesReady);
}

TEST(MakingClockTest, APlannedStartReachesTheDeviceAndHoldsForOneStartOnly) {
    planAudioStart(62.00001, LoopRange{60.0, 64.0});  // 2,734,200.44 frames
    startMaking(true);
    EXPECT_EQ(startAsked.frame, 2734200u);
    EXPECT_EQ(startAsked.loop.from, 60u * 44100u);
    EXPECT_EQ(startAsked.loop.to, 64u * 44100u);
    EXPECT_TRUE(startAsked.waitForLead) << "no frame may sound before the render is well past the start";
    EXPECT_EQ(audioFrame(), 2734200u);

    startMaking(true);
    EXPECT_EQ(startAsked.frame, 0u);
    EXPECT_FALSE(startAsked.loop.active());
    EXPECT_FALSE(startAsked.waitForLead) << "the show starts as it always did";
}

TEST(MakingClockTest, WithADeviceSeekPauseAndLoopEachReachItOnce) {
    startMaking(true);
    EXPECT_EQ(seekAudio(62.00001), 2734200u);
    script.position = 2734200 + 4410;
    EXPECT_NEAR(audioSeconds(), 62.1, 1e-4);
    pauseAudio(true);
    pauseAudio(true);
    pauseAudio(false);
    loopAudio(LoopRange{30.0, 34.0});
    EXPECT_EQ(seekAudio(40.0), 30u * 44100u) << "at or past the loop's end: its start";
    loopAudio(std::nullopt);
    EXPECT_EQ(deviceCalls, (std::vector<std::string>{"seek 2734200", "pause", "resume", "loop 1323000 1499400",
                                                     "seek 1323000", "loop 0 0"}));
    script.position = std::nullopt;  // a failed query after a seek reads the seek's frame
    seekAudio(10.0);
    EXPECT_EQ(audioSeconds(), 10.0);
}

TEST(MakingClockTest, WithoutADeviceTheSteadyClockSeeksPausesAndWrapsTheLoop) {
    startMaking(false);
    seekAudio(62.0);
    EXPECT_EQ(audioSeconds(), 62.0);
    script.now += std::chrono::milliseconds(500);
    EXPECT_NEAR(audioSeconds(), 62.5, 1e-4);

    pauseAudio(true);
    script.now += std::chrono::seconds(30);
    EXPECT_NEAR(audioSeconds(), 62.5, 1e-4) << "held while paused";
    seekAudio(80.0);
    script.now += std::chrono::seconds(3);
    EXPECT_EQ(audioSeconds(), 80.0) << "a seek while paused stays paused";
    pauseAudio(false);
    script.now += std::chrono::milliseconds(250);
    EXPECT_NEAR(audioSeconds(), 80.25, 1e-4) << "resumes from where it was held, not from the wall clock";

    loopAudio(LoopRange{80.0, 81.0});
    script.now += std::chrono::milliseconds(1000);
    EXPECT_EQ(audioFrame(), 80u * 44100u + 44100u / 4) << "one second on in a one-second loop: the same frame";
    loopAudio(LoopRange{70.0, 75.0});
    EXPECT_EQ(audioFrame(), 70u * 44100u) << "past the new loop's end: its start";
    EXPECT_TRUE(deviceCalls.empty()) << "no device to call";
}

TEST(MakingClockTest, WithoutADeviceASeekAheadOfTheRenderWaitsForItsLead) {
    std::atomic<std::uint32_t> framesReady{44100 * 10};
    startMaking(false, &framesReady);
    seekAudio(50.0);
    script.now += std::chrono::seconds(2);
    EXPECT_EQ(audioSeconds(), 50.0) << "the render has not written 50 s yet";
    EXPECT_TRUE(audioWaitsForSong());
    EXPECT_EQ(songFramesWritten(), 441000u);

    framesReady.store(44100 * 50 + platform::kStartLeadFrames - 1);
    EXPECT_EQ(audioSeconds(), 50.0) << "written, but not far enough beyond the target";
    framesReady.store(44100 * 50 + platform::kStartLeadFrames);
    EXPECT_EQ(audioSeconds(), 50.0) << "starts from the target once it is there, not two seconds on";
    EXPECT_FALSE(audioWaitsForSong());
    script.now += std::chrono::milliseconds(100);
    EXPECT_NEAR(audioSeconds(), 50.1, 1e-4);
}

// ---- The feed -------------------------------------------------------------------------------

constexpr std::uint32_t kFrames = 60 * 256;
constexpr std::uint32_t kRowFrames = 256;

// Frame i of the test song holds (i + 1, -(i + 1)), so silence (0, 0) is never a song frame.
std::vector<float> testSong() {
    std::vector<float> song(static_cast<std::size_t>(kFrames) * 2);
    for (std::uint32_t i = 0; i < kFrames; ++i) {
        song[2 * i] = static_cast<float>(i + 1);
        song[2 * i + 1] = -static_cast<float>(i + 1);
    }
    return song;
}

TEST(AudioFeedTest, PlaysWhatIsReadyThenSilenceWithThePositionHeld) {
    const std::vector<float> song = testSong();
    std::vector<float> out(2 * 100, 7.0f);
    EXPECT_EQ(platform::feedSongFrames(out.data(), 100, song.data(), kFrames, 30, 0), 30u);
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(out[2 * 29 + 1], -30.0f);
    for (std::size_t i = 2 * 30; i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << "sample " << i;

    EXPECT_EQ(platform::feedSongFrames(out.data(), 100, song.data(), kFrames, 30, 30), 30u) << "nothing new: held";
    for (float sample : out) ASSERT_EQ(sample, 0.0f);

    EXPECT_EQ(platform::feedSongFrames(out.data(), 100, song.data(), kFrames, kFrames + 500, kFrames - 10), kFrames)
        << "a ready count past the song's end is the song's end";
    EXPECT_EQ(out[2 * 9], static_cast<float>(kFrames));
    EXPECT_EQ(out[2 * 10], 0.0f);
}

// A loop wraps inside the buffer being filled: the frame after the loop's last is its first, no
// frame at or past its end is ever handed out, and the position never reads the end itself. The
// position after any number of frames is what frameAfter (the Win32 queue's and the steady
// clock's arithmetic) says, from a start before the loop as well as inside it.
TEST(AudioFeedTest, ALoopWrapsSampleExactlyWhereverTheBuffersEnd) {
    const std::vector<float> song = testSong();
    const platform::AudioLoop loop{1000, 1300};
    for (const std::uint32_t start : {900u, 1000u, 1299u}) {
        for (const std::uint32_t pull : {1u, 7u, 300u, 1024u}) {
            SCOPED_TRACE("start " + std::to_string(start) + ", " + std::to_string(pull) + " a buffer");
            std::vector<float> out(2 * pull);
            std::uint32_t position = start;
            std::uint32_t expected = start;  // the song frame that must come next
            std::uint64_t played = 0;
            while (played < 2500) {
                position = platform::feedSongFrames(out.data(), pull, song.data(), kFrames, kFrames, position, loop);
                for (std::uint32_t i = 0; i < pull; ++i) {
                    ASSERT_EQ(out[2 * i], static_cast<float>(expected + 1)) << "after " << played + i << " frames";
                    expected = expected + 1 == loop.to ? loop.from : expected + 1;
                }
                played += pull;
                ASSERT_NE(position, loop.to);
                ASSERT_EQ(position, platform::frameAfter(start, played, loop, kFrames));
            }
        }
    }
    std::vector<float> out(2 * 10);
    EXPECT_EQ(platform::feedSongFrames(out.data(), 10, song.data(), kFrames, kFrames, 2000, loop), 1010u)
        << "a position at or past the loop's end goes on from its start";
    EXPECT_EQ(out[0], 1001.0f);
    EXPECT_EQ(platform::feedSongFrames(out.data(), 10, song.data(), kFrames, 1005, 1000, loop), 1005u)
        << "inside a loop, frames not yet written still wait";
    EXPECT_EQ(out[2 * 5], 0.0f);
}

// The render publishes one row at a time, slower than the device pulls, so the device keeps
// catching up with it: it must then get silence, its position must stand still, and every song
// frame must still come out exactly once, in order. The clock reads the device's position.
TEST(AudioFeedTest, ASlowRenderMakesPlaybackWaitAndResumeInOrder) {
    std::vector<float> song(static_cast<std::size_t>(kFrames) * 2, 0.0f);
    const std::vector<float> finished = testSong();
    std::atomic<std::uint32_t> framesReady{0};
    std::atomic<std::uint32_t> devicePosition{0};

    std::thread render([&] {
        for (std::uint32_t row = 0; row < kFrames / kRowFrames; ++row) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            for (std::uint32_t i = row * kRowFrames; i < (row + 1) * kRowFrames; ++i) {
                song[2 * i] = finished[2 * i];
                song[2 * i + 1] = finished[2 * i + 1];
            }
            framesReady.store((row + 1) * kRowFrames, std::memory_order_release);
        }
    });

    startScripted(true, kFrames);
    script.livePosition = &devicePosition;

    constexpr std::uint32_t kPull = 100;
    std::vector<float> out(2 * kPull);
    std::vector<float> heard;
    std::uint32_t position = 0;
    int silentPulls = 0;
    double lastSeconds = 0.0;
    while (position < kFrames) {
        const std::uint32_t ready = framesReady.load(std::memory_order_acquire);
        const std::uint32_t next = platform::feedSongFrames(out.data(), kPull, song.data(), kFrames, ready, position);
        ASSERT_LE(next, ready) << "played a frame the render had not written";
        const std::uint32_t copied = next - position;
        heard.insert(heard.end(), out.begin(), out.begin() + 2 * copied);
        for (std::uint32_t i = 2 * copied; i < 2 * kPull; ++i) ASSERT_EQ(out[i], 0.0f);
        if (copied == 0) ++silentPulls;
        position = next;
        devicePosition.store(position, std::memory_order_release);

        const double seconds = audioSeconds();
        ASSERT_EQ(seconds, static_cast<double>(static_cast<float>(position) / 44100.0f));
        ASSERT_GE(seconds, lastSeconds);
        ASSERT_TRUE(audioIsPlaying() || position == kFrames);
        lastSeconds = seconds;
        std::this_thread::yield();
    }
    render.join();

    EXPECT_GT(silentPulls, 0) << "the render was never behind; the test forced nothing";
    EXPECT_EQ(heard, finished) << "every frame once, in order";
    EXPECT_FALSE(audioIsPlaying());
    EXPECT_EQ(platform::feedSongFrames(out.data(), kPull, song.data(), kFrames, kFrames, position), kFrames);
    EXPECT_EQ(out[0], 0.0f) << "silence after the end";
    script.livePosition = nullptr;
}

}  // namespace
