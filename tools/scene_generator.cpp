// Builds the show's scene file and title image. The scene is five small sets, one per part of
// the show, described by the constant tables below (meshes with their animation, camera paths
// and light paths) and turned into file records by sampling them at 60 frames per second.
#include "tools/scene_generator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numbers>
#include <utility>

#include "scene/scene.h"

// The encoder is private to this file: static functions, and no file output of its own.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace scenegen {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kFramesPerSecond = 60.0f;

// ---------------------------------------------------------------------------------------------
// Vectors and matrices

constexpr Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
constexpr Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
constexpr Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

Vec3 normalize(Vec3 a) {
    const float length = std::sqrt(dot(a, a));
    return length > 0.0f ? a * (1.0f / length) : a;
}

float radians(float degrees) { return degrees * kPi / 180.0f; }

// A point on the circle of the given radius about centre's vertical, height above centre. The
// angle turns the +x direction the way a rotation about +y does (towards -z).
Vec3 orbitPoint(Vec3 centre, float radius, float height, float degrees) {
    const float angle = radians(degrees);
    return centre + Vec3{radius * std::cos(angle), height, -radius * std::sin(angle)};
}

Matrix4 multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 m{};
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[column * 4 + k];
            m[column * 4 + row] = sum;
        }
    }
    return m;
}

Matrix4 translation(Vec3 v) {
    Matrix4 m = kIdentityMatrix;
    m[12] = v.x;
    m[13] = v.y;
    m[14] = v.z;
    return m;
}

Matrix4 scaling(Vec3 s) {
    Matrix4 m = kIdentityMatrix;
    m[0] = s.x;
    m[5] = s.y;
    m[10] = s.z;
    return m;
}

// Right-handed rotation about a unit axis.
Matrix4 rotation(Vec3 axis, float angle) {
    const Vec3 u = normalize(axis);
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    Matrix4 m = kIdentityMatrix;
    m[0] = u.x * u.x * t + c;
    m[1] = u.y * u.x * t + u.z * s;
    m[2] = u.z * u.x * t - u.y * s;
    m[4] = u.x * u.y * t - u.z * s;
    m[5] = u.y * u.y * t + c;
    m[6] = u.z * u.y * t + u.x * s;
    m[8] = u.x * u.z * t + u.y * s;
    m[9] = u.y * u.z * t - u.x * s;
    m[10] = u.z * u.z * t + c;
    return m;
}

Vec3 transformPoint(const Matrix4& m, Vec3 p) {
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

// Scale, then turn about axis by degrees, then move to position.
Matrix4 place(Vec3 position, Vec3 scale, Vec3 axis = {0, 1, 0}, float degrees = 0.0f) {
    return multiply(translation(position), multiply(rotation(axis, radians(degrees)), scaling(scale)));
}

Matrix4 placeUniform(Vec3 position, float scale, Vec3 axis = {0, 1, 0}, float degrees = 0.0f) {
    return place(position, {scale, scale, scale}, axis, degrees);
}

// ---------------------------------------------------------------------------------------------
// Primitive shapes

using Triangle = std::array<std::uint32_t, 3>;

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
            shape.positions.push_back(centre + (normal * std::cos(v) + binormal * std::sin(v)) * radius);
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

Shape makeBox() {
    Shape shape;
    for (int i = 0; i < 8; ++i) {
        shape.positions.push_back({(i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 1.0f : -1.0f});
    }
    // Each side: the four corners with one coordinate fixed, around the side's edge loop.
    constexpr std::array<std::array<std::uint32_t, 4>, 6> kSides = {
        {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}}};
    for (const auto& side : kSides) addGridQuad(shape, side[0], side[1], side[2], side[3]);
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
    orientAwayFrom(shape, {0, 0, 0});
    return shape;
}

Shape makeCylinder(int segments) {
    Shape shape;
    for (int i = 0; i < segments; ++i) {
        const float angle = 2.0f * kPi * static_cast<float>(i) / static_cast<float>(segments);
        shape.positions.push_back({std::cos(angle), 0.0f, std::sin(angle)});
        shape.positions.push_back({std::cos(angle), 1.0f, std::sin(angle)});
    }
    const auto bottomCentre = static_cast<std::uint32_t>(shape.positions.size());
    shape.positions.push_back({0, 0, 0});
    shape.positions.push_back({0, 1, 0});
    const auto ring = [segments](int i, std::uint32_t top) { return static_cast<std::uint32_t>((i % segments) * 2) + top; };
    for (int i = 0; i < segments; ++i) {
        addGridQuad(shape, ring(i, 0), ring(i + 1, 0), ring(i + 1, 1), ring(i, 1));
        shape.triangles.push_back({bottomCentre, ring(i, 0), ring(i + 1, 0)});
        shape.triangles.push_back({bottomCentre + 1, ring(i, 1), ring(i + 1, 1)});
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

float signedVolume(const Shape& shape) {
    float sixTimes = 0.0f;
    for (const Triangle& t : shape.triangles) {
        sixTimes += dot(shape.positions[t[0]], cross(shape.positions[t[1]], shape.positions[t[2]]));
    }
    return sixTimes / 6.0f;
}

namespace {

// ---------------------------------------------------------------------------------------------
// Materials: the two surface records of a face (meaning in the header).

struct Material {
    std::array<float, 4> record0;  // albedo red, green, blue, roughness
    std::array<float, 4> record1;  // emitted red, green, blue, reflectivity
};

constexpr Material surface(float r, float g, float b, float roughness, float reflectivity = 0.0f,
                           std::array<float, 3> emitted = {0, 0, 0}) {
    return {{r, g, b, roughness}, {emitted[0], emitted[1], emitted[2], reflectivity}};
}

constexpr Material kSlateDark = surface(0.12f, 0.12f, 0.13f, 0.7f, 0.05f);
constexpr Material kSlateLight = surface(0.30f, 0.29f, 0.27f, 0.8f);
constexpr Material kSlateTeal = surface(0.10f, 0.30f, 0.32f, 0.6f, 0.1f);
constexpr Material kPlaster = surface(0.42f, 0.38f, 0.33f, 0.95f);
constexpr Material kPlasterDark = surface(0.20f, 0.18f, 0.17f, 0.95f);
constexpr Material kSandstone = surface(0.72f, 0.60f, 0.44f, 0.85f);
constexpr Material kGranite = surface(0.38f, 0.37f, 0.40f, 0.7f);
constexpr Material kMarbleWhite = surface(0.88f, 0.86f, 0.82f, 0.25f, 0.15f);
constexpr Material kMarbleBlue = surface(0.22f, 0.30f, 0.45f, 0.25f, 0.15f);
constexpr Material kTileBlack = surface(0.03f, 0.03f, 0.04f, 0.15f, 0.35f);
constexpr Material kTileWhite = surface(0.85f, 0.85f, 0.83f, 0.15f, 0.25f);
constexpr Material kSandLight = surface(0.62f, 0.48f, 0.34f, 1.0f);
constexpr Material kSandDark = surface(0.50f, 0.38f, 0.27f, 1.0f);
constexpr Material kWood = surface(0.50f, 0.31f, 0.17f, 0.6f);
constexpr Material kChrome = surface(0.90f, 0.90f, 0.95f, 0.05f, 0.85f);
constexpr Material kObsidian = surface(0.02f, 0.02f, 0.03f, 0.05f, 0.5f);
constexpr Material kGold = surface(0.95f, 0.72f, 0.30f, 0.25f, 0.5f, {0.12f, 0.07f, 0.02f});
constexpr Material kCopper = surface(0.90f, 0.50f, 0.32f, 0.3f, 0.45f);
constexpr Material kSilver = surface(0.80f, 0.82f, 0.85f, 0.15f, 0.6f);
constexpr Material kRedLacquer = surface(0.80f, 0.08f, 0.06f, 0.2f, 0.25f);
constexpr Material kEmerald = surface(0.05f, 0.65f, 0.30f, 0.1f, 0.35f);
constexpr Material kSapphire = surface(0.10f, 0.25f, 0.90f, 0.1f, 0.4f);
constexpr Material kEmber = surface(1.00f, 0.60f, 0.30f, 0.4f, 0.1f, {2.0f, 0.9f, 0.35f});
constexpr Material kWisp = surface(0.60f, 0.90f, 1.00f, 0.4f, 0.0f, {0.8f, 1.6f, 2.0f});

// ---------------------------------------------------------------------------------------------
// Meshes under construction

struct MeshBuilder {
    std::vector<Vec3> positions;
    std::vector<float> ambient;  // the vertex extra
    std::vector<Triangle> triangles;
    std::vector<Material> materials;  // one per triangle
};

// Darker towards the ground for a shape that stands on it; 1 for flat or floating shapes.
float ambientFactor(float y, float bottom, float height) {
    const bool standsOnGround = bottom < 0.05f && height > 0.05f;
    if (!standsOnGround) return 1.0f;
    return 0.55f + 0.45f * std::clamp((y - bottom) / std::min(height, 1.5f), 0.0f, 1.0f);
}

void addShape(MeshBuilder& mesh, const Shape& shape, const Matrix4& placement, const Material& material) {
    const auto base = static_cast<std::uint32_t>(mesh.positions.size());
    float bottom = 1e30f, top = -1e30f;
    for (const Vec3& p : shape.positions) {
        const Vec3 placed = transformPoint(placement, p);
        mesh.positions.push_back(placed);
        bottom = std::min(bottom, placed.y);
        top = std::max(top, placed.y);
    }
    for (std::size_t i = base; i < mesh.positions.size(); ++i) {
        mesh.ambient.push_back(ambientFactor(mesh.positions[i].y, bottom, top - bottom));
    }
    for (const Triangle& t : shape.triangles) {
        mesh.triangles.push_back({t[0] + base, t[1] + base, t[2] + base});
        mesh.materials.push_back(material);
    }
}

// A flat quad whose corners go around its edge loop, wound to face along normal.
void addQuad(MeshBuilder& mesh, const std::array<Vec3, 4>& corners, Vec3 normal, const Material& material) {
    const auto base = static_cast<std::uint32_t>(mesh.positions.size());
    for (const Vec3& corner : corners) {
        mesh.positions.push_back(corner);
        mesh.ambient.push_back(1.0f);
    }
    const bool along = dot(cross(corners[1] - corners[0], corners[2] - corners[0]), normal) > 0.0f;
    const std::array<Triangle, 2> triangles =
        along ? std::array<Triangle, 2>{{{base, base + 1, base + 2}, {base, base + 2, base + 3}}}
              : std::array<Triangle, 2>{{{base, base + 2, base + 1}, {base, base + 3, base + 2}}};
    for (const Triangle& t : triangles) {
        mesh.triangles.push_back(t);
        mesh.materials.push_back(material);
    }
}

void addTriangle(MeshBuilder& mesh, const std::array<Vec3, 3>& corners, Vec3 normal, const Material& material) {
    const auto base = static_cast<std::uint32_t>(mesh.positions.size());
    for (const Vec3& corner : corners) {
        mesh.positions.push_back(corner);
        mesh.ambient.push_back(1.0f);
    }
    const bool along = dot(cross(corners[1] - corners[0], corners[2] - corners[0]), normal) > 0.0f;
    mesh.triangles.push_back(along ? Triangle{base, base + 1, base + 2} : Triangle{base, base + 2, base + 1});
    mesh.materials.push_back(material);
}

constexpr Vec3 kUp{0, 1, 0};

// A checkered floor at the height of centre, tiles x tiles over the given half extents.
void addTiledFloor(MeshBuilder& mesh, Vec3 centre, float halfX, float halfZ, int tilesX, int tilesZ,
                   const Material& a, const Material& b) {
    const float sizeX = 2.0f * halfX / static_cast<float>(tilesX), sizeZ = 2.0f * halfZ / static_cast<float>(tilesZ);
    for (int i = 0; i < tilesX; ++i) {
        for (int j = 0; j < tilesZ; ++j) {
            const float x0 = centre.x - halfX + sizeX * static_cast<float>(i), z0 = centre.z - halfZ + sizeZ * static_cast<float>(j);
            const float x1 = x0 + sizeX, z1 = z0 + sizeZ;
            addQuad(mesh, {{{x0, centre.y, z0}, {x1, centre.y, z0}, {x1, centre.y, z1}, {x0, centre.y, z1}}}, kUp,
                    (i + j) % 2 == 0 ? a : b);
        }
    }
}

// A round floor of rings x sectors tiles in two alternating materials.
void addRoundFloor(MeshBuilder& mesh, Vec3 centre, float radius, int rings, int sectors, const Material& a,
                   const Material& b) {
    for (int ring = 0; ring < rings; ++ring) {
        const float r0 = radius * static_cast<float>(ring) / static_cast<float>(rings);
        const float r1 = radius * static_cast<float>(ring + 1) / static_cast<float>(rings);
        for (int sector = 0; sector < sectors; ++sector) {
            const float d0 = 360.0f * static_cast<float>(sector) / static_cast<float>(sectors);
            const float d1 = 360.0f * static_cast<float>(sector + 1) / static_cast<float>(sectors);
            const Material& material = (ring + sector) % 2 == 0 ? a : b;
            const Vec3 outer0 = orbitPoint(centre, r1, 0.0f, d0), outer1 = orbitPoint(centre, r1, 0.0f, d1);
            if (ring == 0) {
                addTriangle(mesh, {centre, outer0, outer1}, kUp, material);
            } else {
                addQuad(mesh, {orbitPoint(centre, r0, 0.0f, d0), outer0, outer1, orbitPoint(centre, r0, 0.0f, d1)}, kUp,
                        material);
            }
        }
    }
}

// The four walls and the ceiling of a box-shaped room, facing inwards; the floor is left out.
void addRoomShell(MeshBuilder& mesh, Vec3 low, Vec3 high, const Material& walls, const Material& ceiling) {
    const float x0 = low.x, y0 = low.y, z0 = low.z, x1 = high.x, y1 = high.y, z1 = high.z;
    addQuad(mesh, {{{x0, y0, z0}, {x0, y1, z0}, {x0, y1, z1}, {x0, y0, z1}}}, {1, 0, 0}, walls);
    addQuad(mesh, {{{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}}, {-1, 0, 0}, walls);
    addQuad(mesh, {{{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0}}}, {0, 0, 1}, walls);
    addQuad(mesh, {{{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}}, {0, 0, -1}, walls);
    addQuad(mesh, {{{x0, y1, z0}, {x1, y1, z0}, {x1, y1, z1}, {x0, y1, z1}}}, {0, -1, 0}, ceiling);
}

// A box given by its centre and half extents, optionally turned about the vertical.
void addBlock(MeshBuilder& mesh, Vec3 centre, Vec3 half, const Material& material, float degrees = 0.0f) {
    addShape(mesh, makeBox(), place(centre, half, kUp, degrees), material);
}

// An upright cylinder standing on base.
void addColumn(MeshBuilder& mesh, Vec3 base, float radius, float height, const Material& material, int segments = 20) {
    addShape(mesh, makeCylinder(segments), place(base, {radius, height, radius}), material);
}

// ---------------------------------------------------------------------------------------------
// The five sets. Each part of the show looks at one of them.

constexpr Vec3 kHall{0, 0, 0};          // a pillared hall, lit only by the camera's lamp
constexpr Vec3 kRotunda{60, 0, 0};      // a marble rotunda with a mirror orb
constexpr Vec3 kPlaza{0, 0, 60};        // the finale's plaza with glowing pillars and satellites
constexpr Vec3 kStoneField{-60, 0, 0};  // the opening: a monolith in a stone circle at dusk
constexpr Vec3 kStairwell{0, 0, -60};   // a spiral stair with a chain and a wandering wisp

constexpr Vec3 at(Vec3 set, float x, float y, float z) { return set + Vec3{x, y, z}; }

// Mesh 0: the hall's floor, walls, ceiling and two rows of pillars.
void buildHall(MeshBuilder& mesh, int) {
    addTiledFloor(mesh, kHall, 5.0f, 12.0f, 10, 24, kSlateDark, kSlateLight);
    addRoomShell(mesh, at(kHall, -5, 0, -12), at(kHall, 5, 6, 12), kPlaster, kPlasterDark);
    for (const float x : {-3.2f, 3.2f}) {
        for (const float z : {-8.0f, -4.0f, 0.0f, 4.0f, 8.0f}) {
            addBlock(mesh, at(kHall, x, 0.2f, z), {0.6f, 0.2f, 0.6f}, kSandstone);
            addColumn(mesh, at(kHall, x, 0.4f, z), 0.42f, 5.2f, kSandstone);
            addBlock(mesh, at(kHall, x, 5.8f, z), {0.6f, 0.2f, 0.6f}, kSandstone);
        }
    }
}

// Mesh 1: a golden knot on a pedestal at the end of the hall.
void buildHallKnot(MeshBuilder& mesh, int) {
    addColumn(mesh, at(kHall, 0, 0, -8), 0.9f, 1.0f, kSandstone, 28);
    addShape(mesh, makeTorusKnot(2, 3, 0.35f, 192, 12), placeUniform(at(kHall, 0, 3.0f, -8), 0.55f), kGold);
}

// Mesh 2: the rotunda's round checkered floor on its plinth.
void buildRotundaFloor(MeshBuilder& mesh, int) {
    addRoundFloor(mesh, kRotunda, 10.0f, 6, 32, kMarbleWhite, kMarbleBlue);
    addShape(mesh, makeCylinder(48), place(at(kRotunda, 0, -0.4f, 0), {10.0f, 0.39f, 10.0f}), kMarbleBlue);
}

// Mesh 3: eight pillars in a ring under a round lintel.
void buildColonnade(MeshBuilder& mesh, int) {
    for (int i = 0; i < 8; ++i) {
        const float degrees = 22.5f + 45.0f * static_cast<float>(i);
        const Vec3 base = orbitPoint(kRotunda, 7.5f, 0.0f, degrees);
        addBlock(mesh, base + Vec3{0, 0.15f, 0}, {0.5f, 0.15f, 0.5f}, kMarbleWhite, degrees);
        addColumn(mesh, base + Vec3{0, 0.3f, 0}, 0.35f, 3.9f, kMarbleWhite);
    }
    addShape(mesh, makeTorus(7.5f, 0.3f, 96, 10), place(at(kRotunda, 0, 4.45f, 0), {1, 1, 1}), kMarbleWhite);
}

// Mesh 4: a mirror orb with a tilted ring, floating in the middle of the rotunda.
constexpr Vec3 kRotundaOrbCentre{60, 2.6f, 0};

void buildRotundaOrb(MeshBuilder& mesh, int) {
    addShape(mesh, makeIcosphere(3), placeUniform(kRotundaOrbCentre, 1.5f), kChrome);
    addShape(mesh, makeTorus(2.3f, 0.09f, 96, 8), placeUniform(kRotundaOrbCentre, 1.0f, {1, 0, 0}, 25.0f), kGold);
}

// Mesh 5: the plaza's checkered floor with a kerb around it.
void buildPlazaFloor(MeshBuilder& mesh, int) {
    addTiledFloor(mesh, kPlaza, 12.0f, 12.0f, 16, 16, kTileBlack, kTileWhite);
    addBlock(mesh, at(kPlaza, -12.5f, 0.15f, 0), {0.5f, 0.15f, 13.0f}, kGranite);
    addBlock(mesh, at(kPlaza, 12.5f, 0.15f, 0), {0.5f, 0.15f, 13.0f}, kGranite);
    addBlock(mesh, at(kPlaza, 0, 0.15f, -12.5f), {12.0f, 0.15f, 0.5f}, kGranite);
    addBlock(mesh, at(kPlaza, 0, 0.15f, 12.5f), {12.0f, 0.15f, 0.5f}, kGranite);
}

// Meshes 6 to 9: pillars at the plaza's corners, each crowned by an orb glowing in its colour.
struct GlowPillar {
    float x, z;
    std::array<float, 3> glow;
};
constexpr std::array<GlowPillar, 4> kGlowPillars = {{{-6, -6, {1.6f, 0.25f, 0.2f}},
                                                     {6, -6, {0.3f, 1.5f, 0.4f}},
                                                     {6, 6, {0.3f, 0.5f, 1.8f}},
                                                     {-6, 6, {1.6f, 1.1f, 0.3f}}}};

void buildGlowPillar(MeshBuilder& mesh, int variant) {
    const GlowPillar& pillar = kGlowPillars[static_cast<std::size_t>(variant)];
    addBlock(mesh, at(kPlaza, pillar.x, 0.25f, pillar.z), {0.7f, 0.25f, 0.7f}, kGranite);
    addColumn(mesh, at(kPlaza, pillar.x, 0.5f, pillar.z), 0.45f, 4.0f, kGranite);
    addBlock(mesh, at(kPlaza, pillar.x, 4.65f, pillar.z), {0.6f, 0.15f, 0.6f}, kGranite);
    const Material orb = surface(pillar.glow[0] / 2.0f, pillar.glow[1] / 2.0f, pillar.glow[2] / 2.0f, 0.3f, 0.0f, pillar.glow);
    addShape(mesh, makeIcosphere(2), placeUniform(at(kPlaza, pillar.x, 5.4f, pillar.z), 0.6f), orb);
}

// Mesh 10: the centrepiece, a mirror sphere on a stepped pedestal.
constexpr Vec3 kPlazaOrbCentre{0, 3.6f, 60};

void buildPlazaCentrepiece(MeshBuilder& mesh, int) {
    addColumn(mesh, kPlaza, 1.6f, 0.6f, kGranite, 32);
    addColumn(mesh, at(kPlaza, 0, 0.6f, 0), 1.2f, 0.5f, kGranite, 32);
    addShape(mesh, makeIcosphere(3), placeUniform(kPlazaOrbCentre, 2.2f), kChrome);
}

// Meshes 11 to 14: four small objects that circle the centrepiece, each spinning on its own.
constexpr float kSatelliteRadius = 5.0f;

Vec3 satelliteCentre(int variant) {
    return orbitPoint(kPlaza, kSatelliteRadius, kPlazaOrbCentre.y, 90.0f * static_cast<float>(variant));
}

void buildSatellite(MeshBuilder& mesh, int variant) {
    const Vec3 centre = satelliteCentre(variant);
    switch (variant) {
    case 0: addShape(mesh, makeBox(), placeUniform(centre, 0.55f, {1, 1, 0}, 35.0f), kRedLacquer); break;
    case 1: addShape(mesh, makeTorus(0.7f, 0.22f, 40, 12), placeUniform(centre, 1.0f, {1, 0, 0}, 60.0f), kEmerald); break;
    case 2: addShape(mesh, makeIcosphere(0), placeUniform(centre, 0.8f), kSapphire); break;
    default: addShape(mesh, makeTorusKnot(3, 2, 0.35f, 160, 10), placeUniform(centre, 0.22f), kGold); break;
    }
}

// Mesh 15: two gateways across the plaza's axis, each with a golden ring hanging in it.
void buildGateways(MeshBuilder& mesh, int) {
    for (const float z : {-10.0f, 10.0f}) {
        addBlock(mesh, at(kPlaza, -2.5f, 3.0f, z), {0.45f, 3.0f, 0.45f}, kSandstone);
        addBlock(mesh, at(kPlaza, 2.5f, 3.0f, z), {0.45f, 3.0f, 0.45f}, kSandstone);
        addBlock(mesh, at(kPlaza, 0, 6.4f, z), {3.2f, 0.4f, 0.6f}, kSandstone);
        addShape(mesh, makeTorus(1.6f, 0.12f, 64, 8), placeUniform(at(kPlaza, 0, 3.8f, z), 1.0f, {1, 0, 0}, 90.0f), kGold);
    }
}

// Mesh 16: the opening's wide sandy ground.
void buildStoneFieldGround(MeshBuilder& mesh, int) {
    addTiledFloor(mesh, kStoneField, 20.0f, 20.0f, 20, 20, kSandLight, kSandDark);
}

// Mesh 17: a black monolith inside a circle of seven standing stones.
void buildMonolith(MeshBuilder& mesh, int) {
    addBlock(mesh, at(kStoneField, 0, 3.2f, 0), {0.7f, 3.2f, 0.2f}, kObsidian);
    for (int i = 0; i < 7; ++i) {
        const float degrees = 360.0f * static_cast<float>(i) / 7.0f + 12.0f;
        const float halfHeight = 0.9f + 0.25f * static_cast<float>(i % 3);
        addBlock(mesh, orbitPoint(kStoneField, 6.0f, halfHeight, degrees), {0.35f, halfHeight, 0.25f}, kGranite, degrees);
    }
}

// Meshes 18 and 19: a glowing faceted gem floating above the monolith, and its halo.
constexpr Vec3 kGemCentre{-60, 8.2f, 0};

void buildGem(MeshBuilder& mesh, int) { addShape(mesh, makeIcosphere(1), placeUniform(kGemCentre, 0.9f), kEmber); }

void buildHalo(MeshBuilder& mesh, int) {
    addShape(mesh, makeTorus(2.0f, 0.12f, 72, 8), placeUniform(kGemCentre, 1.0f, {1, 0, 0}, 70.0f), kGold);
}

// Mesh 20: the stairwell's round floor.
void buildStairwellFloor(MeshBuilder& mesh, int) {
    addRoundFloor(mesh, kStairwell, 9.0f, 5, 24, kSlateTeal, kSlateDark);
}

// Mesh 21: a spiral stair of eighteen steps around a column, with a landing on top.
void buildSpiralStair(MeshBuilder& mesh, int) {
    addColumn(mesh, kStairwell, 0.6f, 6.6f, kSandstone, 24);
    for (int i = 0; i < 18; ++i) {
        const float degrees = 20.0f * static_cast<float>(i);
        addBlock(mesh, orbitPoint(kStairwell, 1.95f, 0.35f * static_cast<float>(i + 1), degrees), {1.3f, 0.12f, 0.45f},
                 kWood, degrees);
    }
    addColumn(mesh, at(kStairwell, 0, 6.6f, 0), 1.2f, 0.12f, kWood, 24);
}

// Mesh 22: two interlocked rings hovering above the stair.
constexpr Vec3 kChainCentre{0, 9.0f, -60};

void buildChain(MeshBuilder& mesh, int) {
    addShape(mesh, makeTorus(1.0f, 0.18f, 48, 10), placeUniform(kChainCentre + Vec3{-0.5f, 0, 0}, 1.0f), kCopper);
    addShape(mesh, makeTorus(1.0f, 0.18f, 48, 10), placeUniform(kChainCentre + Vec3{0.5f, 0, 0}, 1.0f, {1, 0, 0}, 90.0f),
             kSilver);
}

// Mesh 23: a glowing wisp that circles the stair.
constexpr float kWispRadius = 6.0f;
constexpr float kWispHeight = 3.0f;
constexpr float kWispTurnsPerSecond = 0.125f;

void buildWisp(MeshBuilder& mesh, int) {
    addShape(mesh, makeIcosphere(2), placeUniform(orbitPoint(kStairwell, kWispRadius, kWispHeight, 0.0f), 0.5f), kWisp);
}

// ---------------------------------------------------------------------------------------------
// Animation tables

// A mesh's animation: a spin about an axis through pivot, a vertical bob, and an orbit about the
// vertical through orbitCentre, applied in that order. All zero: the mesh stands still.
struct MeshMotion {
    Vec3 pivot;
    Vec3 spinAxis{0, 1, 0};
    float spinTurnsPerSecond = 0.0f;
    float bobHeight = 0.0f;
    float bobSeconds = 1.0f;
    Vec3 orbitCentre;
    float orbitTurnsPerSecond = 0.0f;
};

bool isStill(const MeshMotion& motion) {
    return motion.spinTurnsPerSecond == 0.0f && motion.bobHeight == 0.0f && motion.orbitTurnsPerSecond == 0.0f;
}

Matrix4 motionAt(const MeshMotion& motion, float seconds) {
    const Matrix4 spin = multiply(translation(motion.pivot),
                                  multiply(rotation(motion.spinAxis, 2.0f * kPi * motion.spinTurnsPerSecond * seconds),
                                           translation(Vec3{} - motion.pivot)));
    const float bob = motion.bobHeight * std::sin(2.0f * kPi * seconds / motion.bobSeconds);
    const Matrix4 orbit = multiply(translation(motion.orbitCentre),
                                   multiply(rotation(kUp, 2.0f * kPi * motion.orbitTurnsPerSecond * seconds),
                                            translation(Vec3{} - motion.orbitCentre)));
    return multiply(orbit, multiply(translation({0, bob, 0}), spin));
}

struct MeshPlan {
    void (*build)(MeshBuilder& mesh, int variant);
    int variant;
    MeshMotion motion;
};

MeshMotion spinning(Vec3 pivot, float turnsPerSecond, float bobHeight = 0.0f, float bobSeconds = 1.0f,
                    Vec3 axis = {0, 1, 0}) {
    MeshMotion motion;
    motion.pivot = pivot;
    motion.spinAxis = axis;
    motion.spinTurnsPerSecond = turnsPerSecond;
    motion.bobHeight = bobHeight;
    motion.bobSeconds = bobSeconds;
    return motion;
}

MeshMotion satelliteMotion(int variant) {
    MeshMotion motion = spinning(satelliteCentre(variant), 0.3f, 0.35f, 3.0f + 0.5f * static_cast<float>(variant),
                                 {1, 1, 0.3f * static_cast<float>(variant)});
    motion.orbitCentre = kPlaza;
    motion.orbitTurnsPerSecond = 0.04f;
    return motion;
}

MeshMotion wispMotion() {
    MeshMotion motion;
    motion.bobHeight = 0.6f;
    motion.bobSeconds = 4.0f;
    motion.orbitCentre = kStairwell;
    motion.orbitTurnsPerSecond = kWispTurnsPerSecond;
    return motion;
}

const std::array<MeshPlan, 24>& meshPlans() {
    static const std::array<MeshPlan, 24> plans = {{
        {buildHall, 0, {}},
        {buildHallKnot, 0, spinning(at(kHall, 0, 0, -8), 0.08f)},
        {buildRotundaFloor, 0, {}},
        {buildColonnade, 0, spinning(kRotunda, -0.025f)},
        {buildRotundaOrb, 0, spinning(kRotundaOrbCentre, 0.1f, 0.3f, 4.0f)},
        {buildPlazaFloor, 0, {}},
        {buildGlowPillar, 0, {}},
        {buildGlowPillar, 1, {}},
        {buildGlowPillar, 2, {}},
        {buildGlowPillar, 3, {}},
        {buildPlazaCentrepiece, 0, {}},
        {buildSatellite, 0, satelliteMotion(0)},
        {buildSatellite, 1, satelliteMotion(1)},
        {buildSatellite, 2, satelliteMotion(2)},
        {buildSatellite, 3, satelliteMotion(3)},
        {buildGateways, 0, {}},
        {buildStoneFieldGround, 0, {}},
        {buildMonolith, 0, {}},
        {buildGem, 0, spinning(kGemCentre, 0.15f, 0.4f, 5.5f, {0.3f, 1.0f, 0.2f})},
        {buildHalo, 0, spinning(kGemCentre, 0.1f, 0.4f, 5.5f)},
        {buildStairwellFloor, 0, {}},
        {buildSpiralStair, 0, {}},
        {buildChain, 0, spinning(kChainCentre, 0.12f, 0.3f, 4.0f)},
        {buildWisp, 0, wispMotion()},
    }};
    return plans;
}

// A camera path over its part: every value goes from its start to its end with an ease in and
// out. The camera circles centre's vertical at the given radius and height and looks at target.
struct CameraPath {
    Vec3 centre;
    float startDegrees, endDegrees;
    float startRadius, endRadius;
    float startHeight, endHeight;
    Vec3 startTarget, endTarget;
    float startFov, endFov;
};

constexpr std::array<CameraPath, 5> kCameraPaths = {{
    // 0, the hall: a slow walk towards the knot, swaying a little.
    {at(kHall, 0, 0, -8), 262.0f, 278.0f, 19.0f, 9.5f, 1.7f, 2.0f, at(kHall, 0, 2.6f, -8), at(kHall, 0, 3.0f, -8), 55.0f, 50.0f},
    // 1, the rotunda: a quarter turn inside the colonnade around the orb, coming down.
    {kRotunda, 200.0f, 290.0f, 6.4f, 5.6f, 3.4f, 2.0f, at(kRotunda, 0, 2.4f, 0), at(kRotunda, 0, 2.7f, 0), 58.0f, 54.0f},
    // 2, the plaza: almost a full circle that cranes up above the centrepiece.
    {kPlaza, 200.0f, 520.0f, 18.0f, 10.0f, 2.0f, 12.0f, at(kPlaza, 0, 2.5f, 0), at(kPlaza, 0, 2.0f, 0), 55.0f, 48.0f},
    // 3, the stone field: a long dolly towards the monolith, rising to the gem.
    {kStoneField, 270.0f, 300.0f, 28.0f, 12.0f, 1.8f, 4.5f, at(kStoneField, 0, 4.0f, 0), at(kStoneField, 0, 5.5f, 0), 42.0f,
     50.0f},
    // 4, the stairwell: half a turn that climbs with the stair to the chain.
    {kStairwell, 20.0f, 160.0f, 14.0f, 11.0f, 2.5f, 10.0f, at(kStairwell, 0, 3.0f, 0), at(kStairwell, 0, 6.7f, 0), 50.0f,
     50.0f},
}};

// A light circling centre's vertical at a constant radius, height and speed.
struct LightPath {
    Vec3 centre;
    float radius, height;
    float startDegrees, turnsPerSecond;
    std::array<float, 3> color;
    float intensity, range;
};

constexpr std::array<LightPath, 7> kLightPaths = {{
    {kRotunda, 8.0f, 7.0f, 30.0f, 0.04f, {1.0f, 0.8f, 0.6f}, 60.0f, 30.0f},                        // 0, warm
    {kRotunda, 8.0f, 5.0f, 210.0f, -0.03f, {0.55f, 0.7f, 1.0f}, 45.0f, 30.0f},                     // 1, cool
    {kPlaza, 9.0f, 9.0f, 0.0f, 0.02f, {1.0f, 0.92f, 0.8f}, 120.0f, 40.0f},                         // 2, key
    {kPlaza, 3.0f, 6.6f, 180.0f, -0.045f, {0.6f, 0.55f, 1.0f}, 50.0f, 25.0f},                      // 3, violet
    {kStoneField, 16.0f, 7.0f, 240.0f, 0.01f, {1.0f, 0.6f, 0.35f}, 300.0f, 60.0f},                 // 4, dusk
    {kStairwell, kWispRadius, kWispHeight + 1.3f, 0.0f, kWispTurnsPerSecond, {0.5f, 0.8f, 1.0f}, 25.0f, 15.0f},  // 5, wisp
    {kStairwell, 2.5f, 13.0f, 90.0f, 0.02f, {1.0f, 0.75f, 0.5f}, 140.0f, 40.0f},                   // 6, lamp
}};

// The parts of the show as the scene is made for them: which camera, meshes and lights each
// uses and how long it lasts. The closing part shows nothing and needs nothing.
struct PartPlan {
    int camera, firstMesh, lastMesh;
    float seconds;
    std::array<int, 4> lights;  // -1 empty, 100 the camera's own lamp
};

constexpr std::array<PartPlan, 5> kParts = {{
    {3, 16, 19, 22.0f, {4, -1, -1, -1}},
    {1, 2, 4, 16.0f, {0, 1, -1, -1}},
    {0, 0, 1, 16.0f, {100, -1, -1, -1}},
    {4, 20, 23, 16.0f, {5, 6, -1, -1}},
    {2, 5, 15, 40.0f, {2, 3, -1, -1}},
}};

// Frames that cover a part from its start to its end, both included.
std::uint32_t framesFor(float seconds) { return static_cast<std::uint32_t>(std::lround(seconds * kFramesPerSecond)) + 1; }

float secondsOfFrame(std::uint32_t frame) { return static_cast<float>(frame) / kFramesPerSecond; }

float partSecondsForMesh(int mesh) {
    for (const PartPlan& part : kParts) {
        if (mesh >= part.firstMesh && mesh <= part.lastMesh) return part.seconds;
    }
    return 0.0f;
}

float partSecondsForCamera(int camera) {
    for (const PartPlan& part : kParts) {
        if (part.camera == camera) return part.seconds;
    }
    return 0.0f;
}

float partSecondsForLight(int light) {
    for (const PartPlan& part : kParts) {
        if (std::find(part.lights.begin(), part.lights.end(), light) != part.lights.end()) return part.seconds;
    }
    return 0.0f;
}

float ease(float u) { return 0.5f - 0.5f * std::cos(kPi * std::clamp(u, 0.0f, 1.0f)); }
float mix(float a, float b, float s) { return a + (b - a) * s; }
Vec3 mix(Vec3 a, Vec3 b, float s) { return a + (b - a) * s; }
std::array<float, 3> toArray(Vec3 v) { return {v.x, v.y, v.z}; }

CameraFrame cameraFrameAt(const CameraPath& path, float u) {
    const float s = ease(u);
    const Vec3 position = orbitPoint(path.centre, mix(path.startRadius, path.endRadius, s),
                                     mix(path.startHeight, path.endHeight, s), mix(path.startDegrees, path.endDegrees, s));
    CameraFrame frame;
    frame.position = toArray(position);
    frame.direction = toArray(normalize(mix(path.startTarget, path.endTarget, s) - position));
    frame.up = toArray(kUp);
    frame.fov = mix(path.startFov, path.endFov, s);
    return frame;
}

LightFrame lightFrameAt(const LightPath& path, float seconds) {
    const Vec3 position =
        orbitPoint(path.centre, path.radius, path.height, path.startDegrees + 360.0f * path.turnsPerSecond * seconds);
    LightFrame frame;
    frame.position = toArray(position);
    frame.direction = toArray(normalize(path.centre - position));
    frame.up = toArray(kUp);
    frame.param0 = 0.0f;
    frame.range = path.range;
    frame.intensity = path.intensity;
    frame.color = {path.color[0], path.color[1], path.color[2], 1.0f};
    return frame;
}

// ---------------------------------------------------------------------------------------------
// Writing the records

using Bytes = std::vector<std::uint8_t>;

void putU32(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFFu));
}

void putF32(Bytes& out, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putU32(out, bits);
}

template <std::size_t N>
void putF32s(Bytes& out, const std::array<float, N>& values) {
    for (float value : values) putF32(out, value);
}

void putVec3(Bytes& out, Vec3 v) { putF32s(out, toArray(v)); }

// Face i carries surface index i, so each face keeps its own records whatever order it ends in.
void putMesh(Bytes& out, const MeshBuilder& mesh, const std::vector<Matrix4>& transforms) {
    putU32(out, 0);
    putU32(out, static_cast<std::uint32_t>(mesh.triangles.size()));
    for (std::size_t i = 0; i < mesh.triangles.size(); ++i) {
        for (std::uint32_t index : mesh.triangles[i]) putU32(out, index);
        putU32(out, static_cast<std::uint32_t>(i) << 16);
    }
    putU32(out, static_cast<std::uint32_t>(mesh.positions.size()));
    for (const Vec3& p : mesh.positions) putVec3(out, p);
    for (float ambient : mesh.ambient) putF32(out, ambient);
    for (const Material& m : mesh.materials) putF32s(out, m.record0);
    for (const Material& m : mesh.materials) putF32s(out, m.record1);
    putU32(out, static_cast<std::uint32_t>(transforms.size()));
    for (const Matrix4& m : transforms) putF32s(out, m);
}

std::vector<Matrix4> meshTransforms(const MeshPlan& plan, float partSeconds) {
    if (isStill(plan.motion)) return {kIdentityMatrix};
    std::vector<Matrix4> transforms;
    const std::uint32_t count = framesFor(partSeconds);
    for (std::uint32_t frame = 0; frame < count; ++frame) transforms.push_back(motionAt(plan.motion, secondsOfFrame(frame)));
    return transforms;
}

void putCameraFrame(Bytes& out, const CameraFrame& frame) {
    putF32s(out, frame.position);
    putF32s(out, frame.direction);
    putF32s(out, frame.up);
    putF32(out, frame.fov);
    for (std::uint32_t word : frame.unused) putU32(out, word);
}

// The record's own pose is the first frame's.
void putCamera(Bytes& out, const CameraPath& path, float partSeconds) {
    const std::uint32_t count = framesFor(partSeconds);
    const CameraFrame first = cameraFrameAt(path, 0.0f);
    putF32(out, first.fov);
    putF32(out, 0.0f);
    putF32(out, 0.0f);
    putF32s(out, first.position);
    putF32s(out, first.direction);
    putF32s(out, first.up);
    putU32(out, count);
    for (std::uint32_t frame = 0; frame < count; ++frame) {
        putCameraFrame(out, cameraFrameAt(path, secondsOfFrame(frame) / partSeconds));
    }
}

void putLightFrame(Bytes& out, const LightFrame& frame) {
    putF32s(out, frame.position);
    putF32s(out, frame.direction);
    putF32s(out, frame.up);
    putF32(out, frame.param0);
    putF32(out, frame.range);
    putF32(out, frame.intensity);
    putF32s(out, frame.color);
}

void putLight(Bytes& out, const LightPath& path, float partSeconds) {
    const std::uint32_t count = framesFor(partSeconds);
    const LightFrame first = lightFrameAt(path, 0.0f);
    putF32(out, first.param0);
    putF32(out, 0.0f);  // param1
    putF32(out, 0.0f);  // param2
    putF32(out, first.range);
    putF32(out, first.intensity);
    putF32(out, 0.0f);  // param5
    putF32s(out, first.color);
    putF32s(out, first.position);
    putF32s(out, first.direction);
    putF32s(out, first.up);
    putU32(out, count);
    for (std::uint32_t frame = 0; frame < count; ++frame) putLightFrame(out, lightFrameAt(path, secondsOfFrame(frame)));
}

}  // namespace

std::vector<std::uint8_t> generateSceneFile() {
    Bytes out;
    const auto& plans = meshPlans();
    putU32(out, static_cast<std::uint32_t>(plans.size()));
    for (std::size_t i = 0; i < plans.size(); ++i) {
        MeshBuilder mesh;
        plans[i].build(mesh, plans[i].variant);
        putMesh(out, mesh, meshTransforms(plans[i], partSecondsForMesh(static_cast<int>(i))));
    }
    putU32(out, static_cast<std::uint32_t>(kCameraPaths.size()));
    for (std::size_t i = 0; i < kCameraPaths.size(); ++i) {
        putCamera(out, kCameraPaths[i], partSecondsForCamera(static_cast<int>(i)));
    }
    putU32(out, static_cast<std::uint32_t>(kLightPaths.size()));
    for (std::size_t i = 0; i < kLightPaths.size(); ++i) {
        putLight(out, kLightPaths[i], partSecondsForLight(static_cast<int>(i)));
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// The title image

namespace {

struct Rgb {
    float r, g, b;
};

Rgb mix(Rgb a, Rgb b, float s) { return {mix(a.r, b.r, s), mix(a.g, b.g, s), mix(a.b, b.b, s)}; }

float smoothstep(float edge0, float edge1, float x) {
    const float u = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return u * u * (3.0f - 2.0f * u);
}

// How much of a pixel a shape covers, from the pixel centre's signed distance to its edge.
float coverage(float signedDistance) { return std::clamp(0.5f - signedDistance, 0.0f, 1.0f); }

float distanceToSegment(float px, float py, float ax, float ay, float bx, float by) {
    const float dx = bx - ax, dy = by - ay;
    const float s = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    return std::hypot(px - (ax + s * dx), py - (ay + s * dy));
}

std::uint32_t hashPixel(std::uint32_t x, std::uint32_t y) {
    std::uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    return h ^ (h >> 15);
}

constexpr int kTitleWidth = 512;
constexpr int kTitleHeight = 256;
constexpr float kHorizon = 168.0f;
constexpr float kSunX = 256.0f, kSunY = 150.0f, kSunRadius = 78.0f;
constexpr float kRingRadius = 100.0f, kRingHalfWidth = 3.5f;
constexpr float kOutline = 3.0f;
constexpr float kChevronHalfWidth = 4.5f;

constexpr Rgb kSkyTop{0.04f, 0.02f, 0.12f};
constexpr Rgb kSkyMiddle{0.30f, 0.08f, 0.34f};
constexpr Rgb kSkyGlow{0.95f, 0.45f, 0.35f};
constexpr Rgb kSunTop{1.0f, 0.90f, 0.45f};
constexpr Rgb kSunBottom{1.0f, 0.30f, 0.50f};
constexpr Rgb kGround{0.05f, 0.01f, 0.09f};
constexpr Rgb kGridNear{0.20f, 0.85f, 1.0f};
constexpr Rgb kGridFar{0.95f, 0.30f, 0.90f};
constexpr Rgb kInk{0.05f, 0.02f, 0.10f};
constexpr Rgb kRingColor{0.90f, 0.96f, 1.0f};
constexpr Rgb kChevronColor{0.20f, 0.95f, 1.0f};

Rgb skyAt(float x, float y) {
    const float t = y / kHorizon;
    Rgb color = mix(mix(kSkyTop, kSkyMiddle, smoothstep(0.0f, 0.65f, t)), kSkyGlow, smoothstep(0.55f, 1.0f, t));
    const std::uint32_t h = hashPixel(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
    if (h % 1000u < 3u && t < 0.55f) {
        const float star = (1.0f - t / 0.55f) * (0.5f + 0.5f * static_cast<float>(h % 97u) / 96.0f);
        color = mix(color, {1, 1, 1}, star);
    }
    // The sun, cut into bands that widen towards the horizon.
    const float below = y - (kSunY - 10.0f);
    const bool inGap = below > 0.0f && std::fmod(below, 12.0f) < 1.0f + below / 6.0f;
    const float sun = inGap ? 0.0f : coverage(std::hypot(x - kSunX, y - kSunY) - kSunRadius);
    const Rgb sunColor = mix(kSunTop, kSunBottom, smoothstep(kSunY - kSunRadius, kSunY + kSunRadius, y));
    return mix(color, sunColor, sun);
}

// A floor grid in perspective, vanishing at the horizon's middle.
Rgb groundAt(float x, float y) {
    const float below = y - kHorizon;
    const float depth = 240.0f / below;  // grid rows one unit apart along the ground
    const float depthPerPixel = 240.0f / (below * below);
    const float across = (x - kSunX) * 4.0f / below;  // grid columns one unit apart across it
    const float acrossPerPixel = 4.0f / below;
    const float rowLine = coverage(std::fabs(depth - std::round(depth)) / std::max(depthPerPixel, 1e-3f) - 0.6f);
    const float columnLine = coverage(std::fabs(across - std::round(across)) / acrossPerPixel - 0.6f);
    // Lines fade out where they would crowd closer than a few pixels.
    const float lines = std::max(rowLine * smoothstep(20.0f, 45.0f, below), columnLine * smoothstep(10.0f, 45.0f, below));
    const Rgb line = mix(kGridFar, kGridNear, smoothstep(0.0f, kTitleHeight - kHorizon, below));
    return mix(mix(kSkyGlow, kGround, smoothstep(0.0f, 12.0f, below)), line, lines);
}

// Paints a stroke of the given half width with a dark outline around it.
Rgb stroke(Rgb under, float distance, float halfWidth, Rgb color) {
    const Rgb outlined = mix(under, kInk, coverage(distance - halfWidth - kOutline));
    return mix(outlined, color, coverage(distance - halfWidth));
}

// The emblem: a ring around the sun and a chevron through it, woven: the chevron passes over the
// ring on the left and under it on the right.
Rgb emblemAt(Rgb under, float x, float y) {
    const float ring = std::fabs(std::hypot(x - kSunX, y - kSunY) - kRingRadius);
    const float chevron = std::min(distanceToSegment(x, y, 186.0f, 52.0f, kSunX, 222.0f),
                                   distanceToSegment(x, y, kSunX, 222.0f, 326.0f, 52.0f));
    if (x < kSunX) return stroke(stroke(under, ring, kRingHalfWidth, kRingColor), chevron, kChevronHalfWidth, kChevronColor);
    return stroke(stroke(under, chevron, kChevronHalfWidth, kChevronColor), ring, kRingHalfWidth, kRingColor);
}

std::uint8_t toByte(float value) { return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f)); }

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

RgbaImage drawTitleImage() {
    RgbaImage image;
    image.width = kTitleWidth;
    image.height = kTitleHeight;
    image.pixels.reserve(static_cast<std::size_t>(kTitleWidth) * kTitleHeight * 4);
    for (int row = 0; row < kTitleHeight; ++row) {
        for (int column = 0; column < kTitleWidth; ++column) {
            const float x = static_cast<float>(column) + 0.5f, y = static_cast<float>(row) + 0.5f;
            Rgb color = emblemAt(y < kHorizon ? skyAt(x, y) : groundAt(x, y), x, y);
            const float u = x / kTitleWidth - 0.5f, v = y / kTitleHeight - 0.5f;
            const float vignette = 1.0f - 0.6f * (u * u + v * v);
            for (float channel : {color.r, color.g, color.b}) image.pixels.push_back(toByte(channel * vignette));
            image.pixels.push_back(255);
        }
    }
    return image;
}

std::vector<std::uint8_t> encodePng(const RgbaImage& image) {
    std::vector<std::uint8_t> png;
    const std::size_t expected = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4;
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() != expected) return png;
    if (stbi_write_png_to_func(appendBytes, &png, image.width, image.height, 4, image.pixels.data(), image.width * 4) == 0) {
        png.clear();
    }
    return png;
}

}  // namespace scenegen
