// The cuBLAS subset of the host emulation.
#pragma once

enum cublasStatus_t : int {
  CUBLAS_STATUS_SUCCESS = 0,
  CUBLAS_STATUS_NOT_INITIALIZED = 1,
  CUBLAS_STATUS_ALLOC_FAILED = 3,
  CUBLAS_STATUS_INVALID_VALUE = 7,
  CUBLAS_STATUS_EXECUTION_FAILED = 13
};
struct cublasContext;
typedef cublasContext* cublasHandle_t;

cublasStatus_t cublasCreate_v2(cublasHandle_t* handle);
cublasStatus_t cublasDestroy_v2(cublasHandle_t handle);
// 1-based index of the first element of smallest magnitude; 0 when n < 1 or
// incx < 1.  x is device memory; *result is written on the host.
cublasStatus_t cublasIdamin_v2(cublasHandle_t handle, int n, const double* x, int incx, int* result);
#define cublasCreate cublasCreate_v2
#define cublasDestroy cublasDestroy_v2
#define cublasIdamin cublasIdamin_v2
