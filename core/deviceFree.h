// Release of device arrays: one held by a raw pointer (freeDevice), and one
// with a single owner (DeviceBuffer).
#pragma once
#include <cstddef>

#include "core/logErrorPrint.h"
#include "platform/gpuRuntime.h"

// Frees a device array held by a raw pointer when it is set, then clears
// the pointer, so that releasing twice is harmless.
template <typename T>
void freeDevice(T*& p) {
  if (p != nullptr) CUDA_CHECK(cudaFree(p));
  p = nullptr;
}

// A device array of n values with one owner: allocated with it, freed when
// the owner goes or takes another array, on every way out of its scope.
template <typename T>
class DeviceBuffer {
 public:
  DeviceBuffer() = default;
  explicit DeviceBuffer(std::size_t n) {
    if (n > 0) CUDA_CHECK(cudaMalloc(&p_, sizeof(T) * n));
  }
  ~DeviceBuffer() { freeDevice(p_); }
  DeviceBuffer(DeviceBuffer&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  DeviceBuffer& operator=(DeviceBuffer&& other) noexcept {
    if (this != &other) {
      freeDevice(p_);
      p_ = other.p_;
      other.p_ = nullptr;
    }
    return *this;
  }

  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};
