// Comparing pictures by their bytes.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

// Peak signal-to-noise ratio of two byte pictures of `count` bytes, in dB; 99 when they are equal.
inline double psnr(const std::uint8_t* a, const std::uint8_t* b, std::size_t count) {
    double squares = 0.0;
    for (std::size_t i = 0; i < count; ++i) squares += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return squares == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * double(count) / squares);
}
