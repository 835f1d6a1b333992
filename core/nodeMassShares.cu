#include "core/nodeMassShares.h"

#include "core/gridIndex.h"
#include "core/logErrorPrint.h"

__global__ void GatherNodeMassShares(int n, NodeCuda* nodes, const int* offset, const NodeMassShare* shares) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep())
    gatherNodeScaledMass(nodes[i], shares + offset[i], offset[i + 1] - offset[i]);
}

void NodeMassShareList::gather(NodeCuda* nodes) const {
  if (lists_.nodeNum() <= 0) return;
  launch(GatherNodeMassShares, nodeCycleGrid(lists_.nodeNum()), dim3(kNodeCycleBlock), lists_.nodeNum(), nodes,
         lists_.offset(), lists_.entries());
}
