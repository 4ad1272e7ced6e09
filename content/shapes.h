// The primitive shapes the meshes are made of, in their own unit size. Faces are wound
// counter-clockwise seen from the side their normal points to: normal = (v1 - v0) x (v2 - v0)
// points out of every solid.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "content/vector_math.h"

namespace content {

using Triangle = std::array<std::uint32_t, 3>;

struct Shape {
    std::vector<Vec3> positions;
    std::vector<Triangle> triangles;
    // The curved surface's own unit normal at each position, for smooth shading; empty for a shape
    // of flat faces. A face that turns far from its corners' normals (a cylinder's end) is flat.
    std::vector<Vec3> normals = {};
};

// The cube from -1 to 1, each side a grid of the given divisions along x, y and z.
Shape makeBox(std::array<int, 3> divisions = {1, 1, 1});
Shape makeIcosphere(int subdivisions);            // radius 1; 20 x 4^subdivisions faces
// Which ends of a cylinder are closed. An end that lies on something else is better left open:
// nobody sees it, and faces lying on other faces are faces no hierarchy can tell apart.
enum class CylinderEnds { Both, TopOnly, None };

// Radius 1 around y, from y = 0 to 1, the side in rings of equal height.
Shape makeCylinder(int segments, int rings = 1, CylinderEnds ends = CylinderEnds::Both);
Shape makeTorus(float majorRadius, float minorRadius, int segments, int sides);  // around y
Shape makeTorusKnot(int p, int q, float tubeRadius, int segments, int sides);    // in the xy plane

// The same shape with flat faces only (its normals dropped): a cut gem rather than a ball.
Shape faceted(Shape shape);

// The enclosed volume from the faces' signed tetrahedra: positive when every face faces outward.
float signedVolume(const Shape& shape);

}  // namespace content
