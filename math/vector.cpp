#include "math/vector.h"

#include <cmath>
#include <cstddef>

Vec3 normalize(Vec3 a) {
    const float length = std::sqrt(dot(a, a));
    if (!(length > 0.0f) || std::isinf(length)) return {};
    return {a.x / length, a.y / length, a.z / length};
}

namespace {

// Element (row, column) of a column-major matrix.
float at(const Matrix4& m, int row, int column) { return m[static_cast<std::size_t>(column * 4 + row)]; }

// The determinant of what is left of m without `row` and `column`.
float minor3(const Matrix4& m, int row, int column) {
    int rows[3], columns[3];
    for (int i = 0, r = 0, c = 0; i < 4; ++i) {
        if (i != row) rows[r++] = i;
        if (i != column) columns[c++] = i;
    }
    const auto e = [&](int i, int j) { return at(m, rows[i], columns[j]); };
    return e(0, 0) * (e(1, 1) * e(2, 2) - e(1, 2) * e(2, 1)) -
           e(0, 1) * (e(1, 0) * e(2, 2) - e(1, 2) * e(2, 0)) +
           e(0, 2) * (e(1, 0) * e(2, 1) - e(1, 1) * e(2, 0));
}

float cofactor(const Matrix4& m, int row, int column) {
    const float minor = minor3(m, row, column);
    return (row + column) % 2 == 0 ? minor : -minor;
}

}  // namespace

Matrix4 inverse4x4(const Matrix4& matrix) {
    float determinant = 0.0f;
    for (int column = 0; column < 4; ++column) {
        determinant += at(matrix, 0, column) * cofactor(matrix, 0, column);
    }
    Matrix4 inverse{};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            // Element (row, column) of the inverse is cofactor (column, row) over the determinant.
            inverse[static_cast<std::size_t>(column * 4 + row)] = cofactor(matrix, column, row) / determinant;
        }
    }
    return inverse;
}
