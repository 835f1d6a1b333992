// Hardening laws and the radial return of the elastic-plastic model, inline
// so that host and device compute with one body.
#pragma once
#include <cmath>
#include <cstdio>

#include "materials/elasticplastic.h"

namespace radial_return {
constexpr double kSqrtTwoThirds = 0.816496610641479;
constexpr double kTolerance = 1e-6;
// Newton steps converge in a few iterations; a law with kinks can need the
// bisection steps that replace Newton steps leaving the bracket (about 20 +
// log2 of the trial over the yield stress).
constexpr int kMaxIterations = 60;
}  // namespace radial_return

__host__ __device__ inline void ElasticPlasticMaterial::evlK(double eps, double& k) const {
  switch (plasticModel_) {
    case 0:
      k = yield + H * eps;
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
      kPrime = H;
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

__host__ __device__ inline bool ElasticPlasticMaterial::radialReturnAlgorith(const double T[3][3],
                                                                             PlasticMaterialStatus* status,
                                                                             double R[3][3]) const {
  using namespace radial_return;
  const double p = (T[0][0] + T[1][1] + T[2][2]) / 3.0;
  double s[3][3];
  double sum = 0.0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      s[i][j] = T[i][j] - (i == j ? p : 0.0);
      sum += s[i][j] * s[i][j];
    }
  const double norm = std::sqrt(sum);
  double k = status->k;
  const double f = norm - kSqrtTwoThirds * k;
  // Tolerances are relative to the initial yield stress; a material with a
  // zero initial yield measures them against the deviator instead.
  const double scale = yield != 0.0 ? std::fabs(yield) : (norm > 0.0 ? norm : 1.0);
  // A zero deviator has no direction to return along: it stays elastic.
  if (f / scale <= kTolerance || !(norm > 0.0)) {
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) R[i][j] = T[i][j];
    return true;
  }
  const double epsStart = status->eps_p;
  // The residual falls as dgamma grows (the set-up refuses laws that fall
  // as fast as 3G), so its root lies in [0, norm / 2G] while the flow stress
  // stays positive.  A Newton step that leaves the bracket is replaced by
  // bisection: at a kink of a table Newton alone can jump back and forth.
  double lo = 0.0, hi = norm / (2.0 * G);
  double dgamma = 0.0;
  double eps = epsStart;
  double r = f;
  double h = 0.0;
  int iter = 0;
  bool converged = true;
  while (std::fabs(r) / scale > kTolerance) {
    // The caller reports it (once per run, materials/returnMapFailure.h).
    if (iter >= kMaxIterations) {
      converged = false;
      break;
    }
    evlKPrime(eps, h);
    const double newton = dgamma + r / (2.0 * G * (1.0 + h / (3.0 * G)));
    dgamma = newton > lo && newton < hi ? newton : 0.5 * (lo + hi);
    eps = epsStart + kSqrtTwoThirds * dgamma;
    evlK(eps, k);
    ++iter;
    r = norm - kSqrtTwoThirds * k - 2.0 * G * dgamma;
    (r > 0.0 ? lo : hi) = dgamma;
  }
  status->eps_p = eps;
  status->k = k;
  const double factor = 2.0 * G * dgamma / norm;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) R[i][j] = T[i][j] - factor * s[i][j];
  return converged;
}
