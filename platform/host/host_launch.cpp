// Grid execution of the host emulation.
#include "platform/host/host_launch.h"

#include <cstdio>
#include <cstdlib>

namespace gpu_host_detail {
namespace {
void runBlock(dim3 block, void (*runThread)(void*), void* ctx) {
  for (unsigned z = 0; z < block.z; ++z)
    for (unsigned y = 0; y < block.y; ++y)
      for (unsigned x = 0; x < block.x; ++x) {
        threadIdx = uint3{x, y, z};
        runThread(ctx);
      }
}
}  // namespace

void runGrid(dim3 grid, dim3 block, void (*runThread)(void*), void* ctx) {
  const long long blocks = 1LL * grid.x * grid.y * grid.z;
  const long long threadsPerBlock = 1LL * block.x * block.y * block.z;
  const bool parallel = blocks > 1 && blocks * threadsPerBlock >= 1024;
#pragma omp parallel for schedule(static) if (parallel)
  for (long long b = 0; b < blocks; ++b) {
    gridDim = grid;
    blockDim = block;
    blockIdx = uint3{static_cast<unsigned>(b % grid.x), static_cast<unsigned>((b / grid.x) % grid.y),
                     static_cast<unsigned>(b / (1LL * grid.x * grid.y))};
    runBlock(block, runThread, ctx);
  }
}
}  // namespace gpu_host_detail

void __syncthreads() {
  std::fprintf(stderr, "__syncthreads is not available in this launch\n");
  std::abort();
}
