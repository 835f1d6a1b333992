// Filling device arrays of pointers one slot at a time.
#pragma once
#include "core/logErrorPrint.h"
#include "platform/gpuRuntime.h"

// Writes the device pointer `value` into the device slot `slot` (an element
// of a device array of T*).
template <typename T>
void copyPointerToGpu(T** slot, T* value) {
  T* temp_ptr = value;
  CUDA_CHECK(cudaMemcpy(slot, &temp_ptr, sizeof(T*), cudaMemcpyHostToDevice));
}
