#include "content/opening_set.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace content {
namespace {

// A point of the parameter plane the sheets are tiled in.
struct Point2 {
    float u, v;
};

// Some room below kLongestEdge, so that rounding never leaves an edge the generator would halve
// (halving doubles the faces).
constexpr float kSheetEdge = 0.97f * kLongestEdge;

// Tiles the rectangle [0, width] x [bottom, top] of a parameter plane with rows of
// near-equilateral triangles (edges at most kSheetEdge), keeps those whose centre `keep` accepts,
// and adds them to the mesh: vertices through `place`, which must not lengthen any edge, each
// face with `material`, wound to face along `facing` of its centre. The row count is even, so
// the first and the last row hold the same points along u: sheets stacked on each other share
// their edge points and leave no cracks.
template <class Place, class Keep, class Facing>
void addTriangleSheet(MeshBuilder& mesh, float width, float bottom, float top, Place place, Keep keep,
                      const Material& material, Facing facing, float ambient) {
    const int columns = std::max(1, static_cast<int>(std::ceil(width / kSheetEdge)));
    const int rowPairs = std::max(1, static_cast<int>(std::ceil((top - bottom) / (kSheetEdge * std::sqrt(3.0f)))));
    const int rows = 2 * rowPairs;
    const float step = width / static_cast<float>(columns);
    const float rise = (top - bottom) / static_cast<float>(rows);

    // Even rows hold columns + 1 points, odd rows are shifted by half a step and closed at both
    // ends, so they hold columns + 2.
    std::vector<std::vector<Point2>> points(static_cast<std::size_t>(rows) + 1);
    for (int j = 0; j <= rows; ++j) {
        std::vector<Point2>& row = points[static_cast<std::size_t>(j)];
        const float v = j == rows ? top : bottom + rise * static_cast<float>(j);
        const bool shifted = j % 2 == 1;
        if (shifted) row.push_back({0.0f, v});
        for (int i = 0; i <= columns - (shifted ? 1 : 0); ++i) {
            // Every row ends at exactly `width`.
            const float u = !shifted && i == columns ? width : step * (static_cast<float>(i) + (shifted ? 0.5f : 0.0f));
            row.push_back({u, v});
        }
        if (shifted) row.push_back({width, v});
    }

    // Vertices are added the first time a kept face uses them.
    std::vector<std::vector<std::int64_t>> index(points.size());
    for (std::size_t j = 0; j < points.size(); ++j) index[j].assign(points[j].size(), -1);
    const auto vertex = [&](std::size_t j, std::size_t i) {
        if (index[j][i] < 0) {
            index[j][i] = static_cast<std::int64_t>(mesh.positions.size());
            mesh.positions.push_back(place(points[j][i]));
            mesh.ambient.push_back(ambient);
        }
        return static_cast<std::uint32_t>(index[j][i]);
    };
    const auto face = [&](std::size_t ja, std::size_t ia, std::size_t jb, std::size_t ib, std::size_t jc, std::size_t ic) {
        const Point2 a = points[ja][ia], b = points[jb][ib], c = points[jc][ic];
        const Point2 middle{(a.u + b.u + c.u) / 3.0f, (a.v + b.v + c.v) / 3.0f};
        if (!keep(middle)) return;
        Triangle t{vertex(ja, ia), vertex(jb, ib), vertex(jc, ic)};
        const Vec3 p0 = mesh.positions[t[0]], p1 = mesh.positions[t[1]], p2 = mesh.positions[t[2]];
        if (dot(cross(p1 - p0, p2 - p0), facing(middle)) < 0.0f) std::swap(t[1], t[2]);
        mesh.triangles.push_back(t);
        mesh.materials.push_back(material);
    };

    // Zip each pair of neighbouring rows: each face steps one point along one row, the row whose
    // step makes the shorter edge across.
    for (std::size_t j = 0; j + 1 < points.size(); ++j) {
        const std::vector<Point2>& low = points[j];
        const std::vector<Point2>& high = points[j + 1];
        std::size_t a = 0, b = 0;
        while (a + 1 < low.size() || b + 1 < high.size()) {
            const bool lowEnded = a + 1 == low.size(), highEnded = b + 1 == high.size();
            const bool alongLow =
                highEnded || (!lowEnded && std::abs(low[a + 1].u - high[b].u) <= std::abs(high[b + 1].u - low[a].u));
            if (alongLow) {
                face(j, a, j, a + 1, j + 1, b);
                ++a;
            } else {
                face(j, a, j + 1, b + 1, j + 1, b);
                ++b;
            }
        }
    }
}

}  // namespace

void addSkyDome(MeshBuilder& mesh, Vec3 centre, float radius, float fromDegrees, float toDegrees,
                std::span<const SkyBand> bands) {
    // Parameters: arc length along the horizon and up a meridian. Away from the horizon the
    // dome's circles shrink, so no edge gets longer than in the plane.
    const auto directionAt = [&](Point2 p) {
        const float elevation = p.v / radius;
        const float azimuth = radians(fromDegrees) + p.u / radius;
        return Vec3{std::cos(elevation) * std::cos(azimuth), std::sin(elevation), -std::cos(elevation) * std::sin(azimuth)};
    };
    const auto place = [&](Point2 p) { return centre + directionAt(p) * radius; };
    const auto keep = [](Point2) { return true; };
    const auto inward = [&](Point2 p) { return Vec3{} - directionAt(p); };
    const float width = radians(toDegrees - fromDegrees) * radius;
    // One sheet per band, so that each band ends on a row of points instead of a zig-zag.
    float bottom = 0.0f;
    for (const SkyBand& band : bands) {
        const float top = radians(band.topDegrees) * radius;
        addTriangleSheet(mesh, width, bottom, top, place, keep, surface(0.0f, 0.0f, 0.0f, 1.0f, 0.0f, band.glow), inward,
                         1.0f);
        bottom = top;
    }
}

void addRoundGround(MeshBuilder& mesh, Vec3 centre, float radius, const Material& material, float ambient) {
    const auto place = [&](Point2 p) { return centre + Vec3{p.u - radius, 0.0f, p.v - radius}; };
    const auto keep = [&](Point2 p) {
        const float x = p.u - radius, z = p.v - radius;
        return x * x + z * z <= radius * radius;
    };
    const auto up = [](Point2) { return kUp; };
    addTriangleSheet(mesh, 2.0f * radius, 0.0f, 2.0f * radius, place, keep, material, up, ambient);
}

void addTaperedSlab(MeshBuilder& mesh, Vec3 base, Vec3 footHalf, float height, float taper, const Material& material,
                    float degrees) {
    // A split box from -1 to 1, stood on its foot and narrowed linearly: its sides stay flat.
    Shape slab = makeBox({piecesFor(2.0f * footHalf.x), piecesFor(height), piecesFor(2.0f * footHalf.z)});
    for (Vec3& p : slab.positions) {
        const float up = 0.5f * (p.y + 1.0f);
        const float width = 1.0f + (taper - 1.0f) * up;
        p = Vec3{p.x * footHalf.x * width, up * height, p.z * footHalf.z * width};
    }
    addShape(mesh, slab, place(base, {1, 1, 1}, kUp, degrees), material);
}

}  // namespace content
