// Checkered floors drawn by the scene program rather than built of tiles. Every face of such a
// floor carries the whole pattern in its two surface records, and the scene program works out,
// over the pixel's footprint, how much of each material the pixel covers. So a tile border costs
// no extra samples, and far tiles blend to their mean instead of shimmering.
//   record 0: the first material's red, green, blue albedo, and the pattern's roughness
//   record 1: red:   -1 - the second material's albedo, each channel's square root in 8 bits
//                    (red in bits 0 to 7, green 8 to 15, blue 16 to 23): below zero, where
//                    emitted light never is, so a face without a pattern cannot be taken for one
//             green: the cell size: a square's edge, or a ring's width
//             blue:  0 for squares on the mesh's x and z axes, the cell at the origin in the first
//                    material; otherwise rings about a centre in whole metres, cut into sectors
//                    counted from the +x axis towards -z: sectors + 256 (x + 128) + 65536 (z + 128)
//             alpha: the pattern's reflectivity
// The pattern's roughness and reflectivity are the means of its two materials'; it emits nothing.
// resources/test.glsl decodes it the same way.
#pragma once

#include <optional>

#include "content/materials.h"
#include "content/vector_math.h"

namespace content {

// How the cells of a checker are laid out.
struct CheckerLayout {
    float cellSize = 1.0f;  // edge of a square cell, or width of a ring
    int sectors = 0;        // 0: squares; otherwise rings about centre cut into this many sectors
    Vec3 centre = {};       // rings only: x and z in whole metres within -128..127
};

inline CheckerLayout squareCells(float edge) { return {edge, 0, {}}; }
inline CheckerLayout ringCells(Vec3 centre, float width, int sectors) { return {width, sectors, centre}; }

// The material of a checker of a and b; the cell at the origin (squares) or at the centre and
// the +x axis (rings) is a. What the records cannot hold is brought within them: a ring centre to
// the nearest whole metre in range, the sectors to an even number from 2 to 254 (an odd number
// would not alternate around the circle); readChecker shows what a face holds.
Material checkered(const Material& a, const Material& b, const CheckerLayout& layout);

// What a face's records say, for the tools and tests: nothing when they hold no pattern (or values
// no checker can have).
struct Checker {
    std::array<float, 3> albedoA;
    std::array<float, 3> albedoB;
    float roughness;
    float reflectivity;
    CheckerLayout layout;
};
std::optional<Checker> readChecker(const Material& records);

}  // namespace content
