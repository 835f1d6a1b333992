// Plane-stress updates of kLaneWidth integration points at once, one point
// per lane (the same point of the elements of a shell group).  The linear
// elastic and the elastic-plastic updates are written once here, over a
// value type T: LaneDouble runs them in lanes whole, the return mapping of
// yielding points included, and double is the models' one-point update
// (computeStressMatrixPlaneStress), so a lane's result is bit for bit the
// one-point result.  Other models take their one-point update lane by lane.
#pragma once
#include <cmath>
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

namespace plane_stress_lanes {

// The one-point update of lane l, from the state's stress as the shell's
// point pass starts it.
template <typename T>
__host__ __device__ inline void onePoint(const MaterialNew* material, GaussPoint* gp, const T d[6], T stress[6], int l,
                                         double dt) {
  double dl[6], sl[6];
  laneOut<6>(d, l, dl);
  for (int c = 0; c < 6; ++c) sl[c] = gp->matStatus_->stress[c];
  material->computeStressMatrixPlaneStress(gp, sl, dl, nullptr, dt);
  laneIn<6>(sl, l, stress);
}

// The stress and the strain of every lane's state, stored next to each
// other: read and written in lanes as one run of twelve values.
static_assert(offsetof(MaterialStatus, strain) == offsetof(MaterialStatus, stress) + 6 * sizeof(double));
// The flow stress and the plastic strain likewise as a run of two.
static_assert(sizeof(PlasticMaterialStatus) == sizeof(MaterialStatus) + 2 * sizeof(double));

// The linear elastic update, its constants worked out once for the points
// of a group.
struct LinearElasticLanes {
  double nu, Ep, G;
  __host__ __device__ explicit LinearElasticLanes(const LinearElasticMaterial& m)
      : nu(m.poissonRatio), Ep(m.youngModulus / (1.0 - m.poissonRatio * m.poissonRatio)), G(m.G) {}

  template <typename T>
  __host__ __device__ void operator()(GaussPoint* const* /*first*/, int /*i*/, MaterialStatus* const state[],
                                      const T d[6], T stress[6]) const {
    double* rows[kLanesOf<T>];
    for (int l = 0; l < kLanesOf<T>; ++l) rows[l] = state[l]->stress;
    T out[12];  // stress, then strain
    T* e = out + 6;
    laneLoadBlock<12>(rows, out);
    for (int i = 0; i < 6; ++i) e[i] += d[i];
    out[0] = Ep * (e[0] + nu * e[1]);
    out[1] = Ep * (nu * e[0] + e[1]);
    out[2] = 0.0;
    out[3] = G * e[3];
    out[4] = G * e[4];
    out[5] = G * e[5];
    laneStoreBlock<12>(out, rows);
    for (int i = 0; i < 6; ++i) stress[i] = out[i];
  }
};

// The elastic-plastic update: the elastic plane-stress trial (the thickness
// strain that keeps zz free of stress) is returned radially in three
// dimensions; when the point yields, the thickness strain increment is
// corrected by secant steps until the returned zz stress vanishes too, so
// that the in-plane stress lies on the yield surface of the plane-stress
// state.  Transverse shears stay elastic.  A lane whose thickness stress has
// vanished keeps its result while the others go on.  Kinematic: the surface
// is centred on the point's back stress (xx, yy, zz and xy; its transverse
// shears stay 0), moved by the return of the accepted thickness strain.
template <bool Kinematic>
struct ElasticPlasticLanes {
  const ElasticPlasticMaterial& m;
  double nu, lambda, G, tolerance;
  __host__ __device__ explicit ElasticPlasticLanes(const ElasticPlasticMaterial& model)
      : m(model),
        nu(model.poissonRatio),
        lambda(model.youngModulus * nu / ((1.0 + nu) * (1.0 - 2.0 * nu))),
        G(model.G),
        tolerance(1e-10 * (model.yield != 0.0 ? std::fabs(model.yield) : model.youngModulus)) {}

  template <typename T>
  __host__ __device__ void operator()(GaussPoint* const first[], int i, MaterialStatus* const state[], const T d[6],
                                      T stress[6]) const {
    using radial_return::Mask;
    double* rows[kLanesOf<T>];     // stress, then strain
    double* history[kLanesOf<T>];  // flow stress, then plastic strain
    for (int l = 0; l < kLanesOf<T>; ++l) {
      PlasticMaterialStatus* st = static_cast<PlasticMaterialStatus*>(state[l]);
      rows[l] = st->stress;
      history[l] = &st->k;
    }
    T s[12], kEps[2];
    laneLoadBlock<12>(rows, s);
    laneLoadBlock<2>(history, kEps);
    const T k0 = kEps[0], eps0 = kEps[1];
    // The back stress: four in-plane values, the two shears 0.
    T centre0[6], centre[6];
    double* centres[kLanesOf<T>];
    if constexpr (Kinematic) {
      for (int l = 0; l < kLanesOf<T>; ++l)
        centres[l] = static_cast<KinematicPlasticMaterialStatus*>(state[l])->backStress;
      laneLoadBlock<4>(centres, centre0);
      centre0[4] = centre0[5] = 0.0;
    }
    const T zero = 0.0;
    // The transverse shears and the strains do not take part in the return:
    // written back at once, so that the return carries only what it needs.
    double* rest[kLanesOf<T>];
    for (int l = 0; l < kLanesOf<T>; ++l) rest[l] = rows[l] + 4;
    const T out2[8] = {s[4] + G * d[4], s[5] + G * d[5], s[6] + d[0],  s[7] + d[1],
                       s[8] + d[2],     s[9] + d[3],     s[10] + d[4], s[11] + d[5]};
    laneStoreBlock<8>(out2, rest);
    stress[4] = out2[0];
    stress[5] = out2[1];
    const T xy = s[3] + G * d[3];
    // One secant step: the return of the trial stress with thickness strain
    // ezz in the lanes of `lanes`.
    const auto returned = [&](const T& ezz, const Mask<T>& lanes) {
      const T volume = lambda * (d[0] + d[1] + ezz);
      const T trial[3][3] = {{s[0] + volume + 2.0 * G * d[0], xy, zero},
                             {xy, s[1] + volume + 2.0 * G * d[1], zero},
                             {zero, zero, volume + 2.0 * G * ezz}};
      if constexpr (Kinematic)
        for (int c = 0; c < 6; ++c) centre[c] = centre0[c];
      return radial_return::radialReturn<Kinematic>(m, trial, k0, eps0, lanes, Kinematic ? centre : nullptr);
    };
    T dzz = -nu / (1.0 - nu) * (d[0] + d[1]);
    radial_return::Returned<T> R = returned(dzz, zero < T(1.0));
    T centreR[4];
    if constexpr (Kinematic)
      for (int c = 0; c < 4; ++c) centreR[c] = centre[c];
    T zz = R.zz;
    Mask<T> active = laneAbs(zz) > tolerance;
    T previousDzz = 0.0, previousZz = 0.0, slope = lambda + 2.0 * G;
    for (int iter = 1; iter < 30 && laneAny(active); ++iter) {
      if (iter > 1) slope = laneSelect(active & (zz != previousZz), (zz - previousZz) / (dzz - previousDzz), slope);
      previousDzz = laneSelect(active, dzz, previousDzz);
      previousZz = laneSelect(active, zz, previousZz);
      dzz = laneSelect(active, dzz - zz / slope, dzz);
      const radial_return::Returned<T> now = returned(dzz, active);
      R.xx = laneSelect(active, now.xx, R.xx);
      R.yy = laneSelect(active, now.yy, R.yy);
      R.xy = laneSelect(active, now.xy, R.xy);
      R.k = laneSelect(active, now.k, R.k);
      R.eps = laneSelect(active, now.eps, R.eps);
      R.converged = laneSelect(active, now.converged, R.converged);
      if constexpr (Kinematic)
        for (int c = 0; c < 4; ++c) centreR[c] = laneSelect(active, centre[c], centreR[c]);
      zz = now.zz;
      active = active & (laneAbs(zz) > tolerance);
    }
    const T out[4] = {R.xx, R.yy, zero, R.xy};
    if (laneAny(!(R.converged != 0.0)))  // some lane failed to converge: rare
      for (int l = 0; l < kLanesOf<T>; ++l)
        if (laneGet(R.converged, l) == 0.0) reportReturnMapFailure(first[l] + i);
    laneStoreBlock<4>(out, rows);
    const T history1[2] = {R.k, R.eps};
    laneStoreBlock<2>(history1, history);
    if constexpr (Kinematic) laneStoreBlock<4>(centreR, centres);
    for (int c = 0; c < 4; ++c) stress[c] = out[c];
  }
};

// The one-point update lane by lane, for a model without a lane form.
struct OnePointLanes {
  const MaterialNew* material;
  double dt;
  template <typename T>
  __host__ __device__ void operator()(GaussPoint* const first[], int i, MaterialStatus* const* /*state*/, const T d[6],
                                      T stress[6]) const {
    for (int l = 0; l < kLanesOf<T>; ++l) onePoint(material, first[l] + i, d, stress, l, dt);
  }
};

// run(model) with the material's update of kLaneWidth points: model(first,
// i, state, d, stress) updates the points first[l] + i (l = 0 .. kLaneWidth-1)
// with their state records state[l] (their matStatus_, passed so that the
// lanes need not read the points; the points themselves are only named in a
// failure report or by a model without a lane form), d the strain
// increments, stress the stresses out.  The choice
// of the model and its constants are made once for all the points the caller
// runs through it.
template <typename Run>
__host__ __device__ inline void withModel(const MaterialNew* material, double dt, Run run) {
  switch (material->type) {
    case MT_LINEAR_ELASTIC:
      run(LinearElasticLanes(*static_cast<const LinearElasticMaterial*>(material)));
      return;
    case MT_ELASTIC_PLASTIC: {
      const ElasticPlasticMaterial& plastic = *static_cast<const ElasticPlasticMaterial*>(material);
      if (plastic.kinematic())
        run(ElasticPlasticLanes<true>(plastic));
      else
        run(ElasticPlasticLanes<false>(plastic));
      return;
    }
    default:
      run(OnePointLanes{material, dt});
  }
}

// The update of one set of points.
template <typename T>
__host__ __device__ inline void update(const MaterialNew* material, GaussPoint* const gp[],
                                       MaterialStatus* const state[], const T d[6], T stress[6], double dt) {
  withModel(material, dt, [&](const auto& model) { model(gp, 0, state, d, stress); });
}

// The same with the states found through the points.
template <typename T>
__host__ __device__ inline void update(const MaterialNew* material, GaussPoint* const gp[], const T d[6], T stress[6],
                                       double dt) {
  MaterialStatus* state[kLanesOf<T>];
  for (int l = 0; l < kLanesOf<T>; ++l) state[l] = gp[l]->matStatus_;
  update(material, gp, state, d, stress, dt);
}

}  // namespace plane_stress_lanes
