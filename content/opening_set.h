// Pieces of the opening's dusk set. The opening is first shown in two, then four colours, so the
// set is made of broad flat tones rather than fine texture: a sky dome glowing in wide bands, a
// plain pale ground, and dark standing shapes that cut hard silhouettes against the glow.
//
// The dome and the ground are tiled with near-equilateral triangles whose edges stay within
// kLongestEdge: they cover the most area for the faces the scene texture can hold.
#pragma once

#include <array>
#include <span>

#include "content/mesh_builder.h"

namespace content {

// One band of the sky dome: it glows with `glow` from the top of the band below it (or the
// horizon) up to `topDegrees` of elevation.
struct SkyBand {
    float topDegrees;
    std::array<float, 3> glow;
};

// The part of a dome around centre between two compass angles (as orbitPoint measures them),
// seen from inside, from the horizon up to the last band's top. It only emits light: it neither
// reflects nor takes any, and the lights it encloses reach everything under it.
void addSkyDome(MeshBuilder& mesh, Vec3 centre, float radius, float fromDegrees, float toDegrees,
                std::span<const SkyBand> bands);

// A flat round ground facing up. Its vertex ambient factor is `ambient`: under a low sun the
// sky's light is faint, so shadows stay dark.
void addRoundGround(MeshBuilder& mesh, Vec3 centre, float radius, const Material& material, float ambient);

// An upright slab standing on base, narrowing from its foot to its top (taper = top width over
// foot width), turned about the vertical. Its sides are split like a block's.
void addTaperedSlab(MeshBuilder& mesh, Vec3 base, Vec3 footHalf, float height, float taper, const Material& material,
                    float degrees = 0.0f);

}  // namespace content
