// cublasIdamin_v2 of the emulation: 1-based index of the first smallest |x|.
#include <gtest/gtest.h>

#include "platform/gpuRuntime.h"

TEST(Cublas, IdaminGivesTheOneBasedIndexOfTheFirstSmallestMagnitude) {
  cublasHandle_t h = nullptr;
  ASSERT_EQ(cublasCreate_v2(&h), CUBLAS_STATUS_SUCCESS);
  const double values[] = {3.0, -0.5, 2.0, 0.5, -0.5, 7.0};
  double* x = nullptr;
  ASSERT_EQ(cudaMalloc(&x, sizeof values), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(x, values, sizeof values, cudaMemcpyHostToDevice), cudaSuccess);
  int r = -1;
  ASSERT_EQ(cublasIdamin_v2(h, 6, x, 1, &r), CUBLAS_STATUS_SUCCESS);
  EXPECT_EQ(r, 2);  // |-0.5| first; the later ties lose
  ASSERT_EQ(cublasIdamin_v2(h, 3, x, 2, &r), CUBLAS_STATUS_SUCCESS);
  EXPECT_EQ(r, 3);  // strided: 3.0, 2.0, -0.5
  ASSERT_EQ(cublasIdamin_v2(h, 1, x + 5, 1, &r), CUBLAS_STATUS_SUCCESS);
  EXPECT_EQ(r, 1);
  ASSERT_EQ(cublasIdamin_v2(h, 0, x, 1, &r), CUBLAS_STATUS_SUCCESS);
  EXPECT_EQ(r, 0);
  ASSERT_EQ(cublasIdamin_v2(h, 3, x, 0, &r), CUBLAS_STATUS_SUCCESS);
  EXPECT_EQ(r, 0);
  // Reading past the array, or host memory, fails as it would on a device.
  EXPECT_EQ(cublasIdamin_v2(h, 7, x, 1, &r), CUBLAS_STATUS_EXECUTION_FAILED);
  EXPECT_EQ(cublasIdamin_v2(h, 6, values, 1, &r), CUBLAS_STATUS_EXECUTION_FAILED);
  EXPECT_EQ(cublasIdamin_v2(nullptr, 3, x, 1, &r), CUBLAS_STATUS_NOT_INITIALIZED);
  EXPECT_EQ(cublasDestroy_v2(h), CUBLAS_STATUS_SUCCESS);
  cudaFree(x);
}
