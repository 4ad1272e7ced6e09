// The title image loader: PNG bytes to floats bottom row first, and every failure reported in a
// message box (captured by the headless backend) with an empty image and no crash.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "show/title_image.h"
#include "tests/support/scratch_folder.h"

#include <stb_image_write.h>

namespace {

namespace fs = std::filesystem;
using platform::headless::takeMessageBoxes;

// One folder for the run's files, removed when the tests end.
fs::path tempFile(const std::string& name) {
    static const ScratchFolder scratch("title_image");
    return scratch.path / name;
}

void writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A 3 x 2 picture whose every byte differs, top row first as PNG stores it.
constexpr int kWidth = 3;
constexpr int kHeight = 2;
std::vector<std::uint8_t> pictureBytes(int channels) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kWidth) * kHeight * channels);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(7 + 41 * i);
    return bytes;
}

// PNG file bytes of `pixels` (rows top first, `channels` bytes a pixel).
std::vector<std::uint8_t> encodePngBytes(int width, int height, int channels, const std::uint8_t* pixels) {
    std::vector<std::uint8_t> png;
    const auto append = [](void* context, void* data, int size) {
        auto& out = *static_cast<std::vector<std::uint8_t>*>(context);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out.insert(out.end(), bytes, bytes + size);
    };
    stbi_write_png_to_func(append, &png, width, height, channels, pixels, width * channels);
    return png;
}

fs::path writePng(const std::string& name, int channels) {
    const fs::path path = tempFile(name);
    const std::vector<std::uint8_t> bytes = pictureBytes(channels);
    const std::vector<std::uint8_t> png = encodePngBytes(kWidth, kHeight, channels, bytes.data());
    EXPECT_FALSE(png.empty());
    writeFile(path, png);
    return path;
}

// Loads `path` expecting failure: an empty image and exactly one "Error" box; returns its text.
std::string expectFailure(const fs::path& path) {
    takeMessageBoxes();
    const Image image = loadImage(path);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.channels, 0);
    EXPECT_TRUE(image.pixels.empty());
    const auto boxes = takeMessageBoxes();
    if (boxes.size() != 1) {
        ADD_FAILURE() << boxes.size() << " message boxes for " << path;
        return {};
    }
    EXPECT_EQ(boxes[0].caption, "Error");
    return boxes[0].text;
}

TEST(TitleImageTest, RowsComeBottomFirstAsBytesOver255) {
    takeMessageBoxes();
    const Image image = loadImage(writePng("rgba.png", 4));
    EXPECT_TRUE(takeMessageBoxes().empty());
    ASSERT_EQ(image.width, kWidth);
    ASSERT_EQ(image.height, kHeight);
    ASSERT_EQ(image.channels, 4);
    ASSERT_EQ(image.pixels.size(), static_cast<std::size_t>(kWidth * kHeight * 4));
    const std::vector<std::uint8_t> bytes = pictureBytes(4);
    for (int y = 0; y < kHeight; ++y) {
        const int fileRow = kHeight - 1 - y;  // the file's last row is the image's first
        for (int i = 0; i < kWidth * 4; ++i) {
            const float expected = static_cast<float>(bytes[static_cast<std::size_t>(fileRow * kWidth * 4 + i)]) / 255.0f;
            EXPECT_EQ(image.pixels[static_cast<std::size_t>(y * kWidth * 4 + i)], expected) << "row " << y << " value " << i;
        }
    }
}

TEST(TitleImageTest, PicturesWithoutAlphaAreExpandedToOpaqueRgba) {
    const Image image = loadImage(writePng("rgb.png", 3));
    ASSERT_EQ(image.channels, 4);
    ASSERT_EQ(image.pixels.size(), static_cast<std::size_t>(kWidth * kHeight * 4));
    const std::vector<std::uint8_t> bytes = pictureBytes(3);
    // The image's first pixel is the file's bottom-left one.
    EXPECT_EQ(image.pixels[0], static_cast<float>(bytes[kWidth * 3]) / 255.0f);
    EXPECT_EQ(image.pixels[2], static_cast<float>(bytes[kWidth * 3 + 2]) / 255.0f);
    for (std::size_t i = 3; i < image.pixels.size(); i += 4) EXPECT_EQ(image.pixels[i], 1.0f);
}

TEST(TitleImageTest, AMissingFileSaysCantFopen) {
    const fs::path missing = tempFile("absent.png");
    fs::remove(missing);
    EXPECT_EQ(expectFailure(missing), "can't fopen");
}

TEST(TitleImageTest, JunkAndTruncatedFilesAreReportedWithoutCrashing) {
    const fs::path junk = tempFile("junk.png");
    writeFile(junk, std::vector<std::uint8_t>(300, 0x5A));
    const std::string junkReason = expectFailure(junk);
    EXPECT_FALSE(junkReason.empty());
    EXPECT_NE(junkReason, "can't fopen");

    const fs::path empty = tempFile("empty.png");
    writeFile(empty, {});
    EXPECT_FALSE(expectFailure(empty).empty());

    // A larger picture, so that cuts land in the header, in the pixel data and just before the end.
    std::vector<std::uint8_t> big(64 * 64 * 4);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
    const std::vector<std::uint8_t> png = encodePngBytes(64, 64, 4, big.data());
    ASSERT_GT(png.size(), 200u);
    for (const std::size_t keep : {std::size_t{8}, std::size_t{20}, std::size_t{40}, png.size() / 2, png.size() - 13}) {
        const fs::path cut = tempFile("cut.png");
        writeFile(cut, std::vector<std::uint8_t>(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(keep)));
        const std::string reason = expectFailure(cut);
        EXPECT_FALSE(reason.empty()) << "cut after " << keep << " bytes";
        EXPECT_NE(reason, "can't fopen");
    }
}

}  // namespace
