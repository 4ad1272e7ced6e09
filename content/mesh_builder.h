// A mesh under construction: shapes, quads and triangles placed in world coordinates, each face
// with its material. Each vertex carries an ambient factor in 0..1, darker low on objects that
// stand on the ground (a cheap contact shadow), 1 on floors, walls and everything that floats,
// and the shading normal of the curved surface it lies on (zero on flat faces); both travel in
// the vertex extra value (content/vertex_extra.h).
#pragma once

#include <array>
#include <vector>

#include "content/materials.h"
#include "content/shapes.h"
#include "content/surface_pattern.h"
#include "content/vector_math.h"

namespace content {

// No edge of the quads, blocks and column sides below is longer than this (they come in grids):
// a face much longer than the things around it overlaps every split plane of the hierarchy.
inline constexpr float kLongestEdge = 0.75f;

// How many equal pieces of at most `longest` a length takes.
int piecesFor(float length, float longest = kLongestEdge);

struct MeshBuilder {
    std::vector<Vec3> positions;
    std::vector<float> ambient;
    std::vector<Triangle> triangles;
    std::vector<Material> materials;  // one per triangle
    // One per position, or fewer: a vertex without one (zero, or past the end) belongs to flat faces.
    std::vector<Vec3> normals = {};
    // The longest edge the generator leaves whole in this mesh (see addTiledFloor).
    float longestEdge = kLongestEdge;
};

// The shading normal of vertex i: zero when it has none.
Vec3 vertexNormal(const MeshBuilder& mesh, std::size_t i);

// The ambient factor at height y of a shape from bottom up to bottom + height: darker towards the
// ground for a shape that stands on it; 1 for flat or floating shapes.
float ambientFactor(float y, float bottom, float height);

void addShape(MeshBuilder& mesh, const Shape& shape, const Matrix4& placement, const Material& material);

// A flat quad whose corners go around its edge loop, wound to face along normal, as a grid of
// pieces no longer than `longest`. With pieces longer than kLongestEdge the mesh's longestEdge
// grows to their diagonal, so that the generator keeps them whole.
void addQuad(MeshBuilder& mesh, const std::array<Vec3, 4>& corners, Vec3 normal, const Material& material,
             float longest = kLongestEdge);
void addTriangle(MeshBuilder& mesh, const std::array<Vec3, 3>& corners, Vec3 normal, const Material& material);

// A floor at the height of centre over the given half extents, checkered in square tiles of the
// given edge on the mesh's axes, the tile at the origin in a (content/surface_pattern.h), laid in
// pieces no longer than `piece`. Its faces carry the pattern, so a floor standing clear of the
// mesh's other faces can take pieces far longer than kLongestEdge: fewer, larger faces are fewer
// steps for every ray that meets it.
void addTiledFloor(MeshBuilder& mesh, Vec3 centre, float halfX, float halfZ, float tile, const Material& a,
                   const Material& b, float piece = kLongestEdge);

// A round floor of rings x sectors tiles in two alternating materials, the first sector of the
// innermost ring (from +x towards -z) in a. Its centre lies on whole metres, where the pattern's
// rings can be centred.
void addRoundFloor(MeshBuilder& mesh, Vec3 centre, float radius, int rings, int sectors, const Material& a,
                   const Material& b);

// The four walls and the ceiling of a box-shaped room, facing inwards; the floor is left out.
void addRoomShell(MeshBuilder& mesh, Vec3 low, Vec3 high, const Material& walls, const Material& ceiling);

// A box given by its centre and half extents, optionally turned about the vertical.
void addBlock(MeshBuilder& mesh, Vec3 centre, Vec3 half, const Material& material, float degrees = 0.0f);

// An upright cylinder standing on base, shaded smooth around its side.
void addColumn(MeshBuilder& mesh, Vec3 base, float radius, float height, const Material& material, int segments = 20,
               CylinderEnds ends = CylinderEnds::Both);

}  // namespace content
