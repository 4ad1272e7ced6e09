// Runs `qvtool dither` as a user would: the file it writes and its exit statuses.
#include <gtest/gtest.h>

#include "tests/support/tool_run.h"

#include <array>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <string>

namespace {

ToolRun qvtool(const std::string& arguments) { return runTool(QVTOOL_PATH, arguments, "dither_tool"); }

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
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "qv_dither_tool_4.bin";
    std::filesystem::remove(out);
    const ToolRun run = qvtool("dither 4 " + out.string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string bytes = slurp(out);
    ASSERT_EQ(bytes.size(), 256u * 256u * 16u);
    EXPECT_EQ(texelOfFile(bytes, 1), (Texel{85.0f / 255.0f, 1, 1, 0}));
    EXPECT_EQ(texelOfFile(bytes, 4), (Texel{0, 0, 0, 0}));
    EXPECT_EQ(texelOfFile(bytes, 256 + 1), (Texel{128.0f / 255.0f, 0, 0, 0}));
    EXPECT_EQ(texelOfFile(bytes, 32768), (Texel{0, 1, 2, 3}));
    EXPECT_EQ(texelOfFile(bytes, 65535), (Texel{3, 1, 2, 0}));
    EXPECT_FALSE(std::filesystem::exists(out.string() + ".partial"));
    std::filesystem::remove(out);
}

TEST(QvtoolDitherTest, SixteenColoursAreTheHeadOfTheLargePalette) {
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "qv_dither_tool_16.bin";
    const ToolRun run = qvtool("dither 16 " + out.string());
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string bytes = slurp(out);
    ASSERT_EQ(bytes.size(), 256u * 256u * 16u);
    EXPECT_EQ(texelOfFile(bytes, 13), (Texel{253.0f / 255.0f, 85.0f / 255.0f, 1, 0}));
    EXPECT_EQ(texelOfFile(bytes, 16), (Texel{0, 0, 0, 0}));
    EXPECT_EQ(texelOfFile(bytes, 32768), (Texel{0, 8, 1, 4}));
    std::filesystem::remove(out);
}

TEST(QvtoolDitherTest, BadUsageOrAnotherCountExitsTwo) {
    for (const std::string arguments : {"dither", "dither 4", "dither 3 x.bin", "dither 1 x.bin", "dither 04 x.bin",
                                        "dither 256 x.bin extra"}) {
        const ToolRun run = qvtool(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.err, kUsage) << arguments;
    }
}

TEST(QvtoolDitherTest, AnUnwritablePlaceExitsOneAndLeavesNothing) {
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "qv_dither_no_such_dir" / "image.bin";
    const ToolRun run = qvtool("dither 2 " + out.string());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, out.string() + ": cannot write the dither image\n");
    EXPECT_FALSE(std::filesystem::exists(out.parent_path()));
}

}  // namespace
