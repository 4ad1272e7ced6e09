// PNG encoding of 8-bit RGBA pictures.
#pragma once

#include <cstdint>
#include <vector>

// A picture in 8-bit RGBA, rows top first.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width x height x 4
};

// The image as PNG file bytes; empty when it cannot be encoded.
std::vector<std::uint8_t> encodePng(const RgbaImage& image);

