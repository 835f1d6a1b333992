// Compressible Mooney-Rivlin hyperelasticity: each integration point
// integrates its deformation gradient and the Cauchy stress follows from
// the left Cauchy-Green tensor.
#pragma once
#include "materials/material.h"
#include "materials/materialnew.h"

class MooneyRivlinMaterial : public MaterialNew {
 public:
  double c1, c2, c3;

  __host__ __device__ explicit MooneyRivlinMaterial(const Material* record);

  __host__ __device__ void computeStressMatrix3D(GaussPoint* gp, double L[3][3], double S[3][3],
                                                 double dt) const override;
  using MaterialNew::computeStressMatrix3D;
  __host__ __device__ void createMaterialStatusInstance(GaussPoint* gp) override;
  __host__ __device__ void linkMatStatuToGaussPoint(GaussPoint* gp, MaterialStatus* array) override;
  void createStatusArrayCpu() override;
  void copyStatusArrayToGpu(int gpu_id) override;
};
