// Wall time spent in a kernel's launches, for the benchmarks: the host build
// times every launch it runs on its threads; the GPU build's launches return
// before their kernels end, so it keeps no such time.
#pragma once

struct KernelLaunchTime {
  bool measured;  // false in a build that does not time its launches
  double wallNs;  // launches made from the calling thread so far
  long long launches;
};

KernelLaunchTime kernelLaunchTime(const void* kernel);
template <typename... KArgs>
KernelLaunchTime kernelLaunchTime(void (*kernel)(KArgs...)) {
  return kernelLaunchTime(reinterpret_cast<const void*>(kernel));
}
