// Host emulation of the CUDA runtime subset the solver uses.  Error codes are
// CUDA's own numbers; memory handed out here is tracked so that a copy, set or
// free that a GPU would reject is rejected here too.
#pragma once
#include <cstddef>
#include "platform/host/host_types.h"

enum cudaError_t {
  cudaSuccess = 0,
  cudaErrorInvalidValue = 1,
  cudaErrorMemoryAllocation = 2,
  cudaErrorInitializationError = 3,
  cudaErrorCudartUnloading = 4,
  cudaErrorInvalidConfiguration = 9,
  cudaErrorInvalidPitchValue = 12,
  cudaErrorInvalidSymbol = 13,
  cudaErrorInvalidHostPointer = 16,
  cudaErrorInvalidDevicePointer = 17,
  cudaErrorInvalidMemcpyDirection = 21,
  cudaErrorInsufficientDriver = 35,
  cudaErrorNoDevice = 100,
  cudaErrorInvalidDevice = 101,
  cudaErrorIllegalAddress = 700,
  cudaErrorLaunchOutOfResources = 701,
  cudaErrorLaunchTimeout = 702,
  cudaErrorLaunchFailure = 719,
  cudaErrorNotSupported = 801,
  cudaErrorUnknown = 999
};
typedef cudaError_t cudaError;

enum cudaMemcpyKind {
  cudaMemcpyHostToHost = 0,
  cudaMemcpyHostToDevice = 1,
  cudaMemcpyDeviceToHost = 2,
  cudaMemcpyDeviceToDevice = 3,
  cudaMemcpyDefault = 4
};

#define cudaHostAllocDefault 0x00
#define cudaHostAllocPortable 0x01
#define cudaHostAllocMapped 0x02
#define cudaHostAllocWriteCombined 0x04
#define cudaMemAttachGlobal 0x01

struct cudaDeviceProp {
  char name[256];
  size_t totalGlobalMem;
  size_t sharedMemPerBlock;
  int regsPerBlock;
  int warpSize;
  int maxThreadsPerBlock;
  int maxThreadsDim[3];
  int maxGridSize[3];
  int clockRate;
  int major;
  int minor;
  int multiProcessorCount;
  int canMapHostMemory;
  int unifiedAddressing;
  int managedMemory;
};

cudaError_t cudaMalloc(void** ptr, size_t size);
template <typename T>
inline cudaError_t cudaMalloc(T** ptr, size_t size) { return cudaMalloc(reinterpret_cast<void**>(ptr), size); }
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
cudaError_t cudaGetDeviceProperties(cudaDeviceProp* prop, int device);
cudaError_t cudaSetDevice(int device);
cudaError_t cudaGetDevice(int* device);

#include "platform/host/host_atomics.h"
#include "platform/host/host_launch.h"
#include "platform/host/host_cublas.h"
