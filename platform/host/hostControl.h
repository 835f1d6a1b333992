// Test controls of the host emulation: replace the device table and inject a
// failure into the next call of a kind.  Only tests of the emulation and of
// GPU selection, and the benchmarks (the time of a kernel's launches), use
// this header.
#pragma once
#include <vector>
#include "platform/host/hostRuntime.h"

namespace gpu_host {

enum class CallKind {
  Malloc,
  Free,
  Memcpy,
  Memset,
  HostAlloc,
  HostGetDevicePointer,
  FreeHost,
  MallocManaged,
  DeviceSynchronize,
  SetDevice,
  GetDeviceCount,
  GetDeviceProperties,
  // A launch failure does not run the kernel and stays
  // pending, like a kernel that faulted on a GPU: every
  // later runtime call returns it until cudaDeviceReset.
  Launch
};

// The default table: one emulated device of compute capability 7.5.
cudaDeviceProp defaultDeviceProperties();
// The table a run starts with: that one device, or none in a build
// configured with FEM_HOST_NO_DEVICE (every run then takes the host loop).
std::vector<cudaDeviceProp> defaultDeviceTable();
void setDeviceTable(const std::vector<cudaDeviceProp>& devices);
void resetDeviceTable();
// The next call of `kind` returns `code` instead of doing its work.
void injectFailure(CallKind kind, cudaError_t code);
void clearInjectedFailures();
// Number of live allocations handed out by the emulation.
size_t liveAllocationCount();
// Blocks run so far as cooperative fibers (a __syncthreads outside
// blockPhases).
unsigned long long cooperativeBlockCount();
// Launches shared out over the worker team so far (the others ran on the
// launching thread alone).
unsigned long long sharedLaunchCount();
// Launches of `kernel` from the calling thread take their threads as if
// each of its emulated threads kept an OS thread busy for `nsPerThread`,
// whatever they are measured to take (so that a test of the rule does not
// depend on time); a negative value returns the kernel to its measurements.
void fixLaunchWork(const void* kernel, double nsPerThread);
template <typename... KArgs>
void fixLaunchWork(void (*kernel)(KArgs...), double nsPerThread) {
  fixLaunchWork(reinterpret_cast<const void*>(kernel), nsPerThread);
}
// Wall time (nanoseconds) of the launches of `kernel` made from the calling
// thread so far, and their number.
struct LaunchTotals {
  double wall_ns;
  long long launches;
};
LaunchTotals launchTotals(const void* kernel);
template <typename... KArgs>
LaunchTotals launchTotals(void (*kernel)(KArgs...)) {
  return launchTotals(reinterpret_cast<const void*>(kernel));
}

}  // namespace gpu_host
