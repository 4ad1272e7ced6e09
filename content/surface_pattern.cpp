#include "content/surface_pattern.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace content {
namespace {

constexpr float kCodeSteps = 255.0f;
constexpr int kCentreBias = 128;
constexpr float kSmallestCell = 1e-3f;  // the scene program divides by the cell size
constexpr float kCodeLimit = static_cast<float>(kExactFloatLimit);

// An albedo channel in 8 bits, as its square root: dark tiles keep their depth.
std::uint32_t albedoCode(float albedo) {
    return static_cast<std::uint32_t>(std::lround(std::sqrt(std::clamp(albedo, 0.0f, 1.0f)) * kCodeSteps));
}

float albedoOfCode(std::uint32_t code) {
    const float root = static_cast<float>(code & 255u) / kCodeSteps;
    return root * root;
}

std::uint32_t centreCode(float v) {
    return static_cast<std::uint32_t>(std::clamp(static_cast<int>(std::lround(v)), -kCentreBias, kCentreBias - 1) + kCentreBias);
}

// Whether a record value is a whole number that the records' codes can be.
bool isCode(float value) { return value >= 0.0f && value < kCodeLimit && value == std::floor(value); }

}  // namespace

Material checkered(const Material& a, const Material& b, const CheckerLayout& layout) {
    const std::uint32_t second =
        albedoCode(b.record0[0]) | albedoCode(b.record0[1]) << 8 | albedoCode(b.record0[2]) << 16;
    std::uint32_t cells = 0;
    if (layout.sectors != 0) {
        const auto sectors = static_cast<std::uint32_t>(std::clamp(layout.sectors / 2 * 2, 2, 254));
        cells = sectors | centreCode(layout.centre.x) << 8 | centreCode(layout.centre.z) << 16;
    }
    Material pattern;
    pattern.record0 = {a.record0[0], a.record0[1], a.record0[2], 0.5f * (a.record0[3] + b.record0[3])};
    pattern.record1 = {-1.0f - static_cast<float>(second), std::max(layout.cellSize, kSmallestCell), static_cast<float>(cells),
                       0.5f * (a.record1[3] + b.record1[3])};
    return pattern;
}

std::optional<Checker> readChecker(const Material& records) {
    const float marker = records.record1[0];
    if (!(marker < 0.0f) || !isCode(-1.0f - marker) || !isCode(records.record1[2])) return std::nullopt;
    const auto second = static_cast<std::uint32_t>(-1.0f - marker);
    const auto cells = static_cast<std::uint32_t>(records.record1[2]);
    Checker checker;
    checker.albedoA = {records.record0[0], records.record0[1], records.record0[2]};
    checker.albedoB = {albedoOfCode(second), albedoOfCode(second >> 8), albedoOfCode(second >> 16)};
    checker.roughness = records.record0[3];
    checker.reflectivity = records.record1[3];
    checker.layout.cellSize = records.record1[1];
    checker.layout.sectors = static_cast<int>(cells & 255u);
    if (checker.layout.sectors != 0) {
        checker.layout.centre = {static_cast<float>(static_cast<int>(cells >> 8 & 255u) - kCentreBias), 0.0f,
                                 static_cast<float>(static_cast<int>(cells >> 16) - kCentreBias)};
    }
    return checker;
}

}  // namespace content
