// Hourglass settings of reduced-integrated solids and the coefficients the
// one-point formulations multiply their hourglass modes with.
#pragma once
#include <type_traits>

#include "materials/materialnew.h"
#include "platform/gpu_runtime.h"

// Plain record: the device uses the uploaded bytes as they are.
struct HourglassControl {
  int id = 1;
  int type = 1;             // hourglass form: 1 or 2 (the set-up turns others into 1)
  double coefficient = 0.1; // used by form 1

  __host__ __device__ HourglassControl() {}

  // Coefficients for one solid element from its material (E, nu, density),
  // a = 2 x sum of the squared shape-derivative vectors, V the element volume
  // and dt the time step.  Form 1 writes out[0], form 2 out[0..3], any other
  // form nothing.
  // T is double, or a lane type for several elements at once.
  template <typename T>
  __host__ __device__ void computeHourglassValueForSolid(const MaterialNew* material, T* out, T a, T V,
                                                         double dt) const;
  // The same from the material constants themselves.
  template <typename T>
  __host__ __device__ void computeHourglassValue(double E, double nu, double rho, T* out, T a, T V, double dt) const;
};

static_assert(std::is_trivially_copyable_v<HourglassControl>);

// The control of a part in a table of one control per part (entry p - 1 for
// part p); an element without a part (part 0) takes the first entry.
template <typename H>
__host__ __device__ inline H* hourglassOfPart(H* table, int partId) {
  return table == nullptr ? nullptr : table + (partId > 1 ? partId - 1 : 0);
}

// Whether two controls give the same coefficients (elements computed
// together must share theirs).
__host__ __device__ inline bool sameHourglass(const HourglassControl* a, const HourglassControl* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return a->type == b->type && a->coefficient == b->coefficient;
}

template <typename T>
__host__ __device__ inline void HourglassControl::computeHourglassValue(double E, double nu, double rho, T* out, T a,
                                                                        T V, double dt) const {
  const double G = E / (2.0 * (1.0 + nu));
  if (type == 1) {
    const double c2 = G * (1.0 - nu) / ((0.5 - nu) * rho);  // squared dilatational wave speed
    out[0] = coefficient * rho * c2 * a * dt / V / 24.0;
  } else if (type == 2) {
    out[0] = G * dt / 192.0;
    out[1] = 2.0 * out[0] / (1.0 - nu);
    out[2] = 2.0 * out[0] * (1.0 + nu) / 3.0;
    out[3] = out[1] * nu;
  }
}

template <typename T>
__host__ __device__ inline void HourglassControl::computeHourglassValueForSolid(const MaterialNew* material, T* out,
                                                                                T a, T V, double dt) const {
  computeHourglassValue(material->youngModulus, material->poissonRatio, material->density, out, a, V, dt);
}
static_assert(sizeof(HourglassControl) == 16);
