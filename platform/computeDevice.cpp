#include "platform/computeDevice.h"

#include <cstdio>

#include "platform/gpuRuntime.h"
#include "platform/hostParallel.h"

std::string computeDeviceText(int device) {
#ifdef FEM_USE_CUDA
  cudaDeviceProp prop{};
  char text[320];
  if (cudaGetDeviceProperties(&prop, device) != cudaSuccess) {
    cudaGetLastError();
    std::snprintf(text, sizeof text, "GPU %d", device);
  } else {
    std::snprintf(text, sizeof text, "GPU %d (%s, compute capability %d.%d)", device, prop.name, prop.major,
                  prop.minor);
  }
  return text;
#else
  (void)device;
  const int threads = fem_parallel::threadCount();
  return "the CPU (this build emulates the GPU; " + std::to_string(threads) + " thread" +
         (threads == 1 ? " runs" : "s run") + " its kernels)";
#endif
}

bool computeDeviceEmulated() {
#ifdef FEM_USE_CUDA
  return false;
#else
  return true;
#endif
}

const char* emulationNote() {
#ifdef FEM_USE_CUDA
  return "";
#else
  return " (the GPU is emulated on the CPU)";
#endif
}

std::string kernelDeviceProblem() {
#ifdef FEM_USE_CUDA
  int count = 0;
  const cudaError_t error = cudaGetDeviceCount(&count);
  if (error != cudaSuccess) {
    cudaGetLastError();
    return std::string("no CUDA device can run kernels: cudaGetDeviceCount returned ") + cudaGetErrorName(error) +
           " (" + cudaGetErrorString(error) + ")";
  }
  return count > 0 ? std::string() : std::string("no CUDA device is present");
#else
  return {};
#endif
}
