#include "platform/host/hostLaunchPlan.h"

#include <algorithm>

namespace gpu_host_detail {

int LaunchPlan::threadsFor(const void* kernel, long long emulated, int most) {
  if (most < 2) return 1;
  const auto known = busyPerThread_.find(kernel);
  if (known == busyPerThread_.end()) return emulated >= kWideThreads ? most : 1;
  const double threads = known->second * static_cast<double>(emulated) / kShareNs;
  return threads < 2.0 ? 1 : static_cast<int>(std::min<double>(threads, most));
}

void LaunchPlan::record(const void* kernel, long long emulated, double busyNs) {
  if (emulated <= 0 || (!fixed_.empty() && fixed_.count(kernel) != 0)) return;
  const double value = busyNs / static_cast<double>(emulated);
  // A new average takes the value; a known one moves a quarter of the way,
  // towards at most twice itself: a launch whose thread lost its core for a
  // time slice (milliseconds) does not send the next ones over the team.
  const auto [entry, added] = busyPerThread_.try_emplace(kernel, value);
  if (!added) entry->second += 0.25 * (std::min(value, 2.0 * entry->second) - entry->second);
}

void LaunchPlan::fixWork(const void* kernel, double nsPerThread) {
  if (nsPerThread < 0.0) {
    fixed_.erase(kernel);
    busyPerThread_.erase(kernel);
    return;
  }
  fixed_.insert(kernel);
  busyPerThread_[kernel] = nsPerThread;
}

void LaunchPlan::addWall(const void* kernel, double wallNs) {
  Totals& t = totals_[kernel];
  t.wallNs += wallNs;
  ++t.launches;
}

LaunchPlan::Totals LaunchPlan::totals(const void* kernel) const {
  const auto known = totals_.find(kernel);
  return known != totals_.end() ? known->second : Totals{};
}

}  // namespace gpu_host_detail
