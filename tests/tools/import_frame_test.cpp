// Draws an imported model with `qvtool frame` in a scene the test writes itself (one box, one
// camera pose, no other geometry) and compares the pixels it covers with a ray cast, on the
// processor, of the triangles the import wrote. A model clipped to its box, moved, mirrored or
// drawn without its faces would cover other pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <stb_image.h>

#include "content/scene_file_writer.h"
#include "content/vertex_extra.h"
#include "scene/scene_loader.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"

namespace {

constexpr int kWidth = 240, kHeight = 136;
constexpr int kMesh = 10;  // shown by the part at 104 s, as are camera 2 and lights 2 and 3

Camera theCamera() {
    Camera camera;
    camera.position = {-2.4f, 0.9f, 0.2f};
    camera.direction = {1.0f, -0.12f, -0.08f};
    camera.up = {0.0f, 1.0f, 0.0f};
    camera.fov = 60.0f;
    return camera;
}

// 24 meshes, all empty but mesh 10, a 2 x 2 x 2 box standing on y = 0; every camera and light alike.
content::SceneFileBytes ownScene(bool withBox) {
    content::MeshRecord box;
    if (withBox) {
        for (int i = 0; i < 8; ++i) box.positions.push_back({i & 1 ? 1.0f : -1.0f, i & 2 ? 2.0f : 0.0f, i & 4 ? 1.0f : -1.0f});
        box.extras.assign(8, content::packVertexExtra({}));
        box.faces = {{0, 3, 7, 0}, {7, 4, 0, 0}};  // two faces across it: their corners span the box
    }
    box.surface0.assign(box.faces.size(), {0.8f, 0.8f, 0.8f, 0.8f});
    box.surface1.assign(box.faces.size(), {0.0f, 0.0f, 0.0f, 0.0f});
    content::SceneFileBytes out;
    content::putU32(out, 24);
    for (int m = 0; m < 24; ++m) content::putMesh(out, m == kMesh ? box : content::MeshRecord{}, 0);
    content::putU32(out, 5);
    for (int c = 0; c < 5; ++c) content::putCamera(out, theCamera());
    Light light;
    light.position = {-3.0f, 5.0f, 2.0f};
    light.range = 50.0f;
    light.intensity = 3.0f;
    light.color = {1.0f, 1.0f, 1.0f, 1.0f};
    content::putU32(out, 7);
    for (int l = 0; l < 7; ++l) content::putLight(out, light);
    return out;
}

void writeFile(const std::filesystem::path& path, const content::SceneFileBytes& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The RGB pixels, rows top first, of show time 104 s drawn from the folder's resources/.
std::vector<std::uint8_t> drawAt104(const std::filesystem::path& folder) {
    const ToolRun run = runTool(QVTOOL_PATH, {"frame", "104", "picture.png", "--size", "240x136"}, folder);
    EXPECT_EQ(run.status, 0) << run.err;
    int w = 0, h = 0, n = 0;
    unsigned char* pixels = stbi_load((folder / "picture.png").string().c_str(), &w, &h, &n, 3);
    if (pixels == nullptr || w != kWidth || h != kHeight) return {};
    std::vector<std::uint8_t> rgb(pixels, pixels + 3 * w * h);
    stbi_image_free(pixels);
    return rgb;
}

// Which pixels a ray through their middle from the camera meets one of the mesh's triangles in.
std::vector<bool> rayCast(const SceneData& data) {
    const Mesh& mesh = data.meshes[kMesh];
    const auto at = [&](std::int32_t texel, int c) { return data.texels[4 * static_cast<std::size_t>(texel) + c]; };
    const Camera camera = theCamera();
    const Vec3 forward = normalize(toVec3(camera.direction));
    const Vec3 right = normalize(cross(forward, toVec3(camera.up)));
    const Vec3 up = cross(right, forward);
    const float focal = 1.0f / std::tan(camera.fov * 3.14159265f / 360.0f);
    std::vector<bool> covered(kWidth * kHeight, false);
    for (std::int32_t f = 0; f < mesh.face_count; ++f) {
        Vec3 v[3];
        for (int c = 0; c < 3; ++c) {
            const auto vertex = mesh.vertex_offset + static_cast<std::int32_t>(at(mesh.face_offset + f, c));
            v[c] = {at(vertex, 0), at(vertex, 1), at(vertex, 2)};
        }
        const Vec3 e1 = v[1] - v[0], e2 = v[2] - v[0], s = toVec3(camera.position) - v[0];
        for (int i = 0; i < kWidth * kHeight; ++i) {
            if (covered[i]) continue;
            const float px = i % kWidth + 0.5f, py = kHeight - 1 - i / kWidth + 0.5f;  // rows bottom first
            const Vec3 d = right * ((2 * px - kWidth) / kHeight) + up * ((2 * py - kHeight) / kHeight) + forward * focal;
            const Vec3 p = cross(d, e2);
            const float det = dot(e1, p);
            if (std::fabs(det) < 1e-12f) continue;
            const float a = dot(s, p) / det;
            const Vec3 q = cross(s, e1);
            const float b = dot(d, q) / det;
            covered[i] = a >= 0 && b >= 0 && a + b <= 1 && dot(e2, q) / det > 0;
        }
    }
    return covered;
}

TEST(ImportFrameTest, AnImportedModelCoversThePixelsItsTrianglesDo) {
    const ScratchFolder scratch("import_frame");
    const std::filesystem::path resources = scratch.path / "resources";
    std::filesystem::create_directory(resources);
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(QV_SOURCE_DIR) / "resources")) {
        if (entry.path().extension() != ".vxs") std::filesystem::copy(entry.path(), resources / entry.path().filename());
    }
    writeFile(resources / "scene.vxs", ownScene(false));
    const std::vector<std::uint8_t> empty = drawAt104(scratch.path);

    writeFile(scratch.path / "own.vxs", ownScene(true));
    const ToolRun imported = runTool(QVTOOL_PATH, {"import", (scratch.path / "own.vxs").string(), "10",
                                                   "/usr/share/assimp/models/PLY/Wuson.ply",
                                                   (resources / "scene.vxs").string()});
    ASSERT_EQ(imported.status, 0) << imported.err;
    const std::vector<std::uint8_t> drawn = drawAt104(scratch.path);
    ASSERT_EQ(drawn.size(), empty.size());
    ASSERT_FALSE(drawn.empty());

    const std::string bytes = slurp(resources / "scene.vxs");
    SceneData data;
    ASSERT_FALSE(buildSceneData(data, bytes, "scene.vxs", kSceneTextureSide, TraceSink{}));
    const std::vector<bool> expected = rayCast(data);
    // Away from the outline (where a pixel's samples disagree), the picture and the cast agree.
    int inside = 0, wrong = 0;
    for (int y = 1; y + 1 < kHeight; ++y) {
        for (int x = 1; x + 1 < kWidth; ++x) {
            const int i = y * kWidth + x;
            bool edge = false;
            for (int j : {i - 1, i + 1, i - kWidth, i + kWidth}) edge = edge || expected[j] != expected[i];
            int change = 0;
            for (int c = 0; c < 3; ++c) change += std::abs(drawn[3 * i + c] - empty[3 * i + c]);
            inside += expected[i];
            wrong += !edge && (change > 3) != expected[i];
            if (!edge && (change > 3) != expected[i]) std::printf("DBG %d %d exp %d change %d\n", x, y, int(expected[i]), change);
        }
    }
    EXPECT_GT(inside, kWidth * kHeight / 20) << "the model fills a good part of the picture";
    EXPECT_LT(wrong, inside / 100) << "of " << inside << " covered pixels";
}

}  // namespace
