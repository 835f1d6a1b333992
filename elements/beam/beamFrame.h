// The co-rotational frame of a two-node beam and the deformation increments
// of one step, shared by resultant beams and springs.
#pragma once
#include <cmath>

#include "elements/beam/beamElementCuda.h"
#include "platform/gpuRuntime.h"

// Norms below this floor are replaced by it, so that a beam collapsed onto
// its axis keeps finite axes.
constexpr double kBeamAxisFloor = 1e-6;
// Lengths are divided by at least this, so that a zero-length beam gives
// finite (if meaningless) numbers after its message.
constexpr double kBeamLengthFloor = 1e-300;

// Frame and increments of one step.
struct BeamKinematics {
  double e1[3];     // unit axis from end 1 to end 2
  double L;         // current length
  double ym[3];     // mean y axis
  double zm[3];     // mean z axis
  double twist1;    // twist increment of end 1
  double dTwist;    // relative twist increment (end 2 - end 1)
  double delta;     // elongation increment
  double r1y, r2y;  // rotation increments about y at ends 1 and 2
  double r1z, r2z;  // rotation increments about z at ends 1 and 2
};

namespace beamvec {
__host__ __device__ inline double dot(const double a[3], const double b[3]) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
__host__ __device__ inline void cross(const double a[3], const double b[3], double out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}
// v / max(|v|, floor) into out; returns |v|.
__host__ __device__ inline double unitFloor(const double v[3], double out[3], double floor) {
  const double n = sqrt(dot(v, v));
  const double d = n > floor ? n : floor;
  for (int j = 0; j < 3; ++j) out[j] = v[j] / d;
  return n;
}
// c1 a + c2 b + c3 c into out.
__host__ __device__ inline void combine(double c1, const double a[3], double c2, const double b[3], double c3,
                                        const double c[3], double out[3]) {
  for (int j = 0; j < 3; ++j) out[j] = c1 * a[j] + c2 * b[j] + c3 * c[j];
}
}  // namespace beamvec

// End axes of one end after a twist: y' = y + a z, z = e1 x y' (floored
// norm), y = z x e1.
__host__ __device__ inline void beamTwistEnd(const double e1[3], double twist, double y[3], double z[3]) {
  double yp[3];
  for (int j = 0; j < 3; ++j) yp[j] = y[j] + twist * z[j];
  double zc[3];
  beamvec::cross(e1, yp, zc);
  beamvec::unitFloor(zc, z, kBeamAxisFloor);
  beamvec::cross(z, e1, y);
}

__host__ __device__ inline void BeamElementCuda::calBeamLocateAxi(double timeStep, BeamKinematics& k) {
  double d[3];
  for (int j = 0; j < 3; ++j) d[j] = node[1]->coord[j] - node[0]->coord[j];
  k.L = beamvec::unitFloor(d, k.e1, kBeamLengthFloor);
  const double w1[3] = {node[0]->vel[3], node[0]->vel[4], node[0]->vel[5]};
  const double w2[3] = {node[1]->vel[3], node[1]->vel[4], node[1]->vel[5]};
  const double a1 = timeStep * beamvec::dot(w1, k.e1);
  const double a2 = timeStep * beamvec::dot(w2, k.e1);
  beamTwistEnd(k.e1, a1, yAxis1, zAxis1);
  beamTwistEnd(k.e1, a2, yAxis2, zAxis2);
  k.twist1 = a1;
  k.dTwist = a2 - a1;
  double ys[3];
  for (int j = 0; j < 3; ++j) ys[j] = yAxis1[j] + yAxis2[j];
  beamvec::unitFloor(ys, k.ym, kBeamAxisFloor);
  beamvec::cross(k.e1, k.ym, k.zm);
}

__host__ __device__ inline void BeamElementCuda::brigid(double timeStep, BeamKinematics& k) const {
  double du[3];
  for (int j = 0; j < 3; ++j) du[j] = node[1]->vel[j] - node[0]->vel[j];
  const double w1[3] = {node[0]->vel[3], node[0]->vel[4], node[0]->vel[5]};
  const double w2[3] = {node[1]->vel[3], node[1]->vel[4], node[1]->vel[5]};
  const double L = k.L > kBeamLengthFloor ? k.L : kBeamLengthFloor;
  const double chordY = beamvec::dot(du, k.zm) / L;   // chord rotation about y (sign included)
  const double chordZ = -beamvec::dot(du, k.ym) / L;  // chord rotation about z (sign included)
  k.delta = timeStep * beamvec::dot(k.e1, du);
  k.r1y = timeStep * (chordY + beamvec::dot(w1, yAxis1));
  k.r2y = timeStep * (chordY + beamvec::dot(w2, yAxis2));
  k.r1z = timeStep * (chordZ + beamvec::dot(w1, zAxis1));
  k.r2z = timeStep * (chordZ + beamvec::dot(w2, zAxis2));
}
