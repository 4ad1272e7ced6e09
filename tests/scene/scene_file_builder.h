// Writes scene files for the tests through the scene-file writer, with shorthands for records
// whose values only need to be told apart.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "content/scene_file_writer.h"

namespace scene_test {

using Bytes = content::SceneFileBytes;
using TestFace = content::FaceRecord;
using TestMesh = content::MeshRecord;
using content::putF32;
using content::putU32;

// Mesh records start with a word the loader ignores; the tests fill it so that reading it fails.
inline void putMesh(Bytes& out, const TestMesh& mesh) { content::putMesh(out, mesh, 0xDEADBEEF); }

// frameCount frames of 16 values each, counting up from frameBase.
inline std::vector<std::array<float, 16>> countingFrames(std::uint32_t frameCount, float frameBase) {
    std::vector<std::array<float, 16>> frames(frameCount);
    for (std::uint32_t n = 0; n < frameCount * 16; ++n) frames[n / 16][n % 16] = frameBase + static_cast<float>(n);
    return frames;
}

// A camera: fov, param1, param2, position, direction, up, then frameCount frames whose floats
// count up from frameBase.
inline void putCamera(Bytes& out, std::array<float, 12> pose, std::uint32_t frameCount = 0, float frameBase = 0) {
    Camera camera;
    camera.fov = pose[0];
    camera.param1 = pose[1];
    camera.param2 = pose[2];
    camera.position = {pose[3], pose[4], pose[5]};
    camera.direction = {pose[6], pose[7], pose[8]};
    camera.up = {pose[9], pose[10], pose[11]};
    for (const auto& values : countingFrames(frameCount, frameBase)) {
        camera.frames.push_back(std::bit_cast<CameraFrame>(values));
    }
    content::putCamera(out, camera);
}

// A light: param0, param1, param2, range, intensity, param5, color (4), position, direction, up,
// then frameCount frames whose floats count up from frameBase.
inline void putLight(Bytes& out, std::array<float, 19> record, std::uint32_t frameCount = 0, float frameBase = 0) {
    Light light;
    light.param0 = record[0];
    light.param1 = record[1];
    light.param2 = record[2];
    light.range = record[3];
    light.intensity = record[4];
    light.param5 = record[5];
    light.color = {record[6], record[7], record[8], record[9]};
    light.position = {record[10], record[11], record[12]};
    light.direction = {record[13], record[14], record[15]};
    light.up = {record[16], record[17], record[18]};
    for (const auto& values : countingFrames(frameCount, frameBase)) {
        light.frames.push_back(std::bit_cast<LightFrame>(values));
    }
    content::putLight(out, light);
}

// A whole file of meshes followed by no cameras and no lights.
inline Bytes meshesOnlyFile(const std::vector<TestMesh>& meshes) {
    Bytes out;
    putU32(out, static_cast<std::uint32_t>(meshes.size()));
    for (const TestMesh& mesh : meshes) putMesh(out, mesh);
    putU32(out, 0);
    putU32(out, 0);
    return out;
}

// A mesh of faceCount separate triangles, face n tagged with surface index n (so every face keeps
// its own surface records) and laid out by the caller's corner function.
template <typename Corner>
TestMesh separateTriangles(std::uint32_t faceCount, Corner corner) {
    TestMesh mesh;
    for (std::uint32_t n = 0; n < faceCount; ++n) {
        mesh.faces.push_back({3 * n, 3 * n + 1, 3 * n + 2, n << 16});
        for (int c = 0; c < 3; ++c) mesh.positions.push_back(corner(n, c));
        mesh.surface0.push_back({static_cast<float>(n), 0.5f, 0.25f, 1.0f});
        mesh.surface1.push_back({-static_cast<float>(n), 2.0f, 4.0f, 8.0f});
    }
    mesh.extras.assign(mesh.positions.size(), 0.0f);
    return mesh;
}

}  // namespace scene_test
