// __syncthreads in the emulation: blocks that use it run as cooperative
// fibers; a barrier that not every thread of a block reaches stops the run.
// Blocks written as phases (blockPhases) run as loops over their threads.
#include <gtest/gtest.h>
#include <omp.h>

#include <vector>

#include "platform/blockReduce.h"
#include "platform/gpuRuntime.h"
#include "platform/host/hostControl.h"

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

__global__ void phasedBlockSum(const double* in, double* out);

// Per-block sums of `values` by `kernel` (blocks of blockSize threads).
std::vector<double> sumBlocks(const std::vector<double>& values, unsigned blockSize,
                              void (*kernel)(const double*, double*) = blockSum) {
  const unsigned blocks = static_cast<unsigned>(values.size()) / blockSize;
  double* in = nullptr;
  double* out = nullptr;
  EXPECT_EQ(cudaMalloc(&in, values.size() * sizeof(double)), cudaSuccess);
  EXPECT_EQ(cudaMalloc(&out, blocks * sizeof(double)), cudaSuccess);
  EXPECT_EQ(cudaMemcpy(in, values.data(), values.size() * sizeof(double), cudaMemcpyHostToDevice), cudaSuccess);
  launch(kernel, dim3(blocks), dim3(blockSize), in, out);
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
      for (int x = 0; x < 8; ++x) EXPECT_EQ(h[(b * 4 + y) * 8 + x], 100 * b + 10 * y + (x + 1) % 8);
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

// ---- blocks in phases ------------------------------------------------------

namespace {

// The tree reduction of blockSum written as phases.
__global__ void phasedBlockSum(const double* in, double* out) {
  __shared__ double s[1024];
  blockTreeReduce([&](unsigned t) { s[t] = in[blockIdx.x * blockDim.x + t]; },
                  [&](unsigned t, unsigned u) { s[t] += s[u]; }, [&] { out[blockIdx.x] = s[0]; });
}

// rotateInBlock in phases: the neighbour's value is carried in the thread's
// own state from one phase to the next.
__global__ void phasedRotateInBlock(int* out) {
  __shared__ int s[8][4];
  struct Mine {
    int neighbour;
  };
  blockPhases<Mine>(3, [&](int phase, Mine& mine) {
    const unsigned x = threadIdx.x, y = threadIdx.y;
    if (phase == 0) s[x][y] = static_cast<int>(100 * blockIdx.x + 10 * y + x);
    if (phase == 1) mine.neighbour = s[(x + 1) % blockDim.x][y];
    if (phase == 2) out[(blockIdx.x * blockDim.y + y) * blockDim.x + x] = mine.neighbour;
  });
}

// Odd blocks leave before their phases; each thread's state starts at zero.
__global__ void phasesInEvenBlocks(int* out) {
  if (blockIdx.x % 2 == 1) {
    out[blockIdx.x * blockDim.x + threadIdx.x] = -1;
    return;
  }
  struct Count {
    int seen;
  };
  blockPhases<Count>(4, [&](int, Count& c) {
    ++c.seen;
    out[blockIdx.x * blockDim.x + threadIdx.x] = c.seen;
  });
}

// A barrier before the phases: the block runs as fibers and each thread runs
// its own phases with barriers between them.
__global__ void barrierThenPhases(int* out) {
  __shared__ int s[32];
  s[threadIdx.x] = static_cast<int>(threadIdx.x);
  __syncthreads();
  struct Mine {
    int v;
  };
  blockPhases<Mine>(2, [&](int phase, Mine& mine) {
    if (phase == 0) mine.v = s[(threadIdx.x + 1) % 32];
    if (phase == 1) out[threadIdx.x] = mine.v;
  });
}

__global__ void phasesOnlyInALaterThread(int* out) {
  if (threadIdx.x != 3) return;
  struct None {};
  blockPhases<None>(2, [&](int, None&) { out[threadIdx.x] = 1; });
}

__global__ void barrierInsideAPhase(int* out) {
  struct None {};
  blockPhases<None>(2, [&](int, None&) {
    __syncthreads();
    out[threadIdx.x] = 1;
  });
}

std::vector<int> copyBack(const int* d, int n) {
  std::vector<int> h(n);
  EXPECT_EQ(cudaMemcpy(h.data(), d, n * sizeof(int), cudaMemcpyDeviceToHost), cudaSuccess);
  return h;
}

}  // namespace

TEST(BlockPhases, TreeReductionsGiveTheBarrierResultsBitForBitWithoutFibers) {
  const int saved = omp_get_max_threads();
  const unsigned long long fibersBefore = gpu_host::cooperativeBlockCount();
  // Values whose sum depends on the order of the additions.
  std::vector<double> v(200 * 64);
  for (unsigned i = 0; i < v.size(); ++i) v[i] = 1.0 / (1.0 + i % 97) + (i % 3 == 0 ? 1e8 : 0.0);
  for (int threads : {1, 4}) {
    omp_set_num_threads(threads);
    for (unsigned size : {32u, 64u, 1024u, 48u}) {
      std::vector<double> w(v.begin(), v.begin() + (v.size() / size) * size);
      EXPECT_EQ(sumBlocks(w, size, phasedBlockSum), sumBlocks(w, size)) << size << " threads per block, " << threads;
    }
  }
  omp_set_num_threads(saved);
  // Only the reference kernel with __syncthreads ran as fibers: one per block.
  EXPECT_EQ(gpu_host::cooperativeBlockCount() - fibersBefore, 2u * (400 + 200 + 12 + 266));
}

TEST(BlockPhases, EachThreadCarriesItsOwnStateFromPhaseToPhase) {
  int* out = deviceInts(3 * 32);
  launch(phasedRotateInBlock, dim3(3), dim3(8, 4), out);
  const std::vector<int> h = copyBack(out, 3 * 32);
  for (int b = 0; b < 3; ++b)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 8; ++x) EXPECT_EQ(h[(b * 4 + y) * 8 + x], 100 * b + 10 * y + (x + 1) % 8);
  cudaFree(out);
}

TEST(BlockPhases, BlocksThatLeaveBeforeThePhasesRunEveryThreadAsAPlainCall) {
  const int saved = omp_get_max_threads();
  omp_set_num_threads(4);
  const int blocks = 64, size = 32;
  int* out = deviceInts(blocks * size);
  launch(phasesInEvenBlocks, dim3(blocks), dim3(size), out);
  const std::vector<int> h = copyBack(out, blocks * size);
  for (int b = 0; b < blocks; ++b)
    for (int t = 0; t < size; ++t) ASSERT_EQ(h[b * size + t], b % 2 == 1 ? -1 : 4) << b << " " << t;
  omp_set_num_threads(saved);
  cudaFree(out);
}

TEST(BlockPhases, AfterABarrierOutsideThemThePhasesRunOnFibers) {
  int* out = deviceInts(32);
  launch(barrierThenPhases, dim3(2), dim3(32), out);
  const std::vector<int> h = copyBack(out, 32);
  for (int t = 0; t < 32; ++t) EXPECT_EQ(h[t], (t + 1) % 32);
  cudaFree(out);
}

TEST(BlockPhasesDeathTest, PhasesReachedByOnlySomeThreadsOrABarrierInsideAPhaseStopTheRun) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  int* out = deviceInts(32);
  EXPECT_DEATH(launch(phasesOnlyInALaterThread, dim3(1), dim3(32), out),
               "divergent blockPhases in block \\(0,0,0\\): thread \\(3,0,0\\) reached the phases");
  EXPECT_DEATH(launch(barrierInsideAPhase, dim3(1), dim3(32), out), "__syncthreads called inside a phase");
  struct None {};
  EXPECT_DEATH(blockPhases<None>(1, [](int, None&) {}), "blockPhases called outside a kernel");
  cudaFree(out);
}
