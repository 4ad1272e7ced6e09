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

bool scriptedStart(const float*, std::uint32_t, const std::atomic<std::uint32_t>*) { return script.deviceOpens; }

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

// ---- Making mode: the play position followed by the clock ------------------------------------

// The scripted device's answers to pausing and seeking: a seek moves its position, as the
// platform's does; pausing only records the call (the script's position does not run anyway).
std::vector<std::string> deviceCalls;
void scriptedPause(bool paused) { deviceCalls.push_back(paused ? "pause" : "resume"); }
void scriptedSeek(std::uint32_t frame) {
    deviceCalls.push_back("seek " + std::to_string(frame));
    script.position = frame;
}

const AudioClockSource kScriptedMaking{scriptedStart, scriptedPosition, scriptedNow, scriptedPause, scriptedSeek};

void startMaking(bool deviceOpens, const std::atomic<std::uint32_t>* framesReady = nullptr) {
    script = Script{};
    script.deviceOpens = deviceOpens;
    script.now = Clock::time_point{} + std::chrono::hours(5);
    deviceCalls.clear();
    startAudio(kScriptedMaking, nullptr, kSongFrames, framesReady);
}

TEST(PlayPositionClockTest, WithADeviceASeekMovesTheOutputToTheRoundedFrameAndPauseHoldsIt) {
    startMaking(true);
    PlayPosition play;
    requestSeek(play, 62.00001);  // 2,734,200.44 frames
    followPlayPosition(play);
    EXPECT_EQ(deviceCalls, std::vector<std::string>{"seek 2734200"});
    EXPECT_FALSE(play.pendingSeek);
    EXPECT_EQ(play.seeksDone, 1u);
    EXPECT_EQ(play.showTime, static_cast<double>(2734200.0f / 44100.0f));

    script.position = 2734200 + 4410;
    followPlayPosition(play);
    EXPECT_NEAR(play.showTime, 62.1, 1e-4);
    EXPECT_EQ(play.seeksDone, 1u) << "playing on is no seek";

    play.paused = true;
    followPlayPosition(play);
    followPlayPosition(play);
    play.paused = false;
    followPlayPosition(play);
    EXPECT_EQ(deviceCalls, (std::vector<std::string>{"seek 2734200", "pause", "resume"})) << "each change once";

    script.position = std::nullopt;  // a failed query after a seek reads the seek's frame
    requestSeek(play, 10.0);
    followPlayPosition(play);
    EXPECT_EQ(play.showTime, 10.0);
}

TEST(PlayPositionClockTest, WithoutADeviceTheSteadyClockSeeksPausesAndResumes) {
    startMaking(false);
    PlayPosition play;
    requestSeek(play, 62.0);
    followPlayPosition(play);
    EXPECT_EQ(play.showTime, 62.0);
    script.now += std::chrono::milliseconds(500);
    followPlayPosition(play);
    EXPECT_NEAR(play.showTime, 62.5, 1e-4);

    play.paused = true;
    followPlayPosition(play);
    script.now += std::chrono::seconds(30);
    followPlayPosition(play);
    EXPECT_NEAR(play.showTime, 62.5, 1e-4) << "held while paused";
    EXPECT_NEAR(audioSeconds(), 62.5, 1e-4) << "the clock the director reads holds too";

    requestSeek(play, 80.0);
    followPlayPosition(play);
    script.now += std::chrono::seconds(3);
    followPlayPosition(play);
    EXPECT_EQ(play.showTime, 80.0) << "a seek while paused stays paused";

    play.paused = false;
    followPlayPosition(play);
    script.now += std::chrono::milliseconds(250);
    followPlayPosition(play);
    EXPECT_NEAR(play.showTime, 80.25, 1e-4) << "resumes from where it was held, not from the wall clock";
    EXPECT_TRUE(deviceCalls.empty()) << "no device to call";
}

TEST(PlayPositionClockTest, WithoutADeviceASeekAheadOfTheRenderWaitsForIt) {
    std::atomic<std::uint32_t> framesReady{44100 * 10};
    startMaking(false, &framesReady);
    PlayPosition play;
    requestSeek(play, 50.0);
    followPlayPosition(play);
    script.now += std::chrono::seconds(2);
    followPlayPosition(play);
    EXPECT_EQ(play.showTime, 50.0) << "the render has not written 50 s yet";

    framesReady.store(44100 * 50 + 5512);
    followPlayPosition(play);
    EXPECT_EQ(play.showTime, 50.0) << "starts from the target once it is there, not two seconds on";
    script.now += std::chrono::milliseconds(100);
    followPlayPosition(play);
    EXPECT_NEAR(play.showTime, 50.1, 1e-4);
}

TEST(PlayPositionClockTest, TheLoopGoesBackToItsStartAndTheSongsEndHoldsUntilASeek) {
    for (const bool device : {true, false}) {
        SCOPED_TRACE(device ? "with a device" : "without a device");
        startMaking(device);
        PlayPosition play;
        play.loop = LoopRange{30.0, 34.0};
        requestSeek(play, 30.0);
        followPlayPosition(play);
        script.now += std::chrono::milliseconds(3900);
        if (device) script.position = 30 * 44100 + 3900 * 441 / 10;
        followPlayPosition(play);
        EXPECT_NEAR(play.showTime, 33.9, 1e-4);
        script.now += std::chrono::milliseconds(200);
        if (device) script.position = 34 * 44100 + 100 * 441 / 10;
        followPlayPosition(play);
        EXPECT_EQ(play.showTime, 30.0) << "past the loop's end: back at its start";
        EXPECT_EQ(play.seeksDone, 2u);

        // A loop to the show's end, as the option spells it, wraps rather than holds there.
        play.loop = LoopRange{100.0, 111.98984};
        requestSeek(play, 111.5);
        followPlayPosition(play);
        script.now += std::chrono::seconds(1);
        if (device) script.position = kSongFrames;
        followPlayPosition(play);
        EXPECT_EQ(play.showTime, 100.0);
        EXPECT_FALSE(play.paused);

        play.loop.reset();
        requestSeek(play, 111.0);
        followPlayPosition(play);
        script.now += std::chrono::seconds(5);
        if (device) script.position = kSongFrames;
        followPlayPosition(play);
        EXPECT_EQ(play.showTime, static_cast<double>(kSongEndSeconds));
        EXPECT_TRUE(play.paused && play.heldAtEnd) << "the song's end holds the show";
        script.now += std::chrono::seconds(5);
        followPlayPosition(play);
        EXPECT_EQ(play.showTime, static_cast<double>(kSongEndSeconds));

        requestSeek(play, 100.0);
        followPlayPosition(play);
        EXPECT_FALSE(play.paused) << "a seek from the end plays on";
        script.now += std::chrono::seconds(1);
        if (device) script.position = 101 * 44100;
        followPlayPosition(play);
        EXPECT_NEAR(play.showTime, 101.0, 1e-4);
    }
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
