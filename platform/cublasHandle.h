// A cuBLAS handle owned by a scope: created with its owner and destroyed
// with it, on every way out of the scope.
#pragma once
#include "platform/gpuRuntime.h"

class CublasHandle {
 public:
  CublasHandle() : status_(cublasCreate_v2(&handle_)) {}
  ~CublasHandle() {
    if (handle_ != nullptr) cublasDestroy_v2(handle_);
  }
  CublasHandle(const CublasHandle&) = delete;
  CublasHandle& operator=(const CublasHandle&) = delete;

  cublasHandle_t get() const { return handle_; }
  // What the creation returned (a handle that could not be made is null).
  cublasStatus_t status() const { return status_; }

 private:
  cublasHandle_t handle_ = nullptr;
  cublasStatus_t status_;
};
