// Stable length of the solid elements: the length L for which L / c (c the
// dilatational wave speed of the element's material) is the largest step at
// which central differences stay stable on the element alone, free, with its
// own share of the lumped node masses.  The highest frequency of one free
// element bounds that of any mesh it belongs to (the assembled stiffness and
// mass are the sums of the elements' own), so that a run whose step is at
// most every element's L / c is stable at any scale factor up to 1.
//
// With M the element's lumped masses, K its stiffness and C its damping (the
// viscous hourglass form), central differences with the damping taken from
// the velocity of the half step before are stable when
//   4 M - 2 dt C - dt^2 K  is positive semi-definite
// (the energy w (M - dt C / 2 - dt^2 K / 4) w + dt^2 u_mid K u_mid never
// grows); for one mode of frequency omega and damping ratio xi that is
// dt <= (2 / omega) (sqrt(1 + xi^2) - xi).  Every bound below is an upper
// bound of the quadratic forms of K and C over a unit of M, evaluated from
// the element's current shape, so that the length it gives is safe.
//
// The isotropic material enters through lambda and 2 mu over the
// P-wave modulus rho c^2 = lambda + 2 mu; the strain energy density
// lambda (tr e)^2 + 2 mu |e|^2 is bounded with tr e and |e| taken from the
// velocity gradient (|e| <= |grad u|).  For a regular cube of side h the
// one-point length is h sqrt((1 - nu) / (1 + nu)) (its breathing mode),
// 0.734 h at nu = 0.3.
#pragma once
#include <cmath>
#include <cstring>

#include "platform/gpuRuntime.h"
#include "platform/simdLane.h"

// What the stable length of a solid needs besides its shape, set up once
// from the element's part: its material's Poisson ratio and density (the
// element's mass over the density is the volume its node masses stand for)
// and its part's hourglass control (the one-point forms only).
struct SolidStepModel {
  double poisson = 0.0;
  double density = 0.0;
  double hourglassQm = 0.0;
  int hourglassForm = 0;  // the control's form (IHQ); 0 = none
};

namespace solidstep {

// The volume whose mass the bound takes: the element's mass over the
// density (the volume its node masses stand for) when that is smaller than
// the present volume V, else V.
template <typename T>
__host__ __device__ inline T boundMassVolume(T mass, double density, T V) {
  const T own = density > 0.0 ? mass / density : V;
  return laneSelect((own > 0.0) & (own < V), own, V);
}

// lambda (0 for a negative one: its term only lowers the energy) and 2 mu
// over lambda + 2 mu, and mu over it, for a Poisson ratio taken within
// (-1, 0.5].
struct Moduli {
  double lambda = 0.0, twoMu = 1.0, mu = 0.5;
};

__host__ __device__ inline Moduli moduliOf(double nu) {
  if (!(nu > -0.99)) nu = -0.99;
  if (nu > 0.5) nu = 0.5;
  const double d = 1.0 - nu;
  Moduli m;
  m.lambda = nu > 0.0 ? nu / d : 0.0;
  m.twoMu = (1.0 - 2.0 * nu) / d;
  m.mu = 0.5 * m.twoMu;
  return m;
}

// Upper bound of the largest eigenvalue of a symmetric 3 x 3 matrix: its
// mean eigenvalue plus sqrt(2/3) times the spread of the eigenvalues about it
// (exact when the two smaller eigenvalues are equal: a cube, a box with two
// equal sides).
template <typename T>
__host__ __device__ inline T largestEigenvalueBound3(const T G[3][3]) {
  const T q = (G[0][0] + G[1][1] + G[2][2]) * (1.0 / 3.0);
  const T d0 = G[0][0] - q, d1 = G[1][1] - q, d2 = G[2][2] - q;
  const T spread = d0 * d0 + d1 * d1 + d2 * d2 + 2.0 * (G[0][1] * G[0][1] + G[0][2] * G[0][2] + G[1][2] * G[1][2]);
  return q + laneSqrt(spread * (2.0 / 3.0));
}

// An upper bound of a^(1/3) for a > 0, within a few parts in a hundred
// thousand: the exponent divided by three, then two Newton steps, which
// come down to the root from above.  No library call, so that a group of
// elements keeps its values in registers.
template <typename T>
__host__ __device__ inline T cubeRootAbove(T a) {
  T y = a;
  for (int l = 0; l < kLanesOf<T>; ++l) {
    const double v = laneGet(a, l);
    unsigned long long bits = 0;
    memcpy(&bits, &v, sizeof bits);
    bits = bits / 3 + 0x2A9F7893782DA1CEull;
    double guess = 0.0;
    memcpy(&guess, &bits, sizeof guess);
    laneSet(y, l, guess);
  }
  for (int it = 0; it < 2; ++it) y = (2.0 * y + a / (y * y)) * (1.0 / 3.0);
  return y;
}

// Largest t >= 0 with K t^2 + 2 C t <= R (K, C >= 0, R > 0).
template <typename T>
__host__ __device__ inline T quadraticStepRoot(T K, T C, T R) {
  return R / (C + laneSqrt(C * C + K * R));
}

// Largest t with lambda_max(t^2 K + 2 t C) <= R for two non-negative
// symmetric 2 x 2 matrices with non-negative entries: the weighted row sums
// (w = the ratio of the largest eigenvector's entries where the rows alone
// give their smaller root) bound the largest eigenvalue for any weight, and
// with that weight they are nearly exact.
template <typename T>
__host__ __device__ inline T twoBlockStep(const T K[3], const T C[3], T R) {
  // K[0] = K11, K[1] = K22, K[2] = K12; C likewise.
  const T t1 = quadraticStepRoot(K[0], C[0], R), t2 = quadraticStepRoot(K[1], C[1], R);
  const T t0 = laneSelect(t1 < t2, t1, t2);
  const T a = t0 * t0 * K[0] + 2.0 * t0 * C[0], b = t0 * t0 * K[1] + 2.0 * t0 * C[1];
  const T x = t0 * t0 * K[2] + 2.0 * t0 * C[2];
  const T d = 0.5 * (a - b), r = laneSqrt(d * d + x * x);
  const T perron = laneSelect(d < 0.0, (r - d) / x, x / (r + d));
  const T w = laneSelect(x > 0.0, perron, T(1.0));
  const T s1 = quadraticStepRoot(K[0] + K[2] * w, C[0] + C[2] * w, R);
  const T s2 = quadraticStepRoot(K[1] + K[2] / w, C[1] + C[2] / w, R);
  return laneSelect(s1 < s2, s1, s2);
}

// Stiffness of the assumed-strain hourglass form per unit of the modes'
// displacement (over lambda + 2 mu): the largest row sum of the matrix that
// turns the modes' rates in the element's frame into the growth of its
// resultants (hexa1stRBody.h), from the frame of the shape x.
template <typename T>
__host__ __device__ inline T assumedStrainModeStiffness(const T x[8][3], double qm, double nu, const Moduli& m) {
  T a[3] = {0.0, 0.0, 0.0}, b[3] = {0.0, 0.0, 0.0}, g[3] = {0.0, 0.0, 0.0};
  for (int I = 0; I < 8; ++I) {
    const double xi = ((0xCCu >> I) & 1u) ? 1.0 : -1.0, eta = ((0x66u >> I) & 1u) ? 1.0 : -1.0;
    const double zeta = ((0x0Fu >> I) & 1u) ? 1.0 : -1.0;
    for (int k = 0; k < 3; ++k) {
      a[k] += eta * x[I][k];
      b[k] += xi * x[I][k];
      g[k] -= zeta * x[I][k];
    }
  }
  const T aa = a[0] * a[0] + a[1] * a[1] + a[2] * a[2];
  T n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  const T nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
  const T ra = 1.0 / laneSqrt(aa), rn = 1.0 / laneSqrt(nn);
  T e1[3], e3[3], e2[3];
  for (int k = 0; k < 3; ++k) {
    e1[k] = a[k] * ra;
    e3[k] = n[k] * rn;
  }
  e2[0] = e3[1] * e1[2] - e3[2] * e1[1];
  e2[1] = e3[2] * e1[0] - e3[0] * e1[2];
  e2[2] = e3[0] * e1[1] - e3[1] * e1[0];
  const T j1 = laneAbs(e1[0] * a[0] + e1[1] * a[1] + e1[2] * a[2]);
  const T j2 = laneAbs(e2[0] * b[0] + e2[1] * b[1] + e2[2] * b[2]);
  const T j3 = laneAbs(e3[0] * g[0] + e3[1] * g[1] + e3[2] * g[2]);
  const T r1 = j2 * j3 / j1, r2 = j1 * j3 / j2, r3 = j1 * j2 / j3;
  const double c0 = qm * m.mu / 192.0, c1 = 2.0 * c0 / (1.0 - nu), c2 = 2.0 * c0 * (1.0 + nu) / 3.0;
  const double c3 = fabs(c1 * nu);
  T k = c0 * (r2 + r3 + j3 + j2);
  k = laneMax(k, c0 * (r1 + r3 + j3 + j1));
  k = laneMax(k, c0 * (r1 + r2 + j2 + j1));
  k = laneMax(k, c1 * r1 + c3 * laneMax(j3, j2));
  k = laneMax(k, c1 * r2 + c3 * laneMax(j3, j1));
  k = laneMax(k, c1 * r3 + c3 * laneMax(j1, j2));
  return laneMax(k, c2 * laneMax(r1, laneMax(r2, r3)));
}

// One-point hexahedron: B its centre gradient vectors (volume-weighted), V
// its volume, x its current corners, each corner carrying an eighth of
// massVolume.
//
// Node fields split into the span of the constant and linear corner patterns
// (Lambda: 1, xi, eta, zeta) and that of the four hourglass patterns
// Gamma_a, orthogonal halves of the corner space (each Gamma_a of squared
// norm 8); alpha and beta are the parts' norms.  The centre gradients lie in
// Lambda, so the strain sees the Lambda part alone: its energy is at most
// (lambda S + 2 mu g) alpha^2 / V, with S the sum of the squared gradients
// and g the largest eigenvalue of their 3 x 3 Gram matrix.  The hourglass
// modes see gamma_a = Gamma_a - (1/V) (h_a . B), h_a = sum_I Gamma_aI x_I:
// their rates' norm is at most sqrt(8) beta + sqrt(d) alpha, with d = sum_a
// h_a G h_a / V^2.  K and C are then bounded by 2 x 2 forms in (alpha,
// beta); for a parallelepiped (d = 0) the halves do not mix and the length
// is exact.
template <typename T>
__host__ __device__ inline T onePointStableLength(const T x[8][3], const T B[3][8], T V, T massVolume,
                                                  const SolidStepModel& model) {
  const Moduli m = moduliOf(model.poisson);
  const T Va = laneAbs(V), invV = 1.0 / Va;
  // Gram matrix of the gradient rows (a corner's gradient is minus its
  // opposite corner's: twice the sum over the first four).
  T G[3][3];
  for (int j = 0; j < 3; ++j)
    for (int k = j; k < 3; ++k) {
      T s = 0.0;
      for (int I = 0; I < 4; ++I) s += B[j][I] * B[k][I];
      G[j][k] = G[k][j] = 2.0 * s;
    }
  const T S = G[0][0] + G[1][1] + G[2][2], g = largestEigenvalueBound3(G);
  T d = 0.0;
  for (int a = 0; a < 4; ++a) {
    const unsigned mask = a == 0 ? 0xC3u : a == 1 ? 0x69u : a == 2 ? 0x55u : 0x5Au;  // Gamma_a by bit
    T h[3] = {0.0, 0.0, 0.0};
    for (int I = 0; I < 8; ++I)
      for (int k = 0; k < 3; ++k) h[k] += ((mask >> I) & 1u) ? x[I][k] : -x[I][k];
    for (int j = 0; j < 3; ++j) d += h[j] * (G[j][0] * h[0] + G[j][1] * h[1] + G[j][2] * h[2]);
  }
  d = d * invV * invV;
  // The modes' stiffness and damping per unit of mode displacement and rate,
  // over rho c^2 and rho c (hourglasscontrol.h).
  T k = 0.0, c = 0.0;
  const int form = model.hourglassForm;
  if (form >= 1 && form <= 3) {
    const T third = cubeRootAbove(Va);
    c = model.hourglassQm * third * third * 0.25;
  } else if (form == 4 || form == 5) {
    k = model.hourglassQm * S * invV * (1.0 / 24.0);
  } else if (form == 6) {
    k = assumedStrainModeStiffness(x, model.hourglassQm, model.poisson, m);
  }
  const T cross = laneSqrt(8.0 * d);
  const T Kt[3] = {(m.lambda * S + m.twoMu * g) * invV + k * d, 8.0 * k, k * cross};
  const T Ct[3] = {c * d, 8.0 * c, c * cross};
  const T length = twoBlockStep(Kt, Ct, 0.5 * massVolume);
  // A flat shape has no length (0), a collapsed one none at all (0 / 0).
  return laneAll(Va > 0.0) ? length : laneSelect(Va > 0.0, length, Va / laneSqrt(S));
}

// The one-point pentahedron on the eight slots of a hexahedron (exact-volume
// gradients B, hourglass vectors gam): on its own nodes (node[I] the node of
// slot I, as an index below 8), the slots of a node taking their masses
// together, the strain and the hourglass modes are bounded apart and their
// frequencies added.
__host__ __device__ inline double mergedOnePointStableLength(const double x[8][3], const double B[3][8],
                                                             const double gam[4][8], double V, double massVolume,
                                                             const int node[8], const SolidStepModel& model);

// Upper bound of the largest eigenvalue of a symmetric positive semi-definite
// n x n matrix (n <= 10, row-major): the smaller of its largest absolute row
// sum and (trace of A^16)^(1/16), which exceeds the largest eigenvalue at most
// by the sixteenth root of its multiplicity.
__host__ __device__ inline double psdLargestEigenvalueBound(const double* A, int n) {
  double rows = 0.0, trace = 0.0;
  for (int i = 0; i < n; ++i) {
    double s = 0.0;
    for (int j = 0; j < n; ++j) s += fabs(A[i * n + j]);
    rows = s > rows ? s : rows;
    trace += A[i * n + i];
  }
  if (!(trace > 0.0)) return 0.0;
  double P[100], Q[100];
  for (int i = 0; i < n * n; ++i) P[i] = A[i] / trace;
  for (int r = 0; r < 4; ++r) {
    for (int i = 0; i < n; ++i)
      for (int j = i; j < n; ++j) {
        double s = 0.0;
        for (int k = 0; k < n; ++k) s += P[i * n + k] * P[k * n + j];
        Q[i * n + j] = Q[j * n + i] = s;
      }
    for (int i = 0; i < n * n; ++i) P[i] = Q[i];
  }
  double p = 0.0;
  for (int i = 0; i < n; ++i) p += P[i * n + i];
  const double power = trace * sqrt(sqrt(sqrt(sqrt(p))));
  return power < rows ? power : rows;
}

// Elements integrated at points: np points (at most 8) with volumes v[p] and
// spatial derivatives dN[p][i][I] of N nodes (at most 10) carrying the mass
// volumes w[I].  The energy is at most
//   lambda sum_p v_p (tr grad u_p)^2 + 2 mu sum_p v_p |grad u_p|^2.
template <int N>
__host__ __device__ inline double pointsStableLength(int np, const double (*dN)[3][N], const double* v,
                                                     const double w[N], double nu) {
  const Moduli m = moduliOf(nu);
  double trace = 0.0, gradient = 0.0;
  {
    double points[64];
    for (int p = 0; p < np; ++p)
      for (int q = 0; q <= p; ++q) {
        double s = 0.0;
        for (int I = 0; I < N; ++I)
          s += (dN[p][0][I] * dN[q][0][I] + dN[p][1][I] * dN[q][1][I] + dN[p][2][I] * dN[q][2][I]) / w[I];
        points[p * np + q] = points[q * np + p] = sqrt(v[p] * v[q]) * s;
      }
    trace = np == 1 ? points[0] : psdLargestEigenvalueBound(points, np);
  }
  if (np == 1) {
    // One point: the 3 x 3 form sum_I v grad N_I grad N_I^T / w_I holds the
    // same largest eigenvalue as the node form.
    double G[3][3];
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        double s = 0.0;
        for (int I = 0; I < N; ++I) s += dN[0][i][I] * dN[0][j][I] / w[I];
        G[i][j] = v[0] * s;
      }
    gradient = largestEigenvalueBound3(G);
  } else {
    double L[N * N];
    for (int I = 0; I < N; ++I)
      for (int J = 0; J <= I; ++J) {
        double s = 0.0;
        for (int p = 0; p < np; ++p)
          s += v[p] * (dN[p][0][I] * dN[p][0][J] + dN[p][1][I] * dN[p][1][J] + dN[p][2][I] * dN[p][2][J]);
        L[I * N + J] = L[J * N + I] = s / sqrt(w[I] * w[J]);
      }
    gradient = psdLargestEigenvalueBound(L, N);
  }
  const double omega2 = m.lambda * trace + m.twoMu * gradient;
  return omega2 > 0.0 ? 2.0 / sqrt(omega2) : 0.0;
}

__host__ __device__ inline double mergedOnePointStableLength(const double x[8][3], const double B[3][8],
                                                             const double gam[4][8], double V, double massVolume,
                                                             const int node[8], const SolidStepModel& model) {
  const Moduli m = moduliOf(model.poisson);
  int n = 0;
  for (int I = 0; I < 8; ++I) n = node[I] + 1 > n ? node[I] + 1 : n;
  double b[3][8] = {}, g[4][8] = {}, w[8] = {};
  for (int I = 0; I < 8; ++I) {
    w[node[I]] += massVolume / 8.0;
    for (int j = 0; j < 3; ++j) b[j][node[I]] += B[j][I];
    for (int a = 0; a < 4; ++a) g[a][node[I]] += gam[a][I];
  }
  const double Va = fabs(V);
  if (!(Va > 0.0)) return 0.0;
  double trace = 0.0, G[3][3] = {}, H[64];
  for (int I = 0; I < n; ++I)
    for (int i = 0; i < 3; ++i) {
      trace += b[i][I] * b[i][I] / (w[I] * Va);
      for (int j = 0; j < 3; ++j) G[i][j] += b[i][I] * b[j][I] / (w[I] * Va);
    }
  for (int I = 0; I < n; ++I)
    for (int J = 0; J < n; ++J) {
      double s = 0.0;
      for (int a = 0; a < 4; ++a) s += g[a][I] * g[a][J];
      H[I * n + J] = s / sqrt(w[I] * w[J]);
    }
  const double modes = psdLargestEigenvalueBound(H, n);
  double k = 0.0, c = 0.0;
  const int form = model.hourglassForm;
  if (form >= 1 && form <= 3) {
    c = model.hourglassQm * cbrt(Va * Va) * 0.25;
  } else if (form == 4 || form == 5) {
    double half = 0.0;
    for (int j = 0; j < 3; ++j)
      for (int I = 0; I < 4; ++I) half += B[j][I] * B[j][I];
    k = model.hourglassQm * 2.0 * half / Va * (1.0 / 24.0);
  } else if (form == 6) {
    k = assumedStrainModeStiffness(x, model.hourglassQm, model.poisson, m);
  }
  const double omega2 = m.lambda * trace + m.twoMu * largestEigenvalueBound3(G) + k * modes;
  return quadraticStepRoot(omega2, c * modes, 4.0);
}

// The k-th (0 .. 3) butterfly of the stage of span h (1, 2, 4) of the
// transform of eight values joins places butterflyIndex(k, h) and that + h.
__host__ __device__ constexpr int butterflyIndex(int k, int h) { return k / h * 2 * h + k % h; }

// The fully integrated hexahedron (mean dilatation): np points with volumes
// v[p] and derivatives dN[p][i][I], the mean gradients Bbar[i][I] = sum_p
// v_p dN_p (their volume V = sum_p v_p), eight nodes of equal mass.  The
// gradient form sum_p v_p |grad u_p|^2 is bounded by the largest row sum of
// its matrix in the basis of the corner patterns (1, xi, eta, zeta and their
// products), where a box's matrix is diagonal; the Walsh-Hadamard transform
// of the node order gives that basis (the node number's bits are the
// patterns -xi eta, xi and -zeta).  The loops are unrolled whole, so that
// the matrix stays in registers.
__host__ __device__ inline double hexaPointsStableLength(int np, const double (*dN)[3][8], const double* v,
                                                         const double Bbar[3][8], double massVolume, double nu) {
  const Moduli m = moduliOf(nu);
  double volume = 0.0, trace = 0.0;
  for (int p = 0; p < np; ++p) volume += v[p];
  for (int i = 0; i < 3; ++i)
    for (int I = 0; I < 8; ++I) trace += Bbar[i][I] * Bbar[i][I];
  // The form's matrix: row I up to column I | 1 summed over the points, the
  // rest mirrored (the products commute, so both halves hold the same bits).
  double L[8][8];
  FEM_LANE_UNROLL
  for (int I = 0; I < 8; ++I) {
    double row[8] = {};
    for (int p = 0; p < np; ++p) {
      const double a0 = dN[p][0][I], a1 = dN[p][1][I], a2 = dN[p][2][I];
      FEM_LANE_UNROLL
      for (int J = 0; J <= (I | 1); ++J) row[J] += v[p] * (a0 * dN[p][0][J] + a1 * dN[p][1][J] + a2 * dN[p][2][J]);
    }
    FEM_LANE_UNROLL
    for (int J = 0; J <= (I | 1); ++J) L[I][J] = row[J];
  }
  FEM_LANE_UNROLL
  for (int I = 0; I < 8; ++I) {
    FEM_LANE_UNROLL
    for (int J = (I | 1) + 1; J < 8; ++J) L[I][J] = L[J][I];
  }
  // The transform of the rows, then of the columns.  The matrix being
  // symmetric, the first is taken on whole rows, which leaves the transpose
  // of its result; the second then runs along each row, and the row sums of
  // the result are the column sums of what it leaves.
  FEM_LANE_UNROLL
  for (int h = 1; h < 8; h <<= 1) {
    FEM_LANE_UNROLL
    for (int k = 0; k < 4; ++k) {
      const int j = butterflyIndex(k, h);
      FEM_LANE_UNROLL
      for (int c = 0; c < 8; ++c) {
        const double t = L[j][c];
        L[j][c] = t + L[j + h][c];
        L[j + h][c] = t - L[j + h][c];
      }
    }
  }
  FEM_LANE_UNROLL
  for (int c = 0; c < 8; ++c) {
    FEM_LANE_UNROLL
    for (int h = 1; h < 8; h <<= 1) {
      FEM_LANE_UNROLL
      for (int k = 0; k < 4; ++k) {
        const int j = butterflyIndex(k, h);
        const double t = L[c][j];
        L[c][j] = t + L[c][j + h];
        L[c][j + h] = t - L[c][j + h];
      }
    }
  }
  double sums[8] = {};
  FEM_LANE_UNROLL
  for (int b = 0; b < 8; ++b) {
    FEM_LANE_UNROLL
    for (int a = 0; a < 8; ++a) sums[a] += fabs(L[b][a]);
  }
  double rows = 0.0;
  for (int a = 0; a < 8; ++a) rows = sums[a] > rows ? sums[a] : rows;
  // The transform is 8 times an orthogonal one; each node carries an eighth.
  const double w = massVolume / 8.0;
  const double omega2 = (volume > 0.0 ? m.lambda * trace / (volume * w) : 0.0) + m.twoMu * rows / (8.0 * w);
  return omega2 > 0.0 ? 2.0 / sqrt(omega2) : 0.0;
}

}  // namespace solidstep
