// A second, compact hierarchy for each mesh, made for the scene program's walk and carried in the
// scene file as extra vertices at the end of the mesh's vertex list (no face uses them).
//
// The loader's own hierarchy splits at the middle of each box and leaves about eleven faces in a
// leaf, and a face costs the program four texel reads (its corner indices, then its corners).
// This one chooses each split by the surface-area heuristic, keeps at most four faces in a leaf
// and stores each face as its first corner and two edges, three reads with no indirection. The
// faces keep the positions the loader's hierarchy gives them, so a hit names the face whose
// surface records and corner normals the program reads as before.
//
// The block, in texels of (x, y, z, w), counted from its first texel:
//   texel 0 .. 2N-1: node n at texels 2n (box minimum, first child) and 2n + 1 (box maximum,
//                    leaf word); node 0 is the root; a first child of 0 marks a leaf, whose leaf
//                    word is first face entry * 16 + face entry count; an inner node's second
//                    child follows its first, and its leaf word is 0;
//   then F face entries of three texels: (corner 0, face position), (corner 1 - corner 0, 0),
//                    (corner 2 - corner 0, 0), each leaf's entries together;
//   last texel:      (offset of the nodes, offset of the face entries, the root's first child,
//                    the root's leaf word), the offsets counted from the mesh's first vertex.
// The last texel of the block is the last vertex texel of the mesh, so the program finds it just
// before the mesh's face texels.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "content/scene_file_writer.h"

namespace content {

inline constexpr std::uint32_t kTraceTreeLeafFaces = 4;
// The scene program keeps a waiting node in 20 bits (a first child, or a leaf word of first face
// entry * 16 + count), so a mesh's tree holds fewer faces than this.
inline constexpr std::uint32_t kTraceTreeFaceLimit = 1u << 15;

using TraceTreeTexel = std::array<float, 4>;

// The block for a mesh's faces and positions, to be appended to its positions from vertex
// number firstVertex on (the mesh's vertex count before the block). Refused for a mesh of
// kTraceTreeFaceLimit faces or more, or whose vertices are too many for the block's whole numbers
// to stay exact in a float.
std::optional<std::string> buildTraceTree(const std::vector<FaceRecord>& faces,
                                          const std::vector<std::array<float, 3>>& positions,
                                          std::vector<TraceTreeTexel>& block);

// Appends the block to the mesh record's positions and vertex extras.
std::optional<std::string> appendTraceTree(MeshRecord& mesh);

}  // namespace content
