#include "contact/pairKindCount.h"
#include "contact/contactpair.h"
#include "contact/pairmanager.h"
#include "core/gridIndex.h"
#include "core/logErrorPrint.h"

// Counters of node-to-segment, node-to-edge and node-to-node pairs, in
// managed memory so that host and device both reach them.
__device__ __managed__ unsigned int nodeToSegNum = 0;
__device__ __managed__ unsigned int nodeToEdgeNum = 0;
__device__ __managed__ unsigned int nodeToNodeNum = 0;

__global__ void GetNumOfContactPair(int n, ContactPairCuda** pairs) {
  const int i = gridStrideIndex();
  if (i >= n || pairs[i] == nullptr) return;
  const int kind = pairs[i]->kind;
  if (kind == NODE_TO_SEGMENT) atomicAdd(&nodeToSegNum, 1u);
  if (kind == NODE_TO_EDGE) atomicAdd(&nodeToEdgeNum, 1u);
  if (kind == NODE_TO_NODE) atomicAdd(&nodeToNodeNum, 1u);
}

PairKindCounts countPairKinds(const PairManager* pairs) {
  // The device is idle between cycles, so the host clears the managed
  // counters directly.
  CUDA_CHECK(cudaDeviceSynchronize());
  nodeToSegNum = 0;
  nodeToEdgeNum = 0;
  nodeToNodeNum = 0;
  const int n = pairs != nullptr ? pairs->contact_node_num : 0;
  if (n > 0 && pairs->contact_pair_array_gpu != nullptr) {
    launch(GetNumOfContactPair, dim3(static_cast<unsigned>((n - 1) / 64 + 1)), dim3(64), n,
           pairs->contact_pair_array_gpu);
  }
  CUDA_CHECK(cudaDeviceSynchronize());
  return PairKindCounts{nodeToSegNum, nodeToEdgeNum, nodeToNodeNum};
}
