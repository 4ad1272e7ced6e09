// qvtool dither COUNT OUT: writes the dither image start-up builds for COUNT colours (2: the
// 2-colour palette, 4: the 4-colour palette, 16: the first 16 entries of the 256-colour palette,
// 256: the 256-colour palette) as 256 x 256 texels x 4 little-endian float32, rows bottom first.
// Texels the builder leaves alone are 0.
//
// The file is written under a temporary name and renamed into place, so OUT is either the whole
// image or untouched. Bad usage or another COUNT: usage on stderr, exit status 2. A write failure:
// one line on stderr, exit status 1.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "show/dither_image.h"
#include "show/dither_palettes.h"
#include "tools/qvtool_command.h"

namespace {

const char kDitherUsage[] = "dither COUNT OUT   (COUNT: 2, 4, 16 or 256)";

struct PaletteChoice {
    const char* count;
    int colours;
    const std::uint32_t* palette;
};

constexpr PaletteChoice kChoices[] = {
    {"2", 2, palette2.data()},
    {"4", 4, palette4.data()},
    {"16", 16, palette256.data()},
    {"256", 256, palette256.data()},
};

const PaletteChoice* findChoice(const char* count) {
    for (const PaletteChoice& choice : kChoices) {
        if (std::strcmp(choice.count, count) == 0) return &choice;
    }
    return nullptr;
}

std::vector<char> littleEndianBytes(const std::vector<float>& values) {
    std::vector<char> bytes(values.size() * 4);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(values[i]);
        for (std::size_t byte = 0; byte < 4; ++byte) {
            bytes[4 * i + byte] = static_cast<char>((bits >> (8 * byte)) & 0xFFu);
        }
    }
    return bytes;
}

// Writes `bytes` to a temporary file beside `path` and renames it into place; on failure the
// temporary file is removed and `path` is left as it was.
bool writeInPlace(const std::filesystem::path& path, const std::vector<char>& bytes) {
    std::filesystem::path temporary = path;
    temporary += ".partial";
    bool written = false;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            out.close();
            written = !out.fail();
        }
    }
    std::error_code error;
    if (written) {
        std::filesystem::rename(temporary, path, error);
        if (!error) return true;
    }
    std::filesystem::remove(temporary, error);
    return false;
}

int runDither(int argc, char** argv) {
    const PaletteChoice* choice = argc == 3 ? findChoice(argv[1]) : nullptr;
    if (choice == nullptr) {
        std::fprintf(stderr, "usage: qvtool %s\n", kDitherUsage);
        return 2;
    }
    const Image image = buildDitherImage(choice->colours, choice->palette);
    if (!writeInPlace(std::filesystem::path(argv[2]), littleEndianBytes(image.pixels))) {
        std::fprintf(stderr, "%s: cannot write the dither image\n", argv[2]);
        return 1;
    }
    return 0;
}

}  // namespace

QVTOOL_COMMAND(dither, "dither", kDitherUsage, runDither);
