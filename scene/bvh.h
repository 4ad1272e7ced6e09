// Bounding-volume hierarchy over one mesh's faces, split at the middle of each node's box.
//
// The builder reorders the faces in place so that every node covers a contiguous range of them.
// An interior node records its first child (the second follows it) and the position of the first
// face of the second child; a leaf records neither, its range follows from its ancestors' splits.
#pragma once

#include <array>
#include <cfloat>
#include <cstdint>
#include <vector>

// One triangle: three vertex indices into the mesh and a word whose bits 16 to 31 select the
// face's surface records. The builder moves the record as a whole.
struct Face {
    std::uint32_t index0 = 0;
    std::uint32_t index1 = 0;
    std::uint32_t index2 = 0;
    std::uint32_t surfaceWord = 0;
};
static_assert(sizeof(Face) == 16);

using Position = std::array<float, 3>;

// Default-constructed, a node is empty: an inverted box that any vertex widens, and a leaf.
struct BvhNode {
    Position min = {FLT_MAX, FLT_MAX, FLT_MAX};
    Position max = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
    std::uint32_t child = 0;  // index of the first child; 0 marks a leaf (the root is node 0)
    std::uint32_t split = 0;  // first face of the second child; 0 in a leaf
};
static_assert(sizeof(BvhNode) == 32);

// What the builder works on for one mesh. Every face index must be below positions.size().
struct MeshBuildRecord {
    std::vector<Face> faces;
    std::vector<Position> positions;
    std::vector<BvhNode> nodes;  // node 0 is the root
};

inline constexpr std::uint64_t kBvhDepthBudget = 32;
inline constexpr std::uint64_t kBvhLeafLimit = 16;

// The axes (0 = x, 1 = y, 2 = z) in the order a node tries them: by decreasing extent, and of two
// equal extents the later axis first (z before y before x).
std::array<int, 3> bvhAxisOrder(float ex, float ey, float ez);

// Builds the subtree over faces start to end (inclusive) and returns its root. Interior nodes
// append their two children to record.nodes; depthBudget bounds the levels below the returned
// node and ranges of fewer than leafLimit faces become leaves.
BvhNode buildBvh(MeshBuildRecord& record, std::uint32_t start, std::uint32_t end,
                 std::uint64_t depthBudget, std::uint64_t leafLimit);

// Builds the whole hierarchy of a mesh into record.nodes (left empty when there are no faces).
void buildMeshBvh(MeshBuildRecord& record);
