// The work the element forces (and the contact forces) do on a node, summed
// over the run by the trapezoidal rule: the forces of two cycles in a row
// times the node's step between them.  A node's element share is added by
// the pass that gathers its element forces, with the force just gathered
// and the step of this cycle's displacement update in hand; half of that
// force waits for the next cycle's step.  Half a cache line per node: the
// pending half forces are kept in single precision (the sum the run is
// checked against needs no more).
#pragma once
#include <type_traits>

#include "core/node.h"

struct NodeWork {
  float pending[6];  // half of the last forces and moments, for the coming step
  double work;       // work summed so far
};
static_assert(std::is_trivially_copyable_v<NodeWork>);
static_assert(sizeof(NodeWork) == 32);

// Adds the work of the pending half forces and of half the force f (force,
// then moment) over the node's last step, then keeps the other half of f
// pending.  The rotations are read only where a moment acts (not on the
// nodes of solids).
__host__ __device__ inline void addNodeWork(NodeWork& w, const double* f, const double* step) {
  double e = 0.0;
  for (int j = 0; j < 3; ++j) {
    const double half = 0.5 * f[j];
    e += (w.pending[j] + half) * step[j];
    w.pending[j] = static_cast<float>(half);
  }
  if (f[3] != 0.0 || f[4] != 0.0 || f[5] != 0.0 || w.pending[3] != 0.0f || w.pending[4] != 0.0f || w.pending[5] != 0.0f)
    for (int j = 3; j < 6; ++j) {
      const double half = 0.5 * f[j];
      e += (w.pending[j] + half) * step[j];
      w.pending[j] = static_cast<float>(half);
    }
  w.work += e;
}

// The work summed so far and that of the pending half forces over the
// coming step dt at the node's present velocity: with it the work of each
// force is taken over the mean of the velocities before and after the
// update it drives, as the kinetic energy the update gives.
__host__ __device__ inline double nodeWorkAhead(const NodeWork& w, const NodeCuda& node, double dt) {
  double e = 0.0;
  for (int j = 0; j < 6; ++j) e += w.pending[j] * node.vel[j];
  return w.work + dt * e;
}

// A node's element forces just gathered: force and moment.
__host__ __device__ inline void addElementWork(NodeWork& w, const NodeCuda& node) {
  const double f[6] = {node.force[0], node.force[1], node.force[2], node.moment[0], node.moment[1], node.moment[2]};
  addNodeWork(w, f, node.step_disp);
}

// A node's contact force of the cycle, before the velocity update: half of
// it over the step behind the node, half over the coming one.
__host__ __device__ inline void addContactWork(NodeWork& w, const NodeCuda& node) {
  for (int j = 0; j < 3; ++j) {
    const double half = 0.5 * node.contact_force[j];
    w.work += half * node.step_disp[j];
    w.pending[j] = static_cast<float>(w.pending[j] + half);
  }
}
