// Parallel loops of host code (set-up passes, large copies): the same
// threads as the kernels of the host build use, as many as OpenMP would
// (OMP_NUM_THREADS).  Which threads run them depends on the build and is
// decided in platform/ alone.
#pragma once
#include <cstddef>

namespace fem_parallel {

// Runs body(begin, end) over consecutive ranges that cover [0, count), each
// at most `grain` long (at least 1), on several threads at once; returns
// when all are done.  The ranges are handed out as threads become free, so
// a thread that shares its core with another program holds up one range at
// most.  body must not throw, and ranges must not depend on each other.
void forRanges(std::size_t count, std::size_t grain, void (*body)(void* ctx, std::size_t begin, std::size_t end),
               void* ctx);

template <typename Body>
void parallelRanges(std::size_t count, std::size_t grain, Body&& body) {
  forRanges(
      count, grain, [](void* ctx, std::size_t begin, std::size_t end) { (*static_cast<Body*>(ctx))(begin, end); },
      const_cast<void*>(static_cast<const void*>(&body)));
}

// body(i) for every i in [0, count), in ranges of `grain`.
template <typename Body>
void parallelFor(std::size_t count, std::size_t grain, Body&& body) {
  parallelRanges(count, grain, [&body](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) body(i);
  });
}

// Threads the loops may use.
int threadCount();

}  // namespace fem_parallel
