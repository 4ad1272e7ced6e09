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

// Walks a hierarchy over faceCount faces (node 0 the root, as buildMeshBvh leaves it). Empty
// stats for no nodes; a child index outside the nodes ends that branch.
BvhStats bvhStats(std::span<const BvhNode> nodes, std::uint32_t faceCount,
                  std::uint64_t depthBudget = kBvhDepthBudget, std::uint64_t leafLimit = kBvhLeafLimit);

// The nodes of a packed mesh, read back from the scene data texels (four floats per texel).
std::vector<BvhNode> unpackBvhNodes(std::span<const float> texels, const Mesh& mesh);
