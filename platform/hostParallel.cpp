// Parallel host loops: on the worker team of the host emulation in the host
// build, on OpenMP threads in the CUDA build.
#include "platform/hostParallel.h"

#include <omp.h>

#include <algorithm>
#include <atomic>

#ifndef FEM_USE_CUDA
#include "platform/host/hostWorkerTeam.h"
#endif

namespace fem_parallel {
namespace {

struct RangeJob {
  std::size_t count, grain, ranges;
  void (*body)(void*, std::size_t, std::size_t);
  void* ctx;
  std::atomic<std::size_t> next{0};

  void runRange(std::size_t r) const { body(ctx, r * grain, std::min(count, (r + 1) * grain)); }
  static void work(void* p, int /*seat*/) {
    RangeJob& job = *static_cast<RangeJob*>(p);
    for (std::size_t r = job.next.fetch_add(1); r < job.ranges; r = job.next.fetch_add(1)) job.runRange(r);
  }
};

}  // namespace

int threadCount() { return omp_get_max_threads(); }

void forRanges(std::size_t count, std::size_t grain, void (*body)(void*, std::size_t, std::size_t), void* ctx) {
  if (count == 0) return;
  grain = std::max<std::size_t>(grain, 1);
  RangeJob job{count, grain, (count + grain - 1) / grain, body, ctx, {}};
  const int threads = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(threadCount()), job.ranges));
  if (threads < 2) {
    for (std::size_t r = 0; r < job.ranges; ++r) job.runRange(r);
    return;
  }
#ifdef FEM_USE_CUDA
#pragma omp parallel num_threads(threads)
  RangeJob::work(&job, omp_get_thread_num());
#else
  gpu_host_detail::runOnTeam(threads, &RangeJob::work, &job);
#endif
}

}  // namespace fem_parallel
