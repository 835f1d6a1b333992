// Von Mises plasticity: an elastic trial stress as in the linear elastic
// model, projected back onto the yield surface by a radial return whose
// plastic multiplier is found by Newton iteration.  The hardening laws
// widen the surface (isotropic hardening); linear hardening may instead
// move it in part or whole, as the hardening parameter beta asks: the
// radius grows with beta H eps_p and the centre, a back stress, with
// (1 - beta) H eps_p in the flow direction (beta 1 isotropic, 0 kinematic).
#pragma once
#include "materials/isotropicMaterial.h"

class ElasticPlasticMaterial : public IsotropicMaterial<ElasticPlasticMaterial, PlasticMaterialStatus> {
 public:
  double hardeningParameter;  // beta: the share of linear hardening that widens the surface
  double yield;               // initial yield stress sigma_y0
  double Et;                  // tangent modulus
  double powerK;              // power law: k = powerK (eps + powerEps0)^powerN
  double powerN;
  double powerEps0;
  double H;  // hardening modulus (model 0), saturation value (model 1)
  // Linear hardening (model 0) split by beta: the modulus that widens the
  // surface, beta H, and the one that moves it, (1 - beta) H; other laws
  // only widen it (0 for both).
  double isotropicModulus;
  double kinematicModulus;
  int plasticModel_;                           // hardening law 0-4
  int curveId;                                 // the record's stress-strain curve id
  int tableCount;                              // valid table points, at most 128
  double tableStress[kMaterialTablePointMax];  // flow stress at each table point
  double tableStrain[kMaterialTablePointMax];  // effective plastic strain, ascending

  __host__ __device__ explicit ElasticPlasticMaterial(const Material* record);
  // The strain-and-rotation form stays the base's silent one.
  using IsotropicMaterial::computeStressMatrix3D;

  __host__ __device__ void computeStressMatrix3D(GaussPoint* gp, double L[3][3], double S[3][3],
                                                 double dt) const override;
  __host__ __device__ void computeStressMatrixPlaneStress(GaussPoint* gp, double* stress, double* d, double** frame,
                                                          double dt) const override;
  __host__ __device__ void reverseConstitutiveMatrix(GaussPoint* gp, double C[6][6]) const override;
  // A point starts at the initial yield stress.
  __host__ __device__ PlasticMaterialStatus initialStatus() const { return PlasticMaterialStatus(yield); }
  // True when the yield surface moves: its points keep a back stress
  // (KinematicPlasticMaterialStatus records) besides the flow stress.
  __host__ __device__ bool kinematic() const { return kinematicModulus != 0.0; }
  __host__ __device__ void createMaterialStatusInstance(GaussPoint* gp) override;
  __host__ __device__ void linkMatStatuToGaussPoint(GaussPoint* gp, MaterialStatus* array) override;
  void createStatusArrayCpu() override;
  void copyStatusArrayToGpu(int gpu_id) override;

  // Flow stress k(eps) of the hardening law; k keeps its value where the
  // law gives none (see the messages).
  __host__ __device__ void evlK(double eps, double& k) const;
  // Slope k'(eps) of the hardening law; kPrime keeps its value where the
  // law gives none.
  __host__ __device__ void evlKPrime(double eps, double& kPrime) const;
  // Projects the trial stress T onto the yield surface into R, updating the
  // state's flow stress, plastic strain and back stress.  False when the iteration did
  // not converge within its limit (R and the state hold its last iterate).
  __host__ __device__ bool radialReturnAlgorith(const double T[3][3], PlasticMaterialStatus* status,
                                                double R[3][3]) const;
};
