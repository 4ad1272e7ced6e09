// The trace tree: a second, compact hierarchy over each mesh's faces, made for the scene program's
// walk. The loader builds one per mesh from the faces and positions it read (after the mesh's own
// hierarchy has put the faces in order) and lays them all in the scene texture after the last
// mesh's block, so any file in the scene format draws.
//
// The mesh's own hierarchy splits at the middle of each box and leaves about eleven faces in a
// leaf, and a face costs the program four texel reads (its corner indices, then its corners). This
// one chooses each split by the surface-area heuristic, keeps at most four faces in a leaf and
// stores each face as its first corner and two edges, three reads with no indirection; the two
// children of a node also fit in three texels, their boxes in 8-bit steps. A face entry names the
// face's position in the mesh's own order, so a hit finds its surface records and corner normals.
//
// A node is named by one word: a pair p > 0 (the pair holding its two children), or for a leaf
// -(its first face entry + 1); the leaf's entries run up to the first one marked last. A tree of
// P pairs and F face entries is a block of 3P + 3F texels of (x, y, z, w):
//   the pairs, the last first: pair p begins 3p texels before the face entries, and holds
//     (the pair's origin, its axis exponents e as e_x + 256 e_y + 65536 e_z),
//     (a's minimum, a's maximum, b's minimum, b's maximum),
//     (a's pair, a's leaf word, b's pair, b's leaf word) with a leaf word of first entry + 1;
//     a box corner is three whole steps q_x + 256 q_y + 65536 q_z from the origin, each 2^(e - 127)
//     long on its axis (e, 1 to 254, is a float's biased exponent), rounded outward so that the
//     box holds its node;
//   then the F face entries, each leaf's together: (corner 0, face position),
//     (corner 1 - corner 0, 1 for the leaf's last entry else 0), (corner 2 - corner 0, 0).
// Positions that are infinite or not numbers never reach a box as such: boxes ignore NaN and are
// held within the largest finite float, so every stored number is finite but a face's own corners.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "scene/bvh.h"

inline constexpr std::uint32_t kTraceTreeLeafFaces = 4;
// The scene program's walk keeps one waiting child per level on a stack of 40, so no tree is deeper
// than this (the root's level is 1); the builder splits at the middle where a cheaper split would
// go deeper.
inline constexpr std::uint32_t kTraceTreeDepthLimit = 40;
// The walk keeps a waiting node word in 20 bits, -2^19 up to 2^19 - 1: a tree holds at most this
// many faces, more than a mesh block can hold in the scene texture (three texels a face at least).
inline constexpr std::uint32_t kTraceTreeFaceLimit = 1u << 19;
// Steps of the program's walk that no walk of a tree reaches: each pair opened once, each face
// tested once, each waiting child dropped once, and the last step; fewer than 2 pairs + 1 a face.
inline constexpr std::uint32_t kTraceTreeStepLimit = 3 * kTraceTreeFaceLimit;

using TraceTreeTexel = std::array<float, 4>;

struct TraceTree {
    std::vector<TraceTreeTexel> texels;  // the block: pairs, then face entries
    std::uint32_t pairCount = 0;         // the face entries start at texel 3 * pairCount
    std::int32_t root = 0;               // the root's node word; 0 for a mesh without faces
    std::uint32_t depth = 0;             // levels, the root's included; 0 without faces
};

// The tree over record's faces in their order (the mesh's hierarchy built), at most
// kTraceTreeFaceLimit of them; every face index must be below record.positions.size().
TraceTree buildTraceTree(const MeshBuildRecord& record);
