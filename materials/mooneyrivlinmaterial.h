// Compressible Mooney-Rivlin hyperelasticity: each integration point
// integrates its deformation gradient and the Cauchy stress follows from
// the left Cauchy-Green tensor.
#pragma once
#include "materials/material.h"
#include "materials/materialWithState.h"

class MooneyRivlinMaterial : public MaterialWithState<MooneyRivlinMaterial, MooneyRivlinMaterialStatus> {
 public:
  double c1, c2, c3;

  __host__ __device__ explicit MooneyRivlinMaterial(const Material* record);

  // Integrates F with the velocity gradient (the elements' G, G_ij =
  // dv_j / dx_i) and returns the full symmetric Cauchy stress, also stored
  // in the state record.  det F <= 0 is reported as an inverted element and
  // gives zero stress.
  __host__ __device__ void computeStressMatrix3D(GaussPoint* gp, double G[3][3], double S[3][3],
                                                 double dt) const override;
  // sigma = (2 / J) (a B - c2 B^2 - p I), B = F F^T, a = c1 + c2 I1(B),
  // p = c1 + 2 c2 - c3 ln J^2, for J = det F > 0.
  __host__ __device__ void cauchyStress(const double F[3][3], double J, double S[3][3]) const;
  using MaterialNew::computeStressMatrix3D;

 private:
  __host__ __device__ static void storeStateStressStrain(MaterialStatus* st, const double F[3][3],
                                                         const double S[3][3]);
};
