// The one header through which every source file reaches GPU facilities:
// qualifiers, vector types, the runtime and cuBLAS calls, atomics and the
// kernel launch.  Which build this is (real CUDA or the host emulation) is
// decided here and nowhere else.
#pragma once

#ifdef FEM_USE_CUDA
#include <cuda_runtime.h>
#include <cublas_v2.h>
#include <atomic>
#include <utility>

// atomicAdd for __host__ __device__ functions: nvcc refuses a call of the
// device-only atomicAdd from them, so they call this instead.  On the host
// side it is an atomic add of the host.
template <typename T>
__host__ __device__ inline T atomicAddAnywhere(T* address, T value) {
#ifdef __CUDA_ARCH__
  return atomicAdd(address, value);
#else
  return std::atomic_ref<T>(*address).fetch_add(value, std::memory_order_relaxed);
#endif
}
// atomicMin for __host__ __device__ functions, on the same terms.
template <typename T>
__host__ __device__ inline T atomicMinAnywhere(T* address, T value) {
#ifdef __CUDA_ARCH__
  return atomicMin(address, value);
#else
  std::atomic_ref<T> ref(*address);
  T old = ref.load(std::memory_order_relaxed);
  while (value < old && !ref.compare_exchange_weak(old, value, std::memory_order_relaxed)) {
  }
  return old;
#endif
}

#ifdef __CUDACC__
// Device atomics that the runtime provides only for other types: double
// (sub, exchange, compare-and-swap, min, max) and unsigned long long (sub),
// so that kernels use one set of atomics in both builds.  Each returns the
// old value.
namespace gpu_cuda_detail {
template <typename Op>
__device__ inline double atomicDoubleCas(double* address, double val, Op op) {
  auto* word = reinterpret_cast<unsigned long long*>(address);
  unsigned long long old = *word, assumed;
  do {
    assumed = old;
    old = ::atomicCAS(word, assumed,
                      static_cast<unsigned long long>(
                          __double_as_longlong(op(__longlong_as_double(static_cast<long long>(assumed)), val))));
  } while (assumed != old);
  return __longlong_as_double(static_cast<long long>(old));
}
}  // namespace gpu_cuda_detail

__device__ inline double atomicSub(double* address, double val) {
  return gpu_cuda_detail::atomicDoubleCas(address, val, [](double a, double b) { return a - b; });
}
__device__ inline double atomicExch(double* address, double val) {
  return __longlong_as_double(
      static_cast<long long>(atomicExch(reinterpret_cast<unsigned long long*>(address),
                                        static_cast<unsigned long long>(__double_as_longlong(val)))));
}
__device__ inline double atomicMin(double* address, double val) {
  return gpu_cuda_detail::atomicDoubleCas(address, val, [](double a, double b) { return b < a ? b : a; });
}
__device__ inline double atomicMax(double* address, double val) {
  return gpu_cuda_detail::atomicDoubleCas(address, val, [](double a, double b) { return b > a ? b : a; });
}
__device__ inline double atomicCAS(double* address, double compare, double val) {
  return __longlong_as_double(
      static_cast<long long>(atomicCAS(reinterpret_cast<unsigned long long*>(address),
                                       static_cast<unsigned long long>(__double_as_longlong(compare)),
                                       static_cast<unsigned long long>(__double_as_longlong(val)))));
}
__device__ inline unsigned long long atomicSub(unsigned long long* address, unsigned long long val) {
  return atomicAdd(address, ~val + 1ULL);
}

// The body of a kernel whose blocks synchronise: phase(k, state) for k = 0 ..
// phases-1 with a barrier between consecutive phases, state being the
// thread's own value-initialised State (see the host build's twin for the
// rules the host emulation needs).
template <typename State, typename Phase>
__device__ inline void blockPhases(int phases, Phase phase) {
  State state{};
  for (int k = 0; k < phases; ++k) {
    if (k > 0) __syncthreads();
    phase(k, state);
  }
}
#endif

// Kernel launch.  Under nvcc a plain <<<>>> launch; g++-compiled files in the
// CUDA build must not launch kernels (launches live in .cu files).
template <typename... KArgs, typename... Args>
inline void launch(void (*kernel)(KArgs...), dim3 grid, dim3 block, Args&&... args) {
  static_assert(sizeof...(KArgs) == sizeof...(Args), "kernels take no default arguments: pass every argument");
  if (grid.x == 0 || grid.y == 0 || grid.z == 0 || block.x == 0 || block.y == 0 || block.z == 0) return;
#ifdef __CUDACC__
  kernel<<<grid, block>>>(std::forward<Args>(args)...);
#else
  static_assert(sizeof(kernel) == 0, "kernel launches belong in .cu files");
#endif
}
#else
#include "platform/host/hostRuntime.h"

// atomicAdd for __host__ __device__ functions (see the GPU build's twin).
template <typename T>
inline T atomicAddAnywhere(T* address, T value) {
  return atomicAdd(address, value);
}
template <typename T>
inline T atomicMinAnywhere(T* address, T value) {
  return atomicMin(address, value);
}
#endif
