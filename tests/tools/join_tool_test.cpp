// A render farm's capture: `qvtool capture --plan` split into pieces, the pieces run by GNU Parallel,
// `qvtool join` putting them together; checked against a one-run capture of the same range as a
// player sees both (ffprobe, ffmpeg). Lossless pictures (--crf 0) make the comparison exact: any
// picture drawn at another time, dropped, doubled or out of order shows. Then the joins it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"

namespace {

namespace fs = std::filesystem;

// Twelve pictures across the start of the hall (38 s), which the second piece starts just after.
const std::vector<std::string> kRange = {"--from", "37.9", "--to", "38.5", "--fps",  "20",
                                         "--size", "160x90", "--crf", "0"};

ToolRun qvtool(std::vector<std::string> arguments, const std::vector<std::string>& more = {}) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return runTool(QVTOOL_PATH, arguments, QV_SOURCE_DIR);
}

// What ffmpeg decodes of one stream ("v" or "a") as raw bytes.
std::string decoded(const fs::path& file, const std::string& stream) {
    const fs::path raw = fs::path(file).replace_extension(stream + ".raw");
    const std::vector<std::string> format = stream == "v" ? std::vector<std::string>{"-f", "rawvideo", "-pix_fmt", "rgb24"}
                                                          : std::vector<std::string>{"-f", "f32le"};
    std::vector<std::string> arguments = {"-v", "error", "-y", "-i", file.string(), "-map", "0:" + stream};
    arguments.insert(arguments.end(), format.begin(), format.end());
    arguments.push_back(raw.string());
    const ToolRun run = runTool("ffmpeg", arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    return slurp(raw);
}

// What ffprobe lists of the video stream, one value a line.
std::string probed(const fs::path& file, const std::string& what) {
    const ToolRun run = runTool("ffprobe", {"-v", "error", "-of", "csv=p=0", file.string(), "-select_streams", "v",
                                            "-show_entries", what});
    EXPECT_EQ(run.status, 0) << run.err;
    // One value a line; a key frame's side data adds a comma and an empty line, left out here.
    std::string values;
    for (const char c : run.out) {
        if (c != ',' && !(c == '\n' && (values.empty() || values.back() == '\n'))) values += c;
    }
    return values;
}

class JoinToolTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!missingCommand("parallel", "parallel").empty() || !missingCommand("ffmpeg", "ffmpeg").empty()) return;
        scratch = std::make_unique<ScratchFolder>("join");
        folder = scratch->path;
        std::vector<std::string> plan = {"capture", (folder / "show.mp4").string(), "--plan", "4"};
        plan.insert(plan.end(), kRange.begin(), kRange.end());
        // The printed commands, run two at a time by GNU Parallel from the folder of resources/.
        std::vector<std::string> shell = {"-c", "\"$0\" \"$@\" | parallel -j2", QVTOOL_PATH};
        shell.insert(shell.end(), plan.begin(), plan.end());
        farmStatus = runTool("sh", shell, QV_SOURCE_DIR).status;
        pieces = entriesOf(folder);
        std::vector<std::string> join = {"join", (folder / "joined.mp4").string()};
        for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) join.push_back(piece->string());
        joinRun = qvtool(join);
        oneRun = qvtool({"capture", (folder / "one.mp4").string()}, kRange);
    }
    static void TearDownTestSuite() { scratch.reset(); }
    void SetUp() override {
        for (const auto& [command, package] : {std::pair{"parallel", "parallel"}, std::pair{"ffmpeg", "ffmpeg"}}) {
            const std::string missing = missingCommand(command, package);
            ASSERT_TRUE(missing.empty()) << missing;
        }
        ASSERT_EQ(farmStatus, 0);
        ASSERT_EQ(oneRun.status, 0) << oneRun.err;
    }

    static inline std::unique_ptr<ScratchFolder> scratch;
    static inline fs::path folder;
    static inline int farmStatus = -1;
    static inline std::vector<fs::path> pieces;
    static inline ToolRun joinRun;
    static inline ToolRun oneRun;
};

TEST_F(JoinToolTest, FourPiecesRunByParallelJoinIntoTheOneRunCapture) {
    ASSERT_EQ(pieces.size(), 4u) << "one piece a printed command";
    for (const fs::path& piece : pieces) {
        EXPECT_EQ(probed(piece, "stream=codec_type"), "video\n") << piece << ": video only";
        EXPECT_EQ(probed(piece, "frame=key_frame").substr(0, 2), "1\n") << piece << ": a key frame first";
    }
    ASSERT_EQ(joinRun.status, 0) << joinRun.err;
    const fs::path joined = folder / "joined.mp4", one = folder / "one.mp4";
    const std::string pictures = decoded(joined, "v");
    EXPECT_EQ(pictures.size(), std::size_t(12 * 160 * 90 * 3));
    EXPECT_TRUE(pictures == decoded(one, "v")) << "the same pictures in the same order";
    EXPECT_EQ(probed(joined, "frame=pts_time"), probed(one, "frame=pts_time"));
    const std::string sound = decoded(joined, "a");
    EXPECT_GE(sound.size(), std::size_t(0.6 * 44100 * 8));
    EXPECT_TRUE(sound == decoded(one, "a")) << "the song of the range, encoded once";
    const ToolRun tags = runTool("ffprobe", {"-v", "error", "-of", "csv=p=0", "-show_entries",
                                             "format_tags=capture_from,capture_to,capture_audio", joined.string()});
    EXPECT_EQ(tags.out, "37.9,38.5,yes\n");
}

TEST_F(JoinToolTest, PiecesThatDoNotFitAreRefusedWithStatusTwoAndNoFile) {
    ASSERT_EQ(pieces.size(), 4u);
    const fs::path bad = folder / "bad";
    fs::create_directories(bad);
    const std::string overlapping = (bad / "overlap.mp4").string(), small = (bad / "small.mp4").string();
    ASSERT_EQ(qvtool({"capture", overlapping, "--no-audio"}, kRange).status, 0);  // the whole range again
    ASSERT_EQ(qvtool({"capture", small, "--no-audio"}, {"--from", "38.5", "--to", "38.6", "--fps", "20", "--size", "64x36"}).status, 0);
    const std::vector<fs::path> before = entriesOf(bad);
    const std::string p1 = pieces[0].string(), p2 = pieces[1].string(), p3 = pieces[2].string(), p4 = pieces[3].string();
    const std::vector<std::vector<std::string>> misfits = {
        {p1, p2, p4},                             // a piece missing: a gap
        {p1, p2, p3, p4, overlapping},            // an overlap
        {p1, p2, p3, p4, small},                  // another size
        {p1, (folder / "one.mp4").string()},      // a piece with sound
    };
    for (const std::vector<std::string>& misfit : misfits) {
        const ToolRun run = qvtool({"join", (bad / "out.mp4").string()}, misfit);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.err.rfind("qvtool join: ", 0), 0u) << run.err;
        EXPECT_EQ(entriesOf(bad), before) << run.err;
    }
    const ToolRun unreadable = qvtool({"join", (bad / "out.mp4").string(), p1, (bad / "absent.mp4").string()});
    EXPECT_EQ(unreadable.status, 1) << unreadable.err;
    EXPECT_EQ(entriesOf(bad), before);
}

}  // namespace
