// Runs `qvtool dither` as a user would: the file it writes and its exit statuses.
#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"

#include <array>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

ToolRun qvtool(const std::vector<std::string>& arguments) { return runTool(QVTOOL_PATH, arguments); }

using Texel = std::array<float, 4>;

// Texel `index` of the file, its floats assembled from little-endian bytes.
Texel texelOfFile(const std::string& bytes, std::size_t index) {
    Texel texel{};
    for (std::size_t c = 0; c < 4; ++c) {
        std::uint32_t bits = 0;
        for (std::size_t byte = 0; byte < 4; ++byte) {
            bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[16 * index + 4 * c + byte])) << (8 * byte);
        }
        texel[c] = std::bit_cast<float>(bits);
    }
    return texel;
}

const std::string kUsage = "usage: qvtool dither COUNT OUT   (COUNT: 2, 4, 16 or 256)\n";

TEST(QvtoolDitherTest, WritesTheWholeImageLittleEndian) {
    const ScratchFolder scratch("dither_tool_4");
    const std::filesystem::path& folder = scratch.path;
    const std::filesystem::path out = folder / "image.bin";
    const ToolRun run = qvtool({"dither", "4", out.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string bytes = slurp(out);
    ASSERT_EQ(bytes.size(), 256u * 256u * 16u);
    EXPECT_EQ(texelOfFile(bytes, 1), (Texel{85.0f / 255.0f, 1, 1, 0}));
    EXPECT_EQ(texelOfFile(bytes, 4), (Texel{0, 0, 0, 0}));
    EXPECT_EQ(texelOfFile(bytes, 256 + 1), (Texel{128.0f / 255.0f, 0, 0, 0}));
    EXPECT_EQ(texelOfFile(bytes, 32768), (Texel{0, 1, 2, 3}));
    EXPECT_EQ(texelOfFile(bytes, 65535), (Texel{3, 1, 2, 0}));
    // The temporary file was renamed, not left beside the image.
    EXPECT_EQ(entriesOf(folder), std::vector<std::filesystem::path>{out});
}

// OUT as a link is replaced by the new file, never written through: the file it points at keeps
// its contents.
TEST(QvtoolDitherTest, ALinkAtTheOutputIsReplacedNotFollowed) {
    const ScratchFolder scratch("dither_tool_link");
    const std::filesystem::path& folder = scratch.path;
    const std::filesystem::path target = folder / "precious.txt";
    std::ofstream(target) << "keep me";
    std::filesystem::create_symlink(target, folder / "image.bin");
    const ToolRun run = qvtool({"dither", "2", (folder / "image.bin").string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(slurp(target), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(folder / "image.bin"));
    EXPECT_EQ(std::filesystem::file_size(folder / "image.bin"), 256u * 256u * 16u);
}

TEST(QvtoolDitherTest, SixteenColoursAreTheHeadOfTheLargePalette) {
    const ScratchFolder scratch("dither_tool_16");
    const std::filesystem::path out = scratch.path / "image.bin";
    const ToolRun run = qvtool({"dither", "16", out.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string bytes = slurp(out);
    ASSERT_EQ(bytes.size(), 256u * 256u * 16u);
    EXPECT_EQ(texelOfFile(bytes, 13), (Texel{253.0f / 255.0f, 85.0f / 255.0f, 1, 0}));
    EXPECT_EQ(texelOfFile(bytes, 16), (Texel{0, 0, 0, 0}));
    EXPECT_EQ(texelOfFile(bytes, 32768), (Texel{0, 8, 1, 4}));
}

TEST(QvtoolDitherTest, BadUsageOrAnotherCountExitsTwo) {
    const std::vector<std::vector<std::string>> requests = {
        {"dither"}, {"dither", "4"}, {"dither", "3", "x.bin"}, {"dither", "1", "x.bin"}, {"dither", "04", "x.bin"},
        {"dither", "256", "x.bin", "extra"}};
    for (const std::vector<std::string>& arguments : requests) {
        const ToolRun run = qvtool(arguments);
        EXPECT_EQ(run.status, 2) << arguments.size();
        EXPECT_EQ(run.err, kUsage) << arguments.size();
    }
}

TEST(QvtoolDitherTest, AnUnwritablePlaceExitsOneAndLeavesNothing) {
    const ScratchFolder scratch("dither_no_such_dir");
    const std::filesystem::path out = scratch.path / "missing" / "image.bin";
    const ToolRun run = qvtool({"dither", "2", out.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "qvtool dither: cannot write the dither image to '" + out.string() + "'\n");
    EXPECT_FALSE(std::filesystem::exists(out.parent_path()));
}

}  // namespace
