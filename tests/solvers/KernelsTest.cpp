#include <gtest/gtest.h>

#include "solvers/Kernels.h"

namespace tandor {
namespace {

TEST(Cross4, UnitVectorsAndRepeatedArguments) {
  const Vector4 e0{1, 0, 0, 0}, e1{0, 1, 0, 0}, e2{0, 0, 1, 0}, e3{0, 0, 0, 1};
  EXPECT_EQ(Cross4(e0, e1, e2), (Vector4{0, 0, 0, -1}));
  EXPECT_EQ(Cross4(e1, e2, e3), (Vector4{1, 0, 0, 0}));
  const Vector4 a{1, 2, 3, 4}, b{-2, 0.5, 7, 1};
  for (const auto &x : {Cross4(a, a, b), Cross4(a, b, a), Cross4(b, a, a)})
    for (double c : x)
      EXPECT_EQ(c, 0.0);
}

TEST(Cross4, IsOrthogonalToItsArguments) {
  const Vector4 a{1, 2, 3, 4}, b{-2, 0.5, 7, 1}, c{0.3, -1, 2, 5};
  const Vector4 x = Cross4(a, b, c);
  EXPECT_NEAR(Dot4(x, a), 0, 1e-12);
  EXPECT_NEAR(Dot4(x, b), 0, 1e-12);
  EXPECT_NEAR(Dot4(x, c), 0, 1e-12);
  EXPECT_GT(Norm4(x), 1);
}

TEST(InvertMatrix, IdentitySwapAndSingularColumns) {
  Matrix<3> id{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  const Matrix<3> idCopy = id;
  EXPECT_TRUE(InvertMatrix(id));
  EXPECT_EQ(id, idCopy);

  Matrix<2> swap{{{0, 1}, {1, 0}}};
  EXPECT_TRUE(InvertMatrix(swap));
  EXPECT_EQ(swap, (Matrix<2>{{{0, 1}, {1, 0}}}));

  Matrix<3> zeroColumn{{{0, 1, 2}, {0, 3, 4}, {0, 5, 7}}};
  EXPECT_FALSE(InvertMatrix(zeroColumn));

  Matrix<2> tiny{{{1e-13, 0}, {-1e-13, 1}}};
  EXPECT_FALSE(InvertMatrix(tiny));
  Matrix<2> small{{{1e-11, 0}, {0, 1}}};
  EXPECT_TRUE(InvertMatrix(small));
  EXPECT_DOUBLE_EQ(small[0][0], 1e11);
}

TEST(InvertMatrix, GivesTheInverse) {
  const Matrix<3> m{{{2, -1, 0.5}, {1, 3, -2}, {0.25, 4, 1}}};
  Matrix<3> inv = m;
  ASSERT_TRUE(InvertMatrix(inv));
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double s = 0;
      for (int k = 0; k < 3; ++k)
        s += m[i][k] * inv[k][j];
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-14);
    }
}

TEST(InvertMatrix, NotANumberIsSingular) {
  Matrix<2> m{{{std::nan(""), 1}, {1, 1}}};
  EXPECT_FALSE(InvertMatrix(m));
}

TEST(MinimumNormCorrection, ZeroResidualAndEqualRows) {
  PointPair x{0.1, 0.2, 0.3, 0.4};
  double length = -1;
  const Vector4 J0{1, 0, 0, 0}, J1{0, 1, 0, 0}, J2{0, 0, 1, 0};
  EXPECT_TRUE(MinimumNormCorrection(x, length, {0, 0, 0}, J0, J1, J2));
  EXPECT_EQ(x, (PointPair{0.1, 0.2, 0.3, 0.4}));
  EXPECT_EQ(length, 0.0);

  length = -1;
  EXPECT_FALSE(MinimumNormCorrection(x, length, {1, 2, 3}, J0, J0, J2));
  EXPECT_EQ(x, (PointPair{0.1, 0.2, 0.3, 0.4}));
  EXPECT_EQ(length, -1);
}

TEST(MinimumNormCorrection, SolvesTheLinearisedSystemWithLeastNorm) {
  PointPair x{0, 0, 0, 0};
  double length = 0;
  const Vector4 J0{1, 1, 0, 0}, J1{0, 1, 1, 0}, J2{0, 0, 1, 1};
  const Vector3 G{1, -2, 0.5};
  ASSERT_TRUE(MinimumNormCorrection(x, length, G, J0, J1, J2));
  // J x = -G
  EXPECT_NEAR(Dot4(J0, x), -G[0], 1e-14);
  EXPECT_NEAR(Dot4(J1, x), -G[1], 1e-14);
  EXPECT_NEAR(Dot4(J2, x), -G[2], 1e-14);
  // least norm: orthogonal to the kernel of J
  EXPECT_NEAR(Dot4(Cross4(J0, J1, J2), x), 0, 1e-14);
  EXPECT_DOUBLE_EQ(length, Norm4(x));
}

TEST(FloorIndex, TruncatesAndStepsDownBelowZero) {
  struct Case {
    double x;
    int expected;
  };
  for (const Case &c : {Case{2.7, 2}, Case{0.0, 0}, Case{-0.3, -1}, Case{-2.0, -3}, Case{5.0, 5}})
    EXPECT_EQ(FloorIndex(c.x), c.expected) << c.x;
  EXPECT_EQ(FloorIndex(std::nan("")), INT_MIN);
  EXPECT_EQ(FloorIndex(1e300), INT_MAX);
}

TEST(Norms, AndDistances) {
  EXPECT_DOUBLE_EQ(Norm3({3, 4, 12}), 13);
  EXPECT_DOUBLE_EQ(Norm4({1, 1, 1, 1}), 2);
  EXPECT_DOUBLE_EQ(Distance2({1, 1}, {4, 5}), 5);
  EXPECT_DOUBLE_EQ(Distance3({1, 1, 1}, {4, 5, 13}), 13);
  EXPECT_DOUBLE_EQ(Distance4({1, 1, 1, 1}, {2, 2, 2, 2}), 2);
  EXPECT_DOUBLE_EQ(Dot4({1, 2, 3, 4}, {1, 1, 1, 1}), 10);
  EXPECT_EQ(Cross3({1, 0, 0}, {0, 1, 0}), (Vector3{0, 0, 1}));
}

} // namespace
} // namespace tandor
