#include <gtest/gtest.h>

#include <vector>

#include "app/display_mode.h"

namespace {

using platform::DisplayMode;

TEST(ChooseDisplayModeTest, TakesTheLargestWidthHeightBitsProduct) {
    const std::vector<DisplayMode> modes = {
        {1280, 720, 32, 60}, {1920, 1080, 16, 60}, {1920, 1080, 32, 60}, {1600, 1200, 32, 75}};
    const ModeChoice choice = chooseDisplayMode(modes);
    EXPECT_EQ(choice.index, 2);  // 1920*1080*32 = 66,355,200 beats 1600*1200*32 = 61,440,000
    EXPECT_EQ(choice.width, 1920);
    EXPECT_EQ(choice.height, 1080);
    EXPECT_EQ(choice.bits, 32);
}

TEST(ChooseDisplayModeTest, AmongEqualProductsTheFirstEnumeratedWins) {
    // Same product three ways: 800*600*32 = 1600*600*16 = 800*1200*16, plus a smaller one first.
    const std::vector<DisplayMode> modes = {
        {640, 480, 32, 60}, {800, 600, 32, 60}, {1600, 600, 16, 60}, {800, 1200, 16, 75}};
    const ModeChoice choice = chooseDisplayMode(modes);
    EXPECT_EQ(choice.index, 1);
    EXPECT_EQ(choice.width, 800);
    EXPECT_EQ(choice.height, 600);

    const std::vector<DisplayMode> sameModeTwice = {{1024, 768, 32, 60}, {1024, 768, 32, 75}};
    EXPECT_EQ(chooseDisplayMode(sameModeTwice).index, 0) << "refresh rate does not break the tie";
}

TEST(ChooseDisplayModeTest, NoModesKeeps1280By720By32AndAsksForTheCurrentSettings) {
    const ModeChoice choice = chooseDisplayMode({});
    EXPECT_EQ(choice.index, -1);
    EXPECT_EQ(choice.width, 1280);
    EXPECT_EQ(choice.height, 720);
    EXPECT_EQ(choice.bits, 32);
}

TEST(ChooseDisplayModeTest, TheProductIsAnUnsigned32BitProductThatWraps) {
    // 65536 * 65536 * 32 wraps to 0 in 32 bits, so it never beats anything.
    const std::vector<DisplayMode> modes = {{640, 480, 8, 60}, {65536, 65536, 32, 60}};
    EXPECT_EQ(chooseDisplayMode(modes).index, 0);
    // 8192 * 8192 * 64 = 2^32 + 0 wraps to 0 too, while 4096 * 4096 * 32 = 2^29 stays.
    const std::vector<DisplayMode> wrapping = {{8192, 8192, 64, 0}, {4096, 4096, 32, 0}};
    EXPECT_EQ(chooseDisplayMode(wrapping).index, 1);
    // A product just under 2^32 is the largest possible and wins.
    const std::vector<DisplayMode> nearTop = {{4096, 4096, 32, 0}, {65535, 65537, 1, 0}};
    EXPECT_EQ(chooseDisplayMode(nearTop).index, 1);
}

TEST(ChooseDisplayModeTest, ColourDepthIsReducedToItsLow8Bits) {
    const std::vector<DisplayMode> modes = {{2, 2, 0x120, 0}};  // 288 bits per pixel
    const ModeChoice choice = chooseDisplayMode(modes);
    EXPECT_EQ(choice.index, 0);
    EXPECT_EQ(choice.bits, 0x20);
}

TEST(ChooseDisplayModeTest, AModeWithProductZeroIsNeverChosen) {
    const std::vector<DisplayMode> modes = {{0, 1080, 32, 60}};
    EXPECT_EQ(chooseDisplayMode(modes).index, -1);
}

}  // namespace
