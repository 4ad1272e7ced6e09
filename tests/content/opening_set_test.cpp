// The opening's sky dome and slabs: faces the generator will not split again, no cracks between
// the dome's bands, and faces turned the way they are seen.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>

#include "content/opening_set.h"

namespace content {
namespace {

constexpr Vec3 kCentre{-60, 0, 0};

Vec3 faceNormal(const MeshBuilder& mesh, const Triangle& t) {
    const Vec3 a = mesh.positions[t[0]], b = mesh.positions[t[1]], c = mesh.positions[t[2]];
    return cross(b - a, c - a);
}

Vec3 faceMiddle(const MeshBuilder& mesh, const Triangle& t) {
    return (mesh.positions[t[0]] + mesh.positions[t[1]] + mesh.positions[t[2]]) * (1.0f / 3.0f);
}

float longestEdge(const MeshBuilder& mesh) {
    float longest = 0.0f;
    for (const Triangle& t : mesh.triangles) {
        for (int i = 0; i < 3; ++i) {
            const Vec3 edge = mesh.positions[t[(i + 1) % 3]] - mesh.positions[t[i]];
            longest = std::max(longest, std::sqrt(dot(edge, edge)));
        }
    }
    return longest;
}

float elevationDegrees(Vec3 p) {
    const Vec3 d = p - kCentre;
    return std::atan2(d.y, std::sqrt(d.x * d.x + d.z * d.z)) * 180.0f / kPi;
}

float compassDegrees(Vec3 p) {
    const Vec3 d = p - kCentre;
    return std::atan2(-d.z, d.x) * 180.0f / kPi;
}

TEST(OpeningSetTest, SkyDomeBandsMeetWithoutCracksAndFaceInwards) {
    const std::array<SkyBand, 3> bands = {{{20.0f, {3, 2, 1}}, {45.0f, {1, 0.5f, 0.2f}}, {80.0f, {0.1f, 0, 0}}}};
    MeshBuilder mesh;
    addSkyDome(mesh, kCentre, 20.0f, 10.0f, 120.0f, bands);
    ASSERT_FALSE(mesh.triangles.empty());
    EXPECT_LE(longestEdge(mesh), kLongestEdge) << "longer edges would be split again by the generator";

    // Vertices are shared within a band and repeated on the joins: compare by place.
    const auto key = [&](std::uint32_t v) {
        const Vec3 p = mesh.positions[v];
        return std::array<long, 3>{std::lround(p.x * 1000), std::lround(p.y * 1000), std::lround(p.z * 1000)};
    };
    std::map<std::pair<std::array<long, 3>, std::array<long, 3>>, int> uses;
    for (std::size_t f = 0; f < mesh.triangles.size(); ++f) {
        const Triangle& t = mesh.triangles[f];
        const Vec3 middle = faceMiddle(mesh, t);
        EXPECT_GT(dot(faceNormal(mesh, t), kCentre - middle), 0.0f) << "face " << f << " faces away from the centre";
        const float elevation = elevationDegrees(middle);
        const float expectedRed = elevation < 20.0f ? 3.0f : elevation < 45.0f ? 1.0f : 0.1f;
        EXPECT_EQ(mesh.materials[f].record1[0], expectedRed) << "face " << f << " at " << elevation << " degrees";
        for (int i = 0; i < 3; ++i) {
            auto a = key(t[i]), b = key(t[(i + 1) % 3]);
            if (b < a) std::swap(a, b);
            ++uses[{a, b}];
        }
    }
    // An edge with one face must lie on the dome's outline; inside, every edge joins two faces.
    const auto onOutline = [](Vec3 p) {
        const float elevation = elevationDegrees(p), compass = compassDegrees(p);
        return std::abs(elevation) < 0.01f || std::abs(elevation - 80.0f) < 0.01f || std::abs(compass - 10.0f) < 0.01f ||
               std::abs(compass - 120.0f) < 0.01f;
    };
    int cracks = 0;
    for (const auto& [edge, count] : uses) {
        EXPECT_LE(count, 2);
        const Vec3 a{edge.first[0] / 1000.0f, edge.first[1] / 1000.0f, edge.first[2] / 1000.0f};
        const Vec3 b{edge.second[0] / 1000.0f, edge.second[1] / 1000.0f, edge.second[2] / 1000.0f};
        if (count == 1 && !(onOutline(a) && onOutline(b))) ++cracks;
    }
    EXPECT_EQ(cracks, 0) << "edges inside the dome with a face on one side only";
}

// The slab is closed and every face turns outwards (its signed volume is the frustum's), and it
// narrows upwards: its top corners lie within the top's half diagonal of its axis.
TEST(OpeningSetTest, TaperedSlabIsAClosedFrustumNarrowingUpwards) {
    MeshBuilder mesh;
    addTaperedSlab(mesh, kCentre, {0.6f, 0.0f, 0.3f}, 3.0f, 0.5f, surface(0.1f, 0.1f, 0.1f, 1.0f), 30.0f);
    const float foot = 1.2f * 0.6f, top = 0.6f * 0.3f;
    EXPECT_NEAR(signedVolume(Shape{mesh.positions, mesh.triangles}), 3.0f / 3.0f * (foot + top + std::sqrt(foot * top)),
                1e-3f);
    for (const Vec3& p : mesh.positions) {
        const Vec3 across{p.x - kCentre.x, 0.0f, p.z - kCentre.z};
        if (p.y > 3.0f - 1e-4f) {
            EXPECT_LE(std::sqrt(dot(across, across)), std::hypot(0.3f, 0.15f) + 1e-4f);
        }
    }
}

}  // namespace
}  // namespace content
