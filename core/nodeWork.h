// The work the element and contact forces do on a node, summed over the
// run: each cycle's forces over the mean of the velocities before and after
// the update they drive, as that update changes the node's kinetic energy.
// The gather that puts the element forces into the node keeps them here
// (the loads join them in the node's force afterwards); the velocity update
// adds their work and the contact force's.  Half a cache line per node: the
// forces are kept in single precision (the sum the run is checked against
// needs no more).
#pragma once
#include <type_traits>

#include "core/node.h"

struct NodeWork {
  float force[6];  // the cycle's element force and moment
  double work;     // work summed so far
};
static_assert(std::is_trivially_copyable_v<NodeWork>);
static_assert(sizeof(NodeWork) == 32);

// A node's element forces just gathered: force and moment.
__host__ __device__ inline void keepElementForce(NodeWork& w, const NodeCuda& node) {
  for (int j = 0; j < 3; ++j) {
    w.force[j] = static_cast<float>(node.force[j]);
    w.force[3 + j] = static_cast<float>(node.moment[j]);
  }
}

// The node's velocity update (NodeCuda::accelVelUpdate) with the work of
// its kept element forces and its contact force over it.  A massless node
// takes no work.  A rigid-body node has taken its body's velocity already:
// its velocity before is that of the step it took this cycle (over prevDt),
// and the work its forces did on the body counts as on any node (the pushes
// of a contact on both sides, an element's forces on all its nodes).
__host__ __device__ inline void accelVelUpdateWithWork(NodeCuda& node, NodeWork& w, double dt, double prevDt) {
  const bool rigid = node.rigid_flag != 0;
  if (node.mass < kNodeMassTolerance || (rigid && !(prevDt > 0.0))) {
    node.accelVelUpdate(dt, prevDt);
    return;
  }
  const int dofs = node.rot_inertia[0] > kNodeMassTolerance ? 6 : 3;
  double f[6], v[6];
  for (int j = 0; j < 6; ++j) {
    f[j] = w.force[j] + (j < 3 ? node.contact_force[j] : 0.0);
    v[j] = rigid ? node.step_disp[j] / prevDt : node.vel[j];
  }
  node.accelVelUpdate(dt, prevDt);
  double e = 0.0;
  for (int j = 0; j < dofs; ++j) e += f[j] * (v[j] + node.vel[j]);
  w.work += 0.25 * (dt + prevDt) * e;
}
