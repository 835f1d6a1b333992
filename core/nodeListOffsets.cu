#include "core/nodeListOffsets.h"

#include <vector>

#include "core/logErrorPrint.h"
#include "platform/gpu_runtime.h"

int uploadListOffsets(const int* counts, int n, int** offset) {
  std::vector<int> host(static_cast<size_t>(n) + 1, 0);
  CUDA_CHECK(cudaMemcpy(host.data() + 1, counts, sizeof(int) * n, cudaMemcpyDeviceToHost));
  for (int i = 0; i < n; ++i) host[i + 1] += host[i];
  CUDA_CHECK(cudaMalloc(offset, sizeof(int) * (n + 1)));
  CUDA_CHECK(cudaMemcpy(*offset, host.data(), sizeof(int) * (n + 1), cudaMemcpyHostToDevice));
  return host[n];
}
