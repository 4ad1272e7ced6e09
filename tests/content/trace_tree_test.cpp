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
// under a pair: a ray through either square then tests two faces, not four. With a third square
// the root is a pair; the pairs lie last first, pair 1 just before the face entries.
TEST(TraceTreeTest, FacesFarApartAreSplitEvenWhenTheyFitOneLeaf) {
    std::vector<FaceRecord> faces;
    std::vector<std::array<float, 3>> positions;
    for (std::uint32_t square = 0; square < 3; ++square) {
        const float x = 10.0f * static_cast<float>(square);
        const std::uint32_t v = 4 * square;
        positions.insert(positions.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x + 1, 1, 0}, {x, 1, 0}});
        faces.push_back({v, v + 1, v + 2, (2 * square) << 16});
        faces.push_back({v, v + 2, v + 3, (2 * square + 1) << 16});
    }
    std::vector<TraceTreeTexel> block;
    ASSERT_FALSE(buildTraceTree(faces, positions, block));
    ASSERT_EQ(block.size(), 2u * 3u + 6u * 3u + 1u);  // two pairs, six face entries, the last texel
    EXPECT_EQ(block.back(), (TraceTreeTexel{12, 18, 1, 0}));  // the root is pair 1
    const TraceTreeTexel& rootWords = block[5];   // pair 1: texels 3 to 5, just before the entries
    const TraceTreeTexel& innerWords = block[2];  // pair 2: texels 0 to 2
    const bool innerFirst = rootWords[0] == 2;    // which of the root's children is pair 2
    ASSERT_EQ(rootWords[innerFirst ? 0 : 2], 2.0f);
    EXPECT_EQ(rootWords[innerFirst ? 3 : 1], 2.0f);  // the root's other child: one square, a leaf of two
    EXPECT_EQ(static_cast<int>(innerWords[1]) % 16, 2);  // pair 2 splits the other two squares
    EXPECT_EQ(static_cast<int>(innerWords[3]) % 16, 2);
}

// A mesh of up to four faces is one leaf, however far apart they lie: the program knows its root
// from the face count.
TEST(TraceTreeTest, AMeshOfFourFacesIsOneLeaf) {
    const std::vector<FaceRecord> faces = {{0, 1, 2, 0}, {0, 2, 3, 1u << 16}, {4, 5, 6, 2u << 16}, {4, 6, 7, 3u << 16}};
    const std::vector<std::array<float, 3>> positions = {{0, 0, 0},  {1, 0, 0},  {1, 1, 0},  {0, 1, 0},
                                                         {10, 0, 0}, {11, 0, 0}, {11, 1, 0}, {10, 1, 0}};
    std::vector<TraceTreeTexel> block;
    ASSERT_FALSE(buildTraceTree(faces, positions, block));
    ASSERT_EQ(block.size(), 4u * 3u + 1u);
    EXPECT_EQ(block.back(), (TraceTreeTexel{8, 8, 0, 4}));
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
