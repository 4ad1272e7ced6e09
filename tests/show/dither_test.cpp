// The dither image: palette row, Bayer row, colour cube and the untouched regions.
// Expected values are worked out by hand from the palettes.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>
#include <vector>

#include "show/dither_image.h"
#include "show/dither_palettes.h"

namespace {

using Texel = std::array<float, 4>;

Texel texelAt(const Image& image, int x, int y) {
    const float* p = image.pixels.data() + 4 * (256 * y + x);
    return {p[0], p[1], p[2], p[3]};
}

// Cube point (r, g, b) lives in row 128 + 4r + g/8, column 32 (g mod 8) + b.
Texel cubeTexel(const Image& image, int r, int g, int b) {
    return texelAt(image, 32 * (g % 8) + b, 128 + 4 * r + g / 8);
}

constexpr Texel kZero{0, 0, 0, 0};

TEST(DitherPalettesTest, HoldTheIntendedOddEntries) {
    EXPECT_EQ(palette2, (std::array<std::uint32_t, 2>{0x000000, 0xFFFFFF}));
    EXPECT_EQ(palette4, (std::array<std::uint32_t, 4>{0x000000, 0x55FFFF, 0xFF55FF, 0xFFFFFF}));
    EXPECT_EQ(palette256[2], 0x14AA00u);
    EXPECT_EQ(palette256[13], 0xFD55FFu);
    EXPECT_EQ(palette256[32], 0x0004FFu);
    EXPECT_EQ(palette256[143], 0x45713Au);
    EXPECT_EQ(palette256[247], 0x2D3141u);
    for (int i = 248; i < 256; ++i) EXPECT_EQ(palette256[i], 0u) << i;
}

TEST(DitherImageTest, RejectsCountsWithoutRoomOrPalette) {
    for (const int count : {-1, 0, 257, 1000}) {
        const Image image = buildDitherImage(count, palette256.data());
        EXPECT_EQ(image.channels, 0) << count;
        EXPECT_TRUE(image.pixels.empty()) << count;
    }
    EXPECT_EQ(buildDitherImage(4, nullptr).channels, 0);
}

TEST(DitherImageTest, PaletteRowHoldsExactlyCountColours) {
    const Image image = buildDitherImage(16, palette256.data());
    ASSERT_EQ(image.width, 256);
    ASSERT_EQ(image.height, 256);
    ASSERT_EQ(image.channels, 4);
    ASSERT_EQ(image.pixels.size(), 262144u);
    EXPECT_EQ(texelAt(image, 0, 0), kZero);
    EXPECT_EQ(texelAt(image, 2, 0), (Texel{20.0f / 255.0f, 170.0f / 255.0f, 0, 0}));
    EXPECT_EQ(texelAt(image, 13, 0), (Texel{253.0f / 255.0f, 85.0f / 255.0f, 1, 0}));
    EXPECT_EQ(texelAt(image, 15, 0), (Texel{1, 1, 1, 0}));
    for (int x = 16; x < 256; ++x) EXPECT_EQ(texelAt(image, x, 0), kZero) << x;

    const Image full = buildDitherImage(256, palette256.data());
    EXPECT_EQ(texelAt(full, 32, 0), (Texel{0, 4.0f / 255.0f, 1, 0}));
    EXPECT_EQ(texelAt(full, 247, 0), (Texel{45.0f / 255.0f, 49.0f / 255.0f, 65.0f / 255.0f, 0}));
    EXPECT_EQ(texelAt(full, 255, 0), kZero);
}

TEST(DitherImageTest, BayerRowIsTheSixteenBySixteenMatrix) {
    const Image image = buildDitherImage(2, palette2.data());
    const int firstTwoRows[32] = {0,   128, 32, 160, 8,   136, 40, 168, 2,   130, 34, 162, 10,  138, 42,  170,
                                  192, 64,  224, 96, 200, 72,  232, 104, 194, 66, 226, 98, 202, 74, 234, 106};
    for (int x = 0; x < 32; ++x) {
        EXPECT_EQ(texelAt(image, x, 1), (Texel{static_cast<float>(firstTwoRows[x]) / 255.0f, 0, 0, 0})) << x;
    }
    std::set<int> seen;
    for (int x = 0; x < 256; ++x) {
        const Texel t = texelAt(image, x, 1);
        const int value = static_cast<int>(t[0] * 255.0f + 0.5f);
        EXPECT_EQ(t[0], static_cast<float>(value) / 255.0f) << x;
        EXPECT_EQ(Texel({0, t[1], t[2], t[3]}), kZero) << x;
        seen.insert(value);
    }
    EXPECT_EQ(seen.size(), 256u);
    EXPECT_EQ(*seen.begin(), 0);
    EXPECT_EQ(*seen.rbegin(), 255);
    // Last matrix row (j = 15): j fills bits 6, 4, 2, 0 (85); at k = 0, j XOR k = 15 adds bits
    // 7, 5, 3, 1 (170); at k = 5, j XOR k = 10 adds bits 5 and 1 (34).
    EXPECT_EQ(texelAt(image, 16 * 15 + 0, 1)[0], 1.0f);
    EXPECT_EQ(texelAt(image, 16 * 15 + 5, 1)[0], 119.0f / 255.0f);
}

TEST(DitherImageTest, RowsBetweenBayerAndCubeStayZero) {
    const Image image = buildDitherImage(256, palette256.data());
    const std::vector<float> between(image.pixels.begin() + 4 * 256 * 2, image.pixels.begin() + 4 * 256 * 128);
    EXPECT_EQ(between, std::vector<float>(between.size(), 0.0f));
}

TEST(DitherImageTest, TwoColourCubeSplitsAtTheMiddle) {
    const Image image = buildDitherImage(2, palette2.data());
    EXPECT_EQ(cubeTexel(image, 0, 0, 0), (Texel{0, 1, 0, 0}));
    EXPECT_EQ(cubeTexel(image, 31, 31, 31), (Texel{1, 0, 0, 0}));
    EXPECT_EQ(cubeTexel(image, 15, 15, 15), (Texel{0, 1, 0, 0}));  // 15/31 is just below the middle
    EXPECT_EQ(cubeTexel(image, 16, 16, 16), (Texel{1, 0, 0, 0}));
    EXPECT_EQ(texelAt(image, 255, 255), (Texel{1, 0, 0, 0}));      // (31, 31, 31) is the last texel
}

TEST(DitherImageTest, FourColourCubeListsNearestFirstAndTiesByIndex) {
    const Image image = buildDitherImage(4, palette4.data());
    // Black; then 55FFFF and FF55FF at the same distance (2 + 1/9); white.
    EXPECT_EQ(cubeTexel(image, 0, 0, 0), (Texel{0, 1, 2, 3}));
    // White; the two light colours tie at 4/9; black.
    EXPECT_EQ(cubeTexel(image, 31, 31, 31), (Texel{3, 1, 2, 0}));
    // Pure red: black 1, FF55FF 1 + 1/9, white 2, 55FFFF 2 + 4/9.
    EXPECT_EQ(cubeTexel(image, 31, 0, 0), (Texel{0, 2, 3, 1}));
    // Cyan: 55FFFF 1/9, white 1, FF55FF 1 + 4/9, black 2.
    EXPECT_EQ(cubeTexel(image, 0, 31, 31), (Texel{1, 3, 2, 0}));
    // Grey 15/31: the light colours tie at 0.555, black 0.702, white 0.799.
    EXPECT_EQ(cubeTexel(image, 15, 15, 15), (Texel{1, 2, 0, 3}));
}

TEST(DitherImageTest, SlotsNoColourTookKeepIndexZero) {
    const Image one = buildDitherImage(1, palette4.data());
    EXPECT_EQ(cubeTexel(one, 31, 31, 31), kZero);
    EXPECT_EQ(texelAt(one, 1, 0), kZero);
    const Image three = buildDitherImage(3, palette4.data());
    EXPECT_EQ(cubeTexel(three, 31, 31, 31), (Texel{1, 2, 0, 0}));
}

TEST(DitherImageTest, SixteenColourTiesListTheLowerIndexFirst) {
    const Image image = buildDitherImage(16, palette256.data());
    // Black 0, grey 555555 1/3, then 0000AA and AA0000 both at 4/9 (14AA00 is just beyond).
    EXPECT_EQ(cubeTexel(image, 0, 0, 0), (Texel{0, 8, 1, 4}));
    // (10/31, 0, 10/31) lies midway between 0000AA and AA0000: 555555 0.111, black 0.208,
    // then both at 0.2225, ahead of AA00AA at 0.237.
    EXPECT_EQ(cubeTexel(image, 10, 0, 10), (Texel{8, 0, 1, 4}));
}

TEST(DitherImageTest, TwoHundredFiftySixColourCubeKeepsEqualEntriesInIndexOrder) {
    const Image image = buildDitherImage(256, palette256.data());
    // Black is entry 0, 16 and 248 ... 255; white is 15 and 31, then EFEFEF (30) and DFDFDF (29).
    EXPECT_EQ(cubeTexel(image, 0, 0, 0), (Texel{0, 16, 248, 249}));
    EXPECT_EQ(cubeTexel(image, 31, 31, 31), (Texel{15, 31, 30, 29}));
    // FFBADF (86) and FFDFBA (90) are mirror images in green and blue, so at (30, 27, 27) they
    // would tie in exact arithmetic. In 32-bit floats, (dr^2 + dg^2) + db^2 comes out one unit
    // in the last place smaller for 90 (0.0210912209 against 0.0210912228), so 90 comes first.
    EXPECT_EQ(cubeTexel(image, 30, 27, 27), (Texel{29, 30, 90, 86}));
}

}  // namespace
