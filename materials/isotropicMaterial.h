// Isotropic models whose updates start from an elastic step: the bulk and
// shear moduli of the record, the elastic 6x6 matrix, no plane-strain update,
// and the isotropic formulas their updates share.
#pragma once
#include "materials/material.h"
#include "materials/materialWithState.h"

// Isotropic stiffness: lambda' + 2G' on the normal diagonal, lambda' off it,
// G' on the shear diagonal.
__host__ __device__ inline void isotropicStiffnessMatrix(double E, double nu, double C[6][6]) {
  const double G = E / (2.0 * (1.0 + nu));
  const double lambda = E * nu / ((1.0 + nu) * (1.0 - 2.0 * nu));
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j) C[i][j] = 0.0;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) C[i][j] = lambda;
    C[i][i] = lambda + 2.0 * G;
    C[i + 3][i + 3] = G;
  }
}

template <typename Kind, typename Status>
class IsotropicMaterial : public MaterialWithState<Kind, Status> {
 public:
  double K;  // bulk modulus
  double G;  // shear modulus

  __host__ __device__ explicit IsotropicMaterial(const Material* record)
      : MaterialWithState<Kind, Status>(record), K(record->bulk_modulus), G(record->shear_modulus) {}

  // The strain-and-rotation form of the 3-D update and plane strain do
  // nothing unless a model provides them.
  __host__ __device__ void computeStressMatrix3D(GaussPoint*, double[3][3], double*, double*, double) const override {}
  __host__ __device__ void computeStressMatrixPlaneStrain(GaussPoint*, double*, double*, double**,
                                                          double) const override {}
  // The elastic matrix of E and nu.
  __host__ __device__ void reverseConstitutiveMatrix(GaussPoint*, double C[6][6]) const override {
    isotropicStiffnessMatrix(this->youngModulus, this->poissonRatio, C);
  }
};

// New stress (xx, yy, zz, xy, yz, zx) from the old stress s and the velocity
// gradient L over dt: elastic increment plus the Jaumann rotation terms.
// T is double (one point) or LaneDouble (points in lanes, each lane with
// the operations of the one-point form).
template <typename T>
__host__ __device__ inline void isotropicJaumannUpdate(double G, double nu, const T* s, const T L[3][3], double dt,
                                                       T* out) {
  const double lambda2G = 2.0 * G * (1.0 - nu) / (1.0 - 2.0 * nu);
  const double lambda = 2.0 * G * nu / (1.0 - 2.0 * nu);
  const T dxx = L[0][0], dyy = L[1][1], dzz = L[2][2];
  const T gxy = L[0][1] + L[1][0], gyz = L[1][2] + L[2][1], gzx = L[2][0] + L[0][2];
  const T a = (L[1][0] - L[0][1]) * dt;
  const T b = (L[2][1] - L[1][2]) * dt;
  const T c = (L[0][2] - L[2][0]) * dt;
  out[0] = s[0] + dt * (lambda2G * dxx + lambda * (dyy + dzz)) + a * s[3] - c * s[5];
  out[1] = s[1] + dt * (lambda2G * dyy + lambda * (dxx + dzz)) + b * s[4] - a * s[3];
  out[2] = s[2] + dt * (lambda2G * dzz + lambda * (dxx + dyy)) + c * s[5] - b * s[4];
  out[3] = s[3] + G * gxy * dt + 0.5 * a * (s[1] - s[0]) + 0.5 * b * s[5] - 0.5 * c * s[4];
  out[4] = s[4] + G * gyz * dt + 0.5 * b * (s[2] - s[1]) - 0.5 * a * s[5] + 0.5 * c * s[3];
  out[5] = s[5] + G * gzx * dt + 0.5 * c * (s[0] - s[2]) - 0.5 * b * s[3] + 0.5 * a * s[4];
}

// Strain (order xx, yy, zz, yz, zx, xy) += the strain increment of L over dt.
template <typename T>
__host__ __device__ inline void accumulateStrain3D(T* e, const T L[3][3], double dt) {
  e[0] += L[0][0] * dt;
  e[1] += L[1][1] * dt;
  e[2] += L[2][2] * dt;
  e[3] += (L[1][2] + L[2][1]) * dt;
  e[4] += (L[2][0] + L[0][2]) * dt;
  e[5] += (L[0][1] + L[1][0]) * dt;
}
