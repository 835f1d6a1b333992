#include "platform/launchTimes.h"

#ifndef FEM_USE_CUDA
#include "platform/host/hostControl.h"
#endif

KernelLaunchTime kernelLaunchTime(const void* kernel) {
#ifdef FEM_USE_CUDA
  (void)kernel;
  return KernelLaunchTime{false, 0.0, 0};
#else
  const gpu_host::LaunchTotals t = gpu_host::launchTotals(kernel);
  return KernelLaunchTime{true, t.wall_ns, t.launches};
#endif
}
