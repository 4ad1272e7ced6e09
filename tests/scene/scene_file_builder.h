// Encodes scene files for the loader tests byte by byte, straight from the file layout: every
// field is stored at the offset the layout gives it, little-endian. It shares no code with the
// product's scene-file writer, so a layout mistake made in both would still show; one test checks
// that the writer produces the same bytes.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace scene_test {

using Bytes = std::vector<char>;

// One face: three vertex indices and the word whose bits 16 to 31 are its surface index.
struct TestFace {
    std::uint32_t index0 = 0, index1 = 0, index2 = 0, word = 0;
};

// A mesh record's contents; the counts F, V and T are the sizes of faces, positions and
// transforms. extras, surface0 and surface1 are written as they stand (V, F and F entries in a
// well-formed file).
struct TestMesh {
    std::vector<TestFace> faces;
    std::vector<std::array<float, 3>> positions;
    std::vector<float> extras;
    std::vector<std::array<float, 4>> surface0;
    std::vector<std::array<float, 4>> surface1;
    std::vector<std::array<float, 16>> transforms;
};

// The word at offset `at` of `bytes`, least significant byte first.
inline void storeU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<char>(value & 0xFFu);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xFFu);
    bytes[at + 2] = static_cast<char>((value >> 16) & 0xFFu);
    bytes[at + 3] = static_cast<char>((value >> 24) & 0xFFu);
}
inline void storeF32(Bytes& bytes, std::size_t at, float value) {
    storeU32(bytes, at, std::bit_cast<std::uint32_t>(value));
}
template <std::size_t N>
void storeF32s(Bytes& bytes, std::size_t at, const std::array<float, N>& values) {
    for (std::size_t i = 0; i < N; ++i) storeF32(bytes, at + 4 * i, values[i]);
}

// Grows `out` by `size` zero bytes and returns the offset of the first.
inline std::size_t appendRecord(Bytes& out, std::size_t size) {
    const std::size_t start = out.size();
    out.resize(start + size, 0);
    return start;
}

inline void putU32(Bytes& out, std::uint32_t value) { storeU32(out, appendRecord(out, 4), value); }
inline void putF32(Bytes& out, float value) { storeF32(out, appendRecord(out, 4), value); }

// Mesh record, offsets from its start: ignored word 0, F 4, faces 8 + 16f, V 8 + 16F, positions
// 12 + 16F + 12v, extras 12 + 16F + 12V + 4v, surface 0 12 + 16F + 16V + 16f, surface 1
// 12 + 32F + 16V + 16f, T 12 + 48F + 16V, transforms 16 + 48F + 16V + 64t. The leading word is
// one the loader must ignore; the tests fill it so that reading it as a count would fail.
inline void putMesh(Bytes& out, const TestMesh& mesh, std::uint32_t ignoredWord = 0xDEADBEEF) {
    const std::size_t F = mesh.faces.size(), V = mesh.positions.size(), T = mesh.transforms.size();
    // 16 + 48F + 16V + 64T in a well-formed record; the blocks are written as long as they are.
    const std::size_t size = 16 + 16 * F + 12 * V + 4 * mesh.extras.size() +
                             16 * (mesh.surface0.size() + mesh.surface1.size()) + 64 * T;
    const std::size_t r = appendRecord(out, size);
    storeU32(out, r + 0, ignoredWord);
    storeU32(out, r + 4, static_cast<std::uint32_t>(F));
    for (std::size_t f = 0; f < F; ++f) {
        const TestFace& face = mesh.faces[f];
        storeU32(out, r + 8 + 16 * f, face.index0);
        storeU32(out, r + 12 + 16 * f, face.index1);
        storeU32(out, r + 16 + 16 * f, face.index2);
        storeU32(out, r + 20 + 16 * f, face.word);
    }
    storeU32(out, r + 8 + 16 * F, static_cast<std::uint32_t>(V));
    for (std::size_t v = 0; v < V; ++v) storeF32s(out, r + 12 + 16 * F + 12 * v, mesh.positions[v]);
    const std::size_t extras = r + 12 + 16 * F + 12 * V;
    for (std::size_t v = 0; v < mesh.extras.size(); ++v) storeF32(out, extras + 4 * v, mesh.extras[v]);
    const std::size_t surface0 = extras + 4 * mesh.extras.size();
    for (std::size_t f = 0; f < mesh.surface0.size(); ++f) storeF32s(out, surface0 + 16 * f, mesh.surface0[f]);
    const std::size_t surface1 = surface0 + 16 * mesh.surface0.size();
    for (std::size_t f = 0; f < mesh.surface1.size(); ++f) storeF32s(out, surface1 + 16 * f, mesh.surface1[f]);
    const std::size_t transformCount = surface1 + 16 * mesh.surface1.size();
    storeU32(out, transformCount, static_cast<std::uint32_t>(T));
    for (std::size_t t = 0; t < T; ++t) storeF32s(out, transformCount + 4 + 64 * t, mesh.transforms[t]);
}

// frameCount frame records of 16 floats each, counting up from frameBase.
inline std::vector<std::array<float, 16>> countingFrames(std::uint32_t frameCount, float frameBase) {
    std::vector<std::array<float, 16>> frames(frameCount);
    for (std::uint32_t n = 0; n < frameCount * 16; ++n) frames[n / 16][n % 16] = frameBase + static_cast<float>(n);
    return frames;
}

// A camera record: fov 0, param1 4, param2 8, position 12, direction 24, up 36, K 48, then K
// 64-byte frames from 52 (position, direction, up, fov, 24 ignored bytes). `pose` lists fov,
// param1, param2, position, direction, up; the frames' floats count up from frameBase.
inline void putCamera(Bytes& out, std::array<float, 12> pose, std::uint32_t frameCount = 0, float frameBase = 0) {
    const std::size_t r = appendRecord(out, 52 + 64 * std::size_t{frameCount});
    storeF32(out, r + 0, pose[0]);
    storeF32(out, r + 4, pose[1]);
    storeF32(out, r + 8, pose[2]);
    storeF32s(out, r + 12, std::array<float, 3>{pose[3], pose[4], pose[5]});
    storeF32s(out, r + 24, std::array<float, 3>{pose[6], pose[7], pose[8]});
    storeF32s(out, r + 36, std::array<float, 3>{pose[9], pose[10], pose[11]});
    storeU32(out, r + 48, frameCount);
    const auto frames = countingFrames(frameCount, frameBase);
    for (std::size_t k = 0; k < frames.size(); ++k) storeF32s(out, r + 52 + 64 * k, frames[k]);
}

// A light record: param0 0, param1 4, param2 8, range 12, intensity 16, param5 20, colour 24,
// position 40, direction 52, up 64, K 76, then K 64-byte frames from 80 (position, direction, up,
// param0, range, intensity, colour). `record` lists the values in that order up to up; the
// frames' floats count up from frameBase.
inline void putLight(Bytes& out, std::array<float, 19> record, std::uint32_t frameCount = 0, float frameBase = 0) {
    const std::size_t r = appendRecord(out, 80 + 64 * std::size_t{frameCount});
    for (std::size_t i = 0; i < 6; ++i) storeF32(out, r + 4 * i, record[i]);
    storeF32s(out, r + 24, std::array<float, 4>{record[6], record[7], record[8], record[9]});
    storeF32s(out, r + 40, std::array<float, 3>{record[10], record[11], record[12]});
    storeF32s(out, r + 52, std::array<float, 3>{record[13], record[14], record[15]});
    storeF32s(out, r + 64, std::array<float, 3>{record[16], record[17], record[18]});
    storeU32(out, r + 76, frameCount);
    const auto frames = countingFrames(frameCount, frameBase);
    for (std::size_t k = 0; k < frames.size(); ++k) storeF32s(out, r + 80 + 64 * k, frames[k]);
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
