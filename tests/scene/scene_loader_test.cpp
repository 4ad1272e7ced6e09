#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "scene/scene_loader.h"
#include "tests/scene/scene_file_builder.h"

namespace {

using namespace scene_test;
using Texel = std::array<float, 4>;

struct Loaded {
    std::optional<std::string> error;
    SceneData data;
    std::vector<std::string> trace;
};

Loaded load(const Bytes& file, int side = 8) {
    Loaded result;
    result.error = buildSceneData(result.data, file, "test.vxs", side,
                                  [&](std::string_view line) { result.trace.emplace_back(line); });
    return result;
}

// Compares the whole texel array bit for bit with one that is zero except for the given texels.
void expectTexels(const std::vector<float>& texels, const std::map<std::size_t, Texel>& nonZero) {
    std::vector<float> expected(texels.size(), 0.0f);
    for (const auto& [index, texel] : nonZero) std::memcpy(&expected[index * 4], texel.data(), 16);
    for (std::size_t t = 0; t < texels.size() / 4; ++t) {
        if (std::memcmp(&texels[t * 4], &expected[t * 4], 16) != 0) {
            ADD_FAILURE() << "texel " << t << " is (" << texels[t * 4] << ", " << texels[t * 4 + 1] << ", "
                          << texels[t * 4 + 2] << ", " << texels[t * 4 + 3] << "), expected (" << expected[t * 4]
                          << ", " << expected[t * 4 + 1] << ", " << expected[t * 4 + 2] << ", "
                          << expected[t * 4 + 3] << ")";
            return;
        }
    }
}

TestMesh oneFace(std::vector<std::array<float, 3>> positions, std::vector<float> extras) {
    TestMesh mesh;
    mesh.faces = {{0, 1, 2, 0}};
    mesh.positions = std::move(positions);
    mesh.extras = std::move(extras);
    mesh.surface0 = {{0.5f, 1.5f, 2.5f, 3.5f}};
    mesh.surface1 = {{-1.0f, -2.0f, -3.0f, -4.0f}};
    return mesh;
}

TEST(PackSceneTest, ThreeVerticesAndOneFaceFillEightTexels) {
    const Loaded loaded = load(meshesOnlyFile({oneFace({{1, 2, 3}, {4, 5, 6}, {7, 8, 9.5f}}, {10, 11, 12})}));
    ASSERT_FALSE(loaded.error) << *loaded.error;
    expectTexels(loaded.data.texels, {{0, {1, 2, 3, 10}},
                                      {1, {4, 5, 6, 11}},
                                      {2, {7, 8, 9.5f, 12}},
                                      {3, {0, 1, 2, 0}},
                                      {4, {1, 2, 3, 0}},  // root: min, child 0
                                      {5, {7, 8, 9.5f, 0}},  // max, split 0
                                      {6, {0.5f, 1.5f, 2.5f, 3.5f}},
                                      {7, {-1, -2, -3, -4}}});
    const Mesh& mesh = loaded.data.meshes.at(0);
    EXPECT_EQ(mesh.vertex_offset, 0);
    EXPECT_EQ(mesh.face_offset, 3);
    EXPECT_EQ(mesh.bvh_offset, 4);
    EXPECT_EQ(mesh.face_count, 1);
    EXPECT_EQ(mesh.surface0_offset, 6);
    EXPECT_EQ(mesh.surface1_offset, 7);
    EXPECT_EQ(loaded.data.texelsUsed, 8u);
    EXPECT_EQ(loaded.trace.at(0), "Mesh 0: vertex_offset=0, face_offset=3, bvh_offset=4, mesh_size=24\n");
}

TEST(PackSceneTest, OddBlocksArePaddedAndMeshesFollowEachOther) {
    TestMesh four = oneFace({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}}, {1, 2, 3, 4});
    TestMesh noFaces;  // F = 0: no faces, nodes or surface records
    noFaces.positions = {{9, 9, 9}};
    noFaces.extras = {-9};
    TestMesh last;
    last.positions = {{-1, -1, -1}};
    last.extras = {0.25f};
    const Loaded loaded = load(meshesOnlyFile({four, noFaces, last}));
    ASSERT_FALSE(loaded.error) << *loaded.error;
    expectTexels(loaded.data.texels, {{0, {0, 0, 0, 1}},
                                      {1, {1, 0, 0, 2}},
                                      {2, {0, 1, 0, 3}},
                                      {3, {5, 5, 5, 4}},
                                      {4, {0, 1, 2, 0}},
                                      // texel 5 pads V + F = 5
                                      {6, {0, 0, 0, 0}},
                                      {7, {1, 1, 0, 0}},
                                      {8, {0.5f, 1.5f, 2.5f, 3.5f}},
                                      {9, {-1, -2, -3, -4}},
                                      {10, {9, 9, 9, -9}},
                                      {12, {-1, -1, -1, 0.25f}}});
    const auto& meshes = loaded.data.meshes;
    ASSERT_EQ(meshes.size(), 3u);
    EXPECT_EQ(meshes[0].face_offset, 4);
    EXPECT_EQ(meshes[0].bvh_offset, 6);
    EXPECT_EQ(meshes[0].surface1_offset, 9);
    EXPECT_EQ(meshes[1].vertex_offset, meshes[0].surface1_offset + meshes[0].face_count);
    EXPECT_EQ(meshes[1].face_offset, 11);
    EXPECT_EQ(meshes[1].bvh_offset, 12);  // first even texel after the vertices
    EXPECT_EQ(meshes[1].surface0_offset, 12);
    EXPECT_EQ(meshes[1].surface1_offset, 12);
    EXPECT_EQ(meshes[1].face_count, 0);
    EXPECT_EQ(meshes[2].vertex_offset, 12);
    EXPECT_EQ(loaded.data.texelsUsed, 14u);
}

TEST(PackSceneTest, SurfaceRecordsFollowTheirFaceThroughTheReorder) {
    // The row of sixteen triangles that the hierarchy splits on y; face n asks for surface record
    // 15 - n and carries noise in the ignored low bits of its word.
    TestMesh mesh = separateTriangles(16, [](std::uint32_t k, int c) {
        const float y = 2.0f * k;
        const std::array<float, 3> corners[3] = {{0, y, 0}, {0, y + 1, 0}, {0, y, 1}};
        return corners[c];
    });
    for (std::uint32_t n = 0; n < 16; ++n) mesh.faces[n].word = ((15 - n) << 16) | 0xBEEF;
    const Loaded loaded = load(meshesOnlyFile({mesh}), 16);
    ASSERT_FALSE(loaded.error) << *loaded.error;
    const Mesh& packed = loaded.data.meshes.at(0);
    const auto texel = [&](std::size_t index) {
        Texel t;
        std::memcpy(t.data(), &loaded.data.texels[index * 4], 16);
        return t;
    };
    bool reordered = false;
    for (std::uint32_t p = 0; p < 16; ++p) {
        const std::uint32_t face = static_cast<std::uint32_t>(texel(packed.face_offset + p)[0]) / 3;
        reordered = reordered || face != p;
        EXPECT_EQ(texel(packed.surface0_offset + p), (Texel{static_cast<float>(15 - face), 0.5f, 0.25f, 1.0f}));
        EXPECT_EQ(texel(packed.surface1_offset + p), (Texel{-static_cast<float>(15 - face), 2, 4, 8}));
    }
    EXPECT_TRUE(reordered);
    // Three nodes: root at 56/57 (48 vertices, 16 faces), children after.
    EXPECT_EQ(packed.bvh_offset, 64);
    EXPECT_EQ(texel(64), (Texel{0, 0, 0, 1}));
    EXPECT_EQ(texel(65), (Texel{0, 31, 1, 8}));
    EXPECT_EQ(packed.surface0_offset, 70);
}

TEST(LoadSceneDataTest, RecordsKeepEveryFieldInTheirPlace) {
    // Poses and transforms go through the trace test; here the fields the trace does not show.
    TestMesh still;  // T = 0 keeps the identity
    TestMesh moving;
    moving.transforms = {{}, {}};
    for (int n = 0; n < 16; ++n) moving.transforms[1][n] = static_cast<float>(n);
    Bytes file;
    putU32(file, 2);
    putMesh(file, still);
    putMesh(file, moving);
    putU32(file, 2);
    putCamera(file, {45, 7, 8});
    putCamera(file, {}, 2, 1000);
    putU32(file, 1);
    putLight(file, {1, 2, 3, 4, 5, 6, 0.1f, 0.2f, 0.3f, 0.4f}, 1, 500);
    file.insert(file.end(), {'e', 'x', 't', 'r', 'a'});  // ignored

    const Loaded loaded = load(file);
    ASSERT_FALSE(loaded.error) << *loaded.error;
    const SceneData& data = loaded.data;
    EXPECT_EQ(data.meshes.at(0).transform, kIdentityMatrix);
    EXPECT_EQ(data.meshes.at(1).transform, Matrix4{});  // the first transform, all zeros
    EXPECT_EQ(data.meshes[1].transforms, moving.transforms);

    ASSERT_EQ(data.cameras.size(), 2u);
    EXPECT_EQ(data.cameras[0].param1, 7);
    EXPECT_EQ(data.cameras[0].param2, 8);
    ASSERT_EQ(data.cameras[1].frames.size(), 2u);
    const CameraFrame& frame = data.cameras[1].frames[1];  // floats 1016 to 1031
    EXPECT_EQ(frame.position, (std::array<float, 3>{1016, 1017, 1018}));
    EXPECT_EQ(frame.fov, 1025);
    EXPECT_EQ(std::bit_cast<float>(frame.unused[5]), 1031);

    const Light& light = data.lights.at(0);
    EXPECT_EQ((std::array<float, 6>{light.param0, light.param1, light.param2, light.range, light.intensity,
                                    light.param5}),
              (std::array<float, 6>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(light.color, (std::array<float, 4>{0.1f, 0.2f, 0.3f, 0.4f}));
    ASSERT_EQ(light.frames.size(), 1u);
    const LightFrame& lit = light.frames[0];  // floats 500 to 515
    EXPECT_EQ((std::array<float, 4>{lit.up[2], lit.param0, lit.range, lit.intensity}),
              (std::array<float, 4>{508, 509, 510, 511}));
    EXPECT_EQ(lit.color, (std::array<float, 4>{512, 513, 514, 515}));
}

TEST(LoadSceneDataTest, WithoutMeshesTheCameraCountFollowsTheMeshCount) {
    Bytes file;
    putU32(file, 0);
    putU32(file, 1);
    putCamera(file, {30, 0, 0, 4, 5, 6, 0, 0, 1, 0, 1, 0});
    putU32(file, 0);
    const Loaded loaded = load(file);
    ASSERT_FALSE(loaded.error) << *loaded.error;
    EXPECT_TRUE(loaded.data.meshes.empty());
    ASSERT_EQ(loaded.data.cameras.size(), 1u);
    EXPECT_EQ(loaded.data.cameras[0].position, (std::array<float, 3>{4, 5, 6}));
    expectTexels(loaded.data.texels, {});
}

TEST(LoadSceneDataTest, TraceLinesDescribeTheLoadedScene) {
    TestMesh mesh = oneFace({{1, 2, 3}, {4, 5, 6}, {7, 8, 9.5f}}, {0, 0, 0});
    mesh.transforms = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5f, -2.25f, 3.125f, 1}};
    Bytes file;
    putU32(file, 1);
    putMesh(file, mesh);
    putU32(file, 1);
    putCamera(file, {60, 0, 0, 1, 2, 3, 0, 0, -1, 0, 1, 0}, 3);
    putU32(file, 1);
    putLight(file, {0, 0, 0, 12.5f, 1, 0, 1, 1, 1, 1, 10, 11, 12, 0, -1, 0, 1, 0, 0});
    const Loaded loaded = load(file, 1024);
    ASSERT_FALSE(loaded.error) << *loaded.error;
    const std::vector<std::string> expected = {
        "Mesh 0: vertex_offset=0, face_offset=3, bvh_offset=4, mesh_size=24\n",
        "Mesh 0: vertices=3, faces=1, bvh=1\n",
        "Transform matrix:\n",
        "  [1.0000, 0.0000, 0.0000, 0.0000]\n",
        "  [0.0000, 1.0000, 0.0000, 0.0000]\n",
        "  [0.0000, 0.0000, 1.0000, 0.0000]\n",
        "  [0.5000, -2.2500, 3.1250, 1.0000]\n",
        "Camera 0: frames 3 position=(1.0000, 2.0000, 3.0000), direction=(0.0000, 0.0000, -1.0000), "
        "up=(0.0000, 1.0000, 0.0000), fov=60.00\n",
        "Light 0: position=(10.0000, 11.0000, 12.0000), direction=(0.0000, -1.0000, 0.0000), "
        "up=(1.0000, 0.0000, 0.0000), range=12.50\n",
        "Texture 1024 Total texels used: 8 / 1048576  0.000763% used\n",
        "Trace trees: 3 texels from texel 8\n",
    };
    EXPECT_EQ(loaded.trace, expected);
}

}  // namespace
