// The scene the production shows and its title image, built procedurally and deterministically.
//
// Coordinates: y is up, one unit is about a metre, the ground of every set lies at y = 0. Each
// part of the show has its own little set, built in the meshes' own coordinates at its own place
// (sets lie 60 units or more apart), so a mesh's transform is the identity or an animation about
// a point of its set. A transform maps the mesh's coordinates to world coordinates.
//
// Faces are wound counter-clockwise seen from the side their normal points to:
// normal = (v1 - v0) x (v2 - v0) points out of solids, up out of floors and into rooms.
//
// Surface records (each face has its own pair; the surface index of face i is i):
//   record 0: red, green, blue albedo (0..1, linear), roughness (0 = polished, 1 = matte)
//   record 1: red, green, blue emitted light added whatever the lights do (0 = none), and
//             reflectivity, the share of a mirror reflection (0..1)
// Vertex extra: an ambient factor in 0..1, darker low on objects that stand on the ground (a
// cheap contact shadow), 1 on floors, walls and everything that floats.
//
// Lights: position and intensity x colour are what the shader receives. Intensities are meant
// for a fall-off with the square of the distance: intensity x colour / distance^2 is about 1 on
// the set's main objects. range is the distance beyond which the light hardly matters; param0 is
// 0 (a point light); direction points at the set's centre.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace scenegen {

// The whole scene file in its little-endian layout. Two calls give the same bytes.
std::vector<std::uint8_t> generateSceneFile();

// A picture in 8-bit RGBA, rows top first.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width x height x 4
};

// The title image: an evening sky over a grid, a banded sun and the group's emblem.
RgbaImage drawTitleImage();

// The image as PNG file bytes; empty when it cannot be encoded.
std::vector<std::uint8_t> encodePng(const RgbaImage& image);

inline constexpr char kGeneratedSceneName[] = "scene.vxs";
inline constexpr char kGeneratedTitleImageName[] = "Orrin&Vassel.png";

// The primitives the meshes are made of, in their own unit size, exposed for their tests.
struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

struct Shape {
    std::vector<Vec3> positions;
    std::vector<std::array<std::uint32_t, 3>> triangles;
};

Shape makeBox();                                  // the cube from -1 to 1
Shape makeIcosphere(int subdivisions);            // radius 1; 20 x 4^subdivisions faces
Shape makeCylinder(int segments);                 // radius 1 around y, from y = 0 to 1, capped
Shape makeTorus(float majorRadius, float minorRadius, int segments, int sides);  // around y
Shape makeTorusKnot(int p, int q, float tubeRadius, int segments, int sides);    // in the xy plane

// The enclosed volume from the faces' signed tetrahedra: positive when every face faces outward.
float signedVolume(const Shape& shape);

}  // namespace scenegen
