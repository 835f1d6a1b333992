// Dense vector, 3x3 matrix and facet-geometry routines shared by the element
// formulations, surface segments, contact and set-up code.  Every routine is
// callable from host code and from kernels; none allocates.  Matrices are
// dense and row-major: entry (i, j) of an m x n matrix sits at i*n + j.
// Routines returning int give 1 for done and 0 for refused.
#pragma once
#include <cmath>
#include <cstdio>

#include "platform/gpuRuntime.h"
#include "platform/simdLane.h"

// Sum of a_i*b_i for i < n (0 for n < 1).
template <typename T>
__host__ __device__ inline T vector_inner_product(int n, const T* a, const T* b) {
  T sum = 0;
  for (int i = 0; i < n; ++i) sum += a[i] * b[i];
  return sum;
}

// out = a x b.  out may not alias a or b.
template <typename T>
__host__ __device__ inline int vector_outer_product(const T* a, const T* b, T* out) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
  return 1;
}

// Divides v by its length and returns the length (no zero test: a zero
// vector yields NaN entries and a length of 0).
template <typename T>
__host__ __device__ inline T vector_unit(T* v, int n) {
  T length = std::sqrt(vector_inner_product(n, v, v));
  for (int i = 0; i < n; ++i) v[i] = v[i] / length;
  return length;
}

// Three-vector forms over the value type T (one value, or a group of
// elements in lanes, see platform/simdLane.h): a . b summed in index order,
// out = a x b (out may not alias a or b), and v divided by its length.
template <typename T>
__host__ __device__ inline T dot3(const T a[3], const T b[3]) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
template <typename T>
__host__ __device__ inline void cross3(const T a[3], const T b[3], T out[3]) {
  vector_outer_product(a, b, out);
}
template <typename T>
__host__ __device__ inline void unit3(T v[3]) {
  const T length = laneSqrt(dot3(v, v));
  for (int k = 0; k < 3; ++k) v[k] = v[k] / length;
}

template <typename T>
__host__ __device__ inline T computeMatrix3rdDeterminant(const T A[3][3]) {
  return A[0][0] * (A[1][1] * A[2][2] - A[1][2] * A[2][1]) - A[0][1] * (A[1][0] * A[2][2] - A[1][2] * A[2][0]) +
         A[0][2] * (A[1][0] * A[2][1] - A[1][1] * A[2][0]);
}

// Adjugate of a row-major 3x3 matrix (nine values) into adj.
template <typename T>
__host__ __device__ inline void adjugate_matrix33(const T* a, T* adj) {
  adj[0] = a[4] * a[8] - a[5] * a[7];
  adj[1] = a[2] * a[7] - a[1] * a[8];
  adj[2] = a[1] * a[5] - a[2] * a[4];
  adj[3] = a[5] * a[6] - a[3] * a[8];
  adj[4] = a[0] * a[8] - a[2] * a[6];
  adj[5] = a[2] * a[3] - a[0] * a[5];
  adj[6] = a[3] * a[7] - a[4] * a[6];
  adj[7] = a[1] * a[6] - a[0] * a[7];
  adj[8] = a[0] * a[4] - a[1] * a[3];
}

// inv = adjugate / det of a row-major 3x3 matrix; returns det.
template <typename T>
__host__ __device__ inline T computeMatrix3rdInverse(const T* A, T* inv) {
  const T det =
      A[0] * (A[4] * A[8] - A[5] * A[7]) - A[1] * (A[3] * A[8] - A[5] * A[6]) + A[2] * (A[3] * A[7] - A[4] * A[6]);
  T adj[9];
  adjugate_matrix33(A, adj);
  for (int i = 0; i < 9; ++i) inv[i] = adj[i] / det;
  return det;
}

// det by expansion along the first row, inv = adjugate * (1/det).
template <typename T>
__host__ __device__ inline int invers_matrix33(const T A[3][3], T inv[3][3], T& det) {
  det = computeMatrix3rdDeterminant(A);
  T adj[9];
  adjugate_matrix33(&A[0][0], adj);
  const T r = T(1) / det;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) inv[i][j] = adj[i * 3 + j] * r;
  return 1;
}

// C (m x q) = A (m x n) * B (p x q); refused (0, C untouched) when n != p or
// C is null.  C may not alias A or B.
template <typename T>
__host__ __device__ inline int mul_matrix(const T* A, const T* B, T* C, int m, int n, int p, int q) {
  if (n != p || C == nullptr) return 0;
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < q; ++j) {
      T sum = 0;
      for (int k = 0; k < n; ++k) sum += A[i * n + k] * B[k * q + j];
      C[i * q + j] = sum;
    }
  return 1;
}

template <typename T>
__host__ __device__ inline int scale_mul_matrix(const T* A, T s, T* out, int m, int n) {
  for (int k = 0; k < m * n; ++k) out[k] = s * A[k];
  return 1;
}

// Adds s*v_i*v_j to the upper triangle (j >= i) of the n x n matrix A.
__host__ __device__ inline void plusDyadSymmUpper(double* A, const double* v, double s, int n) {
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) A[i * n + j] += s * v[i] * v[j];
}

// Solves A X = B for the square nA x nA matrix A and nA x mB right-hand
// sides by Gaussian elimination with partial pivoting.  A and B are
// overwritten.  Does nothing when A is not square or the shapes of B and X do
// not match A; a pivot below 1e-20 is reported and the elimination goes on.
__host__ __device__ inline void solveForRhs(double* A, double* B, double* X, int nA, int mA, int nB, int mB, int nX,
                                            int mX) {
  if (nA != mA || nB != nA || nX != nA || mX != mB || nA < 1 || mB < 1) return;
  const int n = nA;
  const int m = mB;
  for (int k = 0; k < n; ++k) {
    int r = k;
    double best = std::fabs(A[k * n + k]);
    for (int i = k + 1; i < n; ++i) {
      const double v = std::fabs(A[i * n + k]);
      if (v > best) {
        best = v;
        r = i;
      }
    }
    if (best < 1e-20) {
      printf("pivot too small, cannot solve %d by %d matrix", n, n);
      printf("cannot solve, zero pivot encountered");
    }
    if (r != k) {
      for (int j = 0; j < n; ++j) {
        const double t = A[k * n + j];
        A[k * n + j] = A[r * n + j];
        A[r * n + j] = t;
      }
      for (int j = 0; j < m; ++j) {
        const double t = B[k * m + j];
        B[k * m + j] = B[r * m + j];
        B[r * m + j] = t;
      }
    }
    for (int i = k + 1; i < n; ++i) {
      const double f = A[i * n + k] / A[k * n + k];
      for (int j = k; j < n; ++j) A[i * n + j] -= f * A[k * n + j];
      for (int j = 0; j < m; ++j) B[i * m + j] -= f * B[k * m + j];
    }
  }
  for (int c = 0; c < m; ++c)
    for (int i = n - 1; i >= 0; --i) {
      double sum = B[i * m + c];
      for (int j = i + 1; j < n; ++j) sum -= A[i * n + j] * X[j * m + c];
      X[i * m + c] = sum / A[i * n + i];
    }
}

// Area of a triangle from |a|^2 |b|^2 - (a.b)^2; the radicand is clamped at
// zero so that a degenerate (collinear) triangle gives 0, never NaN.
__host__ __device__ inline void computeTriangleArea(const double* p0, const double* p1, const double* p2,
                                                    double& area) {
  double a[3], b[3];
  for (int i = 0; i < 3; ++i) {
    a[i] = p2[i] - p0[i];
    b[i] = p1[i] - p0[i];
  }
  const double ab = vector_inner_product(3, a, b);
  double radicand = vector_inner_product(3, a, a) * vector_inner_product(3, b, b) - ab * ab;
  if (!(radicand > 0.0)) radicand = 0.0;
  area = 0.5 * std::sqrt(radicand);
}

// Triangles (p0, p1, p2) and (p0, p2, p3).
__host__ __device__ inline void computeQuadrilaArea(const double* p0, const double* p1, const double* p2,
                                                    const double* p3, double& area) {
  double a1 = 0.0, a2 = 0.0;
  computeTriangleArea(p0, p1, p2, a1);
  computeTriangleArea(p0, p2, p3, a2);
  area = a1 + a2;
}

// |det [1 x y z]_i| / 6.
__host__ __device__ inline void computeTetraVolume(const double* p0, const double* p1, const double* p2,
                                                   const double* p3, double& vol) {
  double m[3][3];
  for (int i = 0; i < 3; ++i) {
    m[0][i] = p1[i] - p0[i];
    m[1][i] = p2[i] - p0[i];
    m[2][i] = p3[i] - p0[i];
  }
  vol = std::fabs(computeMatrix3rdDeterminant(m)) / 6.0;
}

// Local frame of a 4-node facet: a = p1 - p0, b = p2 - p0, c = p3 - p1;
// n = unit(b x c), e1 = unit(a - (a.n) n), e2 = unit(n x e1).  A null p3
// stands for a triangle: c is then p2 - p1.
template <typename T>
__host__ __device__ inline int axis_transformation(const T* p0, const T* p1, const T* p2, const T* p3, T* n, T* e1,
                                                   T* e2) {
  const T* q3 = p3 != nullptr ? p3 : p2;
  T a[3], b[3], c[3];
  for (int i = 0; i < 3; ++i) {
    a[i] = p1[i] - p0[i];
    b[i] = p2[i] - p0[i];
    c[i] = q3[i] - p1[i];
  }
  vector_outer_product(b, c, n);
  vector_unit(n, 3);
  const T an = vector_inner_product(3, a, n);
  for (int i = 0; i < 3; ++i) e1[i] = a[i] - an * n[i];
  vector_unit(e1, 3);
  vector_outer_product(n, e1, e2);
  vector_unit(e2, 3);
  return 1;
}

// Frame of axis_transformation, then local coordinates l0 = 0 and
// l_k = ((p_k - p0).e1, (p_k - p0).e2, 0); also returns the frame.
template <typename T>
__host__ __device__ inline int coordinate_transforma(const T* p0, const T* p1, const T* p2, const T* p3, T* l0, T* l1,
                                                     T* l2, T* l3, T* n, T* e1, T* e2) {
  axis_transformation(p0, p1, p2, p3, n, e1, e2);
  const T* q3 = p3 != nullptr ? p3 : p2;
  const T* p[3] = {p1, p2, q3};
  T* l[3] = {l1, l2, l3};
  l0[0] = l0[1] = l0[2] = 0;
  for (int k = 0; k < 3; ++k) {
    T d[3];
    for (int i = 0; i < 3; ++i) d[i] = p[k][i] - p0[i];
    l[k][0] = vector_inner_product(3, d, e1);
    l[k][1] = vector_inner_product(3, d, e2);
    l[k][2] = 0;
  }
  return 1;
}

template <typename T>
__host__ __device__ inline int coordinate_transforma(const T* p0, const T* p1, const T* p2, const T* p3, T* l0, T* l1,
                                                     T* l2, T* l3) {
  T n[3], e1[3], e2[3];
  return coordinate_transforma(p0, p1, p2, p3, l0, l1, l2, l3, n, e1, e2);
}

// Area of a 4-node facet from its local coordinates: half the cross product
// of the diagonals; also returns the local coordinates and the frame.
template <typename T>
__host__ __device__ inline int quad_element_area(const T* p0, const T* p1, const T* p2, const T* p3, T* l0, T* l1,
                                                 T* l2, T* l3, T* n, T* e1, T* e2, T* area) {
  coordinate_transforma(p0, p1, p2, p3, l0, l1, l2, l3, n, e1, e2);
  *area = 0.5 * ((l3[1] - l1[1]) * l2[0] - (l3[0] - l1[0]) * l2[1]);
  return 1;
}

template <typename T>
__host__ __device__ inline int quad_element_area(const T* p0, const T* p1, const T* p2, const T* p3, T* area) {
  T l0[3], l1[3], l2[3], l3[3], n[3], e1[3], e2[3];
  return quad_element_area(p0, p1, p2, p3, l0, l1, l2, l3, n, e1, e2, area);
}

// n = unit((p1 - p0) x (p2 - p0)), e1 = unit(p1 - p0), e2 = unit(n x e1),
// area = 0.5 ((p1 - p0).e1) ((p2 - p0).e2).
template <typename T>
__host__ __device__ inline int tri_element_area(const T* p0, const T* p1, const T* p2, T* n, T* e1, T* e2, T* area) {
  T a[3], b[3];
  for (int i = 0; i < 3; ++i) {
    a[i] = p1[i] - p0[i];
    b[i] = p2[i] - p0[i];
  }
  vector_outer_product(a, b, n);
  vector_unit(n, 3);
  for (int i = 0; i < 3; ++i) e1[i] = a[i];
  vector_unit(e1, 3);
  vector_outer_product(n, e1, e2);
  vector_unit(e2, 3);
  *area = 0.5 * vector_inner_product(3, a, e1) * vector_inner_product(3, b, e2);
  return 1;
}

// Inverse of a symmetric 3x3 matrix (an inertia tensor) by cofactors; false
// when it is singular.
__host__ __device__ inline bool invertInertia(const double m[9], double inv[9]) {
  const double c00 = m[4] * m[8] - m[5] * m[7];
  const double c01 = m[5] * m[6] - m[3] * m[8];
  const double c02 = m[3] * m[7] - m[4] * m[6];
  const double det = m[0] * c00 + m[1] * c01 + m[2] * c02;
  const double scale = std::fabs(m[0]) + std::fabs(m[4]) + std::fabs(m[8]);
  if (!std::isfinite(det) || std::fabs(det) <= 1e-12 * scale * scale * scale || det == 0.0) return false;
  inv[0] = c00 / det;
  inv[1] = (m[2] * m[7] - m[1] * m[8]) / det;
  inv[2] = (m[1] * m[5] - m[2] * m[4]) / det;
  inv[3] = c01 / det;
  inv[4] = (m[0] * m[8] - m[2] * m[6]) / det;
  inv[5] = (m[2] * m[3] - m[0] * m[5]) / det;
  inv[6] = c02 / det;
  inv[7] = (m[1] * m[6] - m[0] * m[7]) / det;
  inv[8] = (m[0] * m[4] - m[1] * m[3]) / det;
  return true;
}
