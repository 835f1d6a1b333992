// The one header through which every source file reaches GPU facilities:
// qualifiers, vector types, the runtime and cuBLAS calls, atomics and the
// kernel launch.  Which build this is (real CUDA or the host emulation) is
// decided here and nowhere else.
#pragma once

#ifdef FEM_USE_CUDA
#include <cuda_runtime.h>
#include <cublas_v2.h>
#include <utility>

// Kernel launch.  Under nvcc a plain <<<>>> launch; g++-compiled files in the
// CUDA build must not launch kernels (launches live in .cu files).
template <typename... KArgs, typename... Args>
inline void launch(void (*kernel)(KArgs...), dim3 grid, dim3 block, Args&&... args) {
  static_assert(sizeof...(KArgs) == sizeof...(Args),
                "kernels take no default arguments: pass every argument");
  if (grid.x == 0 || grid.y == 0 || grid.z == 0 || block.x == 0 || block.y == 0 || block.z == 0) return;
#ifdef __CUDACC__
  kernel<<<grid, block>>>(std::forward<Args>(args)...);
#else
  static_assert(sizeof(kernel) == 0, "kernel launches belong in .cu files");
#endif
}
#else
#include "platform/host/host_runtime.h"
#endif
