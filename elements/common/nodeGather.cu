// The per-node lists of force-block rows and scaled-mass shares built from
// the nodes' registration slots, and the gathers that read them.
#include "elements/common/nodeGather.h"

#include "core/gridIndex.h"
#include "core/logErrorPrint.h"
#include "elements/common/nodeRegistration.h"

// The slots are put in reading order first (each node by one thread), so
// that the lists, and the sums of the gather, are the same in every run.
__global__ void CountNodeForceRows(int n, NodeCuda* nodes, int* counts) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    NodeCuda& nd = nodes[i];
    orderRegisteredElements(nd);
    int count = 0;
    NodeForceRow row{nullptr, 0};
    for (int k = 0; k < nd.registeredElementNum(); ++k)
      if (elementForceRow(nd.element[k], nd.local_node_num[k], &row, true)) ++count;
    counts[i] = count;
  }
}

// The second walk over the slots prints nothing: the count reported them.
__global__ void FillNodeForceRows(int n, NodeCuda* nodes, const int* offset, NodeForceRow* rows) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    const NodeCuda& nd = nodes[i];
    int next = offset[i];
    for (int k = 0; k < nd.registeredElementNum(); ++k)
      if (elementForceRow(nd.element[k], nd.local_node_num[k], &rows[next], false)) ++next;
  }
}

// The slots are put in reading order first (each node by one thread), so
// that the lists, and the sums of the gather, are the same in every run.
__global__ void CountNodeMassShares(int n, NodeCuda* nodes, int* counts) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    NodeCuda& nd = nodes[i];
    orderRegisteredElements(nd);
    int count = 0;
    NodeMassShare found[2];
    for (int k = 0; k < nd.registeredElementNum(); ++k)
      count += elementScaledMassShares(nd.element[k], nd.local_node_num[k], found);
    counts[i] = count;
  }
}

__global__ void FillNodeMassShares(int n, NodeCuda* nodes, const int* offset, NodeMassShare* shares) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    const NodeCuda& nd = nodes[i];
    int next = offset[i];
    for (int k = 0; k < nd.registeredElementNum(); ++k)
      next += elementScaledMassShares(nd.element[k], nd.local_node_num[k], shares + next);
  }
}

// The registration slots walked on every call: the path of the node
// records, kept beside the compact lists of nodeForceRows.h.
__host__ __device__ void calIndexInterFor(NodeCuda& node) {
  const int n = node.registeredElementNum();
  for (int k = 0; k < n; ++k) {
    NodeForceRow r{nullptr, 0};
    if (elementForceRow(node.element[k], node.local_node_num[k], &r, true))
      subtractForceRow(r, node.force, node.moment);
  }
  if (!nodeValueIsFinite(node.force[0] + node.force[1] + node.force[2] + node.moment[0] + node.moment[1] +
                         node.moment[2]))
    reportNonFiniteNode(node.id, NONFINITE_FORCE);
  for (int j = 0; j < 3; ++j) {
    if (!nodeValueIsFinite(node.force[j])) node.force[j] = 0.0;
    if (!nodeValueIsFinite(node.moment[j])) node.moment[j] = 0.0;
  }
}

__global__ void GpuAddNodeInterForce(int n, NodeCuda* nodes, NodeWork* work) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    calIndexInterFor(nodes[i]);
    if (work != nullptr) keepElementForce(work[i], nodes[i]);
  }
}

void gpuAddNodeInterForce(NodeManager& nodes) { gpuAddNodeInterForceAndWork(nodes, nullptr); }

void gpuAddNodeInterForceAndWork(NodeManager& nodes, NodeWork* work) {
  if (nodes.totNodeNum <= 0) return;
  if (nodes.compact_gather) {
    // Registration is over by the first gather: the lists are built then.
    if (!nodes.force_rows_.built()) {
      nodes.force_rows_.build(nodes.node_array_gpu, nodes.totNodeNum, CountNodeForceRows, FillNodeForceRows);
      nodes.slots_ordered_ = true;
    }
    nodes.force_rows_.gather(nodes.node_array_gpu, work);
    return;
  }
  launch(GpuAddNodeInterForce, dim3(static_cast<unsigned>(nodes.totNodeNum / 32 + 1)), dim3(32), nodes.totNodeNum,
         nodes.node_array_gpu, work);
}

void gpuGatherScaledMass(NodeManager& nodes) {
  if (nodes.totNodeNum <= 0) return;
  if (!nodes.mass_shares_.built()) {
    nodes.mass_shares_.build(nodes.node_array_gpu, nodes.totNodeNum, CountNodeMassShares, FillNodeMassShares);
    nodes.slots_ordered_ = true;
  }
  nodes.mass_shares_.gather(nodes.node_array_gpu);
}

__global__ void OrderRegisteredSlots(int n, NodeCuda* nodes) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) orderRegisteredElements(nodes[i]);
}

void orderRegisteredSlots(NodeManager& nodes) {
  if (nodes.slots_ordered_) return;
  orderRegisteredSlotsOf(nodes.node_array_gpu, nodes.totNodeNum);
  nodes.slots_ordered_ = true;
}

void orderRegisteredSlotsOf(NodeCuda* nodes, int n) {
  if (n <= 0) return;
  launch(OrderRegisteredSlots, nodeCycleGrid(n), dim3(kNodeCycleBlock), n, nodes);
}
