#include "core/nodeMassShares.h"

#include "core/gridIndex.h"
#include "core/logErrorPrint.h"

// The slots are put in reading order first (each node by one thread), so
// that the lists, and the sums of the gather, are the same in every run.
__global__ void CountNodeMassShares(int n, NodeCuda* nodes, int* counts) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    NodeCuda& nd = nodes[i];
    nd.orderRegisteredElements();
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

__global__ void GatherNodeMassShares(int n, NodeCuda* nodes, const int* offset, const NodeMassShare* shares) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep())
    gatherNodeScaledMass(nodes[i], shares + offset[i], offset[i + 1] - offset[i]);
}

void NodeMassShareList::build(NodeCuda* nodes, int n) {
  lists_.build(nodes, n, CountNodeMassShares, FillNodeMassShares);
}

void NodeMassShareList::gather(NodeCuda* nodes) const {
  if (lists_.nodeNum() <= 0) return;
  launch(GatherNodeMassShares, nodeCycleGrid(lists_.nodeNum()), dim3(kNodeCycleBlock), lists_.nodeNum(), nodes,
         lists_.offset(), lists_.entries());
}
