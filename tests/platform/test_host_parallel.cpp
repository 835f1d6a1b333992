// Parallel host loops: every index is run once whatever the number of
// threads, ranges keep their grain, and a loop started inside another runs
// on the thread that starts it; after a thread lost its core in the middle
// of a loop, the next loops leave that core to the other program.
#include <gtest/gtest.h>
#include <omp.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "elements/common/elementControl.h"
#include "platform/cublasHandle.h"
#include "platform/gpuRuntime.h"
#include "platform/host/hostControl.h"
#include "platform/hostParallel.h"

namespace {

class HostParallel : public ::testing::Test {
 protected:
  void TearDown() override { omp_set_num_threads(saved_); }
  int saved_ = omp_get_max_threads();
};

TEST_F(HostParallel, EveryIndexRunsOnceInRangesOfTheGrain) {
  for (int threads : {1, 3, 8}) {
    omp_set_num_threads(threads);
    for (std::size_t count : {std::size_t(0), std::size_t(1), std::size_t(999), std::size_t(100000)}) {
      std::vector<std::atomic<int>> hits(count);
      std::atomic<bool> longRange{false};
      fem_parallel::parallelRanges(count, 64, [&](std::size_t begin, std::size_t end) {
        if (end - begin > 64 || begin % 64 != 0) longRange = true;
        for (std::size_t i = begin; i < end; ++i) ++hits[i];
      });
      EXPECT_FALSE(longRange);
      for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(hits[i].load(), 1) << i << " of " << count;
    }
  }
}

TEST_F(HostParallel, ALoopInsideALoopRunsOnItsOwnThread) {
  omp_set_num_threads(4);
  std::vector<std::atomic<int>> hits(64 * 1000);
  fem_parallel::parallelFor(64, 1, [&](std::size_t outer) {
    fem_parallel::parallelFor(1000, 10, [&](std::size_t inner) { ++hits[outer * 1000 + inner]; });
  });
  for (const auto& h : hits) ASSERT_EQ(h.load(), 1);
}

// Threads that take part in a loop of many ranges, each of which waits (up
// to `patience`) until `wanted` threads have joined.
std::size_t threadsJoining(std::size_t wanted, std::chrono::milliseconds patience) {
  std::mutex mutex;
  std::set<std::thread::id> joined;
  fem_parallel::parallelRanges(64, 1, [&](std::size_t, std::size_t) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      joined.insert(std::this_thread::get_id());
    }
    const auto end = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < end) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (joined.size() >= wanted) return;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });
  return joined.size();
}

// A loop whose threads each spend 2 ms off their core (asleep here, as a
// thread would wait while another program holds its core) makes the loops
// after it run on one thread fewer: 3 of 4, never all four.
TEST_F(HostParallel, AThreadThatLostItsCoreLeavesTheNextLoopsOneThreadFewer) {
  omp_set_num_threads(4);
  fem_parallel::parallelRanges(4, 1, [](std::size_t, std::size_t) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  });
  EXPECT_LE(threadsJoining(4, std::chrono::milliseconds(300)), 3u);
}

// On four threads the element driver's pass for the smallest step of an
// array of 300,001 entries is shared out over the threads in one launch;
// one of some ten thousand is folded on the launching thread (sharing it
// costs more than it saves).
TEST_F(HostParallel, SmallestStepPassOfALongStepArrayIsSharedOut) {
  omp_set_num_threads(4);
  const CublasHandle handle;
  ASSERT_EQ(handle.status(), CUBLAS_STATUS_SUCCESS);
  for (const int n : {30001, 300001}) {
    ElementControl control;
    control.solid_num = n;
    control.allocateDtArray();
    const std::vector<double> steps(static_cast<std::size_t>(n), 1e-6);
    ASSERT_EQ(cudaMemcpy(control.dtArray, steps.data(), sizeof(double) * n, cudaMemcpyHostToDevice), cudaSuccess);
    control.chunk_step_minimum = true;
    const unsigned long long shared = gpu_host::sharedLaunchCount();
    double candidate = 1.0;
    control.takeSmallestStep(handle.get(), &candidate);
    EXPECT_EQ(gpu_host::sharedLaunchCount() - shared, n > 300000 ? 1u : 0u) << n << " entries";
  }
}

}  // namespace
