#include "show/dither_image.h"

#include <array>
#include <cstddef>

namespace {

constexpr int kSide = kDitherImageSide;
constexpr int kCubeSide = 32;
constexpr int kCubeFirstTexel = 128 * kSide;
constexpr int kMaxColours = kSide;

struct Colour {
    float red;
    float green;
    float blue;
};

float byteToUnit(std::uint32_t value, int shift) {
    return static_cast<float>((value >> shift) & 0xFFu) / 255.0f;
}

float* texel(Image& image, int x, int y) {
    return image.pixels.data() + 4 * (static_cast<std::size_t>(y) * kSide + static_cast<std::size_t>(x));
}

// Bit 7 - 2a of the threshold is bit a of (j XOR k), bit 6 - 2a is bit a of j, for a = 0 ... 3.
int bayerThreshold(int j, int k) {
    const int mixed = j ^ k;
    int threshold = 0;
    for (int a = 0; a < 4; ++a) {
        threshold |= ((mixed >> a) & 1) << (7 - 2 * a);
        threshold |= ((j >> a) & 1) << (6 - 2 * a);
    }
    return threshold;
}

// The four nearest colours so far, nearest first. A new colour goes in front of the first slot
// that is strictly farther away, so among equal distances the earlier (lower) index stays first.
struct NearestFour {
    std::array<float, 4> distance{1e38f, 1e38f, 1e38f, 1e38f};
    std::array<int, 4> index{0, 0, 0, 0};

    void offer(float d, int a) {
        if (!(distance[3] > d)) return;
        int slot = 3;
        while (slot > 0 && distance[slot - 1] > d) {
            distance[slot] = distance[slot - 1];
            index[slot] = index[slot - 1];
            --slot;
        }
        distance[slot] = d;
        index[slot] = a;
    }
};

}  // namespace

Image buildDitherImage(int count, const std::uint32_t* palette) {
    if (count < 1 || count > kMaxColours || palette == nullptr) return Image{};

    Image image;
    image.width = kSide;
    image.height = kSide;
    image.channels = 4;
    image.pixels.assign(static_cast<std::size_t>(kSide) * kSide * 4, 0.0f);

    // Palette row. The cube below measures against these very floats.
    std::array<Colour, kMaxColours> colours{};
    for (int x = 0; x < count; ++x) {
        const Colour colour{byteToUnit(palette[x], 16), byteToUnit(palette[x], 8), byteToUnit(palette[x], 0)};
        colours[static_cast<std::size_t>(x)] = colour;
        float* out = texel(image, x, 0);
        out[0] = colour.red;
        out[1] = colour.green;
        out[2] = colour.blue;
    }

    // Bayer row: threshold b(j, k) / 255 in the red channel of texel (16 j + k, 1).
    for (int j = 0; j < 16; ++j) {
        for (int k = 0; k < 16; ++k) {
            texel(image, 16 * j + k, 1)[0] = static_cast<float>(bayerThreshold(j, k)) / 255.0f;
        }
    }

    // Colour cube. All arithmetic is in 32-bit floats: the cube point is r / 31 etc., the
    // distance is ((dr * dr) + (dg * dg)) + (db * db), and ties are decided on those floats.
    float* cube = image.pixels.data() + 4 * static_cast<std::size_t>(kCubeFirstTexel);
    for (int r = 0; r < kCubeSide; ++r) {
        const float pointRed = static_cast<float>(r) / 31.0f;
        for (int g = 0; g < kCubeSide; ++g) {
            const float pointGreen = static_cast<float>(g) / 31.0f;
            for (int b = 0; b < kCubeSide; ++b) {
                const float pointBlue = static_cast<float>(b) / 31.0f;
                NearestFour nearest;
                for (int a = 0; a < count; ++a) {
                    const Colour& colour = colours[static_cast<std::size_t>(a)];
                    const float dr = colour.red - pointRed;
                    const float dg = colour.green - pointGreen;
                    const float db = colour.blue - pointBlue;
                    nearest.offer(dr * dr + dg * dg + db * db, a);
                }
                for (int slot = 0; slot < 4; ++slot) *cube++ = static_cast<float>(nearest.index[slot]);
            }
        }
    }
    return image;
}
