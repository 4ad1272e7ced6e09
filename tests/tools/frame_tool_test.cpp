// Renders production frames with `qvtool frame` and checks what the opening's passes leave.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <tuple>

#include <stb_image.h>

#include "tests/support/tool_run.h"

namespace {

struct Colours {
    int width = 0;
    int height = 0;
    std::set<std::tuple<int, int, int>> distinct;
};

// Renders show time `seconds` at 96 x 54 from the repository's resources and collects the
// colours of the picture.
Colours renderFrame(const std::string& seconds) {
    const std::filesystem::path png = std::filesystem::temp_directory_path() / ("qv_frame_" + seconds + ".png");
    const std::string tool = std::string("cd ") + QV_SOURCE_DIR + " && " + QVTOOL_PATH;
    const ToolRun run = runTool(tool, "frame " + seconds + " " + png.string() + " --size 96x54", "frame_tool");
    EXPECT_EQ(run.status, 0) << run.err;
    Colours colours;
    int channels = 0;
    unsigned char* pixels = stbi_load(png.string().c_str(), &colours.width, &colours.height, &channels, 3);
    if (pixels == nullptr) return colours;
    for (int i = 0; i < colours.width * colours.height; ++i) {
        colours.distinct.emplace(pixels[3 * i], pixels[3 * i + 1], pixels[3 * i + 2]);
    }
    stbi_image_free(pixels);
    return colours;
}

TEST(FrameToolTest, TheOpeningIsDitheredToBlackAndWhiteThenShownDirectly) {
    const Colours dithered = renderFrame("5");
    EXPECT_EQ(dithered.width, 96);
    EXPECT_EQ(dithered.height, 54);
    const std::set<std::tuple<int, int, int>> blackAndWhite = {{0, 0, 0}, {255, 255, 255}};
    EXPECT_EQ(dithered.distinct, blackAndWhite) << "5 s into the opening: two colours only";

    const Colours direct = renderFrame("21");
    EXPECT_GT(direct.distinct.size(), 16u) << "after 20 s the scene is drawn without a palette";
}

TEST(FrameToolTest, BadRequestsAreRefusedWithUsage) {
    const ToolRun noSize = runTool(QVTOOL_PATH, "frame 3 /tmp/qv_unused.png --size 0x10", "frame_tool");
    EXPECT_EQ(noSize.status, 2);
    const ToolRun noTime = runTool(QVTOOL_PATH, "frame soon /tmp/qv_unused.png", "frame_tool");
    EXPECT_EQ(noTime.status, 2);
    EXPECT_NE(noTime.err.find("usage"), std::string::npos);
}

}  // namespace
