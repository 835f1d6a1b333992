// Isotropic hypo-elastic model: the 3-D update from the velocity gradient
// with the Jaumann co-rotational correction (solids) and the total
// plane-stress update (shells and membranes).
#pragma once
#include "materials/isotropicMaterial.h"

class LinearElasticMaterial : public IsotropicMaterial<LinearElasticMaterial, ElasticMaterialStatus> {
 public:
  using IsotropicMaterial::IsotropicMaterial;

  __host__ __device__ void computeStressMatrix3D(GaussPoint* gp, double S[3][3], double* d, double* w,
                                                 double dt) const override;
  __host__ __device__ void computeStressMatrix3D(GaussPoint* gp, double L[3][3], double S[3][3],
                                                 double dt) const override;
  __host__ __device__ void computeStressMatrixPlaneStress(GaussPoint* gp, double* stress, double* d, double** frame,
                                                          double dt) const override;
  __host__ __device__ void computeStressMatrix1d(GaussPoint* gp, double* stress, double* d, double** frame,
                                                 double dt) const override;
};
