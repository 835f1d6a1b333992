// Gathering of element internal forces into the nodes.
#include "core/node.h"
#include "core/gridIndex.h"
#include "core/nodeForceRows.h"
#include "core/nodeManager.h"

__host__ __device__ void NodeCuda::massShareForMainNode(int mode, double share[4]) {
  for (int j = 0; j < 4; ++j) share[j] = 0.0;
  if (master_node == nullptr || (mode != 0 && mode != 1)) return;
  const NodeCuda* m = master_node;
  const double ownMass = mass;
  share[0] = ownMass;
  mass = -ownMass;
  if (mode == 0 || (m->stored_rot_inertia[0] < kNodeMassTolerance && stored_rot_inertia[0] < kNodeMassTolerance))
    return;
  const double dx = coord[0] - m->coord[0];
  const double dy = coord[1] - m->coord[1];
  const double dz = coord[2] - m->coord[2];
  share[1] = ownMass * (dy * dy + dz * dz) + rot_inertia[0];
  share[2] = ownMass * (dx * dx + dz * dz) + rot_inertia[1];
  share[3] = ownMass * (dx * dx + dy * dy) + rot_inertia[2];
  for (int j = 0; j < 3; ++j) rot_inertia[j] = -rot_inertia[j];
}
