#include "content/shapes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace content {
namespace {

Vec3 faceNormal(const Shape& shape, const Triangle& t) {
    const Vec3 a = shape.positions[t[0]];
    return cross(shape.positions[t[1]] - a, shape.positions[t[2]] - a);
}

Vec3 faceCentroid(const Shape& shape, const Triangle& t) {
    return (shape.positions[t[0]] + shape.positions[t[1]] + shape.positions[t[2]]) * (1.0f / 3.0f);
}

// For convex shapes: turns every face so that it faces away from the inner point.
void orientAwayFrom(Shape& shape, Vec3 inside) {
    for (Triangle& t : shape.triangles) {
        if (dot(faceNormal(shape, t), faceCentroid(shape, t) - inside) < 0.0f) std::swap(t[1], t[2]);
    }
}

// Quad (a, b, c, d) around its edge loop as two triangles of a grid of rows x columns vertices.
void addGridQuad(Shape& shape, std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    shape.triangles.push_back({a, b, c});
    shape.triangles.push_back({a, c, d});
}

// A closed tube of the given radius around a closed curve, one ring of vertices per segment.
// normalHint(i) is any direction not along the curve at ring i that the ring's first vertex
// leans to.
template <typename Curve, typename Hint>
Shape makeTube(int segments, int sides, float radius, Curve curve, Hint normalHint) {
    Shape shape;
    for (int i = 0; i < segments; ++i) {
        const Vec3 centre = curve(i);
        const Vec3 tangent = normalize(curve((i + 1) % segments) - curve((i + segments - 1) % segments));
        const Vec3 binormal = normalize(cross(tangent, normalHint(i)));
        const Vec3 normal = cross(binormal, tangent);
        for (int j = 0; j < sides; ++j) {
            const float v = 2.0f * kPi * static_cast<float>(j) / static_cast<float>(sides);
            const Vec3 outward = normal * std::cos(v) + binormal * std::sin(v);
            shape.positions.push_back(centre + outward * radius);
            shape.normals.push_back(outward);
        }
    }
    const auto index = [sides, segments](int i, int j) {
        return static_cast<std::uint32_t>((i % segments) * sides + (j % sides));
    };
    // With (tangent, normal, binormal) right-handed, this order faces away from the curve.
    for (int i = 0; i < segments; ++i) {
        for (int j = 0; j < sides; ++j) addGridQuad(shape, index(i, j), index(i, j + 1), index(i + 1, j + 1), index(i + 1, j));
    }
    return shape;
}

}  // namespace

Shape makeBox(std::array<int, 3> divisions) {
    Shape shape;
    // Vertices by their whole-number place on the box's grid, shared by the sides that meet there.
    std::map<std::array<int, 3>, std::uint32_t> vertices;
    const auto vertex = [&](const std::array<int, 3>& at) {
        const auto found = vertices.find(at);
        if (found != vertices.end()) return found->second;
        const auto index = static_cast<std::uint32_t>(shape.positions.size());
        const auto coordinate = [&](int axis) {
            return -1.0f + 2.0f * static_cast<float>(at[axis]) / static_cast<float>(divisions[axis]);
        };
        shape.positions.push_back({coordinate(0), coordinate(1), coordinate(2)});
        vertices.emplace(at, index);
        return index;
    };
    // Each side: one coordinate fixed at either end, a grid over the other two.
    for (int fixed = 0; fixed < 3; ++fixed) {
        const int u = (fixed + 1) % 3, v = (fixed + 2) % 3;
        for (const int end : {0, divisions[fixed]}) {
            for (int i = 0; i < divisions[u]; ++i) {
                for (int j = 0; j < divisions[v]; ++j) {
                    std::array<int, 3> corner{};
                    corner[fixed] = end;
                    const auto at = [&](int du, int dv) {
                        std::array<int, 3> p = corner;
                        p[u] = i + du;
                        p[v] = j + dv;
                        return vertex(p);
                    };
                    addGridQuad(shape, at(0, 0), at(1, 0), at(1, 1), at(0, 1));
                }
            }
        }
    }
    orientAwayFrom(shape, {0, 0, 0});
    return shape;
}

Shape makeIcosphere(int subdivisions) {
    const float g = (1.0f + std::sqrt(5.0f)) / 2.0f;
    Shape shape;
    shape.positions = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                       {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
    shape.triangles = {{0, 11, 5}, {0, 5, 1}, {0, 1, 7},  {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                       {11, 10, 2}, {10, 7, 6}, {7, 1, 8}, {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
                       {3, 8, 9},  {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
    for (int level = 0; level < subdivisions; ++level) {
        std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> midpoints;
        const auto midpoint = [&](std::uint32_t a, std::uint32_t b) {
            const std::pair<std::uint32_t, std::uint32_t> key{std::min(a, b), std::max(a, b)};
            const auto found = midpoints.find(key);
            if (found != midpoints.end()) return found->second;
            const auto index = static_cast<std::uint32_t>(shape.positions.size());
            shape.positions.push_back((shape.positions[a] + shape.positions[b]) * 0.5f);
            midpoints.emplace(key, index);
            return index;
        };
        std::vector<Triangle> finer;
        for (const Triangle& t : shape.triangles) {
            const std::uint32_t ab = midpoint(t[0], t[1]), bc = midpoint(t[1], t[2]), ca = midpoint(t[2], t[0]);
            finer.insert(finer.end(), {{t[0], ab, ca}, {t[1], bc, ab}, {t[2], ca, bc}, {ab, bc, ca}});
        }
        shape.triangles = std::move(finer);
    }
    for (Vec3& p : shape.positions) p = normalize(p);
    shape.normals = shape.positions;
    orientAwayFrom(shape, {0, 0, 0});
    return shape;
}

Shape makeCylinder(int segments, int rings, CylinderEnds ends) {
    Shape shape;
    for (int r = 0; r <= rings; ++r) {
        const float y = static_cast<float>(r) / static_cast<float>(rings);
        for (int i = 0; i < segments; ++i) {
            const float angle = 2.0f * kPi * static_cast<float>(i) / static_cast<float>(segments);
            shape.positions.push_back({std::cos(angle), y, std::sin(angle)});
            shape.normals.push_back({std::cos(angle), 0.0f, std::sin(angle)});
        }
    }
    const auto bottomCentre = static_cast<std::uint32_t>(shape.positions.size());
    shape.positions.push_back({0, 0, 0});
    shape.positions.push_back({0, 1, 0});
    shape.normals.push_back({0, -1, 0});
    shape.normals.push_back({0, 1, 0});
    const auto ring = [segments](int r, int i) { return static_cast<std::uint32_t>(r * segments + i % segments); };
    for (int i = 0; i < segments; ++i) {
        for (int r = 0; r < rings; ++r) addGridQuad(shape, ring(r, i), ring(r, i + 1), ring(r + 1, i + 1), ring(r + 1, i));
        if (ends == CylinderEnds::Both) shape.triangles.push_back({bottomCentre, ring(0, i), ring(0, i + 1)});
        if (ends != CylinderEnds::None) shape.triangles.push_back({bottomCentre + 1, ring(rings, i), ring(rings, i + 1)});
    }
    orientAwayFrom(shape, {0, 0.5f, 0});
    return shape;
}

Shape makeTorus(float majorRadius, float minorRadius, int segments, int sides) {
    const auto angle = [segments](int i) { return 2.0f * kPi * static_cast<float>(i) / static_cast<float>(segments); };
    const auto curve = [&](int i) { return Vec3{majorRadius * std::cos(angle(i)), 0.0f, majorRadius * std::sin(angle(i))}; };
    const auto outward = [&](int i) { return Vec3{std::cos(angle(i)), 0.0f, std::sin(angle(i))}; };
    return makeTube(segments, sides, minorRadius, curve, outward);
}

Shape makeTorusKnot(int p, int q, float tubeRadius, int segments, int sides) {
    const auto curve = [=](int i) {
        const float phi = 2.0f * kPi * static_cast<float>(i) / static_cast<float>(segments);
        const float r = 2.0f + std::cos(static_cast<float>(q) * phi);
        return Vec3{r * std::cos(static_cast<float>(p) * phi), r * std::sin(static_cast<float>(p) * phi),
                    -std::sin(static_cast<float>(q) * phi)};
    };
    // The curve winds around the z axis: its ring leans away from that axis.
    const auto outward = [=](int i) {
        const Vec3 c = curve(i);
        return Vec3{c.x, c.y, 0.0f};
    };
    return makeTube(segments, sides, tubeRadius, curve, outward);
}

Shape faceted(Shape shape) {
    shape.normals.clear();
    return shape;
}

float signedVolume(const Shape& shape) {
    float sixTimes = 0.0f;
    for (const Triangle& t : shape.triangles) {
        sixTimes += dot(shape.positions[t[0]], cross(shape.positions[t[1]], shape.positions[t[2]]));
    }
    return sixTimes / 6.0f;
}

}  // namespace content
