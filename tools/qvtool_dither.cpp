// qvtool dither COUNT OUT: writes the dither image start-up builds for COUNT colours (2, 4, 16 or
// 256, with the palette kDitherPaletteChoices gives) as 256 x 256 texels x 4 little-endian
// float32, rows bottom first.
// Texels the builder leaves alone are 0.
//
// The file is written under a temporary name and renamed into place, so OUT is either the whole
// image or untouched. Bad usage or another COUNT: usage on stderr, exit status 2. A write failure:
// one line on stderr, exit status 1.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "show/dither_image.h"
#include "show/dither_palettes.h"
#include "tools/output_file.h"
#include "tools/qvtool_command.h"
#include "cli/arguments.h"

namespace {

const char kDitherUsage[] = "dither COUNT OUT   (COUNT: 2, 4, 16 or 256)";

// COUNT as one of the counts the dither uses, written plainly ("16", not "016"); 0 otherwise.
int colourCount(const char* text) {
    int count = 0;
    if (!parseWholeNumber(text, count) || std::to_string(count) != text) return 0;
    return paletteForColours(count) != nullptr ? count : 0;
}

int runDither(int argc, char** argv) {
    const int count = argc == 3 ? colourCount(argv[1]) : 0;
    if (count == 0) {
        return refuseUsage("dither", kDitherUsage);
    }
    const Image image = buildDitherImage(count, paletteForColours(count));
    if (!writeFloatsAtomically(argv[2], image.pixels)) {
        std::fprintf(stderr, "qvtool dither: cannot write the dither image to %s\n", inQuotes(argv[2]).c_str());
        return kFailureStatus;
    }
    return kDoneStatus;
}

}  // namespace

QVTOOL_COMMAND(dither, "dither", kDitherUsage, runDither);
