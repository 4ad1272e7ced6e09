// Refining meshes for the hierarchy: grids of short edges that keep the surface, its winding and
// its materials, and rounds that end with no leaf the builder cannot split.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "content/mesh_builder.h"
#include "content/refine.h"
#include "content/scene_generator.h"
#include "content/shapes.h"
#include "scene/bvh.h"

namespace {

using namespace content;

float edgeLength(const MeshBuilder& mesh, std::uint32_t a, std::uint32_t b) {
    const Vec3 d = mesh.positions[a] - mesh.positions[b];
    return std::sqrt(dot(d, d));
}

float longestEdge(const MeshBuilder& mesh) {
    float longest = 0.0f;
    for (const Triangle& t : mesh.triangles) {
        for (int k = 0; k < 3; ++k) longest = std::max(longest, edgeLength(mesh, t[k], t[(k + 1) % 3]));
    }
    return longest;
}

// The sum of the faces' vector areas: its length is the area of a flat surface, its direction the
// side the faces look to; a closed surface sums to zero.
Vec3 vectorArea(const MeshBuilder& mesh) {
    Vec3 sum;
    for (const Triangle& t : mesh.triangles) {
        sum = sum + cross(mesh.positions[t[1]] - mesh.positions[t[0]], mesh.positions[t[2]] - mesh.positions[t[0]]) * 0.5f;
    }
    return sum;
}

// Each directed edge at most once and, when closed, its reverse too.
bool closed(const MeshBuilder& mesh) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
    for (const Triangle& t : mesh.triangles) {
        for (int k = 0; k < 3; ++k) ++edges[{t[k], t[(k + 1) % 3]}];
    }
    for (const auto& [edge, count] : edges) {
        if (count != 1 || edges.count({edge.second, edge.first}) != 1) return false;
    }
    return true;
}

constexpr Material kRed = {{1, 0, 0, 1}, {0, 0, 0, 0}};
constexpr Material kBlue = {{0, 0, 1, 1}, {0, 0, 0, 0.5f}};

TEST(RefineTest, LongEdgesAreHalvedWithoutOpeningTheSurfaceOrTurningItsFaces) {
    MeshBuilder mesh;
    addShape(mesh, makeBox(), place({0, 5, 0}, {0.2f, 5.0f, 3.0f}), kRed);  // a tall thin slab
    mesh.materials[3] = kBlue;
    const std::size_t before = mesh.triangles.size();
    ASSERT_TRUE(splitLongEdges(mesh, 0.5f));
    EXPECT_LE(longestEdge(mesh), 0.5f);
    EXPECT_GT(mesh.triangles.size(), 16 * before);
    EXPECT_TRUE(closed(mesh)) << "faces that shared an edge share its midpoint";
    EXPECT_NEAR(signedVolume(Shape{mesh.positions, mesh.triangles}), 0.4f * 10.0f * 6.0f, 0.01f);
    ASSERT_EQ(mesh.materials.size(), mesh.triangles.size());
    EXPECT_GT(std::count_if(mesh.materials.begin(), mesh.materials.end(),
                            [](const Material& m) { return m.record1[3] == 0.5f; }),
              1)
        << "the parts of a face keep its material";
    ASSERT_EQ(mesh.ambient.size(), mesh.positions.size());
}

TEST(RefineTest, ANewVertexTakesTheMeanAmbientOfItsEdge) {
    MeshBuilder mesh;
    mesh.positions = {{0, 0, 0}, {4, 0, 0}, {0, 0.5f, 0}};
    mesh.ambient = {0.2f, 1.0f, 0.6f};
    mesh.triangles = {{0, 1, 2}};
    mesh.materials = {kRed};
    ASSERT_TRUE(splitLongEdges(mesh, 1.0f));
    EXPECT_LE(longestEdge(mesh), 1.0f);
    for (std::size_t v = 3; v < mesh.positions.size(); ++v) {
        // Every new vertex lies on the triangle; its ambient is the plane through the corners'.
        const Vec3 p = mesh.positions[v];
        const float expected = 0.2f + 0.8f * p.x / 4.0f + 0.4f * p.y / 0.5f;
        EXPECT_NEAR(mesh.ambient[v], expected, 1e-5f) << v;
    }
    const Vec3 area = vectorArea(mesh);
    EXPECT_NEAR(area.z, 1.0f, 1e-5f) << "same area, same side";
}

TEST(RefineTest, GridQuadsKeepTheirAreaAndFaceTheAskedSide) {
    MeshBuilder mesh;
    addQuad(mesh, {{{0, 0, 0}, {0, 6, 0}, {0, 6, 24}, {0, 0, 24}}}, {1, 0, 0}, kRed);
    const auto pieces = [](float length) { return static_cast<std::size_t>(std::ceil(length / kLongestEdge)); };
    EXPECT_EQ(mesh.triangles.size(), 2 * pieces(6.0f) * pieces(24.0f));
    EXPECT_LE(longestEdge(mesh), kLongestEdge * std::sqrt(2.0f) + 1e-5f);
    const Vec3 area = vectorArea(mesh);
    EXPECT_NEAR(area.x, 6.0f * 24.0f, 1e-3f);
    EXPECT_NEAR(std::fabs(area.y) + std::fabs(area.z), 0.0f, 1e-3f);
}

TEST(RefineTest, ATiledFloorLaidInLongPiecesKeepsThemThroughTheGeneratorsRefining) {
    MeshBuilder mesh;
    addTiledFloor(mesh, {0, 0, 60}, 12.0f, 12.0f, 1.5f, kRed, kBlue, 6.0f);
    ASSERT_EQ(mesh.triangles.size(), 2u * 4u * 4u);
    ASSERT_FALSE(refineForHierarchy(mesh));
    EXPECT_EQ(mesh.triangles.size(), 2u * 4u * 4u) << "each face is a step of every ray that meets the floor";
    MeshBuilder fine;
    addTiledFloor(fine, {0, 0, 0}, 5.0f, 12.0f, 1.0f, kRed, kBlue);
    EXPECT_EQ(fine.longestEdge, kLongestEdge) << "a floor in the usual grid lets the rest of its mesh be split as before";
}

// A room of ten big faces around a floor of small tiles: the big faces overlap every split the
// builder tries, the old cause of leaves of hundreds of faces.
MeshBuilder roomAroundTiles() {
    MeshBuilder mesh;
    const auto quad = [&](Vec3 a, Vec3 b, Vec3 c, Vec3 d) {
        const auto base = static_cast<std::uint32_t>(mesh.positions.size());
        for (const Vec3& p : {a, b, c, d}) {
            mesh.positions.push_back(p);
            mesh.ambient.push_back(1.0f);
        }
        mesh.triangles.push_back({base, base + 1, base + 2});
        mesh.triangles.push_back({base, base + 2, base + 3});
        mesh.materials.insert(mesh.materials.end(), 2, kRed);
    };
    for (int i = 0; i < 10; ++i) {
        for (int j = 0; j < 24; ++j) {
            const float x = static_cast<float>(i) - 5.0f, z = static_cast<float>(j) - 12.0f;
            quad({x, 0, z}, {x, 0, z + 1}, {x + 1, 0, z + 1}, {x + 1, 0, z});
        }
    }
    quad({-5, 0, -12}, {-5, 6, -12}, {-5, 6, 12}, {-5, 0, 12});
    quad({5, 0, -12}, {5, 0, 12}, {5, 6, 12}, {5, 6, -12});
    quad({-5, 0, -12}, {5, 0, -12}, {5, 6, -12}, {-5, 6, -12});
    quad({-5, 0, 12}, {-5, 6, 12}, {5, 6, 12}, {5, 0, 12});
    quad({-5, 6, -12}, {5, 6, -12}, {5, 6, 12}, {-5, 6, 12});
    return mesh;
}

TEST(RefineTest, ShortEdgesAndAFewRoundsLeaveNoLeafUnsplit) {
    MeshBuilder mesh = roomAroundTiles();
    ASSERT_GE(facesInUnsplitLeaves(mesh).size(), 100u) << "the room as it stands cannot be split";
    const Vec3 area = vectorArea(mesh);
    ASSERT_TRUE(splitLongEdges(mesh, kLongestEdge));
    EXPECT_TRUE(splitUntilEveryLeafIsSmall(mesh, 8));
    EXPECT_TRUE(facesInUnsplitLeaves(mesh).empty());
    const Vec3 after = vectorArea(mesh);
    for (const auto& [was, is] : {std::pair{area.x, after.x}, std::pair{area.y, after.y}, std::pair{area.z, after.z}}) {
        EXPECT_NEAR(is, was, 0.1f);
    }
}

TEST(RefineTest, FacesOnTopOfEachOtherCannotBeSplitApart) {
    MeshBuilder mesh;
    for (int copy = 0; copy < 16; ++copy) {
        const auto base = static_cast<std::uint32_t>(mesh.positions.size());
        mesh.positions.insert(mesh.positions.end(), {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}});
        mesh.ambient.insert(mesh.ambient.end(), 3, 1.0f);
        mesh.triangles.push_back({base, base + 1, base + 2});
        mesh.materials.push_back(kRed);
    }
    EXPECT_EQ(facesInUnsplitLeaves(mesh).size(), 16u);
    EXPECT_FALSE(splitUntilEveryLeafIsSmall(mesh, 2)) << "the rounds give up and say so";
}

}  // namespace
