#include "content/mesh_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace content {
float ambientFactor(float y, float bottom, float height) {
    const bool standsOnGround = bottom < 0.05f && height > 0.05f;
    if (!standsOnGround) return 1.0f;
    return 0.55f + 0.45f * std::clamp((y - bottom) / std::min(height, 1.5f), 0.0f, 1.0f);
}

Vec3 vertexNormal(const MeshBuilder& mesh, std::size_t i) { return i < mesh.normals.size() ? mesh.normals[i] : Vec3{}; }

namespace {

// A normal carried through the placement: by the transposed inverse of its 3 x 3 part, which keeps
// it at right angles to a surface that is stretched unevenly (columns are scaled in x, y and z).
Vec3 placeNormal(const Matrix4& m, Vec3 n) {
    const Vec3 c0{m[0], m[1], m[2]}, c1{m[4], m[5], m[6]}, c2{m[8], m[9], m[10]};
    return normalize(cross(c1, c2) * n.x + cross(c2, c0) * n.y + cross(c0, c1) * n.z);
}

// A face whose corners' normals turn further than this from its own is flat (a cylinder's end).
constexpr float kCreaseCosine = 0.7f;

bool facesAlongItsNormals(const MeshBuilder& mesh, const Triangle& t) {
    const Vec3 a = mesh.positions[t[0]];
    const Vec3 own = normalize(cross(mesh.positions[t[1]] - a, mesh.positions[t[2]] - a));
    return std::all_of(t.begin(), t.end(), [&](std::uint32_t v) { return dot(own, mesh.normals[v]) > kCreaseCosine; });
}

// The vertex normals stop at the last vertex that has one; from here on every vertex has its own.
void padNormals(MeshBuilder& mesh) { mesh.normals.resize(mesh.positions.size()); }

}  // namespace

void addShape(MeshBuilder& mesh, const Shape& shape, const Matrix4& placement, const Material& material) {
    const bool smooth = !shape.normals.empty();
    if (smooth) padNormals(mesh);
    const auto base = static_cast<std::uint32_t>(mesh.positions.size());
    float bottom = 1e30f, top = -1e30f;
    for (std::size_t i = 0; i < shape.positions.size(); ++i) {
        const Vec3 placed = transformPoint(placement, shape.positions[i]);
        mesh.positions.push_back(placed);
        if (smooth) mesh.normals.push_back(placeNormal(placement, shape.normals[i]));
        bottom = std::min(bottom, placed.y);
        top = std::max(top, placed.y);
    }
    for (std::size_t i = base; i < mesh.positions.size(); ++i) {
        mesh.ambient.push_back(ambientFactor(mesh.positions[i].y, bottom, top - bottom));
    }
    // The corners of flat faces of a smooth shape get copies without a normal, shared among them.
    std::vector<std::uint32_t> flatCopy(shape.positions.size(), UINT32_MAX);
    const auto flatCorner = [&](std::uint32_t v) {
        if (flatCopy[v - base] == UINT32_MAX) {
            flatCopy[v - base] = static_cast<std::uint32_t>(mesh.positions.size());
            mesh.positions.push_back(mesh.positions[v]);
            mesh.ambient.push_back(mesh.ambient[v]);
            mesh.normals.push_back({});
        }
        return flatCopy[v - base];
    };
    for (const Triangle& t : shape.triangles) {
        Triangle placed{t[0] + base, t[1] + base, t[2] + base};
        if (smooth && !facesAlongItsNormals(mesh, placed)) {
            for (std::uint32_t& v : placed) v = flatCorner(v);
        }
        mesh.triangles.push_back(placed);
        mesh.materials.push_back(material);
    }
}

int piecesFor(float length, float longest) { return std::max(1, static_cast<int>(std::ceil(length / longest - 1e-4f))); }

void addQuad(MeshBuilder& mesh, const std::array<Vec3, 4>& corners, Vec3 normal, const Material& material,
             float longest) {
    const auto length = [](Vec3 a, Vec3 b) { return std::sqrt(dot(b - a, b - a)); };
    const float wide = std::max(length(corners[0], corners[1]), length(corners[3], corners[2]));
    const float deep = std::max(length(corners[0], corners[3]), length(corners[1], corners[2]));
    const int across = piecesFor(wide, longest);
    const int along = piecesFor(deep, longest);
    if (longest > kLongestEdge) {
        // The generator would halve the pieces' diagonals again: the mesh allows them.
        const float pieceX = wide / static_cast<float>(across), pieceZ = deep / static_cast<float>(along);
        mesh.longestEdge = std::max(mesh.longestEdge, std::sqrt(pieceX * pieceX + pieceZ * pieceZ) * 1.001f);
    }
    const auto base = static_cast<std::uint32_t>(mesh.positions.size());
    for (int j = 0; j <= along; ++j) {
        const float v = static_cast<float>(j) / static_cast<float>(along);
        for (int i = 0; i <= across; ++i) {
            const float u = static_cast<float>(i) / static_cast<float>(across);
            mesh.positions.push_back(mix(mix(corners[0], corners[1], u), mix(corners[3], corners[2], u), v));
            mesh.ambient.push_back(1.0f);
        }
    }
    const bool facing = dot(cross(corners[1] - corners[0], corners[2] - corners[0]), normal) > 0.0f;
    const auto at = [&](int i, int j) { return base + static_cast<std::uint32_t>(j * (across + 1) + i); };
    for (int j = 0; j < along; ++j) {
        for (int i = 0; i < across; ++i) {
            const std::uint32_t a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            const std::array<Triangle, 2> triangles = facing ? std::array<Triangle, 2>{{{a, b, c}, {a, c, d}}}
                                                             : std::array<Triangle, 2>{{{a, c, b}, {a, d, c}}};
            for (const Triangle& t : triangles) {
                mesh.triangles.push_back(t);
                mesh.materials.push_back(material);
            }
        }
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

void addTiledFloor(MeshBuilder& mesh, Vec3 centre, float halfX, float halfZ, float tile, const Material& a,
                   const Material& b, float piece) {
    const float x0 = centre.x - halfX, x1 = centre.x + halfX, z0 = centre.z - halfZ, z1 = centre.z + halfZ;
    addQuad(mesh, {{{x0, centre.y, z0}, {x1, centre.y, z0}, {x1, centre.y, z1}, {x0, centre.y, z1}}}, kUp,
            checkered(a, b, squareCells(tile)), piece);
}

void addRoundFloor(MeshBuilder& mesh, Vec3 centre, float radius, int rings, int sectors, const Material& a,
                   const Material& b) {
    const Material pattern = checkered(a, b, ringCells(centre, radius / static_cast<float>(rings), sectors));
    for (int ring = 0; ring < rings; ++ring) {
        const float r0 = radius * static_cast<float>(ring) / static_cast<float>(rings);
        const float r1 = radius * static_cast<float>(ring + 1) / static_cast<float>(rings);
        for (int sector = 0; sector < sectors; ++sector) {
            const float d0 = 360.0f * static_cast<float>(sector) / static_cast<float>(sectors);
            const float d1 = 360.0f * static_cast<float>(sector + 1) / static_cast<float>(sectors);
            const Vec3 outer0 = orbitPoint(centre, r1, 0.0f, d0), outer1 = orbitPoint(centre, r1, 0.0f, d1);
            if (ring == 0) {
                addTriangle(mesh, {centre, outer0, outer1}, kUp, pattern);
            } else {
                addQuad(mesh, {orbitPoint(centre, r0, 0.0f, d0), outer0, outer1, orbitPoint(centre, r0, 0.0f, d1)}, kUp,
                        pattern);
            }
        }
    }
}

void addRoomShell(MeshBuilder& mesh, Vec3 low, Vec3 high, const Material& walls, const Material& ceiling) {
    const float x0 = low.x, y0 = low.y, z0 = low.z, x1 = high.x, y1 = high.y, z1 = high.z;
    addQuad(mesh, {{{x0, y0, z0}, {x0, y1, z0}, {x0, y1, z1}, {x0, y0, z1}}}, {1, 0, 0}, walls);
    addQuad(mesh, {{{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}}, {-1, 0, 0}, walls);
    addQuad(mesh, {{{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0}}}, {0, 0, 1}, walls);
    addQuad(mesh, {{{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}}, {0, 0, -1}, walls);
    addQuad(mesh, {{{x0, y1, z0}, {x1, y1, z0}, {x1, y1, z1}, {x0, y1, z1}}}, {0, -1, 0}, ceiling);
}

void addBlock(MeshBuilder& mesh, Vec3 centre, Vec3 half, const Material& material, float degrees) {
    const std::array<int, 3> divisions = {piecesFor(2.0f * half.x), piecesFor(2.0f * half.y), piecesFor(2.0f * half.z)};
    addShape(mesh, makeBox(divisions), place(centre, half, kUp, degrees), material);
}

void addColumn(MeshBuilder& mesh, Vec3 base, float radius, float height, const Material& material, int segments,
               CylinderEnds ends) {
    addShape(mesh, makeCylinder(segments, piecesFor(height), ends), place(base, {radius, height, radius}), material);
}

}  // namespace content
