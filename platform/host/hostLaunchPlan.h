// How many OS threads a launch of the host emulation runs on: as many as
// its work keeps busy, known from the kernel's earlier launches.
//
// A kernel's launches cost about the same from cycle to cycle.  Each launch
// records the time its threads spent in it; the next one takes a thread per
// kShareNs of expected work, up to the team: a launch of a few microseconds
// stays on the calling thread, whatever its thread count, and does not wake
// workers that would find nothing left to do; a launch of 64 threads that
// each walk a long chunk goes wide.
#pragma once
#include <unordered_map>
#include <unordered_set>

namespace gpu_host_detail {

class LaunchPlan {
 public:
  // Threads (1 .. most) for a launch of `emulated` threads of `kernel`.
  int threadsFor(const void* kernel, long long emulated, int most);
  // A launch of `emulated` threads of `kernel` kept its threads busy for
  // `busyNs` together.
  void record(const void* kernel, long long emulated, double busyNs);
  // Plans the kernel's launches as if each of its threads kept a thread
  // busy for `nsPerThread`, whatever they are measured to take; a negative
  // value returns the kernel to its measurements.
  void fixWork(const void* kernel, double nsPerThread);
  // Wall time of the kernel's launches so far, and their number.
  struct Totals {
    double wallNs = 0.0;
    long long launches = 0;
  };
  void addWall(const void* kernel, double wallNs);
  Totals totals(const void* kernel) const;

 private:
  // Expected work per OS thread of a launch.
  static constexpr double kShareNs = 10000.0;
  // A kernel's first launch goes wide from this many emulated threads.
  static constexpr long long kWideThreads = 1024;

  // Per kernel, the threads' busy time per emulated thread, an average that
  // follows the recent launches (negative: no launch yet).
  std::unordered_map<const void*, double> busyPerThread_;
  std::unordered_set<const void*> fixed_;  // kernels planned from a given work
  std::unordered_map<const void*, Totals> totals_;
};

}  // namespace gpu_host_detail
