// How many OS threads a launch of the host emulation runs on: as many as
// its work keeps busy, known from the kernel's earlier launches, and no more
// than run it fastest on this machine now.
//
// A kernel's launches cost about the same from cycle to cycle.  Each launch
// records the time its threads spent in it; the next one takes a thread per
// kShareNs of expected work, up to the team: a launch of a few microseconds
// stays on the calling thread, whatever its thread count, and does not wake
// workers that would find nothing left to do; a launch of 64 threads that
// each walk a long chunk goes wide.
//
// The work alone does not tell what a wider launch costs: waking workers,
// waiting at the end for the last one, a worker whose core another program
// holds.  On a loaded machine the short launches of a small model can take
// longer on the whole team than on one thread.  So the thread counts a
// kernel may use are kept in tiers (1, 2, 4 ... up to the count its work
// asks for), each with the wall time per emulated thread its launches took
// lately, and a launch runs on the tier that was fastest.  Now and then a
// launch tries the tier next to it, below and above in turn, so that the
// choice follows the machine's load as it changes.
#pragma once
#include <unordered_map>

namespace gpu_host_detail {

class LaunchPlan {
 public:
  // Threads (1 .. most) for a launch of `emulated` threads of `kernel`.
  int threadsFor(const void* kernel, long long emulated, int most);
  // A launch of `emulated` threads of `kernel` ran on `threads` OS threads,
  // kept them busy for `busyNs` together and took `wallNs`.
  void record(const void* kernel, long long emulated, int threads, double busyNs, double wallNs);
  // Plans the kernel's launches as if each of its threads kept a thread
  // busy for `nsPerThread`, whatever they are measured to take (and on the
  // threads that work asks for); a negative value returns the kernel to its
  // measurements.
  void fixWork(const void* kernel, double nsPerThread);
  // Wall time of the kernel's launches so far, and their number.
  struct Totals {
    double wallNs = 0.0;
    long long launches = 0;
  };
  Totals totals(const void* kernel) const;

 private:
  // Expected work per OS thread of a launch.
  static constexpr double kShareNs = 10000.0;
  // A kernel's first launch goes wide from this many emulated threads.
  static constexpr long long kWideThreads = 1024;
  // Tiers of 1, 2, 4 ... 2^(kTiers-1) threads (the last one takes any more).
  static constexpr int kTiers = 10;
  // One launch in kTryEvery tries a tier next to the fastest.
  static constexpr unsigned kTryEvery = 32;

  struct KernelPlan {
    // The threads' busy time per emulated thread, an average that follows
    // the recent launches (negative: no launch yet).
    double busyPerThread = -1.0;
    bool fixed = false;  // planned from a given work
    // Per tier, wall time per emulated thread (negative: not run yet).
    double wallPerThread[kTiers] = {-1.0, -1.0, -1.0, -1.0, -1.0, -1.0, -1.0, -1.0, -1.0, -1.0};
    unsigned launches = 0;
    Totals totals;
  };

  // Threads the work of the launch keeps busy (1 .. most).
  static int threadsForWork(const KernelPlan& k, long long emulated, int most);
  // The tier to run on, of tiers 0 .. top.
  static int chooseTier(KernelPlan& k, int top);
  static void follow(double& average, double value);

  std::unordered_map<const void*, KernelPlan> kernels_;
};

}  // namespace gpu_host_detail
