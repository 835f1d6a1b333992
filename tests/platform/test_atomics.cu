// Device atomics of the emulation: exact under several OpenMP threads, and
// each returns the value it replaced.
#include <gtest/gtest.h>
#include <omp.h>

#include <vector>

#include "platform/gpuRuntime.h"

namespace {

struct Totals {
  int i;
  unsigned u;
  unsigned long long ull;
  int minimum;
  int maximum;
  unsigned long long casCount;
};

__global__ void accumulate(int n, Totals* t) {
  int k = ((blockDim.y * blockIdx.y + threadIdx.y) * gridDim.x + blockIdx.x) * blockDim.x + threadIdx.x;
  for (; k < n; k += blockDim.x * blockDim.y * gridDim.x * gridDim.y) {
    atomicAdd(&t->i, 1);
    atomicSub(&t->i, 2);
    atomicAdd(&t->u, 3u);
    atomicAdd(&t->ull, 1ULL << 33);
    atomicMin(&t->minimum, k % 1000 - 500);
    atomicMax(&t->maximum, k);
    // A CAS loop as kernels write one: increment by compare-and-swap.
    unsigned long long seen = t->casCount, prev;
    while ((prev = atomicCAS(&t->casCount, seen, seen + 1)) != seen) seen = prev;
  }
}

__global__ void sumDoubles(int n, double* total) {
  int k = blockIdx.x * blockDim.x + threadIdx.x;
  if (k < n) atomicAdd(total, 0.25);
}

}  // namespace

TEST(Atomics, IntegerAtomicsGiveExactTotalsUnderSeveralOpenMPThreads) {
  const int saved = omp_get_max_threads();
  omp_set_num_threads(4);
  Totals* t = nullptr;
  ASSERT_EQ(cudaMalloc(&t, sizeof(Totals)), cudaSuccess);
  const Totals start{0, 0, 0, 1 << 30, -1, 0};
  ASSERT_EQ(cudaMemcpy(t, &start, sizeof start, cudaMemcpyHostToDevice), cudaSuccess);
  const int n = 300000;
  launch(accumulate, dim3(n / 32 + 1), dim3(5, 5), n, t);
  Totals h{};
  ASSERT_EQ(cudaMemcpy(&h, t, sizeof h, cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(h.i, -n);
  EXPECT_EQ(h.u, 3u * n);
  EXPECT_EQ(h.ull, static_cast<unsigned long long>(n) << 33);
  EXPECT_EQ(h.minimum, -500);
  EXPECT_EQ(h.maximum, n - 1);
  EXPECT_EQ(h.casCount, static_cast<unsigned long long>(n));
  cudaFree(t);
  omp_set_num_threads(saved);
}

TEST(Atomics, DoubleAddIsExactForRepresentableSteps) {
  const int saved = omp_get_max_threads();
  omp_set_num_threads(4);
  double* total = nullptr;
  ASSERT_EQ(cudaMalloc(&total, sizeof(double)), cudaSuccess);
  ASSERT_EQ(cudaMemset(total, 0, sizeof(double)), cudaSuccess);
  launch(sumDoubles, dim3(1000), dim3(64), 64000, total);
  double h = 0;
  ASSERT_EQ(cudaMemcpy(&h, total, sizeof h, cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(h, 16000.0);
  cudaFree(total);
  omp_set_num_threads(saved);
}

TEST(Atomics, EveryAtomicReturnsTheOldValue) {
  double d = 1.5;
  EXPECT_EQ(atomicAdd(&d, 2.0), 1.5);
  EXPECT_EQ(d, 3.5);
  EXPECT_EQ(atomicSub(&d, 0.5), 3.5);
  EXPECT_EQ(d, 3.0);
  EXPECT_EQ(atomicExch(&d, -4.0), 3.0);
  EXPECT_EQ(atomicMin(&d, -5.0), -4.0);
  EXPECT_EQ(atomicMin(&d, 7.0), -5.0);
  EXPECT_EQ(d, -5.0);
  EXPECT_EQ(atomicMax(&d, 2.0), -5.0);
  EXPECT_EQ(d, 2.0);
  EXPECT_EQ(atomicCAS(&d, 9.0, 1.0), 2.0);  // no match: unchanged
  EXPECT_EQ(d, 2.0);
  EXPECT_EQ(atomicCAS(&d, 2.0, 1.0), 2.0);
  EXPECT_EQ(d, 1.0);

  int i = 5;
  EXPECT_EQ(atomicAdd(&i, 3), 5);
  EXPECT_EQ(atomicSub(&i, 10), 8);
  EXPECT_EQ(atomicExch(&i, 4), -2);
  EXPECT_EQ(atomicMin(&i, 1), 4);
  EXPECT_EQ(atomicMax(&i, 9), 1);
  EXPECT_EQ(atomicCAS(&i, 9, 0), 9);
  EXPECT_EQ(i, 0);

  unsigned u = 1;
  EXPECT_EQ(atomicSub(&u, 2u), 1u);
  EXPECT_EQ(u, 0xffffffffu);  // wraps like the device
  double anywhere = 1.0;
  EXPECT_EQ(atomicAddAnywhere(&anywhere, 0.5), 1.0);
  EXPECT_EQ(anywhere, 1.5);

  unsigned long long ull = 7;
  EXPECT_EQ(atomicMax(&ull, 3ULL), 7ULL);
  EXPECT_EQ(atomicExch(&ull, 11ULL), 7ULL);
  EXPECT_EQ(ull, 11ULL);
}
