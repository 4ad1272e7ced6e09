// The vertex extra value the scene program reads with each vertex: a whole number below 2^24,
// so that it travels exactly in a float texel and can never be a NaN or an infinity.
//   bits 0 to 9 and 10 to 19: the vertex's shading normal in octahedral coordinates, each 0..1022;
//                             1023 in bits 0 to 9 means none: the face's own normal is used
//   bits 20 to 23:            the ambient factor, level / 15 (0 in the deepest shade, 1 unshaded)
// resources/test.glsl decodes it the same way.
#pragma once

#include <cstdint>

#include "content/vector_math.h"

namespace content {

inline constexpr std::uint32_t kOctSteps = 1022;  // codes 0..1022: -1..1 with an exact 0 in the middle
inline constexpr std::uint32_t kNoNormal = 1023;  // in the first code: no shading normal
inline constexpr std::uint32_t kSecondCodeShift = 10;
inline constexpr std::uint32_t kAmbientShift = 20;
inline constexpr std::uint32_t kAmbientLevels = 15;

struct VertexExtra {
    Vec3 normal;  // unit length, or zero: no shading normal of its own (a flat face's vertex)
    float ambient = 1.0f;
};

// A zero normal packs as "none"; ambient is clamped to 0..1.
float packVertexExtra(const VertexExtra& extra);
VertexExtra unpackVertexExtra(float packed);

}  // namespace content
