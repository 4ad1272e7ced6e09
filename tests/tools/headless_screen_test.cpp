// The window's stand-in: the picture read back as 8-bit RGBA rows top first, converted and
// clamped by the driver, and a GL error reported instead of a picture.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gl/gl_api.h"
#include "gl/screen_size.h"
#include "tools/headless_screen.h"

namespace {

constexpr int kWidth = 6;
constexpr int kHeight = 4;

HeadlessScreen& screen() {
    static HeadlessScreen made;
    static const std::optional<std::string> error = openHeadlessScreen(made, kWidth, kHeight);
    EXPECT_EQ(error, std::nullopt);
    return made;
}

std::vector<std::uint8_t> pixelAt(const RgbaImage& image, int x, int y) {
    const auto* p = &image.pixels[(static_cast<std::size_t>(y) * image.width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// The bottom row cleared to out-of-range values, the rest to a mid grey: the driver clamps and
// rounds, and the bottom row of the framebuffer is the last row of the picture.
TEST(HeadlessScreenTest, ReadsBackClampedBytesTopRowFirst) {
    (void)screen();
    glApi.glBindFramebuffer(kGlFramebuffer, screenFramebuffer);
    glClearColor(0.5f, 0.25f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, kWidth, 1);
    glClearColor(1.5f, -0.5f, 0.0f, 2.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);

    RgbaImage image;
    ASSERT_EQ(readScreen(kWidth, kHeight, image), std::nullopt);
    ASSERT_EQ(image.width, kWidth);
    ASSERT_EQ(image.height, kHeight);
    ASSERT_EQ(image.pixels.size(), static_cast<std::size_t>(kWidth * kHeight * 4));
    EXPECT_EQ(pixelAt(image, 0, 0), (std::vector<std::uint8_t>{128, 64, 255, 255}));
    EXPECT_EQ(pixelAt(image, kWidth - 1, kHeight - 2), (std::vector<std::uint8_t>{128, 64, 255, 255}));
    EXPECT_EQ(pixelAt(image, 0, kHeight - 1), (std::vector<std::uint8_t>{255, 0, 0, 255}));
    EXPECT_EQ(pixelAt(image, kWidth - 1, kHeight - 1), (std::vector<std::uint8_t>{255, 0, 0, 255}));
}

TEST(HeadlessScreenTest, AGlErrorWhileDrawingIsReportedAndNoPictureGiven) {
    (void)screen();
    glEnable(0x7FFF);  // no such capability: GL_INVALID_ENUM
    RgbaImage image;
    const std::optional<std::string> error = readScreen(kWidth, kHeight, image);
    EXPECT_EQ(error, "OpenGL error 0x0500 while drawing");
    EXPECT_TRUE(image.pixels.empty());
    EXPECT_EQ(readScreen(kWidth, kHeight, image), std::nullopt) << "the error was reported once";
}

}  // namespace
