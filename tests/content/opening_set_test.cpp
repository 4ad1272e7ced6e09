// The opening's sky dome, ground and slabs: faces the generator will not split again, no cracks
// between the dome's bands, and faces turned the way they are seen.
#include <gtest/gtest.h>

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

TEST(OpeningSetTest, RoundGroundFacesUpAndCoversItsDisc) {
    MeshBuilder mesh;
    const Material sand = surface(0.8f, 0.6f, 0.5f, 1.0f);
    addRoundGround(mesh, kCentre, 10.0f, sand, 0.25f);
    EXPECT_LE(longestEdge(mesh), kLongestEdge);
    for (const Triangle& t : mesh.triangles) EXPECT_GT(faceNormal(mesh, t).y, 0.0f);
    for (const float ambient : mesh.ambient) EXPECT_EQ(ambient, 0.25f);

    // Points all over the disc, out to near its rim, each lie on some face.
    const auto covered = [&](float x, float z) {
        for (const Triangle& t : mesh.triangles) {
            bool inside = true;
            for (int i = 0; i < 3 && inside; ++i) {
                const Vec3 a = mesh.positions[t[i]], b = mesh.positions[t[(i + 1) % 3]];
                inside = (b.x - a.x) * (z - a.z) - (b.z - a.z) * (x - a.x) <= 1e-4f;
            }
            if (inside) return true;
        }
        return false;
    };
    for (const float radius : {0.0f, 3.0f, 6.5f, 9.3f}) {
        for (int i = 0; i < 12; ++i) {
            const Vec3 p = orbitPoint(kCentre, radius, 0.0f, 30.0f * static_cast<float>(i) + 7.0f);
            EXPECT_TRUE(covered(p.x, p.z)) << "no ground at radius " << radius << ", " << i * 30 + 7 << " degrees";
        }
    }
}

TEST(OpeningSetTest, TaperedSlabIsClosedNarrowerAtTheTopAndStandsOnItsBase) {
    MeshBuilder mesh;
    addTaperedSlab(mesh, kCentre, {0.6f, 0.0f, 0.3f}, 3.0f, 0.5f, surface(0.1f, 0.1f, 0.1f, 1.0f), 30.0f);
    Shape solid{mesh.positions, mesh.triangles};
    // A frustum of foot 1.2 x 0.6, top 0.6 x 0.3 and height 3.
    const float expected = 3.0f / 3.0f * (0.72f + 0.18f + std::sqrt(0.72f * 0.18f));
    EXPECT_NEAR(signedVolume(solid), expected, 1e-3f) << "closed, with every face turned outwards";
    float bottom = 1e9f, top = -1e9f, widestAtTop = 0.0f;
    for (const Vec3& p : mesh.positions) {
        bottom = std::min(bottom, p.y);
        top = std::max(top, p.y);
    }
    for (const Vec3& p : mesh.positions) {
        if (p.y > top - 1e-4f) widestAtTop = std::max(widestAtTop, std::sqrt(dot(p - kCentre - Vec3{0, p.y, 0}, p - kCentre - Vec3{0, p.y, 0})));
    }
    EXPECT_NEAR(bottom, 0.0f, 1e-5f);
    EXPECT_NEAR(top, 3.0f, 1e-5f);
    EXPECT_NEAR(widestAtTop, std::sqrt(0.3f * 0.3f + 0.15f * 0.15f), 1e-4f);
}

}  // namespace
}  // namespace content
