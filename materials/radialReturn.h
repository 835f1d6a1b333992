// Hardening laws and the radial return of the elastic-plastic model, inline
// so that host and device compute with one body.  The return is written
// once, over a value type T: one point (double, ElasticPlasticMaterial::
// radialReturnAlgorith and the one-point updates) or kLaneWidth points in
// lanes (LaneDouble, the element groups' updates).  A lane that has
// finished (elastic, converged, or past the iteration limit) keeps its
// values while the others iterate, so each lane's result is bit for bit the
// one-point result.  The iteration counts of the loops are the same in every
// lane that still runs, so the limits are tested once for all.
#pragma once
#include <cmath>
#include <cstdio>

#include "materials/elasticplastic.h"
#include "platform/simdLane.h"

namespace radial_return {
constexpr double kSqrtTwoThirds = 0.816496610641479;
constexpr double kTolerance = 1e-6;
// Newton steps converge in a few iterations; a law with kinks can need the
// bisection steps that replace Newton steps leaving the bracket (about 20 +
// log2 of the trial over the yield stress).
constexpr int kMaxIterations = 60;
}  // namespace radial_return

// The return of one point.
__host__ __device__ inline void ElasticPlasticMaterial::evlK(double eps, double& k) const {
  switch (plasticModel_) {
    case 0:
      k = yield + isotropicModulus * eps;
      break;
    case 1:
      if (eps < 0.0) {
        printf("Wrong in sub evl_k_prime\npstn <=0\npstn=%lf\n", eps);
        break;
      }
      k = yield + 1.2924e8 * eps + (H - yield) * (1.0 - std::exp(-16.93 * eps));
      break;
    case 2:
      if (eps >= 0.0) k = powerK * std::pow(eps + powerEps0, powerN);
      break;
    case 3:
      if (eps >= 0.0) k = yield * std::pow(eps, 0.183);
      break;
    case 4: {
      const int n = tableCount < kMaterialTablePointMax ? tableCount : kMaterialTablePointMax;
      if (n < 1) break;  // no table: the flow stress stays
      if (eps >= tableStrain[n - 1]) {
        k = tableStress[n - 1];
        break;
      }
      // Below the first table point no segment holds eps: k keeps its value.
      for (int i = 0; i + 1 < n; ++i) {
        if (tableStrain[i] <= eps && eps < tableStrain[i + 1]) {
          k = tableStress[i] +
              (tableStress[i + 1] - tableStress[i]) * (eps - tableStrain[i]) / (tableStrain[i + 1] - tableStrain[i]);
          break;
        }
      }
      break;
    }
    default:
      printf("Wrong in sub evl_k_prime\nunknown value of plasticModel_=%d\n", plasticModel_);
      break;
  }
}

__host__ __device__ inline void ElasticPlasticMaterial::evlKPrime(double eps, double& kPrime) const {
  switch (plasticModel_) {
    case 0:
      kPrime = isotropicModulus;
      break;
    case 1:
      if (eps < 0.0) {
        printf("Wrong in sub evl_k_prime\npstn <=0\npstn=%lf\n", eps);
        break;
      }
      kPrime = 16.93 * (H - yield) * std::exp(-16.93 * eps) + 1.2924e8;
      break;
    case 2:
      if (eps < 0.0) {
        printf("Wrong in sub evl_k_prime\npstn <=0\npstn=%lf\n", eps);
        break;
      }
      kPrime = powerN * powerK * std::pow(eps + powerEps0, powerN - 1.0);
      break;
    case 3:
      // Derivative of yield * eps^0.183; taken as 0 at (and below) eps = 0.
      kPrime = eps > 0.0 ? 0.183 * yield * std::pow(eps, 0.183 - 1.0) : 0.0;
      break;
    case 4: {
      const int n = tableCount < kMaterialTablePointMax ? tableCount : kMaterialTablePointMax;
      if (n < 2 || eps >= tableStrain[n - 1] || eps < tableStrain[0]) {
        kPrime = 0.0;  // flat beyond (and before) the table
        break;
      }
      for (int i = 0; i + 1 < n; ++i) {
        if (tableStrain[i] <= eps && eps < tableStrain[i + 1]) {
          kPrime = (tableStress[i + 1] - tableStress[i]) / (tableStrain[i + 1] - tableStrain[i]);
          break;
        }
      }
      break;
    }
    default:
      printf("Wrong in sub evl_k_prime\nunknown value of plasticModel_=%d\n", plasticModel_);
      break;
  }
}

namespace radial_return {

template <typename T>
using Mask = decltype(T() > T());

// The hardening law's flow stress (slope = false) or slope (slope = true)
// at eps into v, in the lanes of live; v keeps its value elsewhere and where
// the law gives none.  The linear law is computed in lanes, the others lane
// by lane with evlK and evlKPrime (their messages included).
template <typename T>
__host__ __device__ inline void hardening(const ElasticPlasticMaterial& m, bool slope, const T& eps,
                                          const Mask<T>& live, T& v) {
  if (m.plasticModel_ == 0) {
    v = laneSelect(live, slope ? T(m.isotropicModulus) : m.yield + m.isotropicModulus * eps, v);
    return;
  }
  for (int l = 0; l < kLanesOf<T>; ++l) {
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

// Radial return of the trial stresses (3x3 per lane, symmetric) from the
// flow stress k0 and plastic strain eps0, in the lanes of `active` (the
// others' results are not used).  Kinematic: the surface is centred on the
// back stress (xx, yy, zz, xy, yz, zx), given in backStress and returned
// there moved along the flow direction by its share of the hardening; the
// return runs on the trial deviator less the back stress.
template <bool Kinematic = false, typename T>
__host__ __device__ inline Returned<T> radialReturn(const ElasticPlasticMaterial& m, const T trial[3][3], const T& k0,
                                                    const T& eps0, const Mask<T>& active, T* backStress = nullptr) {
  const T zero = 0.0;
  const T p = (trial[0][0] + trial[1][1] + trial[2][2]) / 3.0;
  T s[3][3], centre[3][3];
  if constexpr (Kinematic) stressVectorToMatrix(backStress, centre);
  T sum = 0.0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      s[i][j] = trial[i][j] - (i == j ? p : zero);
      if constexpr (Kinematic) s[i][j] -= centre[i][j];
      sum += s[i][j] * s[i][j];
    }
  const T norm = laneSqrt(sum);
  const T f = norm - kSqrtTwoThirds * k0;
  // Tolerances are relative to the initial yield stress; a material with a
  // zero initial yield measures them against the deviator instead.
  const T scale = m.yield != 0.0 ? T(std::fabs(m.yield)) : laneSelect(norm > 0.0, norm, T(1.0));
  // Elastic, or a zero deviator with no direction to return along: the
  // trial stress stands.
  const Mask<T> plastic = active & !(f / scale <= kTolerance) & (norm > 0.0);
  Returned<T> out{trial[0][0], trial[1][1], trial[2][2], trial[0][1], k0, eps0, T(1.0), trial[1][2], trial[2][0]};
  if (!laneAny(plastic)) return out;

  // The residual falls as dgamma grows (the set-up refuses laws that fall
  // as fast as 3G), so its root lies in [0, norm / 2G] while the flow stress
  // stays positive.  A Newton step that leaves the bracket is replaced by
  // bisection: at a kink of a table Newton alone can jump back and forth.
  const double G = m.G;
  // The back stress takes 2/3 Hk of each plastic multiplier's step.
  const double twoThirdsHk = Kinematic ? 2.0 / 3.0 * m.kinematicModulus : 0.0;
  T lo = 0.0, hi = norm / (2.0 * G);
  T dgamma = 0.0, eps = eps0, k = k0, r = f, h = 0.0;
  Mask<T> live = plastic & (laneAbs(r) / scale > kTolerance);
  for (int iter = 0; laneAny(live); ++iter) {
    // The caller reports it (once per run, materials/returnMapFailure.h).
    if (iter >= kMaxIterations) {
      out.converged = laneSelect(live, T(0.0), out.converged);
      break;
    }
    hardening(m, true, eps, live, h);
    T slope = h;
    if constexpr (Kinematic) slope = h + m.kinematicModulus;
    const T newton = dgamma + r / (2.0 * G * (1.0 + slope / (3.0 * G)));
    dgamma = laneSelect(live, laneSelect((newton > lo) & (newton < hi), newton, 0.5 * (lo + hi)), dgamma);
    eps = laneSelect(live, eps0 + kSqrtTwoThirds * dgamma, eps);
    hardening(m, false, eps, live, k);
    T residual = norm - kSqrtTwoThirds * k - 2.0 * G * dgamma;
    if constexpr (Kinematic) residual = residual - twoThirdsHk * dgamma;
    r = laneSelect(live, residual, r);
    lo = laneSelect(live & (r > 0.0), dgamma, lo);
    hi = laneSelect(live & !(r > 0.0), dgamma, hi);
    live = live & (laneAbs(r) / scale > kTolerance);
  }
  const T factor = 2.0 * G * dgamma / norm;
  if constexpr (Kinematic) {
    const T shift = twoThirdsHk * dgamma / norm;
    const T moved[6] = {centre[0][0] + shift * s[0][0], centre[1][1] + shift * s[1][1], centre[2][2] + shift * s[2][2],
                        centre[0][1] + shift * s[0][1], centre[1][2] + shift * s[1][2], centre[2][0] + shift * s[2][0]};
    for (int c = 0; c < 6; ++c) backStress[c] = laneSelect(plastic, moved[c], backStress[c]);
  }
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

}  // namespace radial_return

// The return of one point.
__host__ __device__ inline bool ElasticPlasticMaterial::radialReturnAlgorith(const double T[3][3],
                                                                             PlasticMaterialStatus* status,
                                                                             double R[3][3]) const {
  const radial_return::Returned<double> r =
      kinematic() ? radial_return::radialReturn<true>(*this, T, status->k, status->eps_p, true,
                                                      static_cast<KinematicPlasticMaterialStatus*>(status)->backStress)
                  : radial_return::radialReturn(*this, T, status->k, status->eps_p, true);
  status->k = r.k;
  status->eps_p = r.eps;
  const double out[3][3] = {{r.xx, r.xy, r.zx}, {r.xy, r.yy, r.yz}, {r.zx, r.yz, r.zz}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) R[i][j] = out[i][j];
  return r.converged != 0.0;
}
