// The one 3-vector and column-major 4x4 matrix of the scene, the show and the generated content.
// y is up; one unit is about a metre. No OpenGL here: this is the bottom layer.
#pragma once

#include <array>
#include <cstdint>

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};
// Files and the scene data texture hold three packed floats per point; keep the type that size.
static_assert(sizeof(Vec3) == 12);
static_assert(sizeof(Vec3) == sizeof(std::array<float, 3>));

inline constexpr Vec3 kUp{0, 1, 0};

// Whole numbers below this travel exactly in a float (and so in a float texel).
inline constexpr std::uint32_t kExactFloatLimit = 1u << 24;

constexpr Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
constexpr Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
constexpr Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }

constexpr float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// a divided by its length. A length that is zero, infinite or NaN gives the zero vector, so a
// degenerate direction never spreads NaN into the matrices built from it.
Vec3 normalize(Vec3 a);

// The scene's file records keep points as three floats in an array.
constexpr std::array<float, 3> toArray(Vec3 v) { return {v.x, v.y, v.z}; }
constexpr Vec3 toVec3(const std::array<float, 3>& a) { return {a[0], a[1], a[2]}; }

// A column-major 4x4 matrix, handed to OpenGL untransposed: element (row, column) is
// m[column * 4 + row], and the translation sits in m[12], m[13], m[14].
using Matrix4 = std::array<float, 16>;

inline constexpr Matrix4 kIdentityMatrix = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f,
                                            0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};

// The point p carried by m (w = 1).
constexpr Vec3 transformPoint(const Matrix4& m, Vec3 p) {
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

// A box given by its lowest and highest corners.
struct Box3 {
    Vec3 low;
    Vec3 high;
};

// The general inverse: cofactors transposed, divided by the determinant. A singular matrix
// gives non-finite values.
Matrix4 inverse4x4(const Matrix4& matrix);
