#include "content/vector_math.h"

#include <cmath>

namespace content {

float radians(float degrees) { return degrees * kPi / 180.0f; }
float mix(float a, float b, float s) { return a + (b - a) * s; }
Vec3 mix(Vec3 a, Vec3 b, float s) { return a + (b - a) * s; }

Vec3 orbitPoint(Vec3 centre, float radius, float height, float degrees) {
    const float angle = radians(degrees);
    return centre + Vec3{radius * std::cos(angle), height, -radius * std::sin(angle)};
}

Matrix4 multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 m{};
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[column * 4 + k];
            m[column * 4 + row] = sum;
        }
    }
    return m;
}

Matrix4 translation(Vec3 v) {
    Matrix4 m = kIdentityMatrix;
    m[12] = v.x;
    m[13] = v.y;
    m[14] = v.z;
    return m;
}

Matrix4 scaling(Vec3 s) {
    Matrix4 m = kIdentityMatrix;
    m[0] = s.x;
    m[5] = s.y;
    m[10] = s.z;
    return m;
}

Matrix4 rotation(Vec3 axis, float angle) {
    const Vec3 u = normalize(axis);
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    Matrix4 m = kIdentityMatrix;
    m[0] = u.x * u.x * t + c;
    m[1] = u.y * u.x * t + u.z * s;
    m[2] = u.z * u.x * t - u.y * s;
    m[4] = u.x * u.y * t - u.z * s;
    m[5] = u.y * u.y * t + c;
    m[6] = u.z * u.y * t + u.x * s;
    m[8] = u.x * u.z * t + u.y * s;
    m[9] = u.y * u.z * t - u.x * s;
    m[10] = u.z * u.z * t + c;
    return m;
}

Matrix4 place(Vec3 position, Vec3 scale, Vec3 axis, float degrees) {
    return multiply(translation(position), multiply(rotation(axis, radians(degrees)), scaling(scale)));
}

Matrix4 placeUniform(Vec3 position, float scale, Vec3 axis, float degrees) {
    return place(position, {scale, scale, scale}, axis, degrees);
}

}  // namespace content
