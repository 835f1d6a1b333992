// Thread indexing of the kernels: the global index of a thread in a
// two-dimensional grid of blocks, and the stride of a grid-stride loop.
#pragma once
#include "platform/gpuRuntime.h"

__device__ inline int gridStrideIndex() {
  return static_cast<int>(((blockDim.y * blockIdx.y + threadIdx.y) * gridDim.x + blockIdx.x) * blockDim.x +
                          threadIdx.x);
}
__device__ inline int gridStrideStep() { return static_cast<int>(blockDim.x * blockDim.y * gridDim.x * gridDim.y); }

// Threads per block of the node passes of every cycle (displacement, gather,
// velocity), and their grid over n > 0 nodes.
constexpr int kNodeCycleBlock = 128;
inline dim3 nodeCycleGrid(int n) { return dim3(static_cast<unsigned>((n - 1) / kNodeCycleBlock + 1)); }
