#include "core/nodeLists.h"

#include <vector>

#include "core/nodeForceRows.h"
#include "core/nodeMassShares.h"

namespace {
dim3 listGrid(int n) { return dim3(static_cast<unsigned>(n / 64 + 1)); }
}  // namespace

template <class Entry>
void NodeLists<Entry>::build(NodeCuda* nodes, int n, CountKernel count, FillKernel fill) {
  release();
  if (n <= 0 || nodes == nullptr) return;
  const DeviceBuffer<int> counts(n);
  launch(count, listGrid(n), dim3(64), n, nodes, counts.get());
  std::vector<int> offset(static_cast<size_t>(n) + 1, 0);
  CUDA_CHECK(cudaMemcpy(offset.data() + 1, counts.get(), sizeof(int) * n, cudaMemcpyDeviceToHost));
  for (int i = 0; i < n; ++i) offset[i + 1] += offset[i];
  nodeNum_ = n;
  entryNum_ = offset[n];
  CUDA_CHECK(cudaMalloc(&offset_, sizeof(int) * (n + 1)));
  CUDA_CHECK(cudaMemcpy(offset_, offset.data(), sizeof(int) * (n + 1), cudaMemcpyHostToDevice));
  if (entryNum_ > 0) {
    CUDA_CHECK(cudaMalloc(&entries_, sizeof(Entry) * entryNum_));
    launch(fill, listGrid(n), dim3(64), n, nodes, static_cast<const int*>(offset_), entries_);
  }
  CUDA_CHECK(cudaDeviceSynchronize());
}

template class NodeLists<NodeForceRow>;
template class NodeLists<NodeMassShare>;
