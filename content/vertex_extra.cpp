#include "content/vertex_extra.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace content {
namespace {

constexpr std::uint32_t kCodeMask = (1u << kSecondCodeShift) - 1;

std::uint32_t quantize(float value) {
    return static_cast<std::uint32_t>(std::lround((std::clamp(value, -1.0f, 1.0f) + 1.0f) * 0.5f * kOctSteps));
}

float dequantize(std::uint32_t code) { return static_cast<float>(code) / static_cast<float>(kOctSteps) * 2.0f - 1.0f; }

float signOf(float v) { return v < 0.0f ? -1.0f : 1.0f; }

}  // namespace

float packVertexExtra(const VertexExtra& extra) {
    const float level = std::clamp(extra.ambient, 0.0f, 1.0f);
    std::uint32_t bits = static_cast<std::uint32_t>(std::lround(level * kAmbientLevels)) << kAmbientShift;
    const Vec3 n = extra.normal;
    const float sum = std::fabs(n.x) + std::fabs(n.y) + std::fabs(n.z);
    if (!(sum > 1e-6f)) return static_cast<float>(bits | kNoNormal);
    // Octahedral map: the unit sphere onto the square -1..1, the lower half folded over the corners.
    float u = n.x / sum, v = n.y / sum;
    if (n.z < 0.0f) {
        const float fu = (1.0f - std::fabs(v)) * signOf(u);
        const float fv = (1.0f - std::fabs(u)) * signOf(v);
        u = fu;
        v = fv;
    }
    bits |= quantize(u) | quantize(v) << kSecondCodeShift;
    return static_cast<float>(bits);
}

VertexExtra unpackVertexExtra(float packed) {
    const auto bits = static_cast<std::uint32_t>(packed);
    VertexExtra extra;
    extra.ambient = static_cast<float>(bits >> kAmbientShift) / kAmbientLevels;
    if ((bits & kCodeMask) == kNoNormal) return extra;
    const float u = dequantize(bits & kCodeMask), v = dequantize((bits >> kSecondCodeShift) & kCodeMask);
    Vec3 n{u, v, 1.0f - std::fabs(u) - std::fabs(v)};
    if (n.z < 0.0f) {
        n.x = (1.0f - std::fabs(v)) * signOf(u);
        n.y = (1.0f - std::fabs(u)) * signOf(v);
    }
    extra.normal = normalize(n);
    return extra;
}

}  // namespace content
