// A second, compact hierarchy for each mesh, made for the scene program's walk and carried in the
// scene file as extra vertices at the end of the mesh's vertex list (no face uses them).
//
// The loader's own hierarchy splits at the middle of each box and leaves about eleven faces in a
// leaf, and a face costs the program four texel reads (its corner indices, then its corners).
// This one chooses each split by the surface-area heuristic, keeps at most four faces in a leaf
// and stores each face as its first corner and two edges, three reads with no indirection; the
// two children of a node also fit in three texels, their boxes in 8-bit steps. The faces keep the
// positions the loader's hierarchy gives them, so a hit names the face whose surface records and
// corner normals the program reads as before.
//
// A node is named by two words: its pair p, the pair holding its two children (0 for a leaf), and
// its leaf word, first face entry * 16 + face entry count (0 for an inner node). The block, in
// texels of (x, y, z, w), counted from its first texel:
//   P pairs of three texels, the last first: pair p, children a and b, begins 3p texels before the
//     face entries (pair 1 holds the root's children):
//       (the pair's origin, its axis exponents e as e_x + 256 e_y + 65536 e_z),
//       (a's minimum, a's maximum, b's minimum, b's maximum),
//       (a's pair, a's leaf word, b's pair, b's leaf word);
//     a box corner is three whole steps q_x + 256 q_y + 65536 q_z from the origin, each 2^(e - 127)
//     long on its axis (e, 1 to 254, is a float's biased exponent), rounded outward so that the
//     box holds its node;
//   then F face entries of three texels: (corner 0, face position), (corner 1 - corner 0, 0),
//     (corner 2 - corner 0, 0), each leaf's entries together;
//   last texel: (offset of the pairs, offset of the face entries, the root's pair, the root's leaf
//     word), the offsets counted from the mesh's first vertex.
// The last texel of the block is the last vertex texel of the mesh, just before the mesh's face
// texels, so the face entries begin 3F + 1 texels before them. A mesh of up to four faces is one
// leaf, the root, and a larger one's root is pair 1: the program finds its way in from the face
// texel and the face count alone, without reading the last texel.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "content/scene_file_writer.h"

namespace content {

inline constexpr std::uint32_t kTraceTreeLeafFaces = 4;
// A leaf word is its first face entry shifted up by this many bits, above its entry count.
inline constexpr std::uint32_t kLeafWordCountBits = 4;
static_assert(kTraceTreeLeafFaces < (1u << kLeafWordCountBits));
// The scene program keeps a waiting node in 20 bits (a pair, or a leaf word of first face entry *
// 16 + count), so a mesh's tree holds fewer faces than this.
inline constexpr std::uint32_t kTraceTreeFaceLimit = 1u << 15;
// The scene program's walk keeps one waiting child per level on a stack of 40, so a tree is at
// most this many levels deep (the root's level is 1).
inline constexpr std::uint32_t kTraceTreeDepthLimit = 40;

using TraceTreeTexel = std::array<float, 4>;

// The block for a mesh's faces and positions, to be appended to its positions from vertex
// number firstVertex on (the mesh's vertex count before the block). Refused for a mesh of
// kTraceTreeFaceLimit faces or more, whose vertices are too many for the block's whole numbers to
// stay exact in a float, or whose tree is deeper than kTraceTreeDepthLimit.
std::optional<std::string> buildTraceTree(const std::vector<FaceRecord>& faces,
                                          const std::vector<std::array<float, 3>>& positions,
                                          std::vector<TraceTreeTexel>& block);

// Appends the block to the mesh record's positions and vertex extras.
std::optional<std::string> appendTraceTree(MeshRecord& mesh);

}  // namespace content
