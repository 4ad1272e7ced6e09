#include "png/png_encoder.h"

#include <cstddef>

#include <stb_image_write.h>

namespace {

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

std::vector<std::uint8_t> encodePng(const RgbaImage& image) {
    std::vector<std::uint8_t> png;
    const std::size_t expected = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4;
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() != expected) return png;
    if (stbi_write_png_to_func(appendBytes, &png, image.width, image.height, 4, image.pixels.data(), image.width * 4) == 0) {
        png.clear();
    }
    return png;
}

