// The trace tree's block for small meshes, where every texel can be checked by hand.
#include <gtest/gtest.h>

#include "content/trace_tree.h"

namespace {

using namespace content;

// Two faces fit one leaf: the root is that leaf, no pair is needed, and the directory names it.
TEST(TraceTreeTest, TwoFacesMakeOneLeafAfterTheMeshsVertices) {
    const std::vector<FaceRecord> faces = {{0, 1, 2, 0}, {0, 2, 3, 1u << 16}};
    const std::vector<std::array<float, 3>> positions = {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}};
    std::vector<TraceTreeTexel> block;
    ASSERT_FALSE(buildTraceTree(faces, positions, block));
    ASSERT_EQ(block.size(), 2u * 3u + 1u);  // no pairs, two face entries, the directory
    EXPECT_EQ(block.back(), (TraceTreeTexel{4, 4, 0, 2}));  // the root: no pair, a leaf of entries 0 and 1
    for (int e = 0; e < 2; ++e) {
        const auto position = static_cast<std::size_t>(block[3 * e][3]);
        ASSERT_LT(position, 2u);
        const FaceRecord& face = faces[position];  // two faces in one leaf keep their order
        const std::array<float, 3>& corner = positions[face.index0];
        EXPECT_EQ(block[3 * e], (TraceTreeTexel{corner[0], corner[1], corner[2], static_cast<float>(position)}));
        const std::array<float, 3>& far = positions[face.index2];
        EXPECT_EQ(block[2 + 3 * e], (TraceTreeTexel{far[0] - corner[0], far[1] - corner[1], far[2] - corner[2], 0}));
    }
}

// Four faces would fit one leaf, but two squares far apart are cheaper to walk as two leaves
// under a pair: a ray through either square then tests two faces, not four.
TEST(TraceTreeTest, FacesFarApartAreSplitEvenWhenTheyFitOneLeaf) {
    const std::vector<FaceRecord> faces = {{0, 1, 2, 0}, {0, 2, 3, 1u << 16}, {4, 5, 6, 2u << 16}, {4, 6, 7, 3u << 16}};
    const std::vector<std::array<float, 3>> positions = {{0, 0, 0},  {1, 0, 0},  {1, 1, 0},  {0, 1, 0},
                                                         {10, 0, 0}, {11, 0, 0}, {11, 1, 0}, {10, 1, 0}};
    std::vector<TraceTreeTexel> block;
    ASSERT_FALSE(buildTraceTree(faces, positions, block));
    ASSERT_EQ(block.size(), 3u + 4u * 3u + 1u);  // one pair, four face entries, the directory
    EXPECT_EQ(block.back(), (TraceTreeTexel{8, 11, 1, 0}));  // the root is pair 1
    EXPECT_EQ(block[2], (TraceTreeTexel{0, 0 * 16 + 2, 0, 2 * 16 + 2}));  // two leaves of two entries
}

TEST(TraceTreeTest, MeshesItCannotHoldAreRefusedWithNoBlock) {
    const std::vector<std::array<float, 3>> triangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const std::vector<std::pair<std::vector<FaceRecord>, std::string>> cases = {
        {{{0, 1, 5, 0}}, "vertex"},
        // The scene program keeps a waiting node in 20 bits: a leaf word past the last face would not fit.
        {std::vector<FaceRecord>(kTraceTreeFaceLimit, FaceRecord{0, 1, 2, 0}), "faces"},
        // Faces in one place cost the same however they are split, so each split takes one off:
        // a chain deeper than the walk's stack, which would leave holes.
        {std::vector<FaceRecord>(4 * kTraceTreeDepthLimit + 8, FaceRecord{0, 1, 2, 0}), "deeper"},
    };
    for (const auto& [faces, expected] : cases) {
        std::vector<TraceTreeTexel> block = {{1, 2, 3, 4}};
        const auto failure = buildTraceTree(faces, triangle, block);
        ASSERT_TRUE(failure) << expected;
        EXPECT_NE(failure->find(expected), std::string::npos) << *failure;
        EXPECT_TRUE(block.empty());
    }
}

}  // namespace
