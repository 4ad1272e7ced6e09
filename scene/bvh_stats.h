// Shape of one mesh's hierarchy: how many faces the ray tracer may have to test in a leaf, and
// whether the builder had to stop splitting somewhere.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "scene/bvh.h"
#include "scene/scene.h"

struct BvhStats {
    std::uint32_t faces = 0;
    std::uint32_t nodes = 0;
    std::uint32_t leaves = 0;
    std::uint32_t largestLeaf = 0;        // faces in the largest leaf
    double faceWeightedLeafFaces = 0.0;   // mean size of the leaf a face sits in
    std::uint32_t depth = 0;              // levels below the root (a lone root: 0)
    // Leaves of leafLimit faces or more exist only where the builder could not go on: no axis
    // separated their faces, or the depth budget was spent.
    std::uint32_t leavesWithoutSplit = 0;
    std::uint32_t leavesAtDepthLimit = 0;
};

// A leaf: the face positions first to last (inclusive) at its depth below the root.
struct BvhLeaf {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::uint32_t depth = 0;
};

// Every leaf of a hierarchy over faceCount faces (node 0 the root, as buildMeshBvh leaves it), in
// no particular order. None for no nodes; a child that does not follow its parent ends that branch.
std::vector<BvhLeaf> bvhLeaves(std::span<const BvhNode> nodes, std::uint32_t faceCount);

// The shape of a hierarchy over faceCount faces, read as bvhLeaves reads it.
BvhStats bvhStats(std::span<const BvhNode> nodes, std::uint32_t faceCount,
                  std::uint64_t depthBudget = kBvhDepthBudget, std::uint64_t leafLimit = kBvhLeafLimit);

// The nodes of a packed mesh, read back from the scene data texels (four floats per texel). Safe
// on any texel values: a child or split texel that no 32-bit index can hold reads as 0.
std::vector<BvhNode> unpackBvhNodes(std::span<const float> texels, const Mesh& mesh);
