// Per-element mathematics of the first-order solids on plain arrays:
// gradients at integration points, velocity gradients, stress divergence,
// hourglass forces of the one-point hexahedron, the total-Lagrangian
// kinematics of the tetrahedron and pyramid, stable step and mass scaling.
// Everything is __host__ __device__, works in registers and allocates nothing.
#pragma once
#include <type_traits>

#include "elements/solid1st/solid1stGeometry.h"

namespace solid1st {

// ---------------------------------------------------------------------------
// Updated-Lagrangian integration points.

// Derivatives of the hexahedron shape functions with respect to the natural
// coordinates at (r, s, t): dN[a][I].
__host__ __device__ inline void hexaLocalDerivatives(double r, double s, double t, double dN[3][8]) {
  FEM_LANE_UNROLL
  for (int I = 0; I < 8; ++I) {
    const double xi = hexaCorner(0, I), eta = hexaCorner(1, I), ze = hexaCorner(2, I);
    const double a = 1.0 + r * xi, b = 1.0 + s * eta, c = 1.0 + t * ze;
    dN[0][I] = 0.125 * xi * b * c;
    dN[1][I] = 0.125 * eta * a * c;
    dN[2][I] = 0.125 * ze * a * b;
  }
}

// Derivatives of the pentahedron shape functions (triangle 1-2-3 at t = -1,
// 4-5-6 at t = +1; r, s area coordinates of nodes 2 and 3).
__host__ __device__ inline void pentaLocalDerivatives(double r, double s, double t, double dN[3][6]) {
  const double lo = 0.5 * (1.0 - t), hi = 0.5 * (1.0 + t), l1 = 1.0 - r - s;
  dN[0][0] = -lo;
  dN[1][0] = -lo;
  dN[2][0] = -0.5 * l1;
  dN[0][1] = lo;
  dN[1][1] = 0.0;
  dN[2][1] = -0.5 * r;
  dN[0][2] = 0.0;
  dN[1][2] = lo;
  dN[2][2] = -0.5 * s;
  dN[0][3] = -hi;
  dN[1][3] = -hi;
  dN[2][3] = 0.5 * l1;
  dN[0][4] = hi;
  dN[1][4] = 0.0;
  dN[2][4] = 0.5 * r;
  dN[0][5] = 0.0;
  dN[1][5] = hi;
  dN[2][5] = 0.5 * s;
}

// Jacobian J[a][k] = sum_I dN_I/dxi_a x_I,k of the natural derivatives and
// the node coordinates.
template <int N>
__host__ __device__ inline void jacobianMatrix(const double dNl[3][N], const double x[][3], double J[3][3]) {
  naturalAxisSums<N>([dNl](int a, int I) { return dNl[a][I]; }, x, J);
}

// det J alone.
template <int N>
__host__ __device__ inline double jacobianDeterminant(const double dNl[3][N], const double x[][3]) {
  double J[3][3];
  jacobianMatrix<N>(dNl, x, J);
  return det3(J);
}

// Spatial derivatives dNx[i][I] = dN_I/dx_i from the natural ones and the
// Jacobian J; returns det J.
template <int N>
__host__ __device__ inline double jacobianDerivatives(const double dNl[3][N], const double J[3][3], double dNx[3][N]) {
  double inv[3][3];
  const double d = inverse3(J, inv);
  FEM_LANE_UNROLL
  for (int I = 0; I < N; ++I) {
    FEM_LANE_UNROLL
    for (int i = 0; i < 3; ++i) dNx[i][I] = inv[i][0] * dNl[0][I] + inv[i][1] * dNl[1][I] + inv[i][2] * dNl[2][I];
  }
  return d;
}

// The same from the node coordinates.
template <int N>
__host__ __device__ inline double spatialDerivatives(const double dNl[3][N], const double x[][3], double dNx[3][N]) {
  double J[3][3];
  jacobianMatrix<N>(dNl, x, J);
  return jacobianDerivatives<N>(dNl, J, dNx);
}

// G[i][j] = scale * sum_I D[i][I] v_I,j (D: derivatives or B vectors).
template <int N, typename T>
__host__ __device__ inline void velocityGradient(const T D[3][N], const T v[][3], std::type_identity_t<T> scale,
                                                 T G[3][3]) {
  FEM_LANE_UNROLL
  for (int i = 0; i < 3; ++i) {
    FEM_LANE_UNROLL
    for (int j = 0; j < 3; ++j) {
      T s = 0.0;
      FEM_LANE_UNROLL
      for (int I = 0; I < N; ++I) s += D[i][I] * v[I][j];
      G[i][j] = s * scale;
    }
  }
}

// f_I,j += w * sum_k sigma_jk D[k][I].
template <int N, typename T>
__host__ __device__ inline void addStressDivergence(const T sigma[3][3], const T D[3][N], std::type_identity_t<T> w,
                                                    T f[][3]) {
  FEM_LANE_UNROLL
  for (int I = 0; I < N; ++I) {
    FEM_LANE_UNROLL
    for (int j = 0; j < 3; ++j) f[I][j] += w * (sigma[j][0] * D[0][I] + sigma[j][1] * D[1][I] + sigma[j][2] * D[2][I]);
  }
}

// ---------------------------------------------------------------------------
// Hourglass control of the one-point hexahedron.

// Hourglass base vector a (0..3) at corner I.
__host__ __device__ inline double hourglassBase(int a, int I) {
  // sign bit patterns of Gamma_1..Gamma_4 over the corners 0..7 (+1 where set)
  const unsigned masks[4] = {0xC3u, 0x69u, 0x55u, 0x5Au};
  return ((masks[a] >> I) & 1u) ? 1.0 : -1.0;
}

// Orthogonalised hourglass vectors gamma[a][I] = Gamma_aI - (1/V) sum_j
// (sum_J Gamma_aJ x_J,j) B[j][I].
template <typename T>
__host__ __device__ inline void hourglassShapeVectors(const T x[8][3], const T B[3][8], T V, T gam[4][8]) {
  const T invV = 1.0 / V;
  FEM_LANE_UNROLL
  for (int a = 0; a < 4; ++a) {
    T h[3] = {0.0, 0.0, 0.0};
    FEM_LANE_UNROLL
    for (int J = 0; J < 8; ++J) {
      const double g = hourglassBase(a, J);
      h[0] += g * x[J][0];
      h[1] += g * x[J][1];
      h[2] += g * x[J][2];
    }
    FEM_LANE_UNROLL
    for (int I = 0; I < 8; ++I)
      gam[a][I] = hourglassBase(a, I) - invV * (h[0] * B[0][I] + h[1] * B[1][I] + h[2] * B[2][I]);
  }
}

// Hourglass rates q[a][i] = sum_I gamma_aI v_I,i.
template <typename T>
__host__ __device__ inline void hourglassRates(const T gam[4][8], const T v[8][3], T q[4][3]) {
  for (int a = 0; a < 4; ++a)
    for (int i = 0; i < 3; ++i) {
      T s = 0.0;
      for (int I = 0; I < 8; ++I) s += gam[a][I] * v[I][i];
      q[a][i] = s;
    }
}

// f_I,i += sum_a gamma_aI Q(i, a), Q stored Q(1,1) Q(1,2) Q(1,3) Q(1,4)
// Q(2,1) ... Q(3,4) (global directions).
template <typename T>
__host__ __device__ inline void addHourglassModeForces(const T gam[4][8], const T Q[12], T f[8][3]) {
  for (int I = 0; I < 8; ++I)
    for (int i = 0; i < 3; ++i) {
      T s = 0.0;
      for (int a = 0; a < 4; ++a) s += gam[a][I] * Q[i * 4 + a];
      f[I][i] += s;
    }
}

// Stiffness form (global directions): Q(i, a) += c q_a,i, then the mode
// forces of Q.
template <typename T>
__host__ __device__ inline void hourglassForm1(const T gam[4][8], const T v[8][3], T c, T Q[12], T f[8][3]) {
  T q[4][3];
  hourglassRates(gam, v, q);
  for (int i = 0; i < 3; ++i)
    for (int a = 0; a < 4; ++a) Q[i * 4 + a] += c * q[a][i];
  addHourglassModeForces(gam, Q, f);
}

// Viscous form: the mode forces of c q_a,i, from the current rates alone
// (nothing is kept from cycle to cycle).
template <typename T>
__host__ __device__ inline void hourglassViscous(const T gam[4][8], const T v[8][3], T c, T f[8][3]) {
  T q[4][3];
  hourglassRates(gam, v, q);
  T P[12];
  for (int i = 0; i < 3; ++i)
    for (int a = 0; a < 4; ++a) P[i * 4 + a] = c * q[a][i];
  addHourglassModeForces(gam, P, f);
}

// Reciprocal of a length, 1e10 for a length below 1e-10.
template <typename T>
__host__ __device__ inline T safeReciprocal(T len) {
  return laneSelect(len < 1e-10, T(1e10), 1.0 / len);
}

// Assumed-strain form: co-rotational frame of the element; Q kept in that
// frame. c holds the four coefficients c0..c3 of the hourglass control.
template <typename T>
__host__ __device__ inline void hourglassForm2(const T x[8][3], const T gam[4][8], const T v[8][3], const T c[4],
                                               T Q[12], T f[8][3]) {
  T av[3] = {0.0, 0.0, 0.0}, bv[3] = {0.0, 0.0, 0.0}, gv[3] = {0.0, 0.0, 0.0};
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k) {
      av[k] += hexaCorner(1, I) * x[I][k];
      bv[k] += hexaCorner(0, I) * x[I][k];
      gv[k] -= hexaCorner(2, I) * x[I][k];
    }
  T e[3][3];
  const T ra = safeReciprocal(laneSqrt(dot3(av, av)));
  for (int k = 0; k < 3; ++k) e[0][k] = av[k] * ra;
  T n[3];
  cross3(av, bv, n);
  const T rn = safeReciprocal(laneSqrt(dot3(n, n)));
  for (int k = 0; k < 3; ++k) e[2][k] = n[k] * rn;
  cross3(e[2], e[0], e[1]);
  const T j1 = dot3(e[0], av), j2 = dot3(e[1], bv), j3 = dot3(e[2], gv);
  const T r1 = j2 * j3 / j1, r2 = j1 * j3 / j2, r3 = j1 * j2 / j3;

  T q[4][3];
  hourglassRates(gam, v, q);
  T p[3][4];  // p(i, a) = e_i . q_a
  for (int i = 0; i < 3; ++i)
    for (int a = 0; a < 4; ++a) p[i][a] = dot3(e[i], q[a]);
  // Q(i, a) at index i * 4 + a (0-based i and a).
  const T c0 = c[0], c1 = c[1], c2 = c[2], c3 = c[3];
  Q[0] += c0 * ((r2 + r3) * p[0][0] + j3 * p[1][1] + j2 * p[2][2]);
  Q[5] += c0 * ((r1 + r3) * p[1][1] + j3 * p[0][0] + j1 * p[2][2]);
  Q[10] += c0 * ((r1 + r2) * p[2][2] + j2 * p[0][0] + j1 * p[1][1]);
  Q[1] += c1 * r1 * p[0][1] + c3 * j3 * p[1][0];
  Q[4] += c1 * r2 * p[1][0] + c3 * j3 * p[0][1];
  Q[6] += c1 * r2 * p[1][2] + c3 * j1 * p[2][1];
  Q[9] += c1 * r3 * p[2][1] + c3 * j1 * p[1][2];
  Q[8] += c1 * r3 * p[2][0] + c3 * j2 * p[0][2];
  Q[2] += c1 * r1 * p[0][2] + c3 * j2 * p[2][0];
  Q[3] += c2 * r1 * p[0][3];
  Q[7] += c2 * r2 * p[1][3];
  Q[11] += c2 * r3 * p[2][3];

  for (int I = 0; I < 8; ++I) {
    T loc[3];
    for (int i = 0; i < 3; ++i) {
      T s = 0.0;
      for (int a = 0; a < 4; ++a) s += gam[a][I] * Q[i * 4 + a];
      loc[i] = s;
    }
    for (int k = 0; k < 3; ++k) f[I][k] += e[0][k] * loc[0] + e[1][k] * loc[1] + e[2][k] * loc[2];
  }
}

// Sum over the three rows of the squares of the first four B entries.
template <typename T>
__host__ __device__ inline T halfBSquareSum(const T B[3][8]) {
  T s = 0.0;
  for (int i = 0; i < 3; ++i)
    for (int I = 0; I < 4; ++I) s += B[i][I] * B[i][I];
  return s;
}

// ---------------------------------------------------------------------------
// Total-Lagrangian tetrahedron and pyramid.

// Derivatives of the tetrahedron shape functions N1 = r, N2 = s, N3 = t,
// N4 = 1 - r - s - t with respect to the natural coordinates (rows r, s, t).
__host__ __device__ inline double tetraNaturalDerivative(int a, int I) { return I == 3 ? -1.0 : (I == a ? 1.0 : 0.0); }

// Reference derivatives dNdX[I][k] of a tetrahedron from its node positions
// X; returns the reference volume |det of the edge vectors| / 6.
__host__ __device__ inline double tetraReferenceDerivatives(const double X[4][3], double dNdX[4][3]) {
  double J0[3][3];
  naturalAxisSums<4>([](int a, int I) { return tetraNaturalDerivative(a, I); }, X, J0);
  double inv[3][3];
  const double d = inverse3(J0, inv);
  for (int I = 0; I < 4; ++I)
    for (int k = 0; k < 3; ++k)
      dNdX[I][k] = inv[k][0] * tetraNaturalDerivative(0, I) + inv[k][1] * tetraNaturalDerivative(1, I) +
                   inv[k][2] * tetraNaturalDerivative(2, I);
  return fabs(d) / 6.0;
}

// Reference derivatives of the pyramid (apex 1, base 2-3-4-5) on integration
// domain k (0..3): the tetrahedron (apex, base node k, base node k+1, base
// centre) with the centre value taken as the mean of the four base nodes, so
// that the interpolation is continuous across the domains.  dNdX[I][k] for the
// five nodes; returns the domain's reference volume.
__host__ __device__ inline double pyramidDomainDerivatives(const double X[5][3], int domain, double dNdX[5][3]) {
  const int b0 = 1 + domain, b1 = 1 + (domain + 1) % 4;
  double T[4][3];
  for (int k = 0; k < 3; ++k) {
    T[0][k] = X[0][k];
    T[1][k] = X[b0][k];
    T[2][k] = X[b1][k];
    T[3][k] = 0.25 * (X[1][k] + X[2][k] + X[3][k] + X[4][k]);
  }
  double dT[4][3];
  const double v = tetraReferenceDerivatives(T, dT);
  for (int k = 0; k < 3; ++k) {
    dNdX[0][k] = dT[0][k];
    for (int I = 1; I < 5; ++I) dNdX[I][k] = 0.25 * dT[3][k];
    dNdX[b0][k] += dT[1][k];
    dNdX[b1][k] += dT[2][k];
  }
  return v;
}

// Kinematics of one total-Lagrangian point: from the reference derivatives
// (dX, dY, dZ per node), the total displacements u and the step increments
// du of n nodes, the deformation gradient F (end of step) with its inverse
// and determinant, and the mid-step velocity gradient G.  A step dt <= 0
// gives a zero velocity gradient.
__host__ __device__ inline void tlKinematics(int n, const double* dX, const double* dY, const double* dZ,
                                             const double u[][3], const double du[][3], double dt, double Finv[3][3],
                                             double* detF, double G[3][3]) {
  double F[3][3], Fh[3][3];
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) {
      F[a][b] = a == b ? 1.0 : 0.0;
      Fh[a][b] = F[a][b];
    }
  for (int I = 0; I < n; ++I) {
    const double d[3] = {dX[I], dY[I], dZ[I]};
    for (int a = 0; a < 3; ++a) {
      const double ua = u[I][a], uh = ua - 0.5 * du[I][a];
      for (int b = 0; b < 3; ++b) {
        F[a][b] += ua * d[b];
        Fh[a][b] += uh * d[b];
      }
    }
  }
  *detF = inverse3(F, Finv);
  double Fhinv[3][3];
  inverse3(Fh, Fhinv);
  const double rdt = dt > 0.0 ? 1.0 / dt : 0.0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) G[i][j] = 0.0;
  for (int I = 0; I < n; ++I) {
    const double d[3] = {dX[I], dY[I], dZ[I]};
    for (int i = 0; i < 3; ++i) {
      const double dx = (d[0] * Fhinv[0][i] + d[1] * Fhinv[1][i] + d[2] * Fhinv[2][i]) * rdt;
      for (int j = 0; j < 3; ++j) G[i][j] += dx * du[I][j];
    }
  }
}

// Nodal forces of one total-Lagrangian point: P = det F F^-1 sigma (first
// Piola-Kirchhoff stress), f_I,j += V0 sum_k P_kj dN_I/dX_k.
__host__ __device__ inline void tlAddForce(int n, const double* dX, const double* dY, const double* dZ,
                                           const double Finv[3][3], double detF, const double sigma[3][3], double V0,
                                           double f[][3]) {
  double P[3][3];
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 3; ++j)
      P[k][j] = detF * (Finv[k][0] * sigma[0][j] + Finv[k][1] * sigma[1][j] + Finv[k][2] * sigma[2][j]);
  for (int I = 0; I < n; ++I)
    for (int j = 0; j < 3; ++j) f[I][j] += V0 * (P[0][j] * dX[I] + P[1][j] * dY[I] + P[2][j] * dZ[I]);
}

// ---------------------------------------------------------------------------
// Stable step and mass scaling.

// Stable step multiplier x safe factor x length / wave speed.
template <typename T>
__host__ __device__ inline T stableStep(T multiplier, double safeFactor, T length, double waveSpeed) {
  return multiplier * safeFactor * length / waveSpeed;
}

// The stable length of a solid is the exact bound of a parallelepiped:
// there the highest mode of central differences at the bound neither grows
// nor decays in the linear update (its amplitude grows by a step's worth
// each cycle), and the change of shape and stress within each step tips it
// over.  A solid's step keeps at least this share of the bound whatever the
// scale factor, as the line elements' does, so that every scale factor up
// to 1 is stable; below it the factor acts as given.
constexpr double kLargestBoundShare = 0.95;

__host__ __device__ inline double boundScaleFactor(double safeFactor) {
  return safeFactor < kLargestBoundShare ? safeFactor : kLargestBoundShare;
}

// The step of a solid: that of its length, at most the bound's share of it.
template <typename T>
__host__ __device__ inline T solidStableStep(T multiplier, double safeFactor, T length, double waveSpeed) {
  return stableStep(multiplier, boundScaleFactor(safeFactor), length, waveSpeed);
}

// Mass scaling of one element towards the target step T: when the unscaled
// step r = step / multiplier is below T, step := T and multiplier := T / r,
// and the returned factor 1/q^2 - 1 (q = r / T) scales the element's mass to
// be added to its nodes.  Otherwise nothing changes and 0 is returned.
__host__ __device__ inline double solidMassScale(double target, double* step, double* multiplier) {
  const double r = *step / *multiplier;
  if (!(r < target)) return 0.0;
  const double q = r / target;
  *step = target;
  *multiplier = 1.0 / q;
  return 1.0 / (q * q) - 1.0;
}

}  // namespace solid1st
