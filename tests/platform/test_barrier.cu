// __syncthreads in the emulation: blocks that use it run as cooperative
// fibers; a barrier that not every thread of a block reaches stops the run.
#include <gtest/gtest.h>
#include <omp.h>

#include <vector>

#include "platform/gpu_runtime.h"

namespace {

// Tree reduction in shared memory, as the critical-step kernels do it.
__global__ void blockSum(const double* in, double* out) {
  __shared__ double s[1024];
  const unsigned t = threadIdx.x;
  s[t] = in[blockIdx.x * blockDim.x + t];
  __syncthreads();
  for (unsigned stride = blockDim.x / 2; stride > 0; stride /= 2) {
    if (t < stride) s[t] += s[t + stride];
    __syncthreads();
  }
  if (t == 0) out[blockIdx.x] = s[0];
}

// A 2-D block: every thread writes its slot, then reads its neighbour's.
__global__ void rotateInBlock(int* out) {
  __shared__ int s[8][4];
  const unsigned x = threadIdx.x, y = threadIdx.y;
  s[x][y] = static_cast<int>(100 * blockIdx.x + 10 * y + x);
  __syncthreads();
  const int neighbour = s[(x + 1) % blockDim.x][y];
  __syncthreads();
  s[x][y] = neighbour;
  __syncthreads();
  out[(blockIdx.x * blockDim.y + y) * blockDim.x + x] = s[x][y];
}

// Each thread keeps a large local array live across barriers: every fiber
// needs a stack of its own.
__global__ void privateStacks(int* out) {
  volatile int local[16 * 1024];
  for (int i = 0; i < 16 * 1024; ++i) local[i] = static_cast<int>(threadIdx.x) + i;
  __syncthreads();
  __syncthreads();
  long long sum = 0;
  for (int i = 0; i < 16 * 1024; ++i) sum += local[i] - i;
  out[threadIdx.x] = static_cast<int>(sum / (16 * 1024));
}

// Recursion far deeper than a thread's stack.
__device__ int deepen(int depth) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(depth);
  return depth == 0 ? frame[0] : deepen(depth - 1) + frame[0];
}
__global__ void overflowStack(int* out) { out[threadIdx.x] = deepen(100000); }

__global__ void onlyThreadZeroWaits(int* out) {
  if (threadIdx.x == 0) __syncthreads();
  out[threadIdx.x] = 1;
}
__global__ void onlyALaterThreadWaits(int* out) {
  if (threadIdx.x == 5) __syncthreads();
  out[threadIdx.x] = 1;
}
__global__ void threadZeroWaitsTwice(int* out) {
  __syncthreads();
  if (threadIdx.x == 0) __syncthreads();
  out[threadIdx.x] = 1;
}
__global__ void laterThreadWaitsTwice(int* out) {
  __syncthreads();
  if (threadIdx.x == 3) __syncthreads();
  out[threadIdx.x] = 1;
}

std::vector<double> sumBlocks(const std::vector<double>& values, unsigned blockSize) {
  const unsigned blocks = static_cast<unsigned>(values.size()) / blockSize;
  double* in = nullptr;
  double* out = nullptr;
  EXPECT_EQ(cudaMalloc(&in, values.size() * sizeof(double)), cudaSuccess);
  EXPECT_EQ(cudaMalloc(&out, blocks * sizeof(double)), cudaSuccess);
  EXPECT_EQ(cudaMemcpy(in, values.data(), values.size() * sizeof(double), cudaMemcpyHostToDevice), cudaSuccess);
  launch(blockSum, dim3(blocks), dim3(blockSize), in, out);
  std::vector<double> sums(blocks);
  EXPECT_EQ(cudaMemcpy(sums.data(), out, blocks * sizeof(double), cudaMemcpyDeviceToHost), cudaSuccess);
  cudaFree(in);
  cudaFree(out);
  return sums;
}

int* deviceInts(int n) {
  int* d = nullptr;
  EXPECT_EQ(cudaMalloc(&d, n * sizeof(int)), cudaSuccess);
  return d;
}

}  // namespace

TEST(Barrier, ThirtyTwoThreadTreeReductionGivesTheExactSum) {
  std::vector<double> v(32);
  for (int i = 0; i < 32; ++i) v[i] = 0.5 * (i + 1);  // exact in binary: sum 264
  EXPECT_EQ(sumBlocks(v, 32), std::vector<double>{264.0});
}

TEST(Barrier, ManyBlocksOnSeveralOpenMPThreadsEachReduceTheirOwnSlice) {
  const int saved = omp_get_max_threads();
  omp_set_num_threads(4);
  const unsigned blocks = 200, size = 64;
  std::vector<double> v(blocks * size);
  for (unsigned i = 0; i < v.size(); ++i) v[i] = static_cast<double>(i % 97);
  const std::vector<double> sums = sumBlocks(v, size);
  for (unsigned b = 0; b < blocks; ++b) {
    double expect = 0;
    for (unsigned i = 0; i < size; ++i) expect += v[b * size + i];
    EXPECT_EQ(sums[b], expect) << "block " << b;
  }
  omp_set_num_threads(saved);
}

TEST(Barrier, AFullBlockOf1024ThreadsSynchronises) {
  std::vector<double> v(2048, 1.0);
  EXPECT_EQ(sumBlocks(v, 1024), (std::vector<double>{1024.0, 1024.0}));
}

TEST(Barrier, TwoDimensionalBlocksSeeEachOthersSharedWrites) {
  int* out = deviceInts(3 * 32);
  launch(rotateInBlock, dim3(3), dim3(8, 4), out);
  std::vector<int> h(3 * 32);
  ASSERT_EQ(cudaMemcpy(h.data(), out, h.size() * sizeof(int), cudaMemcpyDeviceToHost), cudaSuccess);
  for (int b = 0; b < 3; ++b)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 8; ++x)
        EXPECT_EQ(h[(b * 4 + y) * 8 + x], 100 * b + 10 * y + (x + 1) % 8);
  cudaFree(out);
}

TEST(Barrier, EveryThreadKeepsItsOwnStackAcrossBarriers) {
  int* out = deviceInts(32);
  launch(privateStacks, dim3(2), dim3(32), out);
  std::vector<int> h(32);
  ASSERT_EQ(cudaMemcpy(h.data(), out, h.size() * sizeof(int), cudaMemcpyDeviceToHost), cudaSuccess);
  for (int t = 0; t < 32; ++t) EXPECT_EQ(h[t], t);
  cudaFree(out);
}

TEST(BarrierDeathTest, ABarrierReachedByOnlySomeThreadsStopsTheRun) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  int* out = deviceInts(32);
  EXPECT_DEATH(launch(onlyThreadZeroWaits, dim3(1), dim3(32), out),
               "divergent __syncthreads in block \\(0,0,0\\).*thread \\(1,0,0\\) finished");
  EXPECT_DEATH(launch(onlyALaterThreadWaits, dim3(2), dim3(32), out),
               "divergent __syncthreads in block \\(0,0,0\\): thread \\(5,0,0\\) reached");
  EXPECT_DEATH(launch(threadZeroWaitsTwice, dim3(1), dim3(32), out), "at barrier 2 thread \\(1,0,0\\) finished");
  EXPECT_DEATH(launch(laterThreadWaitsTwice, dim3(1), dim3(32), out),
               "at barrier 2 thread \\(3,0,0\\) waits at a __syncthreads while thread \\(0,0,0\\) finished");
  EXPECT_DEATH(__syncthreads(), "__syncthreads called outside a kernel");
  cudaFree(out);
}

TEST(BarrierDeathTest, AStackOverflowHitsTheGuardPageInsteadOfOtherMemory) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  int* out = deviceInts(32);
  EXPECT_DEATH(launch(overflowStack, dim3(1), dim3(32), out), "");
  cudaFree(out);
}
