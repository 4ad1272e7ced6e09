// The dither image: everything the dither pass needs about one palette, in one 256 x 256 RGBA
// float texture.
#pragma once

#include <cstdint>

#include "show/image.h"

// Layout of the image (rows bottom first, texel (x, y) at float offset 4 * (256 * y + x)):
// - row 0, x < count: palette colour x as (red, green, blue) byte / 255, alpha 0;
// - row 1, red channel: the 16 x 16 Bayer thresholds / 255, matrix row after matrix row;
// - rows 128 to 255: the colour cube. The texel of cube point (r, g, b), each 0 ... 31, is
//   texel number 32768 + (32 * r + g) * 32 + b and holds, as floats, the indices of the four
//   palette colours nearest to (r / 31, g / 31, b / 31), nearest first, equal distances in
//   increasing index order; with fewer than four colours the remaining slots hold 0.
// Every other float is 0.
inline constexpr int kDitherImageSide = 256;

// Builds the image for the first `count` entries (0x00RRGGBB) of `palette`. A count outside
// 1 ... 256 (row 0 has room for 256 colours) or a null palette gives an empty Image with
// channels 0.
Image buildDitherImage(int count, const std::uint32_t* palette);
