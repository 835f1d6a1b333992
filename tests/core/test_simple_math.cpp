#include <gtest/gtest.h>

#include <cmath>

#include "core/simpleMath.h"

TEST(SimpleMath, InnerProductCountsExactlyNTerms) {
  const double a[5] = {1, 2, 3, 4, 5};
  const double b[5] = {1, 1, 1, 1, 10};
  EXPECT_EQ(vector_inner_product(0, a, b), 0.0);
  EXPECT_EQ(vector_inner_product(-3, a, b), 0.0);
  EXPECT_EQ(vector_inner_product(4, a, b), 10.0);
  EXPECT_EQ(vector_inner_product(5, a, b), 60.0);
}

TEST(SimpleMath, UnitVectorReturnsTheLengthItDividedBy) {
  double v[3] = {3.0, 0.0, 4.0};
  EXPECT_DOUBLE_EQ(vector_unit(v, 3), 5.0);
  EXPECT_DOUBLE_EQ(v[0], 0.6);
  EXPECT_DOUBLE_EQ(v[2], 0.8);
  double c[3];
  const double x[3] = {1, 0, 0}, y[3] = {0, 1, 0};
  vector_outer_product(x, y, c);
  EXPECT_EQ(c[2], 1.0);
}

TEST(SimpleMath, MatrixProductRefusesMismatchedInnerSizes) {
  const double A[6] = {1, 2, 3, 4, 5, 6};  // 2x3
  const double B[6] = {1, 0, 0, 1, 1, 1};  // 3x2
  double C[4] = {-1, -1, -1, -1};
  EXPECT_EQ(mul_matrix(A, B, C, 2, 3, 2, 3), 0);
  for (double c : C) EXPECT_EQ(c, -1.0);
  EXPECT_EQ(mul_matrix(A, B, static_cast<double*>(nullptr), 2, 3, 3, 2), 0);
  ASSERT_EQ(mul_matrix(A, B, C, 2, 3, 3, 2), 1);
  EXPECT_EQ(C[0], 4.0);
  EXPECT_EQ(C[1], 5.0);
  EXPECT_EQ(C[2], 10.0);
  EXPECT_EQ(C[3], 11.0);
}

TEST(SimpleMath, InverseTimesMatrixIsIdentity) {
  double A[3][3] = {{4, 1, 0}, {2, 5, 1}, {0, 1, 3}};
  double inv[3][3], det = 0;
  invers_matrix33(A, inv, det);
  EXPECT_DOUBLE_EQ(det, computeMatrix3rdDeterminant(A));
  EXPECT_DOUBLE_EQ(det, 4 * 14 - 1 * 6);
  double inv2[9];
  EXPECT_DOUBLE_EQ(computeMatrix3rdInverse(&A[0][0], inv2), det);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double s = 0;
      for (int k = 0; k < 3; ++k) s += A[i][k] * inv[k][j];
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-14);
      EXPECT_DOUBLE_EQ(inv2[i * 3 + j], inv[i][j]);
    }
}

TEST(SimpleMath, SolveForRhsWithPivotingSolvesFourBySixSystem) {
  // The first pivot is zero, so the solve needs a row swap.
  const double A0[16] = {0, 2, 1, 1, 3, 1, 0, 2, 1, 1, 4, 0, 2, 0, 1, 5};
  double X0[24];
  for (int k = 0; k < 24; ++k) X0[k] = std::sin(k + 1.0);
  double B[24] = {};
  mul_matrix(A0, X0, B, 4, 4, 4, 6);
  double A[16];
  for (int k = 0; k < 16; ++k) A[k] = A0[k];
  double X[24] = {};
  solveForRhs(A, B, X, 4, 4, 4, 6, 4, 6);
  for (int k = 0; k < 24; ++k) EXPECT_NEAR(X[k], X0[k], 1e-12);
  // A non-square matrix is left alone.
  double Y[24] = {};
  solveForRhs(A, B, Y, 4, 3, 4, 6, 4, 6);
  for (double y : Y) EXPECT_EQ(y, 0.0);
}

TEST(SimpleMath, UnitSquareFrameAndAreas) {
  const double p0[3] = {0, 0, 0}, p1[3] = {1, 0, 0}, p2[3] = {1, 1, 0}, p3[3] = {0, 1, 0};
  double n[3], e1[3], e2[3], l0[3], l1[3], l2[3], l3[3], area = 0;
  quad_element_area(p0, p1, p2, p3, l0, l1, l2, l3, n, e1, e2, &area);
  const double nz[3] = {0, 0, 1}, ex[3] = {1, 0, 0}, ey[3] = {0, 1, 0};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(n[i], nz[i], 1e-15);
    EXPECT_NEAR(e1[i], ex[i], 1e-15);
    EXPECT_NEAR(e2[i], ey[i], 1e-15);
  }
  EXPECT_DOUBLE_EQ(area, 1.0);
  EXPECT_DOUBLE_EQ(l2[0], 1.0);
  EXPECT_DOUBLE_EQ(l2[1], 1.0);
  double area2 = 0;
  quad_element_area(p0, p1, p2, p3, &area2);
  EXPECT_DOUBLE_EQ(area2, 1.0);
  double area3 = 0;
  computeQuadrilaArea(p0, p1, p2, p3, area3);
  EXPECT_DOUBLE_EQ(area3, 1.0);
  double tri = 0;
  tri_element_area(p0, p1, p2, n, e1, e2, &tri);
  EXPECT_DOUBLE_EQ(tri, 0.5);
}

TEST(SimpleMath, DegenerateTriangleHasZeroAreaNotNaN) {
  // Collinear points whose radicand rounds below zero.
  const double p0[3] = {0.1, 0.2, 0.3}, p1[3] = {0.4, 0.5, 0.6}, p2[3] = {0.7, 0.8, 0.9};
  double area = -1;
  computeTriangleArea(p0, p1, p2, area);
  EXPECT_FALSE(std::isnan(area));
  EXPECT_NEAR(area, 0.0, 1e-8);
  computeTriangleArea(p0, p0, p0, area);
  EXPECT_EQ(area, 0.0);
}

TEST(SimpleMath, TetraVolumeDoesNotDependOnPointOrder) {
  const double a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0, 1, 0}, d[3] = {0, 0, 1};
  double v1 = 0, v2 = 0, v3 = 0;
  computeTetraVolume(a, b, c, d, v1);
  computeTetraVolume(b, a, c, d, v2);
  computeTetraVolume(d, c, b, a, v3);
  EXPECT_DOUBLE_EQ(v1, 1.0 / 6.0);
  EXPECT_DOUBLE_EQ(v2, 1.0 / 6.0);
  EXPECT_DOUBLE_EQ(v3, 1.0 / 6.0);
}

TEST(SimpleMath, DyadAddsOnlyToTheUpperTriangle) {
  double A[9] = {};
  const double v[3] = {1, 2, 3};
  plusDyadSymmUpper(A, v, 2.0, 3);
  EXPECT_EQ(A[1], 4.0);  // (0,1)
  EXPECT_EQ(A[3], 0.0);  // (1,0) untouched
  EXPECT_EQ(A[8], 18.0);
}
