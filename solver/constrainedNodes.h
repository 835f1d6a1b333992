// Per-node steps of spot welds and joints, shared by the kernels and the
// host twins.  Several slaves share a master: the kernels leave the slaves'
// shares for a gather in slave order, the host twins add them at once.
#pragma once
#include "core/node.h"
#include "platform/gpuRuntime.h"

// A node that carries rotational degrees of freedom: one with rotary
// inertia (shell and beam nodes).
__host__ __device__ inline bool nodeRotates(const NodeCuda& n) { return n.rot_inertia[0] > kNodeMassTolerance; }

// v_s = v_m, plus omega_m x r and omega_s = omega_m when the master rotates.
__host__ __device__ inline void slaveFollowsMaster(NodeCuda& s, const NodeCuda& m) {
  for (int j = 0; j < 3; ++j) s.vel[j] = m.vel[j];
  if (!nodeRotates(m)) return;
  const double r[3] = {s.coord[0] - m.coord[0], s.coord[1] - m.coord[1], s.coord[2] - m.coord[2]};
  const double* w = m.vel + 3;
  s.vel[0] += w[1] * r[2] - w[2] * r[1];
  s.vel[1] += w[2] * r[0] - w[0] * r[2];
  s.vel[2] += w[0] * r[1] - w[1] * r[0];
  for (int j = 3; j < 6; ++j) s.vel[j] = m.vel[j];
}

// What a slave hands its master: F_s, and when the master rotates
// r x F_s + M_s (else no moment).  The slave's force and moment are
// cleared.
__host__ __device__ inline void slaveShares(NodeCuda& s, const NodeCuda& m, double* force, double* moment) {
  for (int j = 0; j < 3; ++j) force[j] = s.force[j];
  for (int j = 0; j < 3; ++j) moment[j] = 0.0;
  if (nodeRotates(m)) {
    const double r[3] = {s.coord[0] - m.coord[0], s.coord[1] - m.coord[1], s.coord[2] - m.coord[2]};
    const double* F = s.force;
    moment[0] = r[1] * F[2] - r[2] * F[1] + s.moment[0];
    moment[1] = r[2] * F[0] - r[0] * F[2] + s.moment[1];
    moment[2] = r[0] * F[1] - r[1] * F[0] + s.moment[2];
  }
  for (int j = 0; j < 3; ++j) {
    s.force[j] = 0.0;
    s.moment[j] = 0.0;
  }
}

// F_m += F_s; when the master rotates M_m += r x F_s + M_s.  The slave's
// force and moment are cleared.
__host__ __device__ inline void slaveForceToMaster(NodeCuda& s, NodeCuda& m) {
  double force[3], moment[3];
  const bool rotates = nodeRotates(m);
  slaveShares(s, m, force, moment);
  for (int j = 0; j < 3; ++j) atomicAddAnywhere(&m.force[j], force[j]);
  if (rotates)
    for (int j = 0; j < 3; ++j) atomicAddAnywhere(&m.moment[j], moment[j]);
}

// Joint pairs: the first node leads in translation.  It carries the
// pair's mass (added at set-up) and takes the second node's force; the
// second node moves with the first one's velocity and keeps its own
// rotations, inertia and moments.
__host__ __device__ inline void jointPairVelocity(const NodeCuda& a, NodeCuda& b) {
  for (int j = 0; j < 3; ++j) b.vel[j] = a.vel[j];
}

// What the second node hands the first: its force, which is cleared.  The
// kernels leave it for a gather in pair order (pairs may share a first
// node); the host twin adds it at once.
__host__ __device__ inline void jointPairForceShare(NodeCuda& b, double* share) {
  for (int j = 0; j < 3; ++j) {
    share[j] = b.force[j];
    b.force[j] = 0.0;
  }
}

inline void jointPairForce(NodeCuda& a, NodeCuda& b) {
  double share[3];
  jointPairForceShare(b, share);
  for (int j = 0; j < 3; ++j) a.force[j] += share[j];
}

// Mass a body load acts on: a node bound by a weld or joint keeps its own
// mass from before the transfer (its equivalent mass), so that every mass of
// the group is pulled once, at its own place.
__host__ __device__ inline double massBeforeTransfer(const NodeCuda& n) {
  return n.constrained_flag != 0 ? n.equivalent_mass : n.mass;
}
