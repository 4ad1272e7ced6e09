// Renders production frames with `qvtool frame` and checks what the opening's passes leave.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>


#include "show/director.h"
#include "show/dither_palettes.h"
#include "tests/support/pictures.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"
#include "tests/tools/rendered_frame.h"

namespace {

using Picture = RenderedFrame;

// Renders show time `seconds` at the given size, in RGB, with any further options.
Picture renderPicture(const std::string& seconds, const std::string& size = "96x54",
                      const std::vector<std::string>& options = {}) {
    return renderFrame(seconds, size, 3, options);
}

struct Colours {
    int width = 0;
    int height = 0;
    std::set<std::tuple<int, int, int>> distinct;
};

// The colours of show time `seconds` at 96 x 54.
Colours renderColours(const std::string& seconds) {
    const Picture picture = renderPicture(seconds);
    Colours colours{picture.width, picture.height, {}};
    for (std::size_t i = 0; i < picture.pixels.size(); i += 3) {
        colours.distinct.emplace(picture.pixels[i], picture.pixels[i + 1], picture.pixels[i + 2]);
    }
    return colours;
}

TEST(FrameToolTest, TheOpeningIsDitheredToBlackAndWhiteThenShownDirectly) {
    const Colours dithered = renderColours("5");
    EXPECT_EQ(dithered.width, 96);
    EXPECT_EQ(dithered.height, 54);
    const std::set<std::tuple<int, int, int>> blackAndWhite = {{0, 0, 0}, {255, 255, 255}};
    EXPECT_EQ(dithered.distinct, blackAndWhite) << "5 s into the opening: two colours only";

    const Colours direct = renderColours("21");
    EXPECT_GT(direct.distinct.size(), 16u) << "after 20 s the scene is drawn without a palette";

    // The dither is a pattern of the picture's own pixels: more samples would average it to grey.
    EXPECT_EQ(renderPicture("5", "96x54", {"--samples", "16"}).pixels, renderPicture("5").pixels);
}

// Each 4 x 4 block of a picture averaged into one pixel.
std::vector<std::uint8_t> averagedDown4(const Picture& large) {
    std::vector<std::uint8_t> small;
    for (int y = 0; y + 4 <= large.height; y += 4) {
        for (int x = 0; x + 4 <= large.width; x += 4) {
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = 0; j < 16; ++j) sum += large.pixels[3 * ((y + j / 4) * large.width + x + j % 4) + c];
                small.push_back(std::uint8_t((sum + 8) / 16));
            }
        }
    }
    return small;
}

// The PSNR of show time `seconds` at 320 x 180 against the same view drawn with 16 samples per
// pixel (four times the width and height, averaged down); 0 when either cannot be drawn.
double psnrAgainstSixteenSamples(const std::string& seconds) {
    const Picture frame = renderPicture(seconds, "320x180");
    const std::vector<std::uint8_t> reference = averagedDown4(renderPicture(seconds, "1280x720"));
    EXPECT_EQ(frame.pixels.size(), std::size_t(320 * 180 * 3));
    if (reference.size() != frame.pixels.size() || reference.empty()) return 0.0;
    return psnr(frame.pixels.data(), reference.data(), reference.size());
}

// In the stairwell at 62 s the lights throw the steps' shadows across the lit treads. Its frame
// must stay close to the same view drawn with 16 samples per pixel (four times the width and
// height, averaged down), shadow borders included. When the extra samples of a block took their
// first sample's shadows even across a shadow's border, this frame was at 37.4 dB; it is at 40.1.
TEST(FrameToolTest, ShadowBordersAreAntiAliasedLikeOutlines) { EXPECT_GE(psnrAgainstSixteenSamples("62"), 39.0); }

// The plaza's checker floor at 104 s is drawn by the scene program, averaged over each pixel
// rather than sampled at tile borders. Its frame is at 35.2 dB from the 16-sample view; an average
// taken around the sample point instead of the pixel's middle shifts every tile border by a
// quarter pixel and brings it down to 30.3.
TEST(FrameToolTest, CheckerFloorsAreAveragedOverEachPixel) { EXPECT_GE(psnrAgainstSixteenSamples("104"), 34.0); }

// Each 4 x 4 block of a picture averaged in linear light: bytes decoded with the scene program's
// display curve (a 2.2 power, its displayed()), averaged, encoded again and rounded.
std::vector<std::uint8_t> averagedDown4InLight(const Picture& large) {
    const auto toLight = [](int byte) { return std::pow(byte / 255.0, 2.2); };
    const auto toByte = [](double light) {
        return static_cast<std::uint8_t>(std::lround(255.0 * std::clamp(std::pow(light, 1.0 / 2.2), 0.0, 1.0)));
    };
    std::vector<std::uint8_t> small;
    for (int y = 0; y + 4 <= large.height; y += 4) {
        for (int x = 0; x + 4 <= large.width; x += 4) {
            for (int c = 0; c < 3; ++c) {
                double sum = 0.0;
                for (int j = 0; j < 16; ++j) {
                    sum += toLight(large.pixels[3 * ((y + j / 4) * large.width + x + j % 4) + c]);
                }
                small.push_back(toByte(sum / 16.0));
            }
        }
    }
    return small;
}

// --samples 16 draws the picture at four times the width and height and averages each 4 x 4 block
// in linear light on the GPU: the plaza at 104 s so drawn at 80 x 45 is the 320 x 180 picture
// averaged down here (60.6 dB; what differs is the 320 x 180 picture's rounding to bytes before
// averaging). Averaging in the sRGB curve's light instead gives 55.9 dB; the stored values, a
// picture shifted by one pixel and one upside down were at 34.0, 17.4 and 11.5 dB.
TEST(FrameToolTest, SixteenSamplesAPixelAreTheLargerPictureAveragedInLinearLight) {
    const Picture sampled = renderPicture("104", "80x45", {"--samples", "16"});
    const std::vector<std::uint8_t> reference = averagedDown4InLight(renderPicture("104", "320x180"));
    ASSERT_EQ(sampled.pixels.size(), std::size_t(80 * 45 * 3));
    ASSERT_EQ(reference.size(), sampled.pixels.size());
    EXPECT_GE(psnr(sampled.pixels.data(), reference.data(), reference.size()), 58.0);
}

using ColourSet = std::set<std::tuple<int, int, int>>;

// The first `count` entries of a 0xRRGGBB palette as byte triples.
template <std::size_t N>
ColourSet paletteColours(const std::array<std::uint32_t, N>& palette, std::size_t count) {
    ColourSet colours;
    for (std::size_t i = 0; i < count; ++i) {
        colours.emplace(static_cast<int>(palette[i] >> 16 & 0xFF), static_cast<int>(palette[i] >> 8 & 0xFF),
                        static_cast<int>(palette[i] & 0xFF));
    }
    return colours;
}

// The colours the director's stepped dither may leave at time t of the opening part: the
// palette whose texture it binds there.
ColourSet steppedPaletteAt(float t) {
    switch (steppedDitherAt(t).palette) {
        case DitherPalette::Colours2: return paletteColours(palette2, 2);
        case DitherPalette::Colours4: return paletteColours(palette4, 4);
        case DitherPalette::Colours16: return paletteColours(palette256, 16);
        case DitherPalette::Colours256: return paletteColours(palette256, 256);
    }
    return {};
}

ColourSet outside(const ColourSet& colours, const ColourSet& allowed) {
    ColourSet extra;
    for (const auto& colour : colours) {
        if (allowed.count(colour) == 0) extra.insert(colour);
    }
    return extra;
}

std::string listed(const ColourSet& colours) {
    std::string text;
    for (const auto& [r, g, b] : colours) {
        text += " (" + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b) + ")";
    }
    return text;
}

// From 14 s the opening steps through 4, 16 and 256 colours, two seconds each. Each frame keeps
// to its palette and, so that a wrong palette texture cannot pass, shows colours that the
// smaller palette before it does not have.
TEST(FrameToolTest, TheSteppedOpeningKeepsToFourSixteenAndTwoHundredFiftySixColours) {
    const ColourSet four = paletteColours(palette4, 4);
    const ColourSet sixteen = paletteColours(palette256, 16);
    const ColourSet all = paletteColours(palette256, 256);
    ASSERT_EQ(steppedPaletteAt(15.0f), four);
    ASSERT_EQ(steppedPaletteAt(17.0f), sixteen);
    ASSERT_EQ(steppedPaletteAt(19.0f), all);

    const Colours at15 = renderColours("15");
    EXPECT_EQ(outside(at15.distinct, four), ColourSet{}) << "15 s:" << listed(at15.distinct);
    EXPECT_GT(at15.distinct.size(), 2u) << "15 s:" << listed(at15.distinct);

    const Colours at17 = renderColours("17");
    EXPECT_EQ(outside(at17.distinct, sixteen), ColourSet{}) << "17 s:" << listed(at17.distinct);
    EXPECT_FALSE(outside(at17.distinct, four).empty()) << "17 s:" << listed(at17.distinct);

    const Colours at19 = renderColours("19");
    EXPECT_EQ(outside(at19.distinct, all), ColourSet{}) << "19 s:" << listed(at19.distinct);
    EXPECT_FALSE(outside(at19.distinct, sixteen).empty()) << "19 s:" << listed(at19.distinct);
}

// Without the title image start-up reports "can't fopen" once and carries on to draw the show.
TEST(FrameToolTest, StartUpGoesOnWithoutTheTitleImage) {
    namespace fs = std::filesystem;
    const ScratchFolder scratch("no_title");
    const fs::path& folder = scratch.path;
    fs::copy(fs::path(QV_SOURCE_DIR) / "resources", folder / "resources", fs::copy_options::recursive);
    ASSERT_TRUE(fs::remove(folder / "resources" / "Orrin&Vassel.png"));

    const fs::path png = folder / "frame.png";
    const ToolRun run = runTool(QVTOOL_PATH, {"frame", "21", png.string(), "--size", "32x18"}, folder);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string message = "[Error] can't fopen";
    const std::size_t first = run.err.find(message);
    EXPECT_NE(first, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(message, first + 1), std::string::npos) << "one message box only: " << run.err;
    EXPECT_GT(fs::file_size(png), 0u);
}

// Bad usage exits 2 with the usage line; an output that cannot be written exits 1 before anything
// is drawn (no GL context is made, so the refusal is immediate and says why).
TEST(FrameToolTest, BadRequestsAreRefusedWithUsageAndBadOutputsBeforeDrawing) {
    namespace fs = std::filesystem;
    const ScratchFolder scratch("frame_refusals");
    const fs::path& folder = scratch.path;
    const std::string png = (folder / "out.png").string();
    const std::vector<std::vector<std::string>> usage = {
        {"frame", "3", png, "--size", "0x10"}, {"frame", "3", png, "--size", "10x"}, {"frame", "3", png, "--size"},
        {"frame", "soon", png},               {"frame", "-1", png},                {"frame", "3", png, "--fast"},
        {"frame", "3"},                       {"frame", "3", png, "--samples", "8"}};
    for (const std::vector<std::string>& arguments : usage) {
        const ToolRun run = runTool(QVTOOL_PATH, arguments);
        EXPECT_EQ(run.status, 2) << arguments.back();
        EXPECT_NE(run.err.find("usage: qvtool frame"), std::string::npos) << run.err;
    }
    fs::create_directories(folder / "taken.png");
    for (const fs::path& out : {folder / "taken.png", folder / "missing" / "out.png"}) {
        const ToolRun run = runTool(QVTOOL_PATH, {"frame", "3", out.string(), "--size", "32x18"}, QV_SOURCE_DIR);
        EXPECT_EQ(run.status, 1) << out;
        EXPECT_EQ(run.err.rfind("qvtool frame: cannot write '" + out.string() + "': ", 0), 0u) << run.err;
    }
    EXPECT_EQ(entriesOf(folder), std::vector<fs::path>{folder / "taken.png"});
}

}  // namespace
