// First smoke test of the emulated launch; the full suite lives beside it.
#include <gtest/gtest.h>

#include <vector>

#include "platform/gpu_runtime.h"

namespace {
__global__ void writeIndex(int n, int* out) {
  int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i < n) out[i] = i;
}
}  // namespace

TEST(LaunchSmoke, EveryThreadOfA1DGridRuns) {
  const int n = 1000;
  int* d = nullptr;
  ASSERT_EQ(cudaMalloc(&d, n * sizeof(int)), cudaSuccess);
  launch(writeIndex, dim3((n + 31) / 32), dim3(32), n, d);
  std::vector<int> h(n, -1);
  ASSERT_EQ(cudaMemcpy(h.data(), d, n * sizeof(int), cudaMemcpyDeviceToHost), cudaSuccess);
  for (int i = 0; i < n; ++i) EXPECT_EQ(h[i], i);
  EXPECT_EQ(cudaFree(d), cudaSuccess);
}
