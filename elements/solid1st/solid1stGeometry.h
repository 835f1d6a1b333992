// Geometry of the first-order solids on plain arrays: volumes, gradient
// (B) vectors, face areas and characteristic lengths.  Everything here is a
// pure function usable in kernels and on the host; nothing allocates.
//
// Hexahedron corners 1..8 (index 0..7) sit at the natural coordinates
//   xi   = -1 -1 +1 +1 -1 -1 +1 +1
//   eta  = -1 +1 +1 -1 -1 +1 +1 -1
//   zeta = +1 +1 +1 +1 -1 -1 -1 -1
// so that N_I = (1 + xi xi_I)(1 + eta eta_I)(1 + zeta zeta_I) / 8.
#pragma once
#include <cmath>
#include "core/simpleMath.h"
#include "platform/gpuRuntime.h"
#include "platform/simdLane.h"

namespace solid1st {

// Natural coordinates of the hexahedron corners, one row per axis.  Kept as
// a function so that host and device share it without a device constant.
__host__ __device__ inline double hexaCorner(int axis, int node) {
  // bit patterns of the sign (+1 where the bit is set), nodes 0..7
  constexpr unsigned kXi = 0xCCu;    // nodes 2,3,6,7
  constexpr unsigned kEta = 0x66u;   // nodes 1,2,5,6
  constexpr unsigned kZeta = 0x0Fu;  // nodes 0..3
  const unsigned mask = axis == 0 ? kXi : (axis == 1 ? kEta : kZeta);
  return ((mask >> node) & 1u) ? 1.0 : -1.0;
}

__host__ __device__ inline double det3(const double a[3][3]) { return computeMatrix3rdDeterminant(a); }

// Inverse of a 3x3 matrix; returns the determinant (the inverse is not
// finite for a singular matrix).
__host__ __device__ inline double inverse3(const double a[3][3], double inv[3][3]) {
  double d = 0.0;
  invers_matrix33(a, inv, d);
  return d;
}

__host__ __device__ inline double triangleArea(const double* p0, const double* p1, const double* p2) {
  double area = 0.0;
  computeTriangleArea(p0, p1, p2, area);
  return area;
}

__host__ __device__ inline double tetraVolume(const double* p0, const double* p1, const double* p2, const double* p3) {
  double vol = 0.0;
  computeTetraVolume(p0, p1, p2, p3, vol);
  return vol;
}

// Sums along the natural axes: A[a][k] = sum over the N nodes of
// coefficient(a, I) x[I][k] (the Jacobian dx_k/dxi_a when coefficient(a, I)
// is dN_I/dxi_a).
template <int N, typename T, typename Coefficient>
__host__ __device__ inline void naturalAxisSums(Coefficient coefficient, const T x[][3], T A[3][3]) {
  for (int a = 0; a < 3; ++a)
    for (int k = 0; k < 3; ++k) {
      T s = 0.0;
      for (int I = 0; I < N; ++I) s += coefficient(a, I) * x[I][k];
      A[a][k] = s;
    }
}

// Volume-weighted shape-function derivatives at the centre of a hexahedron
// (the one-point B vectors): B[i][I] = V0 dN_I/dx_i at xi = eta = zeta = 0,
// V0 = 8 det J(0).  With A_a = sum_I xi_aI x_I (eight times the centre
// Jacobian), B[i][I] = adj(A)_ia xi_aI / 64; the B of a node is minus the B
// of its diagonally opposite node, so only four nodes are computed.
template <typename T>
__host__ __device__ inline void hexaCentreB(const T x[8][3], T B[3][8]) {
  T A[3][3];
  naturalAxisSums<8>([](int a, int I) { return hexaCorner(a, I); }, x, A);
  // Rows of A are the natural axes, columns x, y, z.  With J = A / 8 and
  // V0 = det(A) / 64: V0 dN_I/dx_i = V0 (J^-1)_ia xi_aI / 8 = adj(A)_ia xi_aI / 64.
  T adj[3][3];
  adjugate_matrix33(&A[0][0], &adj[0][0]);
  constexpr double kScale = 1.0 / 64.0;
  // Nodes 0..3 and their diagonal opposites 6, 7, 4, 5.
  const int kOpposite[4] = {6, 7, 4, 5};
  for (int I = 0; I < 4; ++I) {
    const double n0 = hexaCorner(0, I), n1 = hexaCorner(1, I), n2 = hexaCorner(2, I);
    for (int i = 0; i < 3; ++i) {
      const T b = (adj[i][0] * n0 + adj[i][1] * n1 + adj[i][2] * n2) * kScale;
      B[i][I] = b;
      B[i][kOpposite[I]] = -b;
    }
  }
}

// One component of the exact volume gradient dV/dx (Flanagan-Belytschko
// cofactor form, factor 1/12) for one corner; p lists the six corners that
// enter it, y and z are the two other coordinate components (cyclic order),
// the value of corner c at y[c * stride] and z[c * stride].
template <int stride = 1, typename T>
__host__ __device__ inline T hexaVolumeDerivative(const int p[6], const T* y, const T* z) {
  const auto Y = [y](int c) { return y[c * stride]; };
  const auto Z = [z](int c) { return z[c * stride]; };
  const int a = p[0], b = p[1], c = p[2], d = p[3], e = p[4], f = p[5];
  return ((Y(b) + Y(c)) * (Z(a) + Z(b)) - (Y(a) + Y(b)) * (Z(b) + Z(c)) + (Y(a) + Y(e)) * (Z(d) + Z(e)) -
          (Y(d) + Y(e)) * (Z(a) + Z(e)) - (Y(c) + Y(f)) * (Z(d) + Z(f)) + (Y(d) + Y(f)) * (Z(c) + Z(f))) *
         (1.0 / 12.0);
}

// Corners entering the volume derivative of each corner (rows: corner).
// clang-format off
#define SOLID1ST_VOLUME_DERIVATIVE_CORNERS                                                                      \
  {{1, 2, 3, 4, 5, 7}, {2, 3, 0, 5, 6, 4}, {3, 0, 1, 6, 7, 5}, {0, 1, 2, 7, 4, 6},                              \
   {7, 6, 5, 0, 3, 1}, {4, 7, 6, 1, 0, 2}, {5, 4, 7, 2, 1, 3}, {6, 5, 4, 3, 2, 0}}
// clang-format on

// Uniform-gradient B vectors B[i][I] = dV/dx_iI of the exact trilinear volume;
// returns that volume (sum_I x_I B[0][I]), signed.
__host__ __device__ inline double hexaExactB(const double x[8][3], double B[3][8]) {
  double c[3][8];
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k) c[k][I] = x[I][k];
  const int corners[8][6] = SOLID1ST_VOLUME_DERIVATIVE_CORNERS;
  double v = 0.0;
  for (int I = 0; I < 8; ++I) {
    const int* p = corners[I];
    B[0][I] = hexaVolumeDerivative(p, c[1], c[2]);
    B[1][I] = hexaVolumeDerivative(p, c[2], c[0]);
    B[2][I] = hexaVolumeDerivative(p, c[0], c[1]);
    v += x[I][0] * B[0][I];
  }
  return v;
}

// Exact (signed) volume of a trilinear hexahedron: sum_I x_I dV/dx_I.
// The y and z components are read in place, three doubles apart.
template <typename T>
__host__ __device__ inline T hexaExactVolume(const T x[8][3]) {
  const int corners[8][6] = SOLID1ST_VOLUME_DERIVATIVE_CORNERS;
  const T* row = &x[0][0];
  T v = 0.0;
  FEM_LANE_UNROLL
  for (int I = 0; I < 8; ++I) v += x[I][0] * hexaVolumeDerivative<3>(corners[I], row + 1, row + 2);
  return v;
}

// Largest face areas with few square roots.  A triangle of edge vectors a
// and b has twice its area sqrt(r), r = |a|^2 |b|^2 - (a.b)^2 (a rounding
// below zero taken as zero); a quadrilateral, split along its first diagonal
// into triangles r1 and r2, has twice its area sqrt(r1) + sqrt(r2), whose
// square r1 + r2 + 2 sqrt(r1 r2) takes one root.  The squares are compared
// and only the largest is rooted.
template <typename T>
__host__ __device__ inline T triangleRadicand(const T* p0, const T* p1, const T* p2) {
  T a[3], b[3];
  for (int i = 0; i < 3; ++i) {
    a[i] = p2[i] - p0[i];
    b[i] = p1[i] - p0[i];
  }
  const T ab = dot3(a, b);
  const T r = dot3(a, a) * dot3(b, b) - ab * ab;
  return laneSelect(r > 0.0, r, T(0.0));
}

template <typename T>
struct LargestFace {
  T square = 0.0;  // (twice the largest area)^2 so far

  __host__ __device__ void triangle(const T* p0, const T* p1, const T* p2) {
    square = laneMax(square, triangleRadicand(p0, p1, p2));
  }
  __host__ __device__ void quad(const T* p0, const T* p1, const T* p2, const T* p3) {
    const T r1 = triangleRadicand(p0, p1, p2), r2 = triangleRadicand(p0, p2, p3);
    square = laneMax(square, r1 + r2 + 2.0 * laneSqrt(r1 * r2));
  }
  __host__ __device__ T area() const { return 0.5 * laneSqrt(square); }
};

// Largest of the six quadrilateral faces of a hexahedron.
template <typename T>
__host__ __device__ inline T hexaLargestFace(const T x[8][3]) {
  const int kFaces[6][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {0, 3, 7, 4}};
  LargestFace<T> largest;
  FEM_LANE_UNROLL
  for (int f = 0; f < 6; ++f) largest.quad(x[kFaces[f][0]], x[kFaces[f][1]], x[kFaces[f][2]], x[kFaces[f][3]]);
  return largest.area();
}

// Characteristic lengths by shape; x holds the eight node slots of the
// element (unused slots are ignored).  Volumes are taken by absolute value.
__host__ __device__ inline double tetraCharactLength(const double x[8][3]) {
  const double v = tetraVolume(x[0], x[1], x[2], x[3]);
  LargestFace<double> largest;
  largest.triangle(x[0], x[1], x[2]);
  largest.triangle(x[0], x[1], x[3]);
  largest.triangle(x[1], x[2], x[3]);
  largest.triangle(x[0], x[2], x[3]);
  return 3.0 * v / largest.area();
}

template <typename T>
__host__ __device__ inline T hexaCharactLength(const T x[8][3]) {
  return laneAbs(hexaExactVolume(x)) / hexaLargestFace(x);
}

// Volume of a pentahedron with triangles 1-2-3 and 4-5-6 (types 20 and 22):
// that of the degenerate hexahedron with corners (1, 3, 6, 4, 2, 2, 5, 5).
__host__ __device__ inline double pentaVolume(const double x[8][3]) {
  const int kCorners[8] = {0, 2, 5, 3, 1, 1, 4, 4};
  double h[8][3];
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k) h[I][k] = x[kCorners[I]][k];
  return fabs(hexaExactVolume(h));
}

// Largest of the two triangles and three quadrilaterals of a pentahedron,
// given by their node slots.
__host__ __device__ inline double pentaLargestFace(const double x[8][3], const int tri[2][3], const int quad[3][4]) {
  LargestFace<double> largest;
  for (int f = 0; f < 2; ++f) largest.triangle(x[tri[f][0]], x[tri[f][1]], x[tri[f][2]]);
  for (int f = 0; f < 3; ++f) largest.quad(x[quad[f][0]], x[quad[f][1]], x[quad[f][2]], x[quad[f][3]]);
  return largest.area();
}

__host__ __device__ inline double pentaCharactLength(const double x[8][3]) {
  const int tri[2][3] = {{0, 1, 2}, {3, 4, 5}};
  const int quad[3][4] = {{0, 1, 4, 3}, {1, 2, 5, 4}, {0, 2, 5, 3}};
  return pentaVolume(x) / pentaLargestFace(x, tri, quad);
}

// One-point pentahedron kept in the eight slots of a degenerate hexahedron
// (type 21): exact volume of the slots over the largest of the faces formed
// by the first six slots s1..s6.
__host__ __device__ inline double pentaSlotsCharactLength(const double x[8][3]) {
  const int tri[2][3] = {{0, 1, 4}, {3, 2, 5}};
  const int quad[3][4] = {{0, 4, 5, 3}, {4, 1, 2, 5}, {0, 1, 2, 3}};
  return fabs(hexaExactVolume(x)) / pentaLargestFace(x, tri, quad);
}

// Pyramid with apex 1 and base 2-3-4-5: height of the apex over the plane
// spanned by the base diagonals.
__host__ __device__ inline double pyramidCharactLength(const double x[8][3]) {
  double d1[3], d2[3], w[3], h[3];
  for (int k = 0; k < 3; ++k) {
    d1[k] = x[1][k] - x[3][k];
    d2[k] = x[2][k] - x[4][k];
    h[k] = x[0][k] - x[1][k];
  }
  cross3(d1, d2, w);
  return fabs(dot3(h, w)) / sqrt(dot3(w, w));
}

// Characteristic length of a first-order solid by type code; returns a
// negative value for a type without a length rule.
__host__ __device__ inline double solidCharactLength(int type, const double x[8][3]) {
  switch (type) {
    case 15:
      return tetraCharactLength(x);
    case 16:
      return pyramidCharactLength(x);
    case 17:
    case 18:
    case 19:
    case 23:
      return hexaCharactLength(x);
    case 20:
    case 22:
      return pentaCharactLength(x);
    case 21:
      return pentaSlotsCharactLength(x);
    default:
      return -1.0;
  }
}

}  // namespace solid1st
