// The MP4 writer in process: a complete file through the caller's descriptor, and each way it can
// fail (the file failing part-way, abandoning with pictures queued, a picture of the wrong size,
// settings it cannot encode) ending with the encoder thread joined, a clear error and no
// temporary file left.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"
#include "tools/output_file.h"
#include "tools/video_writer.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSide = 64;
constexpr int kFps = 10;

// One second of a plain tone.
const std::vector<float>& soundtrack() {
    static const std::vector<float> sound = [] {
        std::vector<float> samples(2 * 44100);
        for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = 0.3f * std::sin(0.05f * float(i / 2));
        return samples;
    }();
    return sound;
}

VideoWriterSettings settings() { return {kSide, kSide, kFps, soundtrack()}; }

// Noise, so that every picture costs the encoder real bytes.
std::vector<std::uint8_t> picture(unsigned seed, int side = kSide) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(side) * side * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        rgba[i] = static_cast<std::uint8_t>(seed >> 24);
    }
    return rgba;
}

class VideoWriterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(openOutput(file, folder / "out.mp4"), std::nullopt); }

    const ScratchFolder scratch{"video_writer"};
    const fs::path& folder = scratch.path;
    OutputFile file;
};

TEST_F(VideoWriterTest, ACompleteFileHasItsIndexAtTheFront) {
    VideoWriter writer;
    ASSERT_EQ(openVideoWriter(writer, file.descriptor, file.temporary, settings()), std::nullopt);
    for (unsigned i = 0; i < kFps; ++i) ASSERT_EQ(addVideoFrame(writer, picture(i)), std::nullopt);
    ASSERT_EQ(finishVideoWriter(writer), std::nullopt);
    EXPECT_EQ(writer.state, nullptr);
    ASSERT_TRUE(commitOutput(file));
    const std::string bytes = slurp(folder / "out.mp4");
    ASSERT_GT(bytes.size(), 1000u);
    EXPECT_EQ(bytes.substr(4, 4), "ftyp");
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat")) << "the index was moved to the front";
    EXPECT_EQ(entriesOf(folder), std::vector<fs::path>{folder / "out.mp4"});
}

// The descriptor turns into a full device after the first pictures: the failure comes back from
// adding or finishing, and finishing joins the thread either way.
TEST_F(VideoWriterTest, AFileFailingPartWayIsReportedAndNothingIsLeft) {
    VideoWriter writer;
    ASSERT_EQ(openVideoWriter(writer, file.descriptor, file.temporary, settings()), std::nullopt);
    for (unsigned i = 0; i < 3; ++i) ASSERT_EQ(addVideoFrame(writer, picture(i)), std::nullopt);
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    ASSERT_EQ(::dup2(full, file.descriptor), file.descriptor);
    ::close(full);
    std::optional<std::string> added;
    for (unsigned i = 3; i < 40 && !added; ++i) added = addVideoFrame(writer, picture(i));
    const std::optional<std::string> finished = finishVideoWriter(writer);
    ASSERT_TRUE(finished.has_value());
    EXPECT_NE(finished->find("No space left on device"), std::string::npos) << *finished;
    if (added) {
        EXPECT_EQ(*added, *finished);
    }
    EXPECT_EQ(writer.state, nullptr);
}

TEST_F(VideoWriterTest, AbandoningWithPicturesQueuedStopsAndHoldsNothing) {
    VideoWriter writer;
    ASSERT_EQ(openVideoWriter(writer, file.descriptor, file.temporary, settings()), std::nullopt);
    for (unsigned i = 0; i < 4; ++i) ASSERT_EQ(addVideoFrame(writer, picture(i)), std::nullopt);
    abandonVideoWriter(writer);
    EXPECT_EQ(writer.state, nullptr);
    EXPECT_EQ(addVideoFrame(writer, picture(9)), "the video writer is not open");
    EXPECT_EQ(finishVideoWriter(writer), "the video writer is not open");
}

TEST_F(VideoWriterTest, APictureOfTheWrongSizeFailsTheWriterWithTheSizes) {
    VideoWriter writer;
    ASSERT_EQ(openVideoWriter(writer, file.descriptor, file.temporary, settings()), std::nullopt);
    ASSERT_EQ(addVideoFrame(writer, picture(0)), std::nullopt);
    const std::optional<std::string> wrong = addVideoFrame(writer, picture(1, kSide / 2));
    ASSERT_TRUE(wrong.has_value());
    EXPECT_EQ(*wrong, "a picture of 4096 bytes where 64x64 RGBA takes 16384");
    EXPECT_EQ(addVideoFrame(writer, picture(2)), wrong) << "the writer stays failed";
    EXPECT_EQ(finishVideoWriter(writer), wrong);
    EXPECT_EQ(writer.state, nullptr);
}

TEST_F(VideoWriterTest, SettingsItCannotEncodeAreRefusedAtOpening) {
    const std::vector<float> halfFrame(3, 0.0f);
    for (const VideoWriterSettings& bad : {VideoWriterSettings{63, 64, kFps, soundtrack()},
                                           VideoWriterSettings{0, 0, kFps, soundtrack()},
                                           VideoWriterSettings{64, 64, 0, soundtrack()},
                                           VideoWriterSettings{64, 64, kFps, halfFrame}}) {
        VideoWriter writer;
        const std::optional<std::string> error = openVideoWriter(writer, file.descriptor, file.temporary, bad);
        EXPECT_TRUE(error.has_value()) << bad.width << "x" << bad.height << " at " << bad.fps;
        EXPECT_EQ(writer.state, nullptr);
    }
}

}  // namespace
