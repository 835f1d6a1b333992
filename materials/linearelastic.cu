#include "materials/linearelastic.h"

#include <cmath>

#include "core/logErrorPrint.h"
#include "materials/material.h"
#include "materials/planeStressLanes.h"
#include "materials/solidPointLanes.h"

__host__ __device__ void LinearElasticMaterial::computeStressMatrix3D(GaussPoint* gp, double S[3][3], double* d,
                                                                      double* w, double) const {
  MaterialStatus* st = gp->matStatus_;
  if (st == nullptr) return;
  const double* s = st->stress;
  const double nu = poissonRatio;
  const double lambda2G = 2.0 * G * (1.0 - nu) / (1.0 - 2.0 * nu);
  const double lambda = 2.0 * G * nu / (1.0 - 2.0 * nu);
  double n[6];
  n[0] = s[0] + lambda2G * d[0] + lambda * (d[1] + d[2]);
  n[1] = s[1] + lambda2G * d[1] + lambda * (d[0] + d[2]);
  n[2] = s[2] + lambda2G * d[2] + lambda * (d[0] + d[1]);
  n[3] = s[3] + G * d[3];
  n[4] = s[4] + G * d[4];
  n[5] = s[5] + G * d[5];
  if (std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]) >= 1e-5) {
    // The rotation terms use the increments as given; the caller's array
    // is halved afterwards.
    const double a = w[0], b = w[1], c = w[2];
    w[0] *= 0.5;
    w[1] *= 0.5;
    w[2] *= 0.5;
    n[0] += a * s[3] - c * s[5];
    n[1] += b * s[4] - a * s[3];
    n[2] += c * s[5] - b * s[4];
    n[3] += 0.5 * a * (s[1] - s[0]) + 0.5 * b * s[5] - 0.5 * c * s[4];
    n[4] += 0.5 * b * (s[2] - s[1]) - 0.5 * a * s[5] + 0.5 * c * s[3];
    n[5] += 0.5 * c * (s[0] - s[2]) - 0.5 * b * s[3] + 0.5 * a * s[4];
  }
  stressVectorToMatrix(n, S);
  for (int i = 0; i < 6; ++i) st->stress[i] = n[i];
  st->strain[0] += d[0];
  st->strain[1] += d[1];
  st->strain[2] += d[2];
  st->strain[3] += d[4];
  st->strain[4] += d[5];
  st->strain[5] += d[3];
}

// The one-point updates from the velocity gradient and in plane stress are
// the point-group updates for one point.
__host__ __device__ void LinearElasticMaterial::computeStressMatrix3D(GaussPoint* gp, double L[3][3], double S[3][3],
                                                                      double dt) const {
  MaterialStatus* st = gp->matStatus_;
  if (st == nullptr) return;
  solid_point_lanes::linearElastic<double>(*this, &st, L, S, dt);
}

__host__ __device__ void LinearElasticMaterial::computeStressMatrixPlaneStress(GaussPoint* gp, double* stress,
                                                                               double* d, double**, double) const {
  MaterialStatus* st = gp->matStatus_;
  if (st == nullptr) return;
  plane_stress_lanes::LinearElasticLanes (*this)(&gp, 0, &st, d, stress);
}

__host__ __device__ void LinearElasticMaterial::computeStressMatrix1d(GaussPoint*, double*, double*, double**,
                                                                      double) const {}
