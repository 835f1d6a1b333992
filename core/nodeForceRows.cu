#include "core/nodeForceRows.h"

#include <cstddef>

#include "core/gridIndex.h"
#include "core/logErrorPrint.h"
#include "platform/simdLane.h"

namespace {
// Nodes ahead whose rows the gather asks for.
constexpr int kGatherAhead = 4;
// The force and the moment a node sums.
constexpr LaneRun kForceRun = nodeFieldRun(offsetof(NodeCuda, force), offsetof(NodeCuda, moment), 3 * sizeof(double));
}  // namespace

__global__ void GatherNodeForceRows(int n, NodeCuda* nodes, const int* offset, const NodeForceRow* rows,
                                    NodeWork* work) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    // The rows of a node a few places on are asked for now: where the
    // threads of a block run one after the other (host build) their
    // scattered lines arrive while this node is summed.
    const int ahead = i + kGatherAhead;
    if (ahead < n)
      for (int k = offset[ahead]; k < offset[ahead + 1]; ++k) lanePrefetch(rows[k].row);
    lanePrefetchAhead<kGatherAhead>(nodes, i, n, kForceRun);
    gatherNodeForceRows(nodes[i], rows + offset[i], offset[i + 1] - offset[i]);
    if (work != nullptr) keepElementForce(work[i], nodes[i]);
  }
}

void NodeForceRowList::gather(NodeCuda* nodes, NodeWork* work) const {
  if (lists_.nodeNum() <= 0) return;
  launch(GatherNodeForceRows, nodeCycleGrid(lists_.nodeNum()), dim3(kNodeCycleBlock), lists_.nodeNum(), nodes,
         lists_.offset(), lists_.entries(), work);
}
