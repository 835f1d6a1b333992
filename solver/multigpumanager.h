// Which GPUs the run uses: the requested count and first id from the
// command line, the device ordinals selected (the computing GPU first) and
// the reset of every listed GPU at the end of the run.
#pragma once
#include <vector>

// Smallest compute-capability major number of a device the run can use.
constexpr int kMinGpuMajor = 6;

class MultiGpuManager {
 public:
  int gpu_num = 0;  // requested count ("NGPU="); after selection the list length
  // Per-GPU exchange buffers of a model split over several GPUs; the run
  // computes on one GPU, so they stay empty.
  std::vector<double*> exchange_buffers[8];
  std::vector<int> gpu_id_array;  // device ordinals, the current GPU first
  bool multi_gpu_flag = false;    // more than one GPU after an explicit request of two or more

  // Builds gpu_id_array from gpu_num and the devices present.
  void selectGpu();
  // Makes every listed GPU current, reports a pending error, synchronises
  // and resets it.
  void resetGpu();
};

// Number of CUDA devices; 0 when the runtime reports an error.
int countGpuDevices();
// True when the device's properties can be read and its capability major
// number is at least kMinGpuMajor.
bool gpuQualifies(int device);
