// Hourglass settings of reduced-integrated solids and the coefficients the
// one-point formulations multiply their hourglass modes with.
#pragma once

#include "materials/materialnew.h"
#include "platform/gpuRuntime.h"
#include "platform/laneCbrt.h"
#include "platform/simdLane.h"

// Plain record: the device uses the uploaded bytes as they are. The form
// is the keyword format's number (IHQ): 1, 2 and 3 the viscous form, forces
// from the current hourglass rates; 4 and 5 the stiffness form, forces
// accumulated from the mode displacements; 6 the assumed-strain
// co-rotational stiffness form. No other form is computed.
struct HourglassControl {
  int id = 1;
  int type = 1;              // hourglass form (IHQ)
  double coefficient = 0.1;  // QM: scales every form

  __host__ __device__ HourglassControl() {}

  __host__ __device__ bool viscous() const { return type >= 1 && type <= 3; }
  __host__ __device__ bool assumedStrain() const { return type == 6; }
  __host__ __device__ bool computed() const { return type >= 1 && type <= 6; }

  // Coefficients for one solid element from its material (E, nu, density),
  // a = 2 x sum of the squared shape-derivative vectors, V the element volume
  // and dt the time step: out[0] for the viscous and stiffness forms,
  // out[0..3] for the assumed-strain form; nothing for another form.
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

// V^(2/3), in the lanes.
template <typename T>
__host__ __device__ inline T twoThirdsPower(T V) {
  return laneCbrt(V * V);
}

// Viscous form: QM rho c V^(2/3) / 4 with c the dilatational wave speed.
// Stiffness form: QM rho c^2 a dt / (24 V), the growth of the accumulated
// forces per unit rate. Assumed-strain form: G dt / 192 and the three
// coefficients of the bending and warping modes, each times QM (QM 1 is the
// elastic stiffness of the modes).
template <typename T>
__host__ __device__ inline void HourglassControl::computeHourglassValue(double E, double nu, double rho, T* out, T a,
                                                                        T V, double dt) const {
  const double G = E / (2.0 * (1.0 + nu));
  const double c2 = G * (1.0 - nu) / ((0.5 - nu) * rho);  // squared dilatational wave speed
  if (viscous()) {
    out[0] = coefficient * rho * sqrt(c2) * twoThirdsPower(V) / 4.0;
  } else if (assumedStrain()) {
    out[0] = coefficient * G * dt / 192.0;
    out[1] = 2.0 * out[0] / (1.0 - nu);
    out[2] = 2.0 * out[0] * (1.0 + nu) / 3.0;
    out[3] = out[1] * nu;
  } else if (computed()) {
    out[0] = coefficient * rho * c2 * a * dt / V / 24.0;
  }
}

template <typename T>
__host__ __device__ inline void HourglassControl::computeHourglassValueForSolid(const MaterialNew* material, T* out,
                                                                                T a, T V, double dt) const {
  computeHourglassValue(material->youngModulus, material->poissonRatio, material->density, out, a, V, dt);
}
static_assert(sizeof(HourglassControl) == 16);
