// A picture in memory as the GPU takes it: four floats per pixel, rows bottom first.
#pragma once

#include <cstdint>
#include <vector>

struct Image {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t channels = 0;  // 4 when the image holds pixels, 0 when loading failed
    std::vector<float> pixels;  // width x height x 4 values: red, green, blue, alpha in 0 ... 1
};
