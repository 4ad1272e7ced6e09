// Captures a short range of the show with `qvtool capture` and checks the file as a player sees it
// (through ffprobe and ffmpeg): its streams and their lengths, its sound against the song, one of
// its pictures against `qvtool frame`; then the requests it must refuse and the interrupt.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <stb_image.h>

#include "synth/song_render.h"
#include "synth/sound_bank.h"
#include "tests/support/pictures.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"

namespace {

namespace fs = std::filesystem;

// The capture under test: 160 x 90 at 10 frames per second from 20.5 s to 21.45 s of show time.
// Ten pictures (20.5, 20.6, ... 21.4 s); the sound is 0.95 s long, half a picture shorter.
constexpr int kWidth = 160;
constexpr int kHeight = 90;
constexpr int kFps = 10;
constexpr double kFrom = 20.5;
constexpr double kTo = 21.45;
constexpr int kPictures = 10;
constexpr std::int64_t kFirstSongFrame = 904050;  // 20.5 x 44,100
constexpr std::int64_t kEndSongFrame = 945945;    // 21.45 x 44,100
constexpr int kComparedPicture = 5;               // show time 21.0 s

// qvtool run from the source tree, where resources/ is.
ToolRun qvtool(const std::vector<std::string>& arguments) { return runTool(QVTOOL_PATH, arguments, QV_SOURCE_DIR); }

std::vector<std::uint8_t> readBytes(const fs::path& path) {
    const std::string bytes = slurp(path);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

using Fields = std::map<std::string, std::string>;

// ffprobe's description of every stream, in file order, as key=value fields.
std::vector<Fields> probeStreams(const fs::path& file) {
    const ToolRun run = runTool("ffprobe", {"-v", "error", "-count_frames", "-show_streams", file.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<Fields> streams;
    std::size_t start = 0;
    while (start < run.out.size()) {
        std::size_t end = run.out.find('\n', start);
        if (end == std::string::npos) end = run.out.size();
        const std::string line = run.out.substr(start, end - start);
        start = end + 1;
        if (line == "[STREAM]") streams.emplace_back();
        const std::size_t equals = line.find('=');
        if (!streams.empty() && equals != std::string::npos) streams.back()[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return streams;
}

class CaptureToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* reader : {"ffprobe", "ffmpeg"}) {
            const std::string missing = missingCommand(reader, "ffmpeg");
            ASSERT_TRUE(missing.empty()) << missing;
        }
    }
    static void SetUpTestSuite() {
        scratch = std::make_unique<ScratchFolder>("capture_range");
        folder = scratch->path;
        output = folder / "range.mp4";
        run = qvtool({"capture", output.string(), "--size", std::to_string(kWidth) + "x" + std::to_string(kHeight),
                      "--fps", std::to_string(kFps), "--from", std::to_string(kFrom), "--to", std::to_string(kTo)});
    }
    static void TearDownTestSuite() { scratch.reset(); }

    static inline std::unique_ptr<ScratchFolder> scratch;

    static inline fs::path folder;
    static inline fs::path output;
    static inline ToolRun run;
};

TEST_F(CaptureToolTest, ShortRangeHasOneVideoAndOneAudioStreamOfTheRightLength) {
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("10 frames"), std::string::npos) << run.err;
    const std::vector<Fields> streams = probeStreams(output);
    ASSERT_EQ(streams.size(), 2u);
    Fields video = streams[0], audio = streams[1];
    if (video["codec_type"] != "video") std::swap(video, audio);
    EXPECT_EQ(video["codec_type"], "video");
    EXPECT_EQ(video["codec_name"], "h264");
    EXPECT_EQ(video["pix_fmt"], "yuv420p");
    EXPECT_EQ(video["width"], std::to_string(kWidth));
    EXPECT_EQ(video["height"], std::to_string(kHeight));
    EXPECT_EQ(video["nb_read_frames"], std::to_string(kPictures));
    EXPECT_EQ(audio["codec_type"], "audio");
    EXPECT_EQ(audio["codec_name"], "aac");
    EXPECT_EQ(audio["sample_rate"], "44100");
    EXPECT_EQ(audio["channels"], "2");

    EXPECT_DOUBLE_EQ(std::stod(video["start_time"]), 0.0);
    EXPECT_DOUBLE_EQ(std::stod(audio["start_time"]), 0.0);
    const double videoSeconds = std::stod(video["duration"]);
    const double audioSeconds = std::stod(audio["duration"]);
    EXPECT_NEAR(videoSeconds, double(kPictures) / kFps, 1e-3);
    EXPECT_NEAR(audioSeconds, double(kEndSongFrame - kFirstSongFrame) / 44100.0, 1e-3);
    EXPECT_LT(std::abs(videoSeconds - audioSeconds), 1.0 / kFps);
}

TEST_F(CaptureToolTest, DecodedSoundIsTheSongOfTheRange) {
    ASSERT_EQ(run.status, 0) << run.err;
    const fs::path raw = folder / "sound.f32";
    const ToolRun decode =
        runTool("ffmpeg", {"-v", "error", "-y", "-i", output.string(), "-map", "0:a", "-f", "f32le", "-ac", "2", "-ar",
                           "44100", raw.string()});
    ASSERT_EQ(decode.status, 0) << decode.err;
    const std::string bytes = slurp(raw);
    const std::int64_t frames = kEndSongFrame - kFirstSongFrame;
    // The decoder may add the rest of the codec's last block of 1024 frames.
    ASSERT_GE(static_cast<std::int64_t>(bytes.size() / 8), frames);
    ASSERT_LT(static_cast<std::int64_t>(bytes.size() / 8), frames + 1024);
    std::vector<float> decoded(bytes.size() / 4);
    std::memcpy(decoded.data(), bytes.data(), decoded.size() * 4);

    // The song with the production's bank rules, from the folder the capture ran in.
    const fs::path here = fs::current_path();
    fs::current_path(QV_SOURCE_DIR);
    su_load_gmdls();
    fs::current_path(here);
    const std::int64_t rows = (kEndSongFrame + synth::kSamplesPerRow - 1) / synth::kSamplesPerRow;
    std::vector<float> song(2 * rows * synth::kSamplesPerRow);
    synth::SongRenderer& renderer = synth::songRenderer();
    synth::beginSongRender(renderer);
    for (int row = 0; row < rows; ++row) synth::renderSongRow(renderer, row, &song[2 * row * synth::kSamplesPerRow]);

    for (int channel = 0; channel < 2; ++channel) {
        double music = 0.0, error = 0.0;
        for (std::int64_t i = 0; i < frames; ++i) {
            const double expected = song[2 * (kFirstSongFrame + i) + channel];
            music += expected * expected;
            error += (decoded[2 * i + channel] - expected) * (decoded[2 * i + channel] - expected);
        }
        const double musicRms = std::sqrt(music / frames), errorRms = std::sqrt(error / frames);
        EXPECT_GT(musicRms, 0.02) << "the range holds music";
        // A lossy codec's error, not a shifted or different range: about 22 dB below the music.
        EXPECT_LT(errorRms, 0.15 * musicRms) << "channel " << channel;
    }
}

TEST_F(CaptureToolTest, PictureMatchesFrameToolAtTheSameShowTime) {
    ASSERT_EQ(run.status, 0) << run.err;
    const fs::path raw = folder / "pictures.rgb";
    const ToolRun decode =
        runTool("ffmpeg", {"-v", "error", "-y", "-i", output.string(), "-f", "rawvideo", "-pix_fmt", "rgb24", raw.string()});
    ASSERT_EQ(decode.status, 0) << decode.err;
    const std::vector<std::uint8_t> pictures = readBytes(raw);
    const std::size_t pictureBytes = std::size_t(kWidth) * kHeight * 3;
    ASSERT_EQ(pictures.size(), pictureBytes * kPictures);

    const fs::path png = folder / "frame.png";
    const ToolRun frame =
        qvtool({"frame", std::to_string(kFrom + double(kComparedPicture) / kFps), png.string(), "--size", "160x90"});
    ASSERT_EQ(frame.status, 0) << frame.err;
    int width = 0, height = 0, channels = 0;
    unsigned char* reference = stbi_load(png.c_str(), &width, &height, &channels, 3);
    ASSERT_NE(reference, nullptr);
    ASSERT_EQ(width * height * 3, static_cast<int>(pictureBytes));

    // Picture 5 is show time 20.5 + 5 / 10 = 21 s: it matches, and better than any other picture
    // of the capture (the camera moves between them).
    std::vector<double> match;
    for (int i = 0; i < kPictures; ++i) match.push_back(psnr(&pictures[i * pictureBytes], reference, pictureBytes));
    stbi_image_free(reference);
    EXPECT_GT(match[kComparedPicture], 36.0);
    for (int i = 0; i < kPictures; ++i) {
        if (i != kComparedPicture) {
            EXPECT_LT(match[i], match[kComparedPicture] - 3.0) << "picture " << i;
        }
    }
}

// A bad request: exit status 2; an output that cannot be written: exit status 1, found before
// anything is drawn. Either way one line on stderr and nothing left in the folder.
TEST(CaptureToolRefusalTest, BadRequestsSayWhyAndLeaveNoFile) {
    const ScratchFolder scratch("capture_refusals");
    const fs::path& folder = scratch.path;
    const std::string out = (folder / "out.mp4").string();
    const std::vector<std::vector<std::string>> usage = {
        {(folder / "out.avi").string()},
        {out, "--from", "5", "--to", "5"},
        {out, "--from", "6", "--to", "5"},
        {out, "--from", "-1", "--to", "1"},
        {out, "--from", "111", "--to", "113"},
        {out, "--from", "1e999"},
        {out, "--size", "0x90"},
        {out, "--size", "161x90"},
        {out, "--size", "8000x4000"},
        {out, "--size", "big"},
        {out, "--fps", "0"},
        {out, "--fps", "1000"},
        {out, "--fps"},
        {out, "--fps", "10", "--fps", "20"},
        {out, "--speed", "2"},
        {out, "--samples", "2"},
        {out, "--crf", "52"},
        {out, "--preset", "quick"},
        {out, "--plan", "0"},
    };
    fs::create_directories(folder / "taken.mp4");
    const std::vector<std::string> unwritable = {
        (folder / "missing" / "out.mp4").string(),
        (folder / "taken.mp4").string(),  // an existing folder
        "/proc/qv_capture_test.mp4",      // a folder nobody can create files in, root included
    };
    const auto check = [&](const std::vector<std::string>& request, int status) {
        std::vector<std::string> arguments = {"capture"};
        arguments.insert(arguments.end(), request.begin(), request.end());
        const ToolRun run = qvtool(arguments);
        EXPECT_EQ(run.status, status) << request[0] << " " << request.size();
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.err.rfind("qvtool capture: ", 0), 0u) << run.err;
        EXPECT_EQ(run.err.find("frame "), std::string::npos) << "refused before drawing: " << run.err;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << run.err;
    };
    for (const std::vector<std::string>& request : usage) check(request, 2);
    for (const std::string& request : unwritable) check({request}, 1);
    if (::geteuid() != 0) {  // permissions do not stop root
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        const ToolRun run = qvtool({"capture", out});
        fs::permissions(folder, fs::perms::owner_all);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(entriesOf(folder).size(), 1u);
    }
}

// A capture interrupted while its pictures are being encoded stops drawing, removes its temporary
// file and leaves OUT as it was.
TEST(CaptureToolInterruptTest, InterruptWhileEncodingLeavesOutputUntouchedAndNoTemporaryFile) {
    const ScratchFolder scratch("capture_interrupt");
    const ScratchFolder logs("capture_interrupt_log");
    const fs::path& folder = scratch.path;
    const fs::path out = folder / "show.mp4";
    const fs::path err = logs.path / "err.txt";
    std::ofstream(out) << "an earlier file";
    const pid_t pid = startTool(QVTOOL_PATH,
                                {"capture", out.string(), "--size", "64x36", "--fps", "30", "--from", "25", "--to", "100"},
                                QV_SOURCE_DIR, {}, err);
    ASSERT_GT(pid, 0);

    // The header alone is a few dozen bytes; encoded pictures follow once the song is rendered.
    constexpr std::uintmax_t kPictureBytes = 2048;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    bool encoding = false;
    while (!encoding && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            std::error_code gone;
            if (entry.path() != out && fs::file_size(entry.path(), gone) > kPictureBytes) encoding = true;
        }
    }
    ::kill(pid, SIGINT);
    const int status = waitForTool(pid);
    ASSERT_TRUE(encoding);
    EXPECT_EQ(status, 128 + SIGINT);
    const std::string said = slurp(err);
    EXPECT_NE(said.find("interrupted at frame"), std::string::npos) << "stopped drawing pictures: " << said;
    EXPECT_EQ(said.find("frame 2250 of 2250"), std::string::npos) << said;
    EXPECT_EQ(entriesOf(folder), std::vector<fs::path>{out});
    EXPECT_EQ(slurp(out), "an earlier file");
}

}  // namespace
