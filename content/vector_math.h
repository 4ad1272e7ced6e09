// Points, directions and the column-major matrices that place the generated content. y is up and
// one unit is about a metre.
#pragma once

#include <array>
#include <cstdint>
#include <numbers>

#include "math/vector.h"
#include "scene/scene.h"

namespace content {

inline constexpr float kPi = std::numbers::pi_v<float>;

using ::kExactFloatLimit;

float radians(float degrees);
float mix(float a, float b, float s);
Vec3 mix(Vec3 a, Vec3 b, float s);

// A point on the circle of the given radius about centre's vertical, height above centre. The
// angle turns the +x direction the way a rotation about +y does (towards -z).
Vec3 orbitPoint(Vec3 centre, float radius, float height, float degrees);

Matrix4 multiply(const Matrix4& a, const Matrix4& b);
Matrix4 translation(Vec3 v);
Matrix4 scaling(Vec3 s);
Matrix4 rotation(Vec3 axis, float angle);  // right-handed, about the axis's direction, in radians

// Scale, then turn about axis by degrees, then move to position.
Matrix4 place(Vec3 position, Vec3 scale, Vec3 axis = kUp, float degrees = 0.0f);
Matrix4 placeUniform(Vec3 position, float scale, Vec3 axis = kUp, float degrees = 0.0f);

}  // namespace content
