// A scene file this test writes itself, byte by byte from the file layout (no project code writes
// it): boxes at known places, drawn by `qvtool frame` as the show draws them. What the scene
// program needs beyond the file must come from the loader, so the boxes show where they stand,
// and an edited vertex moves them.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <stb_image.h>

#include "tests/scene/scene_file_builder.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"

namespace {

namespace fs = std::filesystem;
using namespace scene_test;

// A cube of half side 1 about centre: 8 corners, 12 faces, each glowing red (surface record 1's
// colour is what a face emits), so it shows whatever the lights do. Every corner is flat: 1023 in
// the vertex extra's first normal code, ambient level 15 in bits 20 to 23.
TestMesh redCube(std::array<float, 3> centre) {
    TestMesh cube;
    for (int corner = 0; corner < 8; ++corner) {
        cube.positions.push_back({centre[0] + ((corner & 1) != 0 ? 1.0f : -1.0f),
                                  centre[1] + ((corner & 2) != 0 ? 1.0f : -1.0f),
                                  centre[2] + ((corner & 4) != 0 ? 1.0f : -1.0f)});
    }
    cube.extras.assign(8, static_cast<float>(1023 | 15 << 20));
    const std::uint32_t sides[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    for (const auto& side : sides) {
        cube.faces.push_back({side[0], side[1], side[2], 0});
        cube.faces.push_back({side[0], side[2], side[3], 0});
    }
    cube.surface0.assign(12, {0.0f, 0.0f, 0.0f, 1.0f});
    cube.surface1.assign(12, {1.0f, 0.05f, 0.05f, 0.0f});
    return cube;
}

// The show's needs: 24 meshes, 5 cameras, 7 lights. At 62 s the show is 8 s into its fourth part,
// which looks through camera 4 at meshes 20 to 23 with no fade; every camera here stands at the
// origin looking down -z with a 60-degree view, and every light is dark.
Bytes boxesScene(const std::vector<TestMesh>& partMeshes) {
    std::vector<TestMesh> meshes(20);
    meshes.insert(meshes.end(), partMeshes.begin(), partMeshes.end());
    meshes.resize(24);
    Bytes file;
    file.reserve(4096);  // GCC 12 warns of a bound it imagines when a vector of chars grows from 4 bytes
    putU32(file, static_cast<std::uint32_t>(meshes.size()));
    for (const TestMesh& mesh : meshes) putMesh(file, mesh);
    putU32(file, 5);
    for (int n = 0; n < 5; ++n) putCamera(file, {60, 0, 0, 0, 0, 0, 0, 0, -1, 0, 1, 0});
    putU32(file, 7);
    for (int n = 0; n < 7; ++n) putLight(file, {});
    return file;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // rows top first
    bool red(int x, int y) const {
        const std::uint8_t* p = &rgb[3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x))];
        return p[0] > 150 && p[0] > 3 * p[1] && p[0] > 3 * p[2];
    }
};

// The show's picture at 62 s, 160 x 90, of the scene in a resources folder of its own.
Picture drawAt62(const Bytes& scene) {
    const ScratchFolder scratch("written_scene");
    fs::copy(fs::path(QV_SOURCE_DIR) / "resources", scratch.path / "resources", fs::copy_options::recursive);
    std::ofstream(scratch.path / "resources" / "scene.vxs", std::ios::binary | std::ios::trunc)
        .write(scene.data(), static_cast<std::streamsize>(scene.size()));
    const fs::path png = scratch.path / "frame.png";
    const ToolRun run = runTool(QVTOOL_PATH, {"frame", "62", png.string(), "--size", "160x90"}, scratch.path);
    EXPECT_EQ(run.status, 0) << run.err;
    Picture picture;
    int channels = 0;
    unsigned char* pixels = stbi_load(png.string().c_str(), &picture.width, &picture.height, &channels, 3);
    if (pixels == nullptr) return picture;
    picture.rgb.assign(pixels, pixels + 3 * picture.width * picture.height);
    stbi_image_free(pixels);
    return picture;
}

// A box at distance 10 straight ahead fills the middle; one 4 m to the right shows about 31 pixels
// right of it (x / z times the focal factor 1.732, times half the picture's height); the rest is
// sky. Lifting the second box's vertices by 2 m moves it about 16 pixels up.
TEST(WrittenSceneTest, BoxesShowWhereTheFileSaysAndAnEditedVertexMovesThem) {
    const Picture before = drawAt62(boxesScene({redCube({0, 0, -10}), redCube({4, 0, -10})}));
    ASSERT_EQ(before.width, 160);
    ASSERT_EQ(before.height, 90);
    EXPECT_TRUE(before.red(80, 45)) << "the box ahead";
    EXPECT_TRUE(before.red(114, 45)) << "the box to the right";
    EXPECT_TRUE(before.red(114, 50));
    for (const auto& [x, y] : {std::pair{20, 45}, {140, 15}, {97, 45}, {114, 27}, {80, 70}}) {
        EXPECT_FALSE(before.red(x, y)) << "no box at " << x << ", " << y;
    }

    TestMesh lifted = redCube({4, 0, -10});
    for (auto& p : lifted.positions) p[1] += 2.0f;
    const Picture after = drawAt62(boxesScene({redCube({0, 0, -10}), lifted}));
    ASSERT_EQ(after.width, 160);
    EXPECT_TRUE(after.red(80, 45)) << "the box ahead stays";
    EXPECT_TRUE(after.red(114, 27)) << "the lifted box's new place";
    EXPECT_FALSE(after.red(114, 50)) << "the lifted box's old place";
}

}  // namespace
