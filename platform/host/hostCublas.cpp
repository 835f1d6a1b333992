// cuBLAS subset of the host emulation.
#include <cmath>

#include "platform/host/hostRuntime.h"

struct cublasContext {
  int unused;
};

cublasStatus_t cublasCreate_v2(cublasHandle_t* handle) {
  if (handle == nullptr) return CUBLAS_STATUS_INVALID_VALUE;
  *handle = new cublasContext{0};
  return CUBLAS_STATUS_SUCCESS;
}

cublasStatus_t cublasDestroy_v2(cublasHandle_t handle) {
  if (handle == nullptr) return CUBLAS_STATUS_NOT_INITIALIZED;
  delete handle;
  return CUBLAS_STATUS_SUCCESS;
}

cublasStatus_t cublasIdamin_v2(cublasHandle_t handle, int n, const double* x, int incx, int* result) {
  if (handle == nullptr) return CUBLAS_STATUS_NOT_INITIALIZED;
  if (result == nullptr) return CUBLAS_STATUS_INVALID_VALUE;
  *result = 0;
  if (n < 1 || incx < 1) return CUBLAS_STATUS_SUCCESS;
  // x is read on the device: it must lie in memory the runtime handed out.
  if (!gpu_host_detail::isDeviceMemory(x, (1 + 1ULL * (n - 1) * incx) * sizeof(double)))
    return CUBLAS_STATUS_EXECUTION_FAILED;
  int best = 0;
  for (int i = 1; i < n; ++i)
    if (std::fabs(x[1LL * i * incx]) < std::fabs(x[1LL * best * incx])) best = i;
  *result = best + 1;
  return CUBLAS_STATUS_SUCCESS;
}
