#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <random>
#include <vector>

#include "scene/bvh.h"

namespace {

// A record of separate triangles; the fourth word of face n is n, so tests can follow faces.
template <typename Corner>
MeshBuildRecord triangles(std::uint32_t count, Corner corner) {
    MeshBuildRecord record;
    for (std::uint32_t n = 0; n < count; ++n) {
        record.faces.push_back({3 * n, 3 * n + 1, 3 * n + 2, n});
        for (int c = 0; c < 3; ++c) record.positions.push_back(corner(n, c));
    }
    return record;
}

std::vector<std::uint32_t> faceTags(const MeshBuildRecord& record, std::uint32_t first = 0,
                                    std::uint32_t last = UINT32_MAX) {
    std::vector<std::uint32_t> tags;
    for (std::uint32_t n = first; n < record.faces.size() && n <= last; ++n) tags.push_back(record.faces[n].surfaceWord);
    return tags;
}

// Sixteen triangles in the plane x = 0, triangle k spanning y 2k..2k+1 and z 0..1.
MeshBuildRecord rowAlongY() {
    return triangles(16, [](std::uint32_t k, int c) {
        const float y = 2.0f * k;
        const Position corners[3] = {{0, y, 0}, {0, y + 1, 0}, {0, y, 1}};
        return corners[c];
    });
}

TEST(BvhAxisOrderTest, TriesAxesByDecreasingExtentAndTheLaterAxisFirstOnTies) {
    using Order = std::array<int, 3>;
    EXPECT_EQ(bvhAxisOrder(2, 1, 3), (Order{2, 0, 1}));
    EXPECT_EQ(bvhAxisOrder(1, 3, 2), (Order{1, 2, 0}));
    EXPECT_EQ(bvhAxisOrder(2, 2, 1), (Order{1, 0, 2}));  // x and y tie: y first
    EXPECT_EQ(bvhAxisOrder(2, 1, 1), (Order{0, 2, 1}));
    EXPECT_EQ(bvhAxisOrder(2, 1, 2), (Order{2, 0, 1}));
    EXPECT_EQ(bvhAxisOrder(1, 1, 1), (Order{2, 1, 0}));
}

TEST(BuildBvhTest, FifteenFacesGiveOneLeafWithTheirBoundsAndKeepTheirOrder) {
    MeshBuildRecord record = triangles(15, [](std::uint32_t k, int c) {
        return Position{static_cast<float>(k) * (c == 1 ? 2.0f : 1.0f), -static_cast<float>(c), 0.5f};
    });
    buildMeshBvh(record);
    ASSERT_EQ(record.nodes.size(), 1u);
    const BvhNode& root = record.nodes[0];
    EXPECT_EQ(root.child, 0u);
    EXPECT_EQ(root.split, 0u);
    EXPECT_EQ(root.min, (Position{0.0f, -2.0f, 0.5f}));
    EXPECT_EQ(root.max, (Position{28.0f, 0.0f, 0.5f}));
    std::vector<std::uint32_t> expected(15);
    for (std::uint32_t n = 0; n < 15; ++n) expected[n] = n;
    EXPECT_EQ(faceTags(record), expected);
}

TEST(BuildBvhTest, RowInPlaneXZeroSplitsOnYWithTheTwoCursorOrder) {
    MeshBuildRecord record = rowAlongY();
    buildMeshBvh(record);
    ASSERT_EQ(record.nodes.size(), 3u);
    EXPECT_EQ(record.nodes[0].child, 1u);
    EXPECT_EQ(record.nodes[0].split, 8u);
    // Faces 0-7 lie below mid (y 15.5); the others are exchanged from the back one by one. A pass
    // over x before y would have reordered them differently.
    EXPECT_EQ(faceTags(record), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 8}));
    EXPECT_EQ(record.nodes[1].min, (Position{0, 0, 0}));
    EXPECT_EQ(record.nodes[1].max, (Position{0, 15, 1}));
    EXPECT_EQ(record.nodes[2].min, (Position{0, 16, 0}));
    EXPECT_EQ(record.nodes[2].max, (Position{0, 31, 1}));
    for (int n : {1, 2}) {
        EXPECT_EQ(record.nodes[n].child, 0u);
        EXPECT_EQ(record.nodes[n].split, 0u);
    }
}

TEST(BuildBvhTest, ExhaustedDepthBudgetMakesALeafAfterAllThreePasses) {
    MeshBuildRecord record = rowAlongY();
    const BvhNode node = buildBvh(record, 0, 15, 0, 16);
    EXPECT_EQ(node.child, 0u);
    EXPECT_EQ(node.split, 0u);
    EXPECT_TRUE(record.nodes.empty());
    // y leaves 0-7, 9-15, 8; z sends every face forward; x (mid 0, nothing below) exchanges every
    // examined face with the back, rotating the order by one.
    EXPECT_EQ(faceTags(record), (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 8, 0}));
}

TEST(BuildBvhTest, SixteenIdenticalTrianglesStayOneLeaf) {
    MeshBuildRecord record = triangles(16, [](std::uint32_t, int c) {
        const Position corners[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        return corners[c];
    });
    buildMeshBvh(record);
    ASSERT_EQ(record.nodes.size(), 1u);
    EXPECT_EQ(record.nodes[0].child, 0u);
    EXPECT_EQ(record.nodes[0].split, 0u);
}

TEST(BuildBvhTest, GroupsFarApartInZSplitOnZFirst) {
    // Faces 0-7 lie near z = 0 and 8-15 near z = 100, over the same y. Along x (extent 4) faces
    // 0-3 and 8-11 would separate from the rest, so a split on x would show in the order.
    MeshBuildRecord record = triangles(16, [](std::uint32_t k, int c) {
        const float z = k < 8 ? 0.0f : 100.0f;
        const float x = (k % 8) < 4 ? 0.0f : 3.0f;
        const float s = static_cast<float>(k % 4) * 0.25f;
        const Position corners[3] = {{x + s, 0, z}, {x + 1, s, z + 1}, {x, 2 - s, z}};
        return corners[c];
    });
    buildMeshBvh(record);
    ASSERT_EQ(record.nodes.size(), 3u);
    EXPECT_EQ(record.nodes[0].split, 8u);
    EXPECT_EQ(faceTags(record), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 8}));
    EXPECT_EQ(record.nodes[1].max[2], 1.0f);
    EXPECT_EQ(record.nodes[2].min[2], 100.0f);
}

TEST(BuildBvhTest, AFaceNeedsTwoVerticesStrictlyBelowMidForTheFirstRange) {
    // y spans 0 to 2, so mid is 1; x spans 0 to 0.1 and z is flat, so y is tried first.
    // Faces 0-7 alternate y (0, 0, 1) and (0, 0.5, 2): two vertices below mid, first range.
    // Faces 8-15 alternate (0, 1, 1) and (1, 1, 2): a vertex on mid is not below, second range.
    const float ys[4][3] = {{0, 0, 1}, {0, 0.5f, 2}, {0, 1, 1}, {1, 1, 2}};
    MeshBuildRecord record = triangles(16, [&](std::uint32_t k, int c) {
        return Position{c == 0 ? 0.1f : 0.0f, ys[(k < 8 ? 0 : 2) + k % 2][c], 0.0f};
    });
    buildMeshBvh(record);
    ASSERT_EQ(record.nodes.size(), 3u);
    EXPECT_EQ(record.nodes[0].split, 8u);
    EXPECT_EQ(faceTags(record, 0, 7), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(BuildBvhTest, BoundsMoveOnlyForStrictlySmallerOrGreaterCoordinates) {
    // Zeros of both signs compare equal, so the box keeps the sign of the first zero it saw.
    MeshBuildRecord record = triangles(1, [](std::uint32_t, int c) {
        const Position corners[3] = {{0.0f, -0.0f, 1}, {-0.0f, 0.0f, 1}, {-0.0f, 0.0f, 1}};
        return corners[c];
    });
    buildMeshBvh(record);
    EXPECT_FALSE(std::signbit(record.nodes[0].min[0]));
    EXPECT_FALSE(std::signbit(record.nodes[0].max[0]));
    EXPECT_TRUE(std::signbit(record.nodes[0].min[1]));
    EXPECT_TRUE(std::signbit(record.nodes[0].max[1]));
}

TEST(BuildBvhTest, MidIsRoundedToSinglePrecision) {
    // x spans 1 to the next float above it; their mean rounds to 1 in single precision, so no
    // vertex lies below mid and nothing separates the two halves.
    const float above = std::nextafter(1.0f, 2.0f);
    MeshBuildRecord record = triangles(16, [&](std::uint32_t k, int) { return Position{k < 8 ? 1.0f : above, 0, 0}; });
    buildMeshBvh(record);
    EXPECT_EQ(record.nodes.size(), 1u);
}

struct TreeStats {
    std::vector<int> leafOf;  // per face position: how many leaves cover it
    int maxDepth = 0;
    std::uint32_t facesInDeepestLeaf = 0;  // the largest leaf at maxDepth
};

// Walks the tree from node over faces start..end, checking each node against its faces.
void walk(const MeshBuildRecord& record, std::uint32_t index, std::uint32_t start, std::uint32_t end, int depth,
          TreeStats& stats) {
    const BvhNode& node = record.nodes[index];
    Position lo{FLT_MAX, FLT_MAX, FLT_MAX}, hi{-FLT_MAX, -FLT_MAX, -FLT_MAX};
    for (std::uint32_t n = start; n <= end; ++n) {
        for (std::uint32_t v : {record.faces[n].index0, record.faces[n].index1, record.faces[n].index2}) {
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], record.positions[v][a]);
                hi[a] = std::max(hi[a], record.positions[v][a]);
            }
        }
    }
    ASSERT_EQ(node.min, lo) << "node " << index;
    ASSERT_EQ(node.max, hi) << "node " << index;
    if (depth > stats.maxDepth) {
        stats.maxDepth = depth;
        stats.facesInDeepestLeaf = 0;
    }
    if (node.child == 0) {
        ASSERT_EQ(node.split, 0u);
        for (std::uint32_t n = start; n <= end; ++n) ++stats.leafOf[n];
        if (depth == stats.maxDepth) stats.facesInDeepestLeaf = std::max(stats.facesInDeepestLeaf, end - start + 1);
        return;
    }
    ASSERT_GT(node.child, index);
    ASSERT_LT(node.child + 1, record.nodes.size());
    ASSERT_GT(node.split, start) << "first child empty";
    ASSERT_LT(node.split, end) << "second child has fewer than two faces";
    walk(record, node.child, start, node.split - 1, depth + 1, stats);
    walk(record, node.child + 1, node.split, end, depth + 1, stats);
}

TreeStats checkTree(const MeshBuildRecord& record) {
    TreeStats stats;
    stats.leafOf.assign(record.faces.size(), 0);
    walk(record, 0, 0, static_cast<std::uint32_t>(record.faces.size() - 1), 0, stats);
    return stats;
}

TEST(BuildBvhTest, RandomMeshesKeepTheTreeInvariants) {
    std::mt19937 random(20240517);
    for (std::uint32_t faceCount : {1u, 2u, 16u, 17u, 100u, 1000u, 5000u}) {
        // Shared vertices, some duplicated coordinates, clustered and spread triangles.
        std::uniform_real_distribution<float> coordinate(-10.0f, 10.0f);
        MeshBuildRecord record;
        const std::uint32_t vertexCount = faceCount + 2;
        for (std::uint32_t v = 0; v < vertexCount; ++v) {
            const float x = coordinate(random);
            record.positions.push_back({x, v % 7 == 0 ? 1.0f : coordinate(random), std::round(coordinate(random))});
        }
        std::uniform_int_distribution<std::uint32_t> vertex(0, vertexCount - 1);
        for (std::uint32_t n = 0; n < faceCount; ++n) record.faces.push_back({vertex(random), vertex(random), vertex(random), n});
        buildMeshBvh(record);

        SCOPED_TRACE(faceCount);
        EXPECT_EQ(record.nodes.size() % 2, 1u);
        const TreeStats stats = checkTree(record);
        EXPECT_LE(stats.maxDepth, 32);
        EXPECT_TRUE(std::all_of(stats.leafOf.begin(), stats.leafOf.end(), [](int n) { return n == 1; }));
        std::vector<std::uint32_t> tags = faceTags(record);
        std::sort(tags.begin(), tags.end());
        for (std::uint32_t n = 0; n < faceCount; ++n) ASSERT_EQ(tags[n], n) << "faces lost or duplicated";
    }
}

TEST(BuildBvhTest, DepthStopsAtThirtyTwoLevelsBelowTheRoot) {
    // Triangle k lies at x 2^k..1.5 * 2^k, listed largest first: each split peels off the farthest
    // faces only, so without a budget the tree would be about as deep as there are faces.
    const std::uint32_t count = 100;
    MeshBuildRecord record = triangles(count, [](std::uint32_t k, int c) {
        const float x = std::ldexp(1.0f, static_cast<int>(count - 1 - k));
        const Position corners[3] = {{x, 0, 0}, {1.5f * x, 0, 0}, {x, 1, 0}};
        return corners[c];
    });
    buildMeshBvh(record);
    const TreeStats stats = checkTree(record);
    EXPECT_EQ(stats.maxDepth, 32);
    EXPECT_GT(stats.facesInDeepestLeaf, 16u);
}

}  // namespace
