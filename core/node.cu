// Gathering of element internal forces into the nodes.
#include "core/node.h"
#include "core/gridIndex.h"
#include "core/nodeForceRows.h"
#include "core/nodeManager.h"
#include "elements/beamElementCuda.h"
#include "elements/discreteCuda.h"
#include "elements/shellElementCuda.h"
#include "elements/solidElement2nd.h"
#include "elements/solidElementCuda.h"

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

namespace {
// Reading position, then local node number: the order of a node's slots.
__host__ __device__ inline bool slotBefore(const Element* a, int localA, const Element* b, int localB) {
  if (a == nullptr || b == nullptr) return a != nullptr;  // empty entries last
  if (a->store_id != b->store_id) return a->store_id < b->store_id;
  return localA < localB;
}
}  // namespace

__host__ __device__ void NodeCuda::orderRegisteredElements() {
  const int n = registeredElementNum();
  for (int k = 1; k < n; ++k) {
    Element* e = element[k];
    const int local = local_node_num[k];
    int j = k;
    for (; j > 0 && slotBefore(e, local, element[j - 1], local_node_num[j - 1]); --j) {
      element[j] = element[j - 1];
      local_node_num[j] = local_node_num[j - 1];
    }
    element[j] = e;
    local_node_num[j] = local;
  }
}

__device__ void NodeCuda::registerElement(Element* e, int localNo, const char* overflowMessage) {
  const int k = atomicAdd(&element_num, 1);
  if (k >= kNodeElementSlots) {
    printf(overflowMessage, id);
    return;
  }
  element[k] = e;
  local_node_num[k] = localNo;
}

__device__ void NodeCuda::buildShellIndexGpu(ShellElementCuda* e, int localNo) {
  registerElement(e, localNo, "壳单元节点 %d 索引信息超出\n");
}
__device__ void NodeCuda::buildBeamIndexGpu(BeamElementCuda* e, int localNo) {
  registerElement(e, localNo, "梁单元节点 %d 索引信息超出\n");
}
__device__ void NodeCuda::buildSolidIndexGpu(SolidElementCuda* e, int localNo) {
  registerElement(e, localNo, "实体单元节点 %d 索引信息超出\n");
}
__device__ void NodeCuda::buildDiscreteIndexGpu(DiscreteCuda* e, int localNo) {
  registerElement(e, localNo, "离散元节点 %d 索引超出\n");
}
__device__ void NodeCuda::buildElementIndexGpu(Element* e, int localNo) {
  registerElement(e, localNo, "单元节点 %d 索引信息超出\n");
}

__device__ void NodeCuda::massAttachedToMainNode(int mode) {
  if (master_node == nullptr || (mode != 0 && mode != 1)) return;
  NodeCuda* m = master_node;
  const double ownMass = mass;
  if (mode == 0 || (m->stored_rot_inertia[0] < kNodeMassTolerance && stored_rot_inertia[0] < kNodeMassTolerance)) {
    atomicAdd(&m->mass, ownMass);
    mass = -ownMass;
    return;
  }
  const double dx = coord[0] - m->coord[0];
  const double dy = coord[1] - m->coord[1];
  const double dz = coord[2] - m->coord[2];
  atomicAdd(&m->mass, ownMass);
  atomicAdd(&m->rot_inertia[0], ownMass * (dy * dy + dz * dz) + rot_inertia[0]);
  atomicAdd(&m->rot_inertia[1], ownMass * (dx * dx + dz * dz) + rot_inertia[1]);
  atomicAdd(&m->rot_inertia[2], ownMass * (dx * dx + dy * dy) + rot_inertia[2]);
  mass = -ownMass;
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
    if (!force_rows_.built()) force_rows_.build(node_array_gpu, totNodeNum);
    force_rows_.gather(node_array_gpu);
    return;
  }
  launch(GpuAddNodeInterForce, dim3(static_cast<unsigned>(totNodeNum / 32 + 1)), dim3(32), totNodeNum, node_array_gpu);
}
