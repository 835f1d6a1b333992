// Host emulation of the CUDA runtime subset the solver uses.  Error codes are
// CUDA's own numbers; memory handed out here is tracked so that a copy, set or
// free that a GPU would reject is rejected here too.
#pragma once
#include <cstddef>
#include <cstdio>   // printf in device code
#include <cstdlib>  // malloc and free in device code
#include <cstring>
#include <new>  // placement-new of device objects
#include "platform/host/hostErrorCodes.h"
#include "platform/host/hostTypes.h"

// The enumerations have int as their underlying type, so that any code a
// caller passes or a device reports (also one the emulation has no name for)
// is a value of the type.
#define GPU_HOST_ENUMERATOR(name, value) name = value,
enum cudaError_t : int { GPU_HOST_ERROR_CODES(GPU_HOST_ENUMERATOR) };
#undef GPU_HOST_ENUMERATOR
typedef cudaError_t cudaError;

enum cudaMemcpyKind : int {
  cudaMemcpyHostToHost = 0,
  cudaMemcpyHostToDevice = 1,
  cudaMemcpyDeviceToHost = 2,
  cudaMemcpyDeviceToDevice = 3,
  cudaMemcpyDefault = 4
};

// Device limits: the emulation keeps the values of the first three (its
// threads use the host's heap, stack and stdout) and supports no other.
enum cudaLimit : int {
  cudaLimitStackSize = 0x00,
  cudaLimitPrintfFifoSize = 0x01,
  cudaLimitMallocHeapSize = 0x02,
  cudaLimitDevRuntimeSyncDepth = 0x03,
  cudaLimitDevRuntimePendingLaunchCount = 0x04,
  cudaLimitMaxL2FetchGranularity = 0x05,
  cudaLimitPersistingL2CacheSize = 0x06,
};
cudaError_t cudaDeviceSetLimit(cudaLimit limit, size_t value);
cudaError_t cudaDeviceGetLimit(size_t* value, cudaLimit limit);

#define cudaHostAllocDefault 0x00
#define cudaHostAllocPortable 0x01
#define cudaHostAllocMapped 0x02
#define cudaHostAllocWriteCombined 0x04
#define cudaMemAttachGlobal 0x01

// The fields of the runtime's cudaDeviceProp that the solver may read (CUDA 13
// has no clock rate in it any more).
struct cudaDeviceProp {
  char name[256];
  size_t totalGlobalMem;
  size_t sharedMemPerBlock;
  int regsPerBlock;
  int warpSize;
  int maxThreadsPerBlock;
  int maxThreadsDim[3];
  int maxGridSize[3];
  int major;
  int minor;
  int multiProcessorCount;
  int canMapHostMemory;
  int unifiedAddressing;
  int managedMemory;
};

cudaError_t cudaMalloc(void** ptr, size_t size);
template <typename T>
inline cudaError_t cudaMalloc(T** ptr, size_t size) {
  return cudaMalloc(reinterpret_cast<void**>(ptr), size);
}
cudaError_t cudaMallocManaged(void** ptr, size_t size, unsigned int flags = cudaMemAttachGlobal);
template <typename T>
inline cudaError_t cudaMallocManaged(T** ptr, size_t size, unsigned int flags = cudaMemAttachGlobal) {
  return cudaMallocManaged(reinterpret_cast<void**>(ptr), size, flags);
}
cudaError_t cudaFree(void* ptr);
cudaError_t cudaMemcpy(void* dst, const void* src, size_t count, cudaMemcpyKind kind);
cudaError_t cudaMemset(void* ptr, int value, size_t count);
cudaError_t cudaHostAlloc(void** ptr, size_t size, unsigned int flags);
template <typename T>
inline cudaError_t cudaHostAlloc(T** ptr, size_t size, unsigned int flags) {
  return cudaHostAlloc(reinterpret_cast<void**>(ptr), size, flags);
}
cudaError_t cudaHostGetDevicePointer(void** devPtr, void* hostPtr, unsigned int flags);
template <typename T>
inline cudaError_t cudaHostGetDevicePointer(T** devPtr, void* hostPtr, unsigned int flags) {
  return cudaHostGetDevicePointer(reinterpret_cast<void**>(devPtr), hostPtr, flags);
}
cudaError_t cudaFreeHost(void* ptr);
cudaError_t cudaDeviceSynchronize();
cudaError_t cudaDeviceReset();
cudaError_t cudaGetLastError();
cudaError_t cudaPeekAtLastError();
const char* cudaGetErrorName(cudaError_t error);
const char* cudaGetErrorString(cudaError_t error);
cudaError_t cudaGetDeviceCount(int* count);
cudaError_t cudaMemGetInfo(size_t* freeBytes, size_t* totalBytes);
cudaError_t cudaGetDeviceProperties(cudaDeviceProp* prop, int device);
cudaError_t cudaSetDevice(int device);
cudaError_t cudaGetDevice(int* device);

// Copies to and from a __device__ or __constant__ variable.
cudaError_t cudaMemcpyToSymbolBytes(void* symbol, size_t symbolSize, const void* src, size_t count, size_t offset,
                                    cudaMemcpyKind kind);
cudaError_t cudaMemcpyFromSymbolBytes(void* dst, const void* symbol, size_t symbolSize, size_t count, size_t offset,
                                      cudaMemcpyKind kind);
template <typename T>
inline cudaError_t cudaMemcpyToSymbol(T& symbol, const void* src, size_t count, size_t offset = 0,
                                      cudaMemcpyKind kind = cudaMemcpyHostToDevice) {
  return cudaMemcpyToSymbolBytes(&symbol, sizeof(T), src, count, offset, kind);
}
template <typename T>
inline cudaError_t cudaMemcpyFromSymbol(void* dst, const T& symbol, size_t count, size_t offset = 0,
                                        cudaMemcpyKind kind = cudaMemcpyDeviceToHost) {
  return cudaMemcpyFromSymbolBytes(dst, &symbol, sizeof(T), count, offset, kind);
}

namespace gpu_host_detail {
// Checks a launch before it runs: 0 when it may run, else the error code it
// fails with (recorded for cudaGetLastError).
int beginLaunch(dim3 grid, dim3 block);
// Whether [p, p+bytes) lies inside one block that the runtime handed out.
bool isDeviceMemory(const void* p, size_t bytes);
}  // namespace gpu_host_detail

#include "platform/host/hostAtomics.h"
#include "platform/host/hostLaunch.h"
#include "platform/host/hostCublas.h"
