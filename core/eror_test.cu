#include "core/eror_test.h"

#include "core/logErrorPrint.h"

__global__ void globalTest() {}

void gpuErrorProbe() {
  launch(globalTest, dim3(1), dim3(1));
  double* temp = nullptr;
  double temp1 = 1.0;
  CUDA_CHECK(cudaMalloc((void **)&temp, sizeof(double)));
  CUDA_CHECK(cudaMemcpy(temp, &temp1, sizeof(double), cudaMemcpyHostToDevice));
  CUDA_CHECK(cudaFree(temp));
}
