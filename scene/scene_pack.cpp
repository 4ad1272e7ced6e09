#include "scene/scene_pack.h"

#include <cstring>

namespace {

void setTexel(std::span<float> texels, std::size_t texel, float r, float g, float b, float a) {
    float* out = texels.data() + texel * 4;
    out[0] = r;
    out[1] = g;
    out[2] = b;
    out[3] = a;
}

std::uint64_t roundUpToEight(std::uint64_t floats) { return (floats + 7) & ~std::uint64_t{7}; }

std::size_t surfaceIndex(const Face& face) { return face.surfaceWord >> 16; }

}  // namespace

std::uint64_t meshBlockFloats(std::uint64_t vertices, std::uint64_t faces, std::uint64_t nodes) {
    return roundUpToEight(4 * vertices + 4 * faces) + 8 * nodes + 8 * faces;
}

PackedMesh packMesh(const MeshBuildRecord& record, std::span<float> texels, std::size_t offset) {
    PackedMesh packed;
    packed.vertex_offset = static_cast<std::int32_t>(offset / 4);
    for (std::size_t n = 0; n < record.positions.size(); ++n) {
        const Position& p = record.positions[n];
        setTexel(texels, packed.vertex_offset + n, p[0], p[1], p[2], 0.0f);
    }

    const std::size_t faceStart = offset + 4 * record.positions.size();
    packed.face_offset = static_cast<std::int32_t>(faceStart / 4);
    for (std::size_t n = 0; n < record.faces.size(); ++n) {
        const Face& f = record.faces[n];
        setTexel(texels, packed.face_offset + n, static_cast<float>(f.index0), static_cast<float>(f.index1),
                 static_cast<float>(f.index2), 0.0f);
    }

    const std::size_t nodeStart = (faceStart + 4 * record.faces.size() + 7) & ~std::size_t{7};
    packed.bvh_offset = static_cast<std::int32_t>(nodeStart / 4);
    for (std::size_t n = 0; n < record.nodes.size(); ++n) {
        const BvhNode& node = record.nodes[n];
        const std::size_t texel = packed.bvh_offset + 2 * n;
        setTexel(texels, texel, node.min[0], node.min[1], node.min[2], static_cast<float>(node.child));
        setTexel(texels, texel + 1, node.max[0], node.max[1], node.max[2], static_cast<float>(node.split));
    }

    packed.mesh_size = static_cast<std::int32_t>(8 * record.nodes.size() + nodeStart - offset);
    return packed;
}

void writeVertexExtras(std::span<float> texels, const PackedMesh& packed, const unsigned char* extras,
                       std::size_t vertexCount) {
    for (std::size_t n = 0; n < vertexCount; ++n) {
        std::memcpy(&texels[(packed.vertex_offset + n) * 4 + 3], extras + 4 * n, 4);
    }
}

PackedSurfaces writeSurfaceBlocks(std::span<float> texels, const MeshBuildRecord& record,
                                  const PackedMesh& packed, std::size_t offset,
                                  const unsigned char* surface0, const unsigned char* surface1) {
    const std::size_t faceCount = record.faces.size();
    const std::size_t surfaceStart = offset + static_cast<std::size_t>(packed.mesh_size);
    PackedSurfaces surfaces;
    surfaces.surface0_offset = static_cast<std::int32_t>(surfaceStart / 4);
    surfaces.surface1_offset = static_cast<std::int32_t>((surfaceStart + 4 * faceCount) / 4);
    for (std::size_t n = 0; n < faceCount; ++n) {
        const std::size_t k = surfaceIndex(record.faces[n]);
        std::memcpy(&texels[(surfaces.surface0_offset + n) * 4], surface0 + 16 * k, 16);
        std::memcpy(&texels[(surfaces.surface1_offset + n) * 4], surface1 + 16 * k, 16);
    }
    surfaces.nextOffset = surfaceStart + 8 * faceCount;
    return surfaces;
}
