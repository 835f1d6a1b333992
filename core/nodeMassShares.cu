#include "core/nodeMassShares.h"

#include "core/gridIndex.h"
#include "core/logErrorPrint.h"
#include "core/nodeListOffsets.h"

namespace {
dim3 shareGrid(int n) { return dim3(static_cast<unsigned>(n / 64 + 1)); }
}  // namespace

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
  release();
  if (n <= 0 || nodes == nullptr) return;
  int* counts = nullptr;
  CUDA_CHECK(cudaMalloc(&counts, sizeof(int) * n));
  launch(CountNodeMassShares, shareGrid(n), dim3(64), n, nodes, counts);
  nodeNum_ = n;
  const int total = uploadListOffsets(counts, n, &offset_);
  CUDA_CHECK(cudaFree(counts));
  if (total > 0) {
    CUDA_CHECK(cudaMalloc(&shares_, sizeof(NodeMassShare) * total));
    launch(FillNodeMassShares, shareGrid(n), dim3(64), n, nodes, static_cast<const int*>(offset_), shares_);
  }
  CUDA_CHECK(cudaDeviceSynchronize());
}

void NodeMassShareList::release() {
  if (offset_ != nullptr) CUDA_CHECK(cudaFree(offset_));
  if (shares_ != nullptr) CUDA_CHECK(cudaFree(shares_));
  offset_ = nullptr;
  shares_ = nullptr;
  nodeNum_ = 0;
}

void NodeMassShareList::gather(NodeCuda* nodes) const {
  if (nodeNum_ <= 0) return;
  launch(GatherNodeMassShares, nodeCycleGrid(nodeNum_), dim3(kNodeCycleBlock), nodeNum_, nodes,
         static_cast<const int*>(offset_), static_cast<const NodeMassShare*>(shares_));
}
