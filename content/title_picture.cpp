#include "content/title_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "content/vector_math.h"

namespace content {
namespace {

using content::mix;

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

}  // namespace content
