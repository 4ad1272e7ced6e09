#include <gtest/gtest.h>

#include <vector>

#include "scene/bvh.h"
#include "scene/bvh_stats.h"
#include "scene/scene_pack.h"

namespace {

// count separate small triangles side by side along x, or all on the same spot.
MeshBuildRecord triangleRow(std::uint32_t count, bool stacked) {
    MeshBuildRecord record;
    for (std::uint32_t n = 0; n < count; ++n) {
        const float x = stacked ? 0.0f : 2.0f * static_cast<float>(n);
        record.faces.push_back({3 * n, 3 * n + 1, 3 * n + 2, n << 16});
        record.positions.push_back({x, 0, 0});
        record.positions.push_back({x + 1, 0, 0});
        record.positions.push_back({x, 1, 0});
    }
    return record;
}

// A root over 30 faces split at face 10 into two leaves.
std::vector<BvhNode> rootWithLeavesOf10And20() {
    std::vector<BvhNode> nodes(3);
    nodes[0].child = 1;
    nodes[0].split = 10;
    return nodes;
}

TEST(BvhStatsTest, CountsLeavesTheirSizesAndTheDepth) {
    const BvhStats stats = bvhStats(rootWithLeavesOf10And20(), 30);
    EXPECT_EQ(stats.faces, 30u);
    EXPECT_EQ(stats.nodes, 3u);
    EXPECT_EQ(stats.leaves, 2u);
    EXPECT_EQ(stats.largestLeaf, 20u);
    EXPECT_NEAR(stats.faceWeightedLeafFaces, (10.0 * 10 + 20.0 * 20) / 30, 1e-9);
    EXPECT_EQ(stats.depth, 1u);
}

TEST(BvhStatsTest, ALeafAtTheLimitOrAboveIsForcedByNoSplitOrByTheDepthBudget) {
    const BvhStats roomy = bvhStats(rootWithLeavesOf10And20(), 30, 32, 16);
    EXPECT_EQ(roomy.leavesWithoutSplit, 1u);
    EXPECT_EQ(roomy.leavesAtDepthLimit, 0u);
    const BvhStats spent = bvhStats(rootWithLeavesOf10And20(), 30, 1, 16);
    EXPECT_EQ(spent.leavesWithoutSplit, 0u);
    EXPECT_EQ(spent.leavesAtDepthLimit, 1u);
    const BvhStats small = bvhStats(rootWithLeavesOf10And20(), 30, 32, 21);
    EXPECT_EQ(small.leavesWithoutSplit + small.leavesAtDepthLimit, 0u);
}

TEST(BvhStatsTest, BuiltHierarchiesShowWhetherTheBuilderFoundSplits) {
    MeshBuildRecord stacked = triangleRow(16, true);
    buildMeshBvh(stacked);
    const BvhStats same = bvhStats(stacked.nodes, 16);
    EXPECT_EQ(same.leaves, 1u);
    EXPECT_EQ(same.largestLeaf, 16u);
    EXPECT_EQ(same.leavesWithoutSplit, 1u);

    MeshBuildRecord row = triangleRow(100, false);
    buildMeshBvh(row);
    const BvhStats spread = bvhStats(row.nodes, 100);
    EXPECT_EQ(spread.nodes, row.nodes.size());
    EXPECT_EQ(spread.leaves, (row.nodes.size() + 1) / 2);
    EXPECT_LT(spread.largestLeaf, 16u);
    EXPECT_EQ(spread.leavesWithoutSplit + spread.leavesAtDepthLimit, 0u);
    EXPECT_GT(spread.depth, 2u);
}

TEST(BvhStatsTest, AChildThatDoesNotFollowItsParentEndsTheBranch) {
    std::vector<BvhNode> nodes = rootWithLeavesOf10And20();
    nodes[1].child = 0;
    nodes[2].child = 1;  // points back: a damaged hierarchy, read as a leaf
    nodes[2].split = 15;
    const BvhStats stats = bvhStats(nodes, 30);
    EXPECT_EQ(stats.leaves, 2u);
}

TEST(BvhStatsTest, PackedNodesReadBackAsBuilt) {
    MeshBuildRecord row = triangleRow(60, false);
    buildMeshBvh(row);
    std::vector<float> texels(4 * 4096, 0.0f);
    const PackedMesh packed = packMesh(row, texels, 8);
    Mesh mesh;
    mesh.bvh_offset = packed.bvh_offset;
    mesh.face_count = 60;
    const std::vector<BvhNode> nodes = unpackBvhNodes(texels, mesh);
    ASSERT_EQ(nodes.size(), row.nodes.size());
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        EXPECT_EQ(nodes[n].child, row.nodes[n].child) << n;
        EXPECT_EQ(nodes[n].split, row.nodes[n].split) << n;
        EXPECT_EQ(nodes[n].min, row.nodes[n].min) << n;
        EXPECT_EQ(nodes[n].max, row.nodes[n].max) << n;
    }
}

}  // namespace
