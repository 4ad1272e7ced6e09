// The product's scene-file writer against the tests' own encoding of the file layout: the loader
// tests trust that encoding, and this keeps the writer to the same bytes.
#include <gtest/gtest.h>

#include <bit>

#include "content/scene_file_writer.h"
#include "tests/scene/scene_file_builder.h"

namespace {

using namespace scene_test;

content::MeshRecord toMeshRecord(const TestMesh& mesh) {
    content::MeshRecord record;
    for (const TestFace& face : mesh.faces) record.faces.push_back({face.index0, face.index1, face.index2, face.word});
    record.positions = mesh.positions;
    record.extras = mesh.extras;
    record.surface0 = mesh.surface0;
    record.surface1 = mesh.surface1;
    record.transforms = mesh.transforms;
    return record;
}

TEST(SceneFileWriterTest, WritesTheBytesOfTheFileLayout) {
    TestMesh mesh = separateTriangles(3, [](std::uint32_t n, int c) {
        return std::array<float, 3>{static_cast<float>(n), static_cast<float>(c), -1.5f};
    });
    for (std::size_t v = 0; v < mesh.extras.size(); ++v) mesh.extras[v] = 100.0f + static_cast<float>(v);
    mesh.transforms = countingFrames(2, 200);
    const std::array<float, 12> pose = {60, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    const std::array<float, 19> lightValues = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};

    Bytes expected;
    putU32(expected, 2);
    putMesh(expected, mesh, 0x01020304);
    putMesh(expected, TestMesh{}, 0);
    putU32(expected, 1);
    putCamera(expected, pose, 2, 400);
    putU32(expected, 1);
    putLight(expected, lightValues, 2, 600);

    Camera camera;
    camera.fov = pose[0];
    camera.param1 = pose[1];
    camera.param2 = pose[2];
    camera.position = {pose[3], pose[4], pose[5]};
    camera.direction = {pose[6], pose[7], pose[8]};
    camera.up = {pose[9], pose[10], pose[11]};
    for (const auto& values : countingFrames(2, 400)) camera.frames.push_back(std::bit_cast<CameraFrame>(values));
    Light light;
    light.param0 = lightValues[0];
    light.param1 = lightValues[1];
    light.param2 = lightValues[2];
    light.range = lightValues[3];
    light.intensity = lightValues[4];
    light.param5 = lightValues[5];
    light.color = {lightValues[6], lightValues[7], lightValues[8], lightValues[9]};
    light.position = {lightValues[10], lightValues[11], lightValues[12]};
    light.direction = {lightValues[13], lightValues[14], lightValues[15]};
    light.up = {lightValues[16], lightValues[17], lightValues[18]};
    for (const auto& values : countingFrames(2, 600)) light.frames.push_back(std::bit_cast<LightFrame>(values));

    content::SceneFileBytes written;
    content::putU32(written, 2);
    content::putMesh(written, toMeshRecord(mesh), 0x01020304);
    content::putMesh(written, {}, 0);
    content::putU32(written, 1);
    content::putCamera(written, camera);
    content::putU32(written, 1);
    content::putLight(written, light);

    ASSERT_EQ(written.size(), expected.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        ASSERT_EQ(written[i], expected[i]) << "first difference at byte " << i;
    }
}

}  // namespace
