#include "materials/elasticplastic.h"

#include <cmath>

#include "core/logErrorPrint.h"
#include "materials/radialReturn.h"
#include "materials/returnMapFailure.h"

__host__ __device__ ElasticPlasticMaterial::ElasticPlasticMaterial(const Material* record)
    : IsotropicMaterial(record),
      hardeningParameter(record->hardening_parameter),
      yield(record->yield_stress),
      Et(record->tangent_modulus),
      powerK(record->power_law_k),
      powerN(record->power_law_n),
      powerEps0(record->power_law_eps0),
      H(record->hardening_modulus),
      plasticModel_(record->plastic_model),
      curveId(record->curve_id),
      tableCount(0) {
  int n = record->table_count;
  if (n < 0) n = 0;
  if (n > kMaterialTablePointMax) n = kMaterialTablePointMax;
  tableCount = n;
  for (int i = 0; i < kMaterialTablePointMax; ++i) {
    tableStress[i] = i < n ? record->table_stress[i] : 0.0;
    tableStrain[i] = i < n ? record->table_strain[i] : 0.0;
  }
}

__host__ __device__ void ElasticPlasticMaterial::computeStressMatrix3D(GaussPoint* gp, double L[3][3],
                                                                       double S[3][3], double dt) const {
  PlasticMaterialStatus* st = static_cast<PlasticMaterialStatus*>(gp->matStatus_);
  if (st == nullptr) return;
  double trial[6];
  isotropicJaumannUpdate(G, poissonRatio, st->stress, L, dt, trial);
  double T[3][3];
  stressVectorToMatrix(trial, T);
  if (!radialReturnAlgorith(T, st, S)) reportReturnMapFailure(gp);
  stressMatrixToVector(S, st->stress);
  accumulateStrain3D(st->strain, L, dt);
}

// Plane stress: the elastic plane-stress trial (the thickness strain that
// keeps zz free of stress) is returned radially in three dimensions; when the
// point yields, the thickness strain increment is corrected by secant steps
// until the returned zz stress vanishes too, so that the in-plane stress lies
// on the yield surface of the plane-stress state.  Transverse shears stay
// elastic.
__host__ __device__ void ElasticPlasticMaterial::computeStressMatrixPlaneStress(GaussPoint* gp, double* stress,
                                                                                double* d, double**,
                                                                                double) const {
  PlasticMaterialStatus* st = static_cast<PlasticMaterialStatus*>(gp->matStatus_);
  if (st == nullptr) return;
  const double* s = st->stress;
  const double nu = poissonRatio;
  const double lambda = youngModulus * nu / ((1.0 + nu) * (1.0 - 2.0 * nu));
  const double k0 = st->k, eps0 = st->eps_p;
  double dzz = -nu / (1.0 - nu) * (d[0] + d[1]);
  double R[3][3];
  bool converged = true;
  double previousDzz = 0.0, previousZz = 0.0, slope = lambda + 2.0 * G;
  const double tolerance = 1e-10 * (yield != 0.0 ? std::fabs(yield) : youngModulus);
  for (int iter = 0; iter < 30; ++iter) {
    st->k = k0;
    st->eps_p = eps0;
    const double volume = lambda * (d[0] + d[1] + dzz);
    const double xy = s[3] + G * d[3];
    const double T[3][3] = {{s[0] + volume + 2.0 * G * d[0], xy, 0.0},
                            {xy, s[1] + volume + 2.0 * G * d[1], 0.0},
                            {0.0, 0.0, volume + 2.0 * G * dzz}};
    converged = radialReturnAlgorith(T, st, R);
    const double zz = R[2][2];
    if (!(std::fabs(zz) > tolerance)) break;
    if (iter > 0 && zz != previousZz) slope = (zz - previousZz) / (dzz - previousDzz);
    previousDzz = dzz;
    previousZz = zz;
    dzz -= zz / slope;
  }
  if (!converged) reportReturnMapFailure(gp);
  double out[6];
  out[0] = R[0][0];
  out[1] = R[1][1];
  out[2] = 0.0;
  out[3] = R[0][1];
  out[4] = s[4] + G * d[4];
  out[5] = s[5] + G * d[5];
  for (int i = 0; i < 6; ++i) {
    st->strain[i] += d[i];
    st->stress[i] = out[i];
    stress[i] = out[i];
  }
}

__host__ __device__ void ElasticPlasticMaterial::reverseConstitutiveMatrix(GaussPoint* gp, double C[6][6]) const {
  IsotropicMaterial::reverseConstitutiveMatrix(gp, C);
  const PlasticMaterialStatus* st = gp != nullptr ? static_cast<const PlasticMaterialStatus*>(gp->matStatus_) : nullptr;
  if (st == nullptr) return;
  const double* s = st->stress;
  const double p = (s[0] + s[1] + s[2]) / 3.0;
  const double q[6] = {s[0] - p, s[1] - p, s[2] - p, s[3], s[4], s[5]};
  const double q2 = 1.5 * (q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + 2.0 * (q[3] * q[3] + q[4] * q[4] + q[5] * q[5]));
  double beta = 0.0;
  if (q2 > 1e-7) {
    double h = 0.0;
    evlKPrime(st->eps_p, h);
    beta = 9.0 * G * G / (3.0 * G + h) / q2;
  }
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j) C[i][j] -= beta * q[i] * q[j];
}
