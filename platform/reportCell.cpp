#include "platform/reportCell.h"

bool reportCellsOnDevice() {
#ifdef FEM_USE_CUDA
  static const bool onDevice = [] {
    int count = 0;
    const bool found = cudaGetDeviceCount(&count) == cudaSuccess && count > 0;
    cudaGetLastError();  // a machine without a driver leaves an error behind
    return found;
  }();
  return onDevice;
#else
  return false;
#endif
}
