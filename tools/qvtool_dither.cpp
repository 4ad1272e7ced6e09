// qvtool dither COUNT OUT: writes the dither image start-up builds for COUNT colours (2: the
// 2-colour palette, 4: the 4-colour palette, 16: the first 16 entries of the 256-colour palette,
// 256: the 256-colour palette) as 256 x 256 texels x 4 little-endian float32, rows bottom first.
// Texels the builder leaves alone are 0.
//
// The file is written under a temporary name and renamed into place, so OUT is either the whole
// image or untouched. Bad usage or another COUNT: usage on stderr, exit status 2. A write failure:
// one line on stderr, exit status 1.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "show/dither_image.h"
#include "show/dither_palettes.h"
#include "tools/output_file.h"
#include "tools/qvtool_command.h"
#include "cli/arguments.h"

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

int runDither(int argc, char** argv) {
    const PaletteChoice* choice = argc == 3 ? findChoice(argv[1]) : nullptr;
    if (choice == nullptr) {
        std::fprintf(stderr, "usage: qvtool %s\n", kDitherUsage);
        return kUsageStatus;
    }
    const Image image = buildDitherImage(choice->colours, choice->palette);
    if (!writeFloatsInPlace(argv[2], image.pixels)) {
        std::fprintf(stderr, "%s: cannot write the dither image\n", argv[2]);
        return kFailureStatus;
    }
    return kDoneStatus;
}

}  // namespace

QVTOOL_COMMAND(dither, "dither", kDitherUsage, runDither);
