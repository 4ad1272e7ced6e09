#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
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

// The leaves of any hierarchy, however damaged, cover every face exactly once.
void expectLeavesPartitionTheFaces(std::span<const BvhNode> nodes, std::uint32_t faceCount) {
    std::vector<int> covered(faceCount, 0);
    for (const BvhLeaf& leaf : bvhLeaves(nodes, faceCount)) {
        ASSERT_LE(leaf.first, leaf.last);
        ASSERT_LT(leaf.last, faceCount);
        for (std::uint32_t f = leaf.first; f <= leaf.last; ++f) ++covered[f];
    }
    for (std::uint32_t f = 0; f < faceCount; ++f) ASSERT_EQ(covered[f], nodes.empty() ? 0 : 1) << "face " << f;
}

TEST(BvhStatsTest, ChildIndicesAtTheTopOfTheRangeEndTheBranch) {
    for (const std::uint32_t child : {0xFFFFFFFFu, 0xFFFFFFFEu, 3u, 2u}) {
        std::vector<BvhNode> nodes = rootWithLeavesOf10And20();
        nodes[0].child = child;  // the pair child, child + 1 is not in the array
        const std::vector<BvhLeaf> leaves = bvhLeaves(nodes, 30);
        ASSERT_EQ(leaves.size(), 1u) << child;
        EXPECT_EQ(leaves[0].last, 29u);
    }
}

TEST(BvhStatsTest, TexelsNoIndexCanHoldReadAsZero) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    const float hostile[] = {kNaN, kInfinity, -kInfinity, -1.0f, -3e38f, 4294967296.0f, 3e38f};
    Mesh mesh;
    mesh.face_count = 4;
    for (const float value : hostile) {
        std::vector<float> texels(64, 0.0f);
        texels[3] = value;  // the root's child
        texels[7] = value;  // the root's split
        const std::vector<BvhNode> nodes = unpackBvhNodes(texels, mesh);
        ASSERT_EQ(nodes.size(), 1u) << value;
        EXPECT_EQ(nodes[0].child, 0u) << value;
        EXPECT_EQ(nodes[0].split, 0u) << value;
    }
    std::vector<float> texels(64, 0.0f);
    texels[3] = 4294967040.0f;  // the largest float below 2^32 is still an index, just not one here
    texels[7] = 2.75f;          // fractions truncate, as the packer never writes them
    const std::vector<BvhNode> nodes = unpackBvhNodes(texels, mesh);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].child, 4294967040u);
    EXPECT_EQ(nodes[0].split, 2u);
}

TEST(BvhStatsTest, RandomTexelsReadBackAsAHierarchyWhoseLeavesCoverEveryFace) {
    // Small indices to make real splits likely, mixed with values no index can hold.
    const float pool[] = {0.0f, 1.0f, 2.0f, 3.0f, 5.0f, 9.0f, 15.0f, -1.0f, -0.5f, 0.5f,
                          std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(), 4294967296.0f, 4294967040.0f, 1e30f};
    std::mt19937 random(1234);
    for (int round = 0; round < 2000; ++round) {
        std::vector<float> texels(8 * (1 + random() % 24));
        for (float& value : texels) value = pool[random() % std::size(pool)];
        Mesh mesh;
        mesh.bvh_offset = static_cast<std::int32_t>(random() % 4);
        mesh.face_count = static_cast<std::int32_t>(1 + random() % 40);
        const std::vector<BvhNode> nodes = unpackBvhNodes(texels, mesh);
        ASSERT_LE(nodes.size(), texels.size() / 8 + 1) << "round " << round;
        const auto faces = static_cast<std::uint32_t>(mesh.face_count);
        expectLeavesPartitionTheFaces(nodes, faces);
        if (HasFatalFailure()) FAIL() << "round " << round;
        const BvhStats stats = bvhStats(nodes, faces);
        EXPECT_LE(stats.largestLeaf, faces);
        EXPECT_TRUE(std::isfinite(stats.faceWeightedLeafFaces));
    }
}

}  // namespace
