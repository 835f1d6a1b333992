#include "materials/elasticplastic.h"

#include <cmath>

#include "core/logErrorPrint.h"
#include "materials/planeStressLanes.h"
#include "materials/radialReturn.h"
#include "materials/solidPointLanes.h"

__host__ __device__ ElasticPlasticMaterial::ElasticPlasticMaterial(const Material* record)
    : IsotropicMaterial(record),
      hardeningParameter(record->hardening_parameter),
      yield(record->yield_stress),
      Et(record->tangent_modulus),
      powerK(record->power_law_k),
      powerN(record->power_law_n),
      powerEps0(record->power_law_eps0),
      H(record->hardening_modulus),
      isotropicModulus(0.0),
      kinematicModulus(0.0),
      plasticModel_(record->plastic_model),
      curveId(record->curve_id),
      tableCount(0) {
  int n = record->table_count;
  if (n < 0) n = 0;
  if (n > kMaterialTablePointMax) n = kMaterialTablePointMax;
  tableCount = n;
  if (plasticModel_ == 0) {
    kinematicModulus = (1.0 - hardeningParameter) * H;
    isotropicModulus = H - kinematicModulus;
  }
  for (int i = 0; i < kMaterialTablePointMax; ++i) {
    tableStress[i] = i < n ? record->table_stress[i] : 0.0;
    tableStrain[i] = i < n ? record->table_strain[i] : 0.0;
  }
}

__host__ __device__ void ElasticPlasticMaterial::createMaterialStatusInstance(GaussPoint* gp) {
  if (!kinematic()) return IsotropicMaterial::createMaterialStatusInstance(gp);
  gp->setMatStatusPtr(new KinematicPlasticMaterialStatus(yield));
}

__host__ __device__ void ElasticPlasticMaterial::linkMatStatuToGaussPoint(GaussPoint* gp, MaterialStatus* array) {
  if (!kinematic()) return IsotropicMaterial::linkMatStatuToGaussPoint(gp, array);
  linkStatusOf<KinematicPlasticMaterialStatus>(gp, array);
}

void ElasticPlasticMaterial::createStatusArrayCpu() {
  if (!kinematic()) return IsotropicMaterial::createStatusArrayCpu();
  const KinematicPlasticMaterialStatus initial(yield);
  createStatusArrayOf<KinematicPlasticMaterialStatus>([&initial](int) { return initial; });
}

void ElasticPlasticMaterial::copyStatusArrayToGpu(int gpu_id) {
  copyStatusArrayOf(gpu_id, kinematic() ? sizeof(KinematicPlasticMaterialStatus) : sizeof(PlasticMaterialStatus));
}

// The one-point updates are the point-group updates for one point.
__host__ __device__ void ElasticPlasticMaterial::computeStressMatrix3D(GaussPoint* gp, double L[3][3], double S[3][3],
                                                                       double dt) const {
  MaterialStatus* st = gp->matStatus_;
  if (st == nullptr) return;
  solid_point_lanes::elasticPlastic<double>(*this, &gp, &st, L, S, dt);
}

__host__ __device__ void ElasticPlasticMaterial::computeStressMatrixPlaneStress(GaussPoint* gp, double* stress,
                                                                                double* d, double**, double dt) const {
  MaterialStatus* st = gp->matStatus_;
  if (st == nullptr) return;
  plane_stress_lanes::update<double>(this, &gp, &st, d, stress, dt);
}

__host__ __device__ void ElasticPlasticMaterial::reverseConstitutiveMatrix(GaussPoint* gp, double C[6][6]) const {
  IsotropicMaterial::reverseConstitutiveMatrix(gp, C);
  const PlasticMaterialStatus* st = gp != nullptr ? static_cast<const PlasticMaterialStatus*>(gp->matStatus_) : nullptr;
  if (st == nullptr) return;
  // The flow direction: the deviator less the back stress.
  double s[6];
  for (int i = 0; i < 6; ++i) s[i] = st->stress[i];
  if (kinematic())
    for (int i = 0; i < 6; ++i) s[i] -= static_cast<const KinematicPlasticMaterialStatus*>(st)->backStress[i];
  const double p = (s[0] + s[1] + s[2]) / 3.0;
  const double q[6] = {s[0] - p, s[1] - p, s[2] - p, s[3], s[4], s[5]};
  const double q2 = 1.5 * (q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + 2.0 * (q[3] * q[3] + q[4] * q[4] + q[5] * q[5]));
  double beta = 0.0;
  if (q2 > 1e-7) {
    double h = 0.0;
    evlKPrime(st->eps_p, h);
    h += kinematicModulus;
    beta = 9.0 * G * G / (3.0 * G + h) / q2;
  }
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j) C[i][j] -= beta * q[i] * q[j];
}
