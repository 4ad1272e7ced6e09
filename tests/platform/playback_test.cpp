// The production's playback path with its threads: the song render on its own thread publishing
// finished rows, the SDL audio callback playing behind it, and the audio clock read on this
// thread. Also what the ThreadSanitizer build runs.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <thread>

#include "platform/platform.h"
#include "synth/audio_clock.h"
#include "synth/music_thread.h"
#include "synth/song_render.h"
#include "tests/platform/disk_audio.h"

namespace {

TEST(Playback, TheClockFollowsTheOutputWhichNeverOvertakesTheRender) {
    const auto file = useDiskAudio("playback");
    startSongRender();
    startAudio(songFrames(), kSongFrames, &songFramesReady());

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    double last = 0.0;
    int checks = 0;
    while (last < 2.0 && std::chrono::steady_clock::now() < deadline) {
        const double seconds = audioSeconds();
        const std::uint32_t position = platform::audioPlayPosition().value_or(0);
        const std::uint32_t written = songFramesReady().load(std::memory_order_acquire);
        ASSERT_GE(seconds, last) << "the clock went back";
        ASSERT_LE(position, written) << "the output played frames the render had not written";
        ASSERT_TRUE(audioIsPlaying());
        last = seconds;
        ++checks;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GE(last, 2.0) << "after " << checks << " clock reads";
    SDL_QuitSubSystem(SDL_INIT_AUDIO);

    // What the device was handed: the song from its first frame, in order, with nothing but
    // silence where the output waited for the render.
    const std::uint32_t written = songFramesReady().load(std::memory_order_acquire);
    const float* song = songFrames();
    const std::vector<StereoFrame> played = readStereoFrames(file);
    std::uint32_t next = 0;
    for (const StereoFrame& frame : played) {
        if (next < written && frame.left == song[2 * next] && frame.right == song[2 * next + 1]) {
            ++next;
        } else {
            ASSERT_TRUE(isSilent(frame)) << "after song frame " << next;
        }
    }
    EXPECT_GE(next, 2u * 44100u);
}

}  // namespace
