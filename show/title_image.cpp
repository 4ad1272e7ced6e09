#include "show/title_image.h"

#include <cstdio>
#include <memory>

#include <stb_image.h>

#include "platform/platform.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::unique_ptr<std::FILE, FileCloser> openForReading(const std::filesystem::path& path) {
#ifdef _WIN32
    return std::unique_ptr<std::FILE, FileCloser>(_wfopen(path.c_str(), L"rb"));
#else
    return std::unique_ptr<std::FILE, FileCloser>(std::fopen(path.c_str(), "rb"));
#endif
}

Image failedImage(const char* reason) {
    platform::showMessageBox(reason, "Error");
    return Image{};
}

}  // namespace

Image loadImage(const std::filesystem::path& path) {
    stbi_set_flip_vertically_on_load(1);
    const auto file = openForReading(path);
    if (!file) return failedImage("can't fopen");
    int width = 0, height = 0, channelsInFile = 0;
    stbi_uc* bytes = stbi_load_from_file(file.get(), &width, &height, &channelsInFile, 4);
    if (bytes == nullptr) return failedImage(stbi_failure_reason());
    Image image;
    image.width = width;
    image.height = height;
    image.channels = 4;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    image.pixels.resize(count);
    for (std::size_t i = 0; i < count; ++i) image.pixels[i] = static_cast<float>(bytes[i]) / 255.0f;
    stbi_image_free(bytes);
    return image;
}
