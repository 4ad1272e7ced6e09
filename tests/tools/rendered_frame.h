// A picture of the show rendered by `qvtool frame` from the repository's resources and read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <stb_image.h>

#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"

struct RenderedFrame {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // `channels` bytes per pixel, rows top first
};

// Show time `seconds` at `size` ("WxH"), with 1 (grey) or 3 (RGB) channels and any further
// options of the command; empty on failure.
inline RenderedFrame renderFrame(const std::string& seconds, const std::string& size, int channels,
                                 const std::vector<std::string>& options = {}) {
    const ScratchFolder scratch("frame");
    const std::filesystem::path png = scratch.path / "frame.png";
    std::vector<std::string> arguments = {"frame", seconds, png.string(), "--size", size};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const ToolRun run = runTool(QVTOOL_PATH, arguments, QV_SOURCE_DIR);
    EXPECT_EQ(run.status, 0) << run.err;
    RenderedFrame frame;
    int stored = 0;
    unsigned char* pixels = stbi_load(png.string().c_str(), &frame.width, &frame.height, &stored, channels);
    if (pixels == nullptr) return frame;
    frame.pixels.assign(pixels, pixels + static_cast<std::ptrdiff_t>(frame.width) * frame.height * channels);
    stbi_image_free(pixels);
    return frame;
}
