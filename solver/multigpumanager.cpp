#include "solver/multigpumanager.h"
#include <cstdio>
#include "core/logErrorPrint.h"
#include "platform/gpuRuntime.h"

int countGpuDevices() {
  int count = 0;
  if (cudaGetDeviceCount(&count) != cudaSuccess || count < 0) {
    cudaGetLastError();  // clear the sticky error so later checks do not see it
    return 0;
  }
  return count;
}

bool gpuQualifies(int device) {
  cudaDeviceProp prop{};
  if (cudaGetDeviceProperties(&prop, device) != cudaSuccess) {
    cudaGetLastError();
    return false;
  }
  return prop.major >= kMinGpuMajor;
}

void MultiGpuManager::selectGpu() {
  int n = gpu_num;
  if (n <= 0) {
    const int count = countGpuDevices();
    gpu_id_array.clear();
    for (int i = 0; i < count; ++i) {
      if (gpuQualifies(i)) gpu_id_array.push_back(i);
    }
    gpu_num = static_cast<int>(gpu_id_array.size());
    return;
  }
  if (n == 1) return;
  const int count = countGpuDevices();
  std::vector<int> list;
  list.push_back(gpu_id_array.empty() ? 0 : gpu_id_array[0]);
  for (int i = 1; i < count; ++i) {
    if (gpuQualifies(i)) list.push_back(i);
  }
  const int k = static_cast<int>(list.size());
  if (k <= n) {
    printf("当前计算机中符合计算要求的GPU个数为：%d\n", k);
    printf("将使用 %d 个GPU进行多GPU计算\n", k);
  }
  n = k;
  gpu_id_array = list;
  gpu_num = n;
  multi_gpu_flag = n > 1;
}

void MultiGpuManager::resetGpu() {
  for (std::size_t in = 0; in < gpu_id_array.size(); ++in) {
    CUDA_CHECK(cudaSetDevice(gpu_id_array[in]));
    const cudaError_t pending = cudaGetLastError();
    if (pending != cudaSuccess) fprintf(stderr, "addKernel launch failed: %s\n", cudaGetErrorString(pending));
    const cudaError_t sync = cudaDeviceSynchronize();
    if (sync != cudaSuccess) {
      fprintf(stderr, "cudaDeviceSynchronize returned error code %d after launching addKernel!\n",
              static_cast<int>(sync));
    }
    if (cudaDeviceReset() != cudaSuccess) fprintf(stderr, "cudaDeviceReset failed!");
  }
}
