// Lays one mesh into the scene data texel array (four floats per texel).
//
// A mesh block starts on an even texel and holds, in order: the vertices (x, y, z, extra), the
// faces (three vertex indices as floats, 0), one zero texel when vertices + faces is odd, two
// texels per BVH node ((min, child), (max, split)), then the faces' surface records 0 and then 1,
// each in the order of the face texels. Every index stored is local to the mesh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "scene/bvh.h"

// Texel indices of the sub-blocks that packMesh writes, and the floats they use (vertices,
// faces, padding and nodes).
struct PackedMesh {
    std::int32_t vertex_offset = 0;
    std::int32_t face_offset = 0;
    std::int32_t bvh_offset = 0;
    std::int32_t mesh_size = 0;
};

// Texel indices of the surface blocks and the running offset after the mesh.
struct PackedSurfaces {
    std::int32_t surface0_offset = 0;
    std::int32_t surface1_offset = 0;
    std::size_t nextOffset = 0;  // in floats
};

// Floats a whole mesh block takes, surface blocks included. Exact for any counts below 2^32.
std::uint64_t meshBlockFloats(std::uint64_t vertices, std::uint64_t faces, std::uint64_t nodes);

// Writes the vertex, face and node sub-blocks at offset (in floats, a multiple of 8). The caller
// makes sure that meshBlockFloats of the record fits in texels from offset on.
PackedMesh packMesh(const MeshBuildRecord& record, std::span<float> texels, std::size_t offset);

// Puts one extra value per vertex (little-endian float32, vertex order) into component 3 of the
// vertex texels.
void writeVertexExtras(std::span<float> texels, const PackedMesh& packed, const unsigned char* extras,
                       std::size_t vertexCount);

// Writes the two surface blocks after the nodes of a mesh packed at offset: the texel of face
// position n takes surface record k of each block, k being bits 16 to 31 of that face's word.
// surface0 and surface1 hold one 16-byte record per face (file order); every k must be below the
// face count.
PackedSurfaces writeSurfaceBlocks(std::span<float> texels, const MeshBuildRecord& record,
                                  const PackedMesh& packed, std::size_t offset,
                                  const unsigned char* surface0, const unsigned char* surface1);
