// Mathematics of the ten-node tetrahedron on plain arrays: shape functions
// and their natural derivatives, the eleven-point rule, volumes, the
// consistent N^T N matrix and a small dense solver for the nodal stress
// recovery.  Everything is __host__ __device__ and works in registers.
//
// Natural coordinates are the volume coordinates r = L1, s = L2, t = L3 of
// corners 1-3, with L4 = 1 - r - s - t for corner 4.  Mid-side nodes:
// 5 on edge 1-2, 6 on 2-3, 7 on 3-1, 8 on 1-4, 9 on 2-4, 10 on 3-4.
#pragma once
#include <cmath>

#include "elements/solid1st/solid1stFormulation.h"

namespace tet2nd {

constexpr int kNodes = 10;
constexpr int kRulePoints = 11;

// Shape functions at (r, s, t).
__host__ __device__ inline void calTetr2ndGaussShape(double r, double s, double t, double N[kNodes]) {
  const double u = 1.0 - r - s - t;
  N[0] = r * (2.0 * r - 1.0);
  N[1] = s * (2.0 * s - 1.0);
  N[2] = t * (2.0 * t - 1.0);
  N[3] = u * (2.0 * u - 1.0);
  N[4] = 4.0 * r * s;
  N[5] = 4.0 * s * t;
  N[6] = 4.0 * t * r;
  N[7] = 4.0 * r * u;
  N[8] = 4.0 * s * u;
  N[9] = 4.0 * t * u;
}

// Derivatives with respect to r, s, t: dN[a][I].
__host__ __device__ inline void calTetr2ndGaussLocalDerivative(double r, double s, double t, double dN[3][kNodes]) {
  const double u = 1.0 - r - s - t;
  const double cu = -(4.0 * u - 1.0);
  const double d[3][kNodes] = {{4.0 * r - 1.0, 0.0, 0.0, cu, 4.0 * s, 0.0, 4.0 * t, 4.0 * (u - r), -4.0 * s, -4.0 * t},
                               {0.0, 4.0 * s - 1.0, 0.0, cu, 4.0 * r, 4.0 * t, 0.0, -4.0 * r, 4.0 * (u - s), -4.0 * t},
                               {0.0, 0.0, 4.0 * t - 1.0, cu, 0.0, 4.0 * s, 4.0 * r, -4.0 * r, -4.0 * s, 4.0 * (u - t)}};
  for (int a = 0; a < 3; ++a)
    for (int I = 0; I < kNodes; ++I) dN[a][I] = d[a][I];
}

// Point p (0..10) of the eleven-point rule, exact for polynomials of degree
// four: volume coordinates L[0..2] and weight (the weights add up to 1/6).
__host__ __device__ inline double rulePoint(int p, double L[3]) {
  const double f = 1.0 / 14.0, e = 1.0 - 3.0 * f;
  const double root = sqrt(0.35714285714285715);
  const double c = 0.25 * (1.0 + root), d = 0.25 * (1.0 - root);
  if (p == 0) {
    L[0] = L[1] = L[2] = 0.25;
    return -0.013155555555555556;
  }
  if (p <= 4) {
    // (e, f, f), (f, e, f), (f, f, e), (f, f, f)
    for (int k = 0; k < 3; ++k) L[k] = (k == p - 1) ? e : f;
    return 0.007622222222222222;
  }
  // (c, c, d), (c, d, c), (c, d, d), (d, c, c), (d, c, d), (d, d, c)
  const int kPattern[6][3] = {{1, 1, 0}, {1, 0, 1}, {1, 0, 0}, {0, 1, 1}, {0, 1, 0}, {0, 0, 1}};
  for (int k = 0; k < 3; ++k) L[k] = kPattern[p - 5][k] ? c : d;
  return 0.024888888888888887;
}

// det J at (r, s, t) for node coordinates x (signed; 6 x the volume for a
// straight-sided element with positive orientation).
__host__ __device__ inline double jacobianDeterminant(double r, double s, double t, const double x[kNodes][3]) {
  double dN[3][kNodes], J[3][3];
  calTetr2ndGaussLocalDerivative(r, s, t, dN);
  solid1st::jacobianMatrix<kNodes>(dN, x, J);
  return solid1st::det3(J);
}

// Volume a point at (L[0], L[1], L[2]) with weight w stands for: |det J| w.
__host__ __device__ inline double computeTetr2ndGaussVolume(const double L[3], double w, const double x[kNodes][3]) {
  return fabs(jacobianDeterminant(L[0], L[1], L[2], x)) * w;
}

// Volume by the eleven-point rule, sum of |det J| w: exact for any element
// whose Jacobian keeps its sign (det J is a cubic in r, s, t).
__host__ __device__ inline double volume(const double x[kNodes][3]) {
  double v = 0.0;
  for (int p = 0; p < kRulePoints; ++p) {
    double L[3];
    const double w = rulePoint(p, L);
    v += computeTetr2ndGaussVolume(L, w, x);
  }
  return v;
}

// Consistent matrix M_IJ = integral of N_I N_J over the element, by the
// eleven-point rule (exact for straight-sided elements).
__host__ __device__ inline void computeTetr2ndNNMatrix(const double x[kNodes][3], double M[kNodes][kNodes]) {
  for (int I = 0; I < kNodes; ++I)
    for (int J = 0; J < kNodes; ++J) M[I][J] = 0.0;
  for (int p = 0; p < kRulePoints; ++p) {
    double L[3], N[kNodes];
    const double w = rulePoint(p, L);
    const double dv = computeTetr2ndGaussVolume(L, w, x);
    calTetr2ndGaussShape(L[0], L[1], L[2], N);
    for (int I = 0; I < kNodes; ++I)
      for (int J = 0; J < kNodes; ++J) M[I][J] += N[I] * N[J] * dv;
  }
}

// Solves M X = B for nrhs right-hand sides in place (B becomes X) by
// Gaussian elimination with partial pivoting; M is destroyed.  Returns false
// (B left partly reduced) when a pivot is below tol times the largest
// diagonal entry.
template <int N, int R>
__host__ __device__ inline bool solveDense(double M[N][N], double B[N][R], double tol) {
  double scale = 0.0;
  for (int i = 0; i < N; ++i)
    if (fabs(M[i][i]) > scale) scale = fabs(M[i][i]);
  for (int k = 0; k < N; ++k) {
    int piv = k;
    for (int i = k + 1; i < N; ++i)
      if (fabs(M[i][k]) > fabs(M[piv][k])) piv = i;
    if (!(fabs(M[piv][k]) > tol * scale)) return false;
    if (piv != k) {
      for (int j = 0; j < N; ++j) {
        const double m = M[k][j];
        M[k][j] = M[piv][j];
        M[piv][j] = m;
      }
      for (int j = 0; j < R; ++j) {
        const double b = B[k][j];
        B[k][j] = B[piv][j];
        B[piv][j] = b;
      }
    }
    for (int i = k + 1; i < N; ++i) {
      const double f = M[i][k] / M[k][k];
      for (int j = k; j < N; ++j) M[i][j] -= f * M[k][j];
      for (int j = 0; j < R; ++j) B[i][j] -= f * B[k][j];
    }
  }
  for (int k = N - 1; k >= 0; --k)
    for (int j = 0; j < R; ++j) {
      double s = B[k][j];
      for (int i = k + 1; i < N; ++i) s -= M[k][i] * B[i][j];
      B[k][j] = s / M[k][k];
    }
  return true;
}

}  // namespace tet2nd
