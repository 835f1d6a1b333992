// 3-D stress updates of kLaneWidth solid points at once, one point per lane
// (the points of the elements of a one-point hexahedron group), from the
// velocity gradient.  The linear elastic and the elastic-plastic updates are
// written once here, over a value type T: LaneDouble runs them in lanes
// whole, the return mapping of yielding points included (a lane that yields
// and one that stays elastic go through together under masks), and double
// is the models' one-point update (computeStressMatrix3D), so a lane's
// result is bit for bit the one-point result.  Other models take their
// one-point update lane by lane.
#pragma once
#include <cstddef>

#include "materials/integrationPoint.h"
#include "materials/elasticplastic.h"
#include "materials/linearelastic.h"
#include "materials/materialnew.h"
#include "materials/materialstatus.h"
#include "materials/radialReturn.h"
#include "materials/returnMapFailure.h"
#include "platform/laneBlock.h"
#include "platform/simdLane.h"

namespace solid_point_lanes {

// A state record holds its stress (xx, yy, zz, xy, yz, zx) and its strain
// as twelve consecutive doubles: both go in and out of the lanes together,
// state[0..5] the stress and state[6..11] the strain.
static_assert(offsetof(MaterialStatus, strain) == offsetof(MaterialStatus, stress) + 6 * sizeof(double));

template <typename T>
__host__ __device__ inline void gatherStressStrain(MaterialStatus* const st[], T state[12]) {
  const double* rows[kLanesOf<T>];
  for (int l = 0; l < kLanesOf<T>; ++l) rows[l] = st[l]->stress;
  laneLoadBlock<12>(rows, state);
}

// The new stress (state[0..5]) and the strain (state[6..11]) plus its
// increment from L over dt, written into every lane's record; sigma the
// stress as a full symmetric matrix.
template <typename T>
__host__ __device__ inline void storeStressStrain(MaterialStatus* const st[], const T L[3][3], double dt, T state[12],
                                                  T sigma[3][3]) {
  accumulateStrain3D(state + 6, L, dt);
  double* rows[kLanesOf<T>];
  for (int l = 0; l < kLanesOf<T>; ++l) rows[l] = st[l]->stress;
  laneStoreBlock<12>(state, rows);
  stressVectorToMatrix(state, sigma);
}

template <typename T>
__host__ __device__ inline void linearElastic(const LinearElasticMaterial& m, MaterialStatus* const st[],
                                              const T L[3][3], T sigma[3][3], double dt) {
  T state[12], n[6];
  gatherStressStrain(st, state);
  isotropicJaumannUpdate(m.G, m.poissonRatio, state, L, dt, n);
  for (int i = 0; i < 6; ++i) state[i] = n[i];
  storeStressStrain(st, L, dt, state, sigma);
}

// The elastic trial stress of the linear elastic update returned radially
// onto the yield surface of each lane's flow stress (centred on its back
// stress, turned with the material as the stress is, when Kinematic); flow
// stress, plastic strain and back stress written back.  A lane whose return
// did not converge is reported.
template <bool Kinematic, typename T>
__host__ __device__ inline void elasticPlasticWith(const ElasticPlasticMaterial& m, GaussPoint* const gp[],
                                                   MaterialStatus* const st[], const T L[3][3], T sigma[3][3],
                                                   double dt) {
  PlasticMaterialStatus* plastic[kLanesOf<T>];
  const double* flow[kLanesOf<T>];
  for (int l = 0; l < kLanesOf<T>; ++l) {
    plastic[l] = static_cast<PlasticMaterialStatus*>(st[l]);
    flow[l] = &plastic[l]->k;
  }
  T state[12], trial[6], k0, eps0;
  gatherStressStrain(st, state);
  laneGather<1>(flow, &k0);
  for (int l = 0; l < kLanesOf<T>; ++l) flow[l] = &plastic[l]->eps_p;
  laneGather<1>(flow, &eps0);
  isotropicJaumannUpdate(m.G, m.poissonRatio, state, L, dt, trial);
  T T3[3][3];
  stressVectorToMatrix(trial, T3);
  const T zero = 0.0;
  T centre[6];
  double* centres[kLanesOf<T>];
  if constexpr (Kinematic) {
    T held[6];
    for (int l = 0; l < kLanesOf<T>; ++l) centres[l] = static_cast<KinematicPlasticMaterialStatus*>(st[l])->backStress;
    laneLoadBlock<6>(centres, held);
    // The rotation terms alone (no stiffness).
    isotropicJaumannUpdate(0.0, 0.0, held, L, dt, centre);
  }
  const radial_return::Returned<T> R =
      radial_return::radialReturn<Kinematic>(m, T3, k0, eps0, zero < T(1.0), Kinematic ? centre : nullptr);
  if constexpr (Kinematic) laneStoreBlock<6>(centre, centres);
  const T out[6] = {R.xx, R.yy, R.zz, R.xy, R.yz, R.zx};
  for (int i = 0; i < 6; ++i) state[i] = out[i];
  for (int l = 0; l < kLanesOf<T>; ++l) {
    if (laneGet(R.converged, l) == 0.0) reportReturnMapFailure(gp[l]);
    plastic[l]->k = laneGet(R.k, l);
    plastic[l]->eps_p = laneGet(R.eps, l);
  }
  storeStressStrain(st, L, dt, state, sigma);
}

template <typename T>
__host__ __device__ inline void elasticPlastic(const ElasticPlasticMaterial& m, GaussPoint* const gp[],
                                               MaterialStatus* const st[], const T L[3][3], T sigma[3][3], double dt) {
  if (m.kinematic())
    elasticPlasticWith<true>(m, gp, st, L, sigma, dt);
  else
    elasticPlasticWith<false>(m, gp, st, L, sigma, dt);
}

// Whether update() reads the point records themselves (the models computed
// in lanes read only the states, and the point of a failed return).
__host__ __device__ inline bool readsPoints(const MaterialNew* material) {
  return material->type != MT_LINEAR_ELASTIC && material->type != MT_ELASTIC_PLASTIC;
}

// The stress sigma of the points gp[0 .. kLaneWidth-1], st their state
// records (none null), from the velocity gradients L over dt.
template <typename T>
__host__ __device__ inline void update(const MaterialNew* material, GaussPoint* const gp[], MaterialStatus* const st[],
                                       T L[3][3], T sigma[3][3], double dt) {
  switch (material->type) {
    case MT_LINEAR_ELASTIC:
      linearElastic(*static_cast<const LinearElasticMaterial*>(material), st, L, sigma, dt);
      return;
    case MT_ELASTIC_PLASTIC:
      elasticPlastic(*static_cast<const ElasticPlasticMaterial*>(material), gp, st, L, sigma, dt);
      return;
    default:
      // The one-point update starts from the stored stress: a model without
      // a 3-D update leaves it as it was.
      for (int l = 0; l < kLanesOf<T>; ++l) {
        double Ll[3][3], sl[3][3];
        laneOut<9>(&L[0][0], l, &Ll[0][0]);
        stressVectorToMatrix(st[l]->stress, sl);
        material->computeStressMatrix3D(gp[l], Ll, sl, dt);
        laneIn<9>(&sl[0][0], l, &sigma[0][0]);
      }
  }
}

}  // namespace solid_point_lanes
