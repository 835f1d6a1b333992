// Three-node shell (types 13 and 14): constant-strain membrane, constant
// curvature from the nodal rotations and a transverse shear strain smoothed
// over the three sub-triangles that the centroid cuts out, each with the
// discrete-shear-gap interpolation.  Thickness follows the area (t A
// constant).
#include <cstdio>

#include "core/repeatedMessage.h"
#include "elements/shell/shell1st.h"

namespace {

// Local degrees of freedom per node: u, v, w, rx, ry, rz.
constexpr int kDof = 18;

// Discrete-shear-gap shear strains (gxz, gyz) of a triangle p0, p1, p2 as
// coefficients of the three points' (w, rx, ry): the shear gaps of p1 and p2
// relative to p0 are w_j - w_0 + the trapezoid integral of (ry, -rx) along
// the edge, and the strain is the gradient of their linear interpolation.
__host__ __device__ void shearGapMatrix(const double p[3][2], double B[2][9]) {
  const double a = p[1][0] - p[0][0], b = p[1][1] - p[0][1];
  const double d = p[2][0] - p[0][0], c = p[2][1] - p[0][1];
  const double twoA = a * c - b * d + shell1st::kAreaGuard;
  // Gap of p1: rows over (w0, rx0, ry0, w1, rx1, ry1, w2, rx2, ry2).
  const double g1[9] = {-1.0, -0.5 * b, 0.5 * a, 1.0, -0.5 * b, 0.5 * a, 0.0, 0.0, 0.0};
  const double g2[9] = {-1.0, -0.5 * c, 0.5 * d, 0.0, 0.0, 0.0, 1.0, -0.5 * c, 0.5 * d};
  for (int j = 0; j < 9; ++j) {
    B[0][j] = (c * g1[j] - b * g2[j]) / twoA;
    B[1][j] = (-d * g1[j] + a * g2[j]) / twoA;
  }
}

// Cell-smoothed shear matrix over the local dofs: the centroid splits the
// triangle into three sub-triangles of equal area; the centroid's dofs are
// the mean of the nodes'; the element matrix is the mean of the three.
__host__ __device__ void smoothedShearMatrix(const double l[3][3], double Bs[2][kDof]) {
  for (int r = 0; r < 2; ++r)
    for (int j = 0; j < kDof; ++j) Bs[r][j] = 0.0;
  const double o[2] = {(l[0][0] + l[1][0] + l[2][0]) / 3.0, (l[0][1] + l[1][1] + l[2][1]) / 3.0};
  for (int s = 0; s < 3; ++s) {
    const int i = s, j = (s + 1) % 3;
    const double p[3][2] = {{o[0], o[1]}, {l[i][0], l[i][1]}, {l[j][0], l[j][1]}};
    double B[2][9];
    shearGapMatrix(p, B);
    for (int r = 0; r < 2; ++r)
      for (int q = 0; q < 3; ++q) {
        // Local dof of (w, rx, ry) at offsets 2, 3, 4 of a node.
        const int off = 2 + q;
        for (int node = 0; node < 3; ++node) Bs[r][6 * node + off] += B[r][q] / 9.0;
        Bs[r][6 * i + off] += B[r][3 + q] / 3.0;
        Bs[r][6 * j + off] += B[r][6 + q] / 3.0;
      }
  }
}

// Membrane (3 x 18) and bending (3 x 18) matrices of the constant-strain
// triangle over the local dofs.
__host__ __device__ void membraneBendingMatrices(const shell1st::TriangleDerivatives& d, double Bm[3][kDof],
                                                 double Bb[3][kDof]) {
  for (int r = 0; r < 3; ++r)
    for (int j = 0; j < kDof; ++j) Bm[r][j] = Bb[r][j] = 0.0;
  for (int I = 0; I < 3; ++I) {
    const int o = 6 * I;
    Bm[0][o] = d.dx[I];
    Bm[1][o + 1] = d.dy[I];
    Bm[2][o] = d.dy[I];
    Bm[2][o + 1] = d.dx[I];
    Bb[0][o + 4] = d.dx[I];
    Bb[1][o + 3] = -d.dy[I];
    Bb[2][o + 4] = d.dy[I];
    Bb[2][o + 3] = -d.dx[I];
  }
}

template <int R>
__host__ __device__ void multiply(const double B[R][kDof], const double d[kDof], double out[R]) {
  for (int r = 0; r < R; ++r) out[r] = vector_inner_product(kDof, B[r], d);
}

template <int R>
__host__ __device__ void addTransposed(const double B[R][kDof], const double s[R], double f[kDof]) {
  for (int j = 0; j < kDof; ++j)
    for (int r = 0; r < R; ++r) f[j] += B[r][j] * s[r];
}

}  // namespace

__host__ __device__ void matrix_expand(const double T[3][3], double out[kDof * kDof]) {
  for (int k = 0; k < kDof * kDof; ++k) out[k] = 0.0;
  for (int b = 0; b < 6; ++b)
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) out[(3 * b + i) * kDof + 3 * b + j] = T[i][j];
}

__host__ __device__ double ShellElementCuda::transform_S3(const double x[3][3], double T[3][3], double local[3][3]) {
  area = shell1st::triangleFrame(x, T, local);
  return area;
}

__host__ __device__ void ShellElementCuda::interForce_S3_Gpu(const MaterialNew* material, const Section* section,
                                                             double timeStep) {
  if (material == nullptr) return;
  // Steps 1-3: current area (kept), initial area, thickness from t A.
  double x[3][3], du[3][3], dr[3][3], xm[3][3], T[3][3], l[3][3];
  shell1st::gatherNodes(*this, 3, timeStep, x, du, dr);
  double Tend[3][3];
  const double current = transform_S3(x, Tend, l);
  if (initialArea == 0.0) initialArea = current;
  if (!(current > 0.0)) noteRepeated(REPEATED_TRI_SHELL_AREA, id);
  thickCurrent = thick * initialArea / (current + shell1st::kAreaGuard);
  const double t = thickCurrent;

  // Step 4: the strain matrices on the mid-step triangle.
  shell1st::midStep<3>(x, du, xm);
  const double A = shell1st::triangleFrame(xm, T, l);
  double Bm[3][kDof], Bb[3][kDof], Bs[2][kDof];
  membraneBendingMatrices(shell1st::cstDerivatives(l, A), Bm, Bb);
  smoothedShearMatrix(l, Bs);

  // Step 5: local increments through the block-diagonal frame matrix.
  double Texp[kDof * kDof], dGlobal[kDof], d[kDof];
  matrix_expand(T, Texp);
  for (int I = 0; I < 3; ++I)
    for (int k = 0; k < 3; ++k) {
      dGlobal[6 * I + k] = du[I][k];
      dGlobal[6 * I + 3 + k] = dr[I][k];
    }
  mul_matrix(Texp, dGlobal, d, kDof, kDof, kDof, 1);
  double em[3], kb[3], gs[2];
  multiply<3>(Bm, d, em);
  multiply<3>(Bb, d, kb);
  multiply<2>(Bs, d, gs);

  // Step 6: points through the thickness.
  double N[3] = {0, 0, 0}, M[3] = {0, 0, 0};
  GaussPoint* points = gaussPoint;
  const int np = points != nullptr ? integratPointNum : 0;
  for (int i = 0; i < np; ++i) {
    GaussPoint* gp = points + i;
    const double z = 0.5 * t * gp->coord_[0];
    double strain[6] = {em[0] + z * kb[0], em[1] + z * kb[1], 0.0, em[2] + z * kb[2], gs[1], gs[0]};
    double s[6];
    shell1st::pointStress(material, gp, strain, s, timeStep);
    const double w = 0.5 * gp->weight_ * t;
    const double sig[3] = {s[0], s[1], s[3]};
    for (int c = 0; c < 3; ++c) {
      N[c] += w * sig[c];
      M[c] += w * z * sig[c];
    }
  }

  // Step 7: the shear resultants are totals, grown by t k G dgamma.
  const double G = material->youngModulus / (2.0 * (1.0 + material->poissonRatio));
  const double kG = t * shell1st::shearFactor(section) * G;
  shearResultant[0] += kG * gs[0];
  shearResultant[1] += kG * gs[1];

  // Step 8: A (Bm^T N + Bb^T M + Bs^T Q) in the global axes of the
  // end-of-step frame.
  double fl[kDof] = {};
  addTransposed<3>(Bm, N, fl);
  addTransposed<3>(Bb, M, fl);
  addTransposed<2>(Bs, shearResultant, fl);
  for (int j = 0; j < kDof; ++j) fl[j] *= A;
  for (int b = 0; b < 6; ++b) {
    const double* v = fl + 3 * b;
    shell1st::toGlobal(v[0], v[1], v[2], Tend[0], Tend[1], Tend[2], interForce[b / 2] + 3 * (b % 2));
  }
  for (int k = 0; k < 6; ++k) interForce[3][k] = 0.0;
}

void ShellElementCuda::interForce_S3_Cpu(const MaterialNew* material, const Section* section, double timeStep) {
  interForce_S3_Gpu(material, section, timeStep);
  shell1st::subtractForceBlock(*this);
}
