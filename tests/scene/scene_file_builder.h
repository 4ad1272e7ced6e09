// Writes scene files for the tests, field by field in the file's little-endian layout.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace scene_test {

using Bytes = std::vector<char>;

inline void putU32(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

inline void putF32(Bytes& out, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    putU32(out, bits);
}

inline void putF32s(Bytes& out, std::initializer_list<float> values) {
    for (float value : values) putF32(out, value);
}

struct TestFace {
    std::uint32_t index0, index1, index2, word;
};

struct TestMesh {
    std::vector<TestFace> faces;
    std::vector<std::array<float, 3>> positions;
    std::vector<float> extras;                      // one per position
    std::vector<std::array<float, 4>> surface0;     // one per face
    std::vector<std::array<float, 4>> surface1;     // one per face
    std::vector<std::array<float, 16>> transforms;
};

inline void putMesh(Bytes& out, const TestMesh& mesh) {
    putU32(out, 0xDEADBEEF);
    putU32(out, static_cast<std::uint32_t>(mesh.faces.size()));
    for (const TestFace& f : mesh.faces) {
        putU32(out, f.index0);
        putU32(out, f.index1);
        putU32(out, f.index2);
        putU32(out, f.word);
    }
    putU32(out, static_cast<std::uint32_t>(mesh.positions.size()));
    for (const auto& p : mesh.positions) putF32s(out, {p[0], p[1], p[2]});
    for (float e : mesh.extras) putF32(out, e);
    for (const auto& s : mesh.surface0) putF32s(out, {s[0], s[1], s[2], s[3]});
    for (const auto& s : mesh.surface1) putF32s(out, {s[0], s[1], s[2], s[3]});
    putU32(out, static_cast<std::uint32_t>(mesh.transforms.size()));
    for (const auto& m : mesh.transforms) {
        for (float v : m) putF32(out, v);
    }
}

// A camera: fov, param1, param2, position, direction, up, then frameCount frames whose floats
// count up from frameBase.
inline void putCamera(Bytes& out, std::array<float, 12> pose, std::uint32_t frameCount = 0, float frameBase = 0) {
    for (float v : pose) putF32(out, v);
    putU32(out, frameCount);
    for (std::uint32_t n = 0; n < frameCount * 16; ++n) putF32(out, frameBase + static_cast<float>(n));
}

// A light: param0, param1, param2, range, intensity, param5, color (4), position, direction, up,
// then frameCount frames whose floats count up from frameBase.
inline void putLight(Bytes& out, std::array<float, 19> record, std::uint32_t frameCount = 0, float frameBase = 0) {
    for (float v : record) putF32(out, v);
    putU32(out, frameCount);
    for (std::uint32_t n = 0; n < frameCount * 16; ++n) putF32(out, frameBase + static_cast<float>(n));
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
