// Report cells: small records that kernels and host code both write and the
// host reads between passes (the first inverted element, failure counts,
// pair counters). In the CUDA build the kernels write a device copy and
// host code (set-up, the host loop) a host twin; the host reads and clears
// the device copy through the runtime, and only while a GPU runs the
// kernels. Managed memory is not used for them: a machine without a GPU
// driver has none, and the host loop must run there. In the host build
// kernels and host code share the host twin.
#pragma once
#include "platform/gpuRuntime.h"

#if defined(FEM_USE_CUDA) && defined(__CUDA_ARCH__)
#define FEM_REPORT_CELL_SIDE(name) name##OnDevice
#else
#define FEM_REPORT_CELL_SIDE(name) name##OnHost
#endif

// In a header: the cell `name` of type Type; name() is the copy the calling
// code writes (the device copy in kernels, the host twin in host code).
#define FEM_DECLARE_REPORT_CELL(Type, name) \
  extern __device__ Type name##OnDevice;    \
  extern Type name##OnHost;                 \
  __host__ __device__ inline Type& name() { return FEM_REPORT_CELL_SIDE(name); }

// In the one source file that owns it: the cell and its starting value.
#define FEM_DEFINE_REPORT_CELL(Type, name, ...) \
  __device__ Type name##OnDevice = __VA_ARGS__; \
  Type name##OnHost = __VA_ARGS__;

// True when the kernels run on a GPU, so that the device copies hold what
// they wrote: never in the host build, nor in the CUDA build without a
// usable device.
bool reportCellsOnDevice();

// The device copy as the kernels left it (after the work before it ends),
// or `none` when no GPU runs the kernels.
template <typename T>
T deviceCopyOfCell(const T& onDevice, const T& none) {
#ifdef FEM_USE_CUDA
  T value = none;
  if (reportCellsOnDevice() && cudaMemcpyFromSymbol(&value, onDevice, sizeof(T)) == cudaSuccess) return value;
  cudaGetLastError();
  return none;
#else
  (void)onDevice;
  return none;
#endif
}

// Sets the host twin and, while a GPU runs the kernels, the device copy.
template <typename T>
void resetCell(T& onHost, T& onDevice, const T& value) {
  onHost = value;
#ifdef FEM_USE_CUDA
  if (reportCellsOnDevice() && cudaMemcpyToSymbol(onDevice, &value, sizeof(T)) != cudaSuccess) cudaGetLastError();
#else
  onDevice = value;
#endif
}

// A cell that keeps the first report and a count, read from both copies:
// the host twin's first report when it has one, else the device copy's,
// with the counts added.
template <typename T, typename Count>
T mergeFirstReport(const T& onHost, const T& onDevice, Count T::*count) {
  T merged = onHost.*count != 0 ? onHost : onDevice;
  merged.*count = onHost.*count + onDevice.*count;
  return merged;
}

// The two copies of a declared cell, for the functions above.
#define FEM_REPORT_CELL_DEVICE_COPY(name, none) deviceCopyOfCell(name##OnDevice, none)
#define FEM_RESET_REPORT_CELL(name, ...) resetCell(name##OnHost, name##OnDevice, __VA_ARGS__)
