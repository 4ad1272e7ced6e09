// The one vector vocabulary: the normalisation rule, the cross product's handedness and the
// general inverse of a column-major matrix.
#include <gtest/gtest.h>

#include <limits>

#include "math/vector.h"

namespace {

std::array<float, 3> components(Vec3 v) { return toArray(v); }

TEST(NormalizeTest, DividesByTheLengthAndKeepsTheSigns) {
    EXPECT_EQ(components(normalize({3, 0, -4})), (std::array<float, 3>{0.6f, 0.0f, -0.8f}));
    EXPECT_EQ(components(normalize({0, -2, 0})), (std::array<float, 3>{0, -1, 0}));
}

TEST(NormalizeTest, ZeroInfiniteOrNaNLengthGivesTheZeroVector) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    const Vec3 cases[] = {{0, 0, 0},         {kNaN, 1, 0},   {0, kInfinity, 0}, {-kInfinity, kInfinity, 1},
                          {3e38f, 3e38f, 0}, {1e-30f, 0, 0}};  // the last two square past the float range
    for (const Vec3 v : cases) {
        EXPECT_EQ(components(normalize(v)), (std::array<float, 3>{0, 0, 0})) << v.x << " " << v.y << " " << v.z;
    }
}

TEST(CrossTest, IsRightHandedAndAntiCommutative) {
    EXPECT_EQ(components(cross({1, 0, 0}, {0, 1, 0})), (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(components(cross({0, 1, 0}, {0, 0, 1})), (std::array<float, 3>{1, 0, 0}));
    EXPECT_EQ(components(cross({0, 1, 0}, {1, 0, 0})), (std::array<float, 3>{0, 0, -1}));
    EXPECT_EQ(components(cross({2, 3, 4}, {5, 6, 7})), (std::array<float, 3>{-3, 6, -3}));
    EXPECT_EQ(dot(cross({2, 3, 4}, {5, 6, 7}), {2, 3, 4}), 0.0f);
}

TEST(Inverse4x4Test, OffDiagonalBlockIsInvertedColumnMajor) {
    // Rows (1 2; 3 4) in the upper left: the inverse rows are (-2 1; 1.5 -0.5).
    const Matrix4 m = {1, 3, 0, 0, 2, 4, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(inverse4x4(m), (Matrix4{-2, 1.5f, 0, 0, 1, -0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
}

TEST(Inverse4x4Test, TranslationIsUndoneFromTheLastColumn) {
    const Matrix4 m = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, -6, 7, 1};
    EXPECT_EQ(inverse4x4(m), (Matrix4{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -5, 6, -7, 1}));
}

TEST(Inverse4x4Test, GeneralMatrixTimesItsInverseIsIdentity) {
    const Matrix4 m = {2, 1, 0, 1, 0, 3, 1, 0, 1, 0, 2, 2, 0, 1, 1, 4};
    const Matrix4 inverse = inverse4x4(m);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += m[k * 4 + row] * inverse[column * 4 + k];
            EXPECT_NEAR(sum, row == column ? 1.0f : 0.0f, 1e-5f) << row << "," << column;
        }
    }
}

}  // namespace
