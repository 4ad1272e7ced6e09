// Writes scene files record by record, in the file's little-endian layout: a count, then that
// many records, for meshes, cameras and lights in turn. The generator and the tests' file
// builder both write through it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "scene/scene.h"

namespace content {

using SceneFileBytes = std::vector<char>;

void putU32(SceneFileBytes& out, std::uint32_t value);
void putF32(SceneFileBytes& out, float value);

// One face: three vertex indices and the word whose bits 16 to 31 are its surface index.
struct FaceRecord {
    std::uint32_t index0, index1, index2, word;
};

// A mesh record as the file holds it.
struct MeshRecord {
    std::vector<FaceRecord> faces;
    std::vector<std::array<float, 3>> positions;
    std::vector<float> extras;                   // one per position
    std::vector<std::array<float, 4>> surface0;  // one per face
    std::vector<std::array<float, 4>> surface1;  // one per face
    std::vector<Matrix4> transforms;
};

// leadingWord is the mesh record's first word, which readers ignore.
void putMesh(SceneFileBytes& out, const MeshRecord& mesh, std::uint32_t leadingWord);

// The record's pose and parameters, then its frame count and frames.
void putCamera(SceneFileBytes& out, const Camera& camera);
void putLight(SceneFileBytes& out, const Light& light);

}  // namespace content
