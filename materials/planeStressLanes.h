// Plane-stress updates of kLaneWidth integration points at once, one point
// per lane (the same point of the elements of a shell group).  The linear
// elastic update runs in lanes whole; the elastic-plastic update runs its
// elastic predictor in lanes and finishes every point that stays elastic
// there, with the very operations of the one-point update (so bit for bit
// its results), while a point that yields takes the one-point update.
// Other models take their one-point update lane by lane.
#pragma once
#include <cmath>

#include "elements/gausspoint.h"
#include "materials/elasticplastic.h"
#include "materials/linearelastic.h"
#include "materials/materialnew.h"
#include "materials/materialstatus.h"
#include "materials/radialReturn.h"
#include "platform/simdLane.h"

namespace plane_stress_lanes {

// The one-point update of lane l, from the state's stress as the shell's
// point pass starts it.
template <typename T>
__host__ __device__ inline void onePoint(const MaterialNew* material, GaussPoint* gp, const T d[6], T stress[6],
                                         int l, double dt) {
  double dl[6], sl[6];
  laneOut<6>(d, l, dl);
  for (int c = 0; c < 6; ++c) sl[c] = gp->matStatus_->stress[c];
  material->computeStressMatrixPlaneStress(gp, sl, dl, nullptr, dt);
  laneIn<6>(sl, l, stress);
}

// The states' strain += d; the stress of lane l stored in its state.
template <typename T>
__host__ __device__ inline void storeLane(MaterialStatus* st, const T d[6], const T out[6], int l) {
  for (int i = 0; i < 6; ++i) {
    st->strain[i] += laneGet(d[i], l);
    st->stress[i] = laneGet(out[i], l);
  }
}

template <typename T>
__host__ __device__ inline void linearElastic(const LinearElasticMaterial& m, GaussPoint* const gp[], const T d[6],
                                              T stress[6]) {
  T e[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  for (int l = 0; l < kLaneWidth; ++l) {
    const MaterialStatus* st = gp[l]->matStatus_;
    for (int i = 0; i < 6; ++i) laneSet(e[i], l, st->strain[i] + laneGet(d[i], l));
  }
  const double nu = m.poissonRatio;
  const double Ep = m.youngModulus / (1.0 - nu * nu);
  stress[0] = Ep * (e[0] + nu * e[1]);
  stress[1] = Ep * (nu * e[0] + e[1]);
  stress[2] = 0.0;
  stress[3] = m.G * e[3];
  stress[4] = m.G * e[4];
  stress[5] = m.G * e[5];
  for (int l = 0; l < kLaneWidth; ++l) {
    MaterialStatus* st = gp[l]->matStatus_;
    for (int i = 0; i < 6; ++i) {
      st->strain[i] = laneGet(e[i], l);
      st->stress[i] = laneGet(stress[i], l);
    }
  }
}

// The first step of the elastic-plastic update: the trial stress with the
// thickness strain of an elastic step; done in lanes where it is inside the
// yield surface and its thickness stress vanishes (as the one-point update
// then stops after that step), else the one-point update.
template <typename T>
__host__ __device__ inline void elasticPlastic(const ElasticPlasticMaterial& m, GaussPoint* const gp[], const T d[6],
                                               T stress[6], double dt) {
  T s[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0}, k = 0.0;
  for (int l = 0; l < kLaneWidth; ++l) {
    const PlasticMaterialStatus* st = static_cast<const PlasticMaterialStatus*>(gp[l]->matStatus_);
    laneIn<6>(st->stress, l, s);
    laneSet(k, l, st->k);
  }
  const double nu = m.poissonRatio;
  const double lambda = m.youngModulus * nu / ((1.0 + nu) * (1.0 - 2.0 * nu));
  const double G = m.G;
  const T dzz = -nu / (1.0 - nu) * (d[0] + d[1]);
  const T volume = lambda * (d[0] + d[1] + dzz);
  const T xy = s[3] + G * d[3];
  const T zero = 0.0;
  const T trial[3][3] = {{s[0] + volume + 2.0 * G * d[0], xy, zero},
                         {xy, s[1] + volume + 2.0 * G * d[1], zero},
                         {zero, zero, volume + 2.0 * G * dzz}};
  // The radial return's test of the trial stress.
  const T p = (trial[0][0] + trial[1][1] + trial[2][2]) / 3.0;
  T sum = 0.0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const T dev = trial[i][j] - (i == j ? p : zero);
      sum += dev * dev;
    }
  const T norm = laneSqrt(sum);
  const T f = norm - radial_return::kSqrtTwoThirds * k;
  const T scale = m.yield != 0.0 ? T(std::fabs(m.yield)) : laneSelect(norm > 0.0, norm, T(1.0));
  const double tolerance = 1e-10 * (m.yield != 0.0 ? std::fabs(m.yield) : m.youngModulus);
  // Inside the surface with a deviator, and no thickness stress: the
  // one-point update stops after this step.  Everything else (a point that
  // yields, a vanishing or undefined deviator) takes the one-point update.
  const T done = laneSelect((f / scale <= radial_return::kTolerance) & (norm > 0.0) &
                                (laneAbs(trial[2][2]) <= tolerance),
                            T(1.0), T(0.0));
  const T out[6] = {trial[0][0], trial[1][1], zero, trial[0][1], s[4] + G * d[4], s[5] + G * d[5]};
  for (int l = 0; l < kLaneWidth; ++l) {
    if (laneGet(done, l) != 0.0) {
      storeLane(gp[l]->matStatus_, d, out, l);
      for (int i = 0; i < 6; ++i) laneSet(stress[i], l, laneGet(out[i], l));
    } else {
      onePoint(static_cast<const MaterialNew*>(&m), gp[l], d, stress, l, dt);
    }
  }
}

// Plane-stress update of the points gp[0 .. kLaneWidth-1], each with a
// state record: d the strain increments, stress the stresses out.
template <typename T>
__host__ __device__ inline void update(const MaterialNew* material, GaussPoint* const gp[], const T d[6],
                                       T stress[6], double dt) {
  switch (material->type) {
    case MT_LINEAR_ELASTIC:
      linearElastic(*static_cast<const LinearElasticMaterial*>(material), gp, d, stress);
      return;
    case MT_ELASTIC_PLASTIC:
      elasticPlastic(*static_cast<const ElasticPlasticMaterial*>(material), gp, d, stress, dt);
      return;
    default:
      for (int l = 0; l < kLaneWidth; ++l) onePoint(material, gp[l], d, stress, l, dt);
  }
}

}  // namespace plane_stress_lanes
