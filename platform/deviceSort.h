// Sorting arrays of record pointers with Thrust, on the device and on the host.
//
// Thrust is slow to compile (about 12 s per file under nvcc), so include this
// header only from the one small .cu file of each sort site, and keep that
// file minimal: the comparator and one function that calls these templates.
//
// The comparator is a plain functor struct, callable on both sides:
//
//   struct ElementTypeLess {
//     __host__ __device__ bool operator()(const Element* a, const Element* b) const {
//       return a->type < b->type;
//     }
//   };
//   deviceSortPointers(element_ptr_gpu, n, ElementTypeLess{});
//
// A failure inside Thrust (for example no device memory for its scratch
// space) goes through the CUDA error check like any runtime call.
#pragma once
#include <thrust/execution_policy.h>
#include <thrust/sort.h>

#include <new>
#include <system_error>

#include "platform/deviceCheck.h"
#include "platform/gpuRuntime.h"

namespace gpu_sort_detail {
template <typename Sort>
void checked(Sort sort, const char* callText, const char* file, int line) {
  try {
    sort();
  } catch (const std::system_error& e) {
    checkCudaError(e.code().value() != 0 ? e.code().value() : static_cast<int>(cudaErrorUnknown), callText, file, line);
  } catch (const std::bad_alloc&) {
    checkCudaError(static_cast<int>(cudaErrorMemoryAllocation), callText, file, line);
  }
}

// Sorts the n pointers of the device array by `less` unless they are in
// order already; `Stable` keeps equal elements in their order.
template <bool Stable, typename T, typename Less>
void sortUnlessSorted(T** array, int n, Less less) {
  if (array == nullptr || n < 2) return;
  checked(
      [&] {
        if (thrust::is_sorted(thrust::device, array, array + n, less)) return;
        if constexpr (Stable)
          thrust::stable_sort(thrust::device, array, array + n, less);
        else
          thrust::sort(thrust::device, array, array + n, less);
      },
      Stable ? "thrust::stable_sort(thrust::device, array, array + n, less)"
             : "thrust::sort(thrust::device, array, array + n, less)",
      __FILE__, __LINE__);
}
}  // namespace gpu_sort_detail

// Sorts the n pointers of the device array `array` by `less` on the device.
// Equal elements may come out in any order.  An array already in order (the
// usual case: one type and material per part) is left as it is.
template <typename T, typename Less>
void deviceSortPointers(T** array, int n, Less less) {
  gpu_sort_detail::sortUnlessSorted<false>(array, n, less);
}

// As deviceSortPointers, keeping equal elements in their order.
template <typename T, typename Less>
void deviceStableSortPointers(T** array, int n, Less less) {
  gpu_sort_detail::sortUnlessSorted<true>(array, n, less);
}

// Sorts the n pointers of the host array `array` by `less` on the host,
// keeping equal elements in their order (the host time loop's sort).
template <typename T, typename Less>
void hostStableSortPointers(T** array, int n, Less less) {
  if (array == nullptr || n < 2) return;
  thrust::stable_sort(thrust::host, array, array + n, less);
}

// Sorts the n 64-bit keys of the device array `keys` in ascending order on
// the device.
inline void deviceSortKeys(unsigned long long* keys, int n) {
  if (keys == nullptr || n < 2) return;
  gpu_sort_detail::checked([&] { thrust::sort(thrust::device, keys, keys + n); },
                           "thrust::sort(thrust::device, keys, keys + n)", __FILE__, __LINE__);
}
