#include "materials/mooneyrivlinmaterial.h"

#include <cmath>

#include "core/logErrorPrint.h"
#include "core/simpleMath.h"
#include "materials/elementInversion.h"
#include "materials/linearelastic.h"

__host__ __device__ MooneyRivlinMaterial::MooneyRivlinMaterial(const Material* record)
    : MaterialWithState(record),
      c1(record->mooney_rivlin_constants[0]),
      c2(record->mooney_rivlin_constants[1]),
      c3(record->mooney_rivlin_constants[2]) {}

namespace {

// C = A B for 3x3 matrices.
__host__ __device__ inline void multiply33(const double A[3][3], const double B[3][3], double C[3][3]) {
  mul_matrix(&A[0][0], &B[0][0], &C[0][0], 3, 3, 3, 3);
}

// One step of dF/dt = L F by the midpoint rule,
// F_new = (I - dt L / 2)^-1 (I + dt L / 2) F: a pure spin maps F through an
// exact rotation, so rotation alone builds no stress.  Returns false when
// I - dt L / 2 is singular.
__host__ __device__ inline bool midpointDeformationUpdate(const double L[3][3], double dt, const double F[3][3],
                                                          double Fn[3][3]) {
  double minus[9], plus[3][3], inv[9];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const double h = 0.5 * dt * L[i][j];
      minus[i * 3 + j] = (i == j ? 1.0 : 0.0) - h;
      plus[i][j] = (i == j ? 1.0 : 0.0) + h;
    }
  if (!(fabs(computeMatrix3rdInverse(minus, inv)) > 0.0)) return false;
  double A[3][3], PF[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) A[i][j] = inv[i * 3 + j];
  multiply33(plus, F, PF);
  multiply33(A, PF, Fn);
  return true;
}

}  // namespace

__host__ __device__ void MooneyRivlinMaterial::cauchyStress(const double F[3][3], double J, double S[3][3]) const {
  double B[3][3], Ft[3][3], B2[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) Ft[i][j] = F[j][i];
  multiply33(F, Ft, B);
  multiply33(B, B, B2);
  const double I1 = B[0][0] + B[1][1] + B[2][2];
  const double a = c1 + c2 * I1;
  const double p = c1 + 2.0 * c2 - c3 * log(J * J);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) S[i][j] = (2.0 / J) * (a * B[i][j] - c2 * B2[i][j] - (i == j ? p : 0.0));
}

// The elements pass G with G_ij = dv_j / dx_i, the transpose of the velocity
// gradient L_ij = dv_i / dx_j that drives dF/dt = L F.
__host__ __device__ void MooneyRivlinMaterial::computeStressMatrix3D(GaussPoint* gp, double G[3][3], double S[3][3],
                                                                     double dt) const {
  MooneyRivlinMaterialStatus* st = static_cast<MooneyRivlinMaterialStatus*>(gp->matStatus_);
  if (st == nullptr) return;
  double F[3][3], L[3][3], Fn[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      F[i][j] = (i == j ? 1.0 : 0.0) + st->H[i * 3 + j];
      L[i][j] = G[j][i];
    }
  const bool stepped = midpointDeformationUpdate(L, dt, F, Fn);
  const double J = stepped ? computeMatrix3rdDeterminant(Fn) : 0.0;
  if (!(J > 0.0)) {
    // Inverted: no stress of a mirror image; the run is stopped after the
    // element pass.
    reportInvertedPoint(gp, J);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) S[i][j] = 0.0;
    return;
  }
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) st->H[i * 3 + j] = Fn[i][j] - (i == j ? 1.0 : 0.0);
  cauchyStress(Fn, J, S);
  storeStateStressStrain(st, Fn, S);
}

// Stress xx, yy, zz, xy, yz, zx and the Green-Lagrange strain
// E = (F^T F - I) / 2 in the order of the 3-D updates (xx, yy, zz, yz, zx, xy,
// engineering shears).
__host__ __device__ void MooneyRivlinMaterial::storeStateStressStrain(MaterialStatus* st, const double F[3][3],
                                                                      const double S[3][3]) {
  stressMatrixToVector(S, st->stress);
  double Ft[3][3], C[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) Ft[i][j] = F[j][i];
  multiply33(Ft, F, C);
  st->strain[0] = 0.5 * (C[0][0] - 1.0);
  st->strain[1] = 0.5 * (C[1][1] - 1.0);
  st->strain[2] = 0.5 * (C[2][2] - 1.0);
  st->strain[3] = C[1][2];
  st->strain[4] = C[2][0];
  st->strain[5] = C[0][1];
}
