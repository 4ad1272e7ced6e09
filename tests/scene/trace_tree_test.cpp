// The trace trees as the scene program reads them: built by the loader from nothing but a file's
// faces and vertices, laid after the mesh blocks, and walked here from each mesh's tree values the
// way the program walks them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "scene/scene_loader.h"
#include "scene/trace_tree.h"
#include "tests/content/generated_scene.h"
#include "tests/scene/scene_file_builder.h"

namespace {

using namespace scene_test;
using Bounds = std::array<float, 6>;  // lowest corner, highest corner

MeshBuildRecord recordOf(std::vector<Face> faces, std::vector<Position> positions) {
    MeshBuildRecord record;
    record.faces = std::move(faces);
    record.positions = std::move(positions);
    return record;
}

// Two faces fit one leaf: the root is that leaf, of the first entry on, and no pair is needed.
TEST(TraceTreeTest, TwoFacesMakeOneLeafMarkedAtItsEnd) {
    const MeshBuildRecord record = recordOf({{0, 1, 2, 0}, {0, 2, 3, 1u << 16}}, {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}});
    const TraceTree tree = buildTraceTree(record);
    ASSERT_EQ(tree.texels.size(), 6u);
    EXPECT_EQ(tree.pairCount, 0u);
    EXPECT_EQ(tree.root, -1);
    for (std::size_t e = 0; e < 2; ++e) {
        const Face& face = record.faces[e];  // two faces in one leaf keep their order
        const Position& corner = record.positions[face.index0];
        const Position& far = record.positions[face.index2];
        EXPECT_EQ(tree.texels[3 * e], (TraceTreeTexel{corner[0], corner[1], corner[2], static_cast<float>(e)}));
        EXPECT_EQ(tree.texels[3 * e + 1][3], e == 1 ? 1.0f : 0.0f) << "only the leaf's last entry is marked";
        EXPECT_EQ(tree.texels[3 * e + 2], (TraceTreeTexel{far[0] - corner[0], far[1] - corner[1], far[2] - corner[2], 0}));
    }
}

// Four faces would fit one leaf, but two squares far apart are cheaper to walk as two leaves
// under a pair. With a third square the root is a pair; the pairs lie last first, pair 1 just
// before the face entries.
TEST(TraceTreeTest, FacesFarApartAreSplitEvenWhenTheyFitOneLeaf) {
    MeshBuildRecord record;
    for (std::uint32_t square = 0; square < 3; ++square) {
        const float x = 10.0f * static_cast<float>(square);
        const std::uint32_t v = 4 * square;
        record.positions.insert(record.positions.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x + 1, 1, 0}, {x, 1, 0}});
        record.faces.push_back({v, v + 1, v + 2, 0});
        record.faces.push_back({v, v + 2, v + 3, 0});
    }
    const TraceTree tree = buildTraceTree(record);
    ASSERT_EQ(tree.pairCount, 2u);
    EXPECT_EQ(tree.root, 1);
    const TraceTreeTexel& rootWords = tree.texels[5];   // pair 1: texels 3 to 5, just before the entries
    const bool innerFirst = rootWords[0] == 2;          // which of the root's children is pair 2
    ASSERT_EQ(rootWords[innerFirst ? 0 : 2], 2.0f);
    EXPECT_EQ(rootWords[innerFirst ? 1 : 3], 0.0f) << "a pair has no leaf word";
    EXPECT_EQ(rootWords[innerFirst ? 2 : 0], 0.0f) << "the other child is a leaf";
}

struct TreeWalk {
    std::vector<int> seen;       // per face position: how often a leaf holds it
    std::uint32_t depth = 0;     // the deepest leaf's level, the root's being 1
    std::uint32_t steps = 0;     // pairs opened and faces tested by a walk that opens everything
};

// Opens every node of mesh's tree in the scene texture, checking each stored value on the way:
// pairs inside the block, leaves of one to four entries ending in a marked one, each entry's
// corners those of the face it names, and inside every box above it (corners that are not finite
// excepted: they stand in no box).
TreeWalk walkTree(const std::vector<float>& texture, const Mesh& mesh) {
    const auto texel = [&texture](std::int64_t index) { return &texture.at(static_cast<std::size_t>(index) * 4); };
    TreeWalk walk;
    walk.seen.assign(static_cast<std::size_t>(mesh.face_count), 0);
    struct Open {
        std::int64_t node;
        Bounds within;
        std::uint32_t level;
    };
    constexpr float kHuge = std::numeric_limits<float>::infinity();
    std::vector<Open> open;
    if (mesh.tree_root != 0) open.push_back({mesh.tree_root, {-kHuge, -kHuge, -kHuge, kHuge, kHuge, kHuge}, 1});
    const std::int64_t entries = mesh.tree_offset;
    while (!open.empty() && !::testing::Test::HasFatalFailure()) {
        const Open node = open.back();
        open.pop_back();
        walk.depth = std::max(walk.depth, node.level);
        if (node.node > 0) {
            ++walk.steps;
            const float* frame = texel(entries - 3 * node.node);
            const auto exponents = static_cast<std::int64_t>(frame[3]);
            for (int child = 0; child < 2; ++child) {
                Bounds box = node.within;
                for (int a = 0; a < 3; ++a) {
                    const auto e = static_cast<int>((exponents >> (8 * a)) & 255);
                    EXPECT_TRUE(e >= 1 && e <= 254) << "pair " << node.node;
                    const float step = std::ldexp(1.0f, e - 127);
                    const auto lo = static_cast<std::int64_t>(frame[4 + 2 * child]) >> (8 * a) & 255;
                    const auto hi = static_cast<std::int64_t>(frame[5 + 2 * child]) >> (8 * a) & 255;
                    box[a] = std::max(box[a], frame[a] + static_cast<float>(lo) * step);
                    box[3 + a] = std::min(box[3 + a], frame[a] + static_cast<float>(hi) * step);
                }
                const auto pair = static_cast<std::int64_t>(frame[8 + 2 * child]);
                const auto leafWord = static_cast<std::int64_t>(frame[9 + 2 * child]);
                EXPECT_TRUE(pair > node.node || (pair == 0 && leafWord > 0)) << "pair " << node.node << " loops";
                open.push_back({pair != 0 ? pair : -leafWord, box, node.level + 1});
            }
            continue;
        }
        for (std::int64_t e = -node.node - 1, count = 1;; ++e, ++count) {
            ++walk.steps;
            EXPECT_LE(count, 4) << "a leaf of more than four faces";
            const float* corner = texel(entries + 3 * e);
            const auto position = static_cast<std::int64_t>(corner[3]);
            EXPECT_TRUE(position >= 0 && position < mesh.face_count);
            if (position < 0 || position >= mesh.face_count || count > 4) return walk;
            ++walk.seen[static_cast<std::size_t>(position)];
            const float* face = texel(mesh.face_offset + position);
            for (int k = 0; k < 3; ++k) {
                const float* vertex = texel(mesh.vertex_offset + static_cast<std::int64_t>(face[k]));
                const float* edge = texel(entries + 3 * e + k);
                for (int a = 0; a < 3; ++a) {
                    if (!std::isfinite(vertex[a]) || !std::isfinite(corner[a])) continue;
                    const float stored = k == 0 ? corner[a] : corner[a] + edge[a];
                    EXPECT_NEAR(stored, vertex[a], 1e-4f * (1.0f + std::fabs(vertex[a]))) << "face " << position;
                    EXPECT_TRUE(vertex[a] >= node.within[a] && vertex[a] <= node.within[3 + a])
                        << "face " << position << " lies outside a box above it";
                }
            }
            if (texel(entries + 3 * e + 1)[3] != 0.0f) break;
        }
    }
    return walk;
}

void expectEveryFaceOnceWithinTheLimits(const std::vector<float>& texture, const Mesh& mesh, std::size_t m) {
    SCOPED_TRACE("mesh " + std::to_string(m));
    const TreeWalk walk = walkTree(texture, mesh);
    EXPECT_EQ(std::count(walk.seen.begin(), walk.seen.end(), 1), mesh.face_count) << "a face is missing or repeated";
    EXPECT_LE(walk.depth, kTraceTreeDepthLimit);
    EXPECT_LE(walk.steps, kTraceTreeStepLimit) << "the step limit would cut a walk short";
}

TEST(TraceTreeTest, TheGeneratedScenesTreesHoldEveryFaceOnceInsideEveryBoxAboveIt) {
    GeneratedScene scene = generatedScene();
    ASSERT_FALSE(scene.error);
    const std::vector<float> texture = takeSceneTextureTexels(scene.data, kSceneTextureSide);
    for (std::size_t m = 0; m < scene.data.meshes.size(); ++m) {
        expectEveryFaceOnceWithinTheLimits(texture, scene.data.meshes[m], m);
    }
}

// What another program may write: more faces than a tree once held, all in one place (no split
// is cheaper than another, which once made a chain deeper than the walk's stack); corners that are
// infinite or not numbers among good faces; a mesh without faces; and blocks that fill the whole
// texture, so that the trees lie past its last row.
TEST(TraceTreeTest, AnyMeshTheFormatHoldsGetsAWalkableTree) {
    TestMesh crowd;
    crowd.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    crowd.faces.assign(40000, TestFace{0, 1, 2, 0});
    TestMesh damaged = separateTriangles(64, [](std::uint32_t k, int c) {
        constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
        constexpr float kInf = std::numeric_limits<float>::infinity();
        const float x = k % 8 == 3 ? kNaN : (k % 8 == 5 ? -kInf : static_cast<float>(k));
        return std::array<float, 3>{c == 1 ? x + 1 : x, c == 2 ? 1.0f : 0.0f, k % 8 == 6 ? kInf : 0.0f};
    });
    for (TestMesh* mesh : {&crowd, &damaged}) {
        mesh->extras.assign(mesh->positions.size(), 0.0f);
        mesh->surface0.assign(mesh->faces.size(), {});
        mesh->surface1.assign(mesh->faces.size(), {});
    }
    TestMesh empty;
    empty.positions = {{0, 0, 0}};
    empty.extras = {0};
    SceneData data;
    const Bytes file = meshesOnlyFile({crowd, damaged, empty});
    ASSERT_FALSE(buildSceneData(data, file, "test.vxs", 512, discardTraceLine));
    const std::vector<float> texture = takeSceneTextureTexels(data, 512);
    EXPECT_GT(texture.size() / 4, 512u * 512u) << "the trees reach past the blocks' rows";
    for (std::size_t m = 0; m < data.meshes.size(); ++m) expectEveryFaceOnceWithinTheLimits(texture, data.meshes[m], m);
    EXPECT_EQ(data.meshes[2].tree_root, 0) << "a mesh without faces has no tree";
    EXPECT_TRUE(std::all_of(data.trees.begin(), data.trees.end(), [](const TraceTreeTexel& t) {
        return std::isfinite(t[3]);  // words, marks and positions; only a face's own corners may not be finite
    }));
}

}  // namespace
