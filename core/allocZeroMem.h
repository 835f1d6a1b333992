// Zero-copy memory: mapped pinned host memory that kernels write through the
// device alias and the host reads after a synchronising call, with no copy.
#pragma once
#include "core/logErrorPrint.h"
#include "platform/gpuRuntime.h"

// Allocates num elements of T; *cpu_out gets the host address and *gpu_out
// the device alias.  The caller frees the block with cudaFreeHost(*cpu_out).
template <typename T>
void allocZeroMem(T** gpu_out, T** cpu_out, int num) {
  T* cpu_ptr = nullptr;
  T* gpu_ptr = nullptr;
  CUDA_CHECK(cudaHostAlloc(&cpu_ptr, sizeof(T)*num, cudaHostAllocMapped ));
  CUDA_CHECK(cudaHostGetDevicePointer((void**)&gpu_ptr, cpu_ptr, 0));
  *cpu_out = cpu_ptr;
  *gpu_out = gpu_ptr;
}
