// Release of a device array held by a raw pointer: freed when set, then
// cleared, so that releasing twice is harmless.
#pragma once
#include "core/logErrorPrint.h"
#include "platform/gpu_runtime.h"

template <typename T>
void freeDevice(T*& p) {
  if (p != nullptr) CUDA_CHECK(cudaFree(p));
  p = nullptr;
}
