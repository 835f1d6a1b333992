#include "platform/host/hostLaunchPlan.h"

#include <algorithm>

namespace gpu_host_detail {
namespace {

// Tier of a thread count: the least k with 2^k >= threads.
int tierOf(int threads, int tiers) {
  int k = 0;
  while (k + 1 < tiers && (1 << k) < threads) ++k;
  return k;
}

}  // namespace

int LaunchPlan::threadsForWork(const KernelPlan& k, long long emulated, int most) {
  if (k.busyPerThread < 0.0) return emulated >= kWideThreads ? most : 1;
  const double threads = k.busyPerThread * static_cast<double>(emulated) / kShareNs;
  return threads < 2.0 ? 1 : static_cast<int>(std::min<double>(threads, most));
}

int LaunchPlan::chooseTier(KernelPlan& k, int top) {
  // The threads the work asks for are tried first.
  if (k.wallPerThread[top] < 0.0) return top;
  int best = top;
  for (int t = top - 1; t >= 0; --t)
    if (k.wallPerThread[t] >= 0.0 && k.wallPerThread[t] < k.wallPerThread[best]) best = t;
  // A tier below the fastest that has not run yet is tried at once (a small
  // launch finds its tier in a few cycles); the neighbours are tried again
  // now and then, below and above in turn.
  if (best > 0 && k.wallPerThread[best - 1] < 0.0) return best - 1;
  const unsigned n = ++k.launches;
  if (n % kTryEvery != 0) return best;
  const bool below = (n / kTryEvery) % 2 == 0;
  if (below && best > 0) return best - 1;
  if (!below && best < top) return best + 1;
  return best;
}

int LaunchPlan::threadsFor(const void* kernel, long long emulated, int most) {
  if (most < 2) return 1;
  KernelPlan& k = kernels_[kernel];
  const int work = threadsForWork(k, emulated, most);
  if (k.fixed || work < 2) return work;
  const int tier = chooseTier(k, tierOf(work, kTiers));
  return std::min(work, 1 << tier);
}

void LaunchPlan::follow(double& average, double value) {
  // A new average takes the value; a known one moves a quarter of the way,
  // towards at most twice itself: a launch whose thread lost its core for a
  // time slice (milliseconds) does not decide the next ones alone.
  if (average < 0.0)
    average = value;
  else
    average += 0.25 * (std::min(value, 2.0 * average) - average);
}

void LaunchPlan::record(const void* kernel, long long emulated, int threads, double busyNs, double wallNs) {
  KernelPlan& k = kernels_[kernel];
  k.totals.wallNs += wallNs;
  ++k.totals.launches;
  if (emulated <= 0 || k.fixed) return;
  const double items = static_cast<double>(emulated);
  follow(k.busyPerThread, busyNs / items);
  follow(k.wallPerThread[tierOf(threads, kTiers)], wallNs / items);
}

void LaunchPlan::fixWork(const void* kernel, double nsPerThread) {
  KernelPlan& k = kernels_[kernel];
  const Totals totals = k.totals;
  k = KernelPlan{};
  k.totals = totals;
  k.fixed = nsPerThread >= 0.0;
  if (k.fixed) k.busyPerThread = nsPerThread;
}

LaunchPlan::Totals LaunchPlan::totals(const void* kernel) const {
  const auto known = kernels_.find(kernel);
  return known != kernels_.end() ? known->second.totals : Totals{};
}

}  // namespace gpu_host_detail
