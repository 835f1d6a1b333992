// Device atomics of the host emulation: each returns the old value.
#pragma once
#include <atomic>

namespace gpu_host_detail {
template <typename T>
inline T atomicApplyCas(T* address, T (*op)(T, T), T val) {
  std::atomic_ref<T> ref(*address);
  T old = ref.load(std::memory_order_relaxed);
  while (!ref.compare_exchange_weak(old, op(old, val), std::memory_order_relaxed)) {
  }
  return old;
}
template <typename T>
inline T minOf(T a, T b) {
  return b < a ? b : a;
}
template <typename T>
inline T maxOf(T a, T b) {
  return b > a ? b : a;
}
}  // namespace gpu_host_detail

#define GPU_HOST_INTEGER_ATOMICS(T)                                                                             \
  inline T atomicAdd(T* a, T v) { return std::atomic_ref<T>(*a).fetch_add(v, std::memory_order_relaxed); }      \
  inline T atomicSub(T* a, T v) { return std::atomic_ref<T>(*a).fetch_sub(v, std::memory_order_relaxed); }      \
  inline T atomicExch(T* a, T v) { return std::atomic_ref<T>(*a).exchange(v, std::memory_order_relaxed); }      \
  inline T atomicCAS(T* a, T compare, T v) {                                                                    \
    std::atomic_ref<T>(*a).compare_exchange_strong(compare, v, std::memory_order_relaxed);                      \
    return compare;                                                                                             \
  }                                                                                                             \
  inline T atomicMin(T* a, T v) { return gpu_host_detail::atomicApplyCas<T>(a, gpu_host_detail::minOf<T>, v); } \
  inline T atomicMax(T* a, T v) { return gpu_host_detail::atomicApplyCas<T>(a, gpu_host_detail::maxOf<T>, v); }

GPU_HOST_INTEGER_ATOMICS(int)
GPU_HOST_INTEGER_ATOMICS(unsigned int)
GPU_HOST_INTEGER_ATOMICS(unsigned long long)
#undef GPU_HOST_INTEGER_ATOMICS

inline double atomicAdd(double* a, double v) {
  return gpu_host_detail::atomicApplyCas<double>(
      a, [](double x, double y) { return x + y; }, v);
}
inline double atomicSub(double* a, double v) {
  return gpu_host_detail::atomicApplyCas<double>(
      a, [](double x, double y) { return x - y; }, v);
}
inline double atomicExch(double* a, double v) {
  return std::atomic_ref<double>(*a).exchange(v, std::memory_order_relaxed);
}
inline double atomicMin(double* a, double v) {
  return gpu_host_detail::atomicApplyCas<double>(a, gpu_host_detail::minOf<double>, v);
}
inline double atomicMax(double* a, double v) {
  return gpu_host_detail::atomicApplyCas<double>(a, gpu_host_detail::maxOf<double>, v);
}
inline double atomicCAS(double* a, double compare, double v) {
  std::atomic_ref<double>(*a).compare_exchange_strong(compare, v, std::memory_order_relaxed);
  return compare;
}

inline void __threadfence() { std::atomic_thread_fence(std::memory_order_seq_cst); }
