// The one-point solid body written once over a value type T: one element
// (double) or a group of elements computed together in lanes (LaneDouble).
#pragma once
#include "elements/common/hourglasscontrol.h"
#include "elements/solid1st/solid1st.h"

namespace onepoint {

// Centre B vectors of the shape x and its signed volume.
template <typename T>
__host__ __device__ inline T centreGradients(const T x[8][3], T B[3][8]) {
  solid1st::hexaCentreB(x, B);
  T V = 0.0;
  for (int I = 0; I < 8; ++I) V += x[I][0] * B[0][I];
  return V;
}

// Signed volume of the element's initial shape (centre gradients, or the
// exact ones), from the nodes' initial coordinates at its first call and
// from the record after that.
template <typename SolidRecord>
__host__ __device__ inline double initialVolume(SolidRecord& e, bool exact) {
  if (e.initialVolume == 0.0) {
    double X[8][3], B[3][8];
    gatherSolidReference(e, 8, X);
    e.initialVolume = exact ? solid1st::hexaExactB(X, B) : centreGradients(X, B);
  }
  return e.initialVolume;
}

// Hourglass forces of the control's form: viscous (no state kept), the
// accumulated stiffness form or the assumed-strain form (state Q).
template <typename T>
__host__ __device__ inline void addHourglassForce(const MaterialNew* material, double dt,
                                                  const HourglassControl& hourglass, const T x[8][3], const T v[8][3],
                                                  const T B[3][8], T V, T Q[12], T f[8][3]) {
  if (!hourglass.computed()) return;
  T coef[4] = {0.0, 0.0, 0.0, 0.0};
  const T S = solid1st::halfBSquareSum(B);
  hourglass.computeHourglassValueForSolid(material, coef, 2.0 * S, V, dt);
  T gam[4][8];
  solid1st::hourglassShapeVectors(x, B, V, gam);
  if (hourglass.viscous())
    solid1st::hourglassViscous(gam, v, coef[0], f);
  else if (hourglass.assumedStrain())
    solid1st::hourglassForm2(x, gam, v, coef, Q, f);
  else
    solid1st::hourglassForm1(gam, v, coef[0], Q, f);
}

// Forces of a shape with positive current and mid-step volumes V and Vm:
// the strain rate from the mid-step gradients Bm, the hourglass forces with
// the hourglass state Q, the stress from pointStress(G, sigma) and its
// divergence on the current gradients B.  f is set.  The hourglass forces
// come before the stress so that the shape and the velocities are not kept
// through the material update; each force component is still the sum of
// its two parts, whose order of addition does not change the result.
template <typename T, typename PointStress>
__host__ __device__ inline void onePointBodyForce(const MaterialNew* material, double dt,
                                                  const HourglassControl* hourglass, const T x[8][3], const T v[8][3],
                                                  const T B[3][8], T V, const T Bm[3][8], T Vm, T Q[12],
                                                  PointStress pointStress, T f[8][3]) {
  for (int I = 0; I < 8; ++I) f[I][0] = f[I][1] = f[I][2] = 0.0;
  T G[3][3], sigma[3][3];
  solid1st::velocityGradient<8>(Bm, v, 1.0 / Vm, G);
  if (hourglass != nullptr && material != nullptr) addHourglassForce(material, dt, *hourglass, x, v, B, V, Q, f);
  pointStress(G, sigma);
  solid1st::addStressDivergence<8>(sigma, B, 1.0, f);
}

}  // namespace onepoint
