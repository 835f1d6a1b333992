// Gathering of element internal forces into the nodes.
#include "core/node.h"
#include "core/gridIndex.h"
#include "core/nodeForceRows.h"
#include "core/nodeManager.h"

// The registration slots walked on every call: the path of the node
// records, kept beside the compact lists of nodeForceRows.h.
__host__ __device__ void NodeCuda::calIndexInterFor() {
  const int n = registeredElementNum();
  for (int k = 0; k < n; ++k) {
    NodeForceRow r{nullptr, 0};
    if (elementForceRow(element[k], local_node_num[k], &r, true)) subtractForceRow(r, force, moment);
  }
  if (!nodeValueIsFinite(force[0] + force[1] + force[2] + moment[0] + moment[1] + moment[2]))
    reportNonFiniteNode(id, NONFINITE_FORCE);
  for (int j = 0; j < 3; ++j) {
    if (!nodeValueIsFinite(force[j])) force[j] = 0.0;
    if (!nodeValueIsFinite(moment[j])) moment[j] = 0.0;
  }
}

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

__global__ void GpuAddNodeInterForce(int n, NodeCuda* nodes) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    nodes[i].calIndexInterFor();
  }
}

void NodeManager::gpuAddNodeInterForce() {
  if (totNodeNum <= 0) return;
  if (compact_gather) {
    // Registration is over by the first gather: the lists are built then.
    if (!force_rows_.built()) {
      force_rows_.build(node_array_gpu, totNodeNum);
      slots_ordered_ = true;
    }
    force_rows_.gather(node_array_gpu);
    return;
  }
  launch(GpuAddNodeInterForce, dim3(static_cast<unsigned>(totNodeNum / 32 + 1)), dim3(32), totNodeNum, node_array_gpu);
}
