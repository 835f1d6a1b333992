// The radial return of the elastic-plastic model over a value type T: one
// point (double) or kLaneWidth points in lanes (LaneDouble).  Every lane
// runs the very operations of the one-point return in
// ElasticPlasticMaterial::radialReturnAlgorith, in the same order; a lane
// that has finished (elastic, converged, or past the iteration limit) keeps
// its values while the others iterate, so each lane's result is bit for bit
// the one-point result.  The iteration counts of the loops are the same in
// every lane that still runs, so the limits are tested once for all.
#pragma once
#include <cmath>

#include "materials/elasticplastic.h"
#include "materials/radialReturn.h"
#include "platform/simdLane.h"

namespace radial_return_lanes {

template <typename T>
using Mask = decltype(T() > T());

// The hardening law's flow stress (slope = false) or slope (slope = true)
// at eps into v, in the lanes of live; v keeps its value elsewhere and where
// the law gives none.  The linear law is computed in lanes, the others lane
// by lane with the one-point routines (their messages included).
template <typename T>
__host__ __device__ inline void hardening(const ElasticPlasticMaterial& m, bool slope, const T& eps,
                                          const Mask<T>& live, T& v) {
  if (m.plasticModel_ == 0) {
    v = laneSelect(live, slope ? T(m.H) : m.yield + m.H * eps, v);
    return;
  }
  for (int l = 0; l < kLaneWidth; ++l) {
    if (!laneGet(laneSelect(live, T(1.0), T(0.0)), l)) continue;
    double vl = laneGet(v, l);
    if (slope)
      m.evlKPrime(laneGet(eps, l), vl);
    else
      m.evlK(laneGet(eps, l), vl);
    laneSet(v, l, vl);
  }
}

// What the return gives a lane: the returned stress (the entries a plane
// stress update keeps), the new flow stress and plastic strain, 1 where
// the iteration converged, else 0, and the returned shears a 3-D update
// keeps besides.
template <typename T>
struct Returned {
  T xx, yy, zz, xy;
  T k, eps;
  T converged;
  T yz, zx;
};

// Radial return of the trial stresses T (3x3 per lane) from the flow stress
// k0 and plastic strain eps0, in the lanes of `active` (the others'
// results are not used).
template <typename T>
__host__ __device__ inline Returned<T> returnLanes(const ElasticPlasticMaterial& m, const T trial[3][3],
                                                   const T& k0, const T& eps0, const Mask<T>& active) {
  using namespace radial_return;
  const T zero = 0.0;
  const T p = (trial[0][0] + trial[1][1] + trial[2][2]) / 3.0;
  T s[3][3];
  T sum = 0.0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      s[i][j] = trial[i][j] - (i == j ? p : zero);
      sum += s[i][j] * s[i][j];
    }
  const T norm = laneSqrt(sum);
  const T f = norm - kSqrtTwoThirds * k0;
  const T scale = m.yield != 0.0 ? T(std::fabs(m.yield)) : laneSelect(norm > 0.0, norm, T(1.0));
  // Elastic, or a zero deviator with no direction to return along: the
  // trial stress stands.
  const Mask<T> plastic = active & !(f / scale <= kTolerance) & (norm > 0.0);
  Returned<T> out{trial[0][0], trial[1][1], trial[2][2], trial[0][1], k0, eps0, T(1.0), trial[1][2], trial[2][0]};
  if (!laneAny(plastic)) return out;

  const double G = m.G;
  T lo = 0.0, hi = norm / (2.0 * G);
  T dgamma = 0.0, eps = eps0, k = k0, r = f, h = 0.0;
  Mask<T> live = plastic & (laneAbs(r) / scale > kTolerance);
  for (int iter = 0; laneAny(live); ++iter) {
    if (iter >= kMaxIterations) {
      out.converged = laneSelect(live, T(0.0), out.converged);
      break;
    }
    hardening(m, true, eps, live, h);
    const T newton = dgamma + r / (2.0 * G * (1.0 + h / (3.0 * G)));
    dgamma = laneSelect(live, laneSelect((newton > lo) & (newton < hi), newton, 0.5 * (lo + hi)), dgamma);
    eps = laneSelect(live, eps0 + kSqrtTwoThirds * dgamma, eps);
    hardening(m, false, eps, live, k);
    r = laneSelect(live, norm - kSqrtTwoThirds * k - 2.0 * G * dgamma, r);
    lo = laneSelect(live & (r > 0.0), dgamma, lo);
    hi = laneSelect(live & !(r > 0.0), dgamma, hi);
    live = live & (laneAbs(r) / scale > kTolerance);
  }
  const T factor = 2.0 * G * dgamma / norm;
  out.xx = laneSelect(plastic, trial[0][0] - factor * s[0][0], out.xx);
  out.yy = laneSelect(plastic, trial[1][1] - factor * s[1][1], out.yy);
  out.zz = laneSelect(plastic, trial[2][2] - factor * s[2][2], out.zz);
  out.xy = laneSelect(plastic, trial[0][1] - factor * s[0][1], out.xy);
  out.yz = laneSelect(plastic, trial[1][2] - factor * s[1][2], out.yz);
  out.zx = laneSelect(plastic, trial[2][0] - factor * s[2][0], out.zx);
  out.k = laneSelect(plastic, k, k0);
  out.eps = laneSelect(plastic, eps, eps0);
  return out;
}

}  // namespace radial_return_lanes
