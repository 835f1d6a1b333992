// The emulated launch runs every thread of a grid exactly once, with the
// built-in indices a GPU would give it.
#include <gtest/gtest.h>
#include <omp.h>

#include <array>
#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/gpuRuntime.h"
#include "platform/host/hostControl.h"

namespace {

__global__ void countLinear(int n, int* hits) {
  int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i < n) atomicAdd(&hits[i], 1);
}

// Records, per global (x, y, z) position, how often it ran and checks the
// built-in shapes it saw.
__global__ void countCells(dim3 grid, dim3 block, int* hits, int* badShape) {
  if (gridDim.x != grid.x || gridDim.y != grid.y || gridDim.z != grid.z || blockDim.x != block.x ||
      blockDim.y != block.y || blockDim.z != block.z || threadIdx.x >= blockDim.x || threadIdx.y >= blockDim.y ||
      threadIdx.z >= blockDim.z || blockIdx.x >= gridDim.x || blockIdx.y >= gridDim.y || blockIdx.z >= gridDim.z)
    atomicAdd(badShape, 1);
  const int x = blockIdx.x * blockDim.x + threadIdx.x;
  const int y = blockIdx.y * blockDim.y + threadIdx.y;
  const int z = blockIdx.z * blockDim.z + threadIdx.z;
  const int nx = gridDim.x * blockDim.x, ny = gridDim.y * blockDim.y;
  atomicAdd(&hits[(z * ny + y) * nx + x], 1);
}

// The grid-stride loop of the node kernels: a 2-D grid of 2-D blocks walks
// over n items.
__global__ void gridStride(int n, int* hits) {
  int i = ((blockDim.y * blockIdx.y + threadIdx.y) * gridDim.x + blockIdx.x) * blockDim.x + threadIdx.x;
  while (i < n) {
    atomicAdd(&hits[i], 1);
    i += blockDim.x * blockDim.y * gridDim.x * gridDim.y;
  }
}

// The OS thread that launches the kernels of a test, and whether the first
// emulated thread it runs other than a thread 0 (which may have to show the
// other OS threads how its block runs first) waits, at most two seconds,
// until another OS thread ran one.
std::thread::id g_launcher;
bool g_awaitWorker = false;

__device__ void recordOsThreadOf(int* onCaller, int* elsewhere) {
  if (std::this_thread::get_id() != g_launcher) {
    atomicAdd(elsewhere, 1);
    return;
  }
  atomicAdd(onCaller, 1);
  if (!g_awaitWorker || threadIdx.x == 0) return;
  g_awaitWorker = false;  // only the launching thread reads and writes it
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (__atomic_load_n(elsewhere, __ATOMIC_ACQUIRE) == 0 && std::chrono::steady_clock::now() < end)
    std::this_thread::yield();
}
// Two kernels: a launch's threads follow what the kernel's launches cost,
// here the work the test gives each kernel's threads.
__global__ void recordOsThread(int* onCaller, int* elsewhere) { recordOsThreadOf(onCaller, elsewhere); }
__global__ void recordOsThreadWorking(int* onCaller, int* elsewhere) { recordOsThreadOf(onCaller, elsewhere); }

struct Payload {
  double3 v;
  int k;
};
__global__ void byValue(Payload p, double3 w, double* out) {
  if (threadIdx.x == 0) out[0] = p.v.x + p.v.y + p.v.z + w.x + w.y + w.z + p.k;
}

std::vector<int> runCounting(dim3 grid, dim3 block, int cells) {
  int* hits = nullptr;
  int* bad = nullptr;
  EXPECT_EQ(cudaMalloc(&hits, cells * sizeof(int)), cudaSuccess);
  EXPECT_EQ(cudaMalloc(&bad, sizeof(int)), cudaSuccess);
  EXPECT_EQ(cudaMemset(hits, 0, cells * sizeof(int)), cudaSuccess);
  EXPECT_EQ(cudaMemset(bad, 0, sizeof(int)), cudaSuccess);
  launch(countCells, grid, block, grid, block, hits, bad);
  std::vector<int> h(cells);
  int badShape = -1;
  EXPECT_EQ(cudaMemcpy(h.data(), hits, cells * sizeof(int), cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(cudaMemcpy(&badShape, bad, sizeof(int), cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(badShape, 0);
  cudaFree(hits);
  cudaFree(bad);
  return h;
}

int countOf(const std::vector<int>& v, int value) {
  int c = 0;
  for (int x : v) c += x == value;
  return c;
}

std::vector<int> gridStrideHits(int n, dim3 grid, dim3 block) {
  int* hits = nullptr;
  EXPECT_EQ(cudaMalloc(&hits, (n + 1) * sizeof(int)), cudaSuccess);
  EXPECT_EQ(cudaMemset(hits, 0, (n + 1) * sizeof(int)), cudaSuccess);
  launch(gridStride, grid, block, n, hits);
  std::vector<int> h(n + 1);
  EXPECT_EQ(cudaMemcpy(h.data(), hits, (n + 1) * sizeof(int), cudaMemcpyDeviceToHost), cudaSuccess);
  cudaFree(hits);
  return h;
}

class LaunchTest : public ::testing::Test {
 protected:
  void TearDown() override {
    cudaDeviceReset();
    gpu_host::clearInjectedFailures();
  }
};

}  // namespace

TEST_F(LaunchTest, OneDimensionalGridsRunEveryThreadOnce) {
  for (int n : {1, 31, 32, 33, 1000, 5000}) {
    int* hits = nullptr;
    ASSERT_EQ(cudaMalloc(&hits, n * sizeof(int)), cudaSuccess);
    ASSERT_EQ(cudaMemset(hits, 0, n * sizeof(int)), cudaSuccess);
    launch(countLinear, dim3((n + 31) / 32), dim3(32), n, hits);
    std::vector<int> h(n);
    ASSERT_EQ(cudaMemcpy(h.data(), hits, n * sizeof(int), cudaMemcpyDeviceToHost), cudaSuccess);
    EXPECT_EQ(countOf(h, 1), n) << "n = " << n;
    cudaFree(hits);
  }
}

TEST_F(LaunchTest, TwoAndThreeDimensionalGridsRunEveryThreadOnceWithTheirShapes) {
  const dim3 grid2(7, 3), block2(5, 5);
  const int cells2 = 7 * 5 * 3 * 5;
  EXPECT_EQ(countOf(runCounting(grid2, block2, cells2), 1), cells2);
  const dim3 grid3(3, 2, 4), block3(4, 3, 2);
  const int cells3 = 3 * 4 * 2 * 3 * 4 * 2;
  EXPECT_EQ(countOf(runCounting(grid3, block3, cells3), 1), cells3);
}

TEST_F(LaunchTest, GridStrideLoopOverFiveByFiveBlocksCoversEveryItemOnce) {
  // n/32+1 blocks of 5x5 threads: fewer threads than items, so the loop must
  // stride; and a second shape with a 2-D grid.
  for (int n : {1, 24, 25, 26, 32, 1000, 4097}) {
    std::vector<int> h = gridStrideHits(n, dim3(n / 32 + 1), dim3(5, 5));
    EXPECT_EQ(countOf(h, 1), n) << "n = " << n;
    EXPECT_EQ(h[n], 0) << "item past the end touched, n = " << n;
    h = gridStrideHits(n, dim3(3, 2), dim3(5, 5));
    EXPECT_EQ(countOf(h, 1), n) << "2-D grid, n = " << n;
  }
}

TEST_F(LaunchTest, LargeGridsOnSeveralOpenMPThreadsRunEveryThreadOnce) {
  const int saved = omp_get_max_threads();
  omp_set_num_threads(4);
  const int n = 200000;
  std::vector<int> h = gridStrideHits(n, dim3(400, 3), dim3(8, 4));
  EXPECT_EQ(countOf(h, 1), n);
  const dim3 grid(64, 8), block(16, 2);
  const int cells = 64 * 16 * 8 * 2;
  EXPECT_EQ(countOf(runCounting(grid, block, cells), 1), cells);
  // Fewer blocks than threads can share well: the blocks are cut into slices
  // of threads (here across rows and layers of 3-D blocks).
  const dim3 fewGrid(3, 2), bigBlock(16, 8, 2);
  const int fewCells = 3 * 16 * 2 * 8 * 2;
  EXPECT_EQ(countOf(runCounting(fewGrid, bigBlock, fewCells), 1), fewCells);
  h = gridStrideHits(n, dim3(5), dim3(1000));
  EXPECT_EQ(countOf(h, 1), n);
  omp_set_num_threads(saved);
}

namespace {
// Emulated threads of a launch of `kernel` (recordOsThread or its working
// twin) run on the launching OS thread ([0]) and on others ([1]);
// `awaitWorker` as g_awaitWorker.
std::array<int, 2> osThreadsOf(void (*kernel)(int*, int*), dim3 grid, dim3 block, bool awaitWorker) {
  int* counts = nullptr;
  EXPECT_EQ(cudaMalloc(&counts, 2 * sizeof(int)), cudaSuccess);
  EXPECT_EQ(cudaMemset(counts, 0, 2 * sizeof(int)), cudaSuccess);
  g_launcher = std::this_thread::get_id();
  g_awaitWorker = awaitWorker;
  launch(kernel, grid, block, counts, counts + 1);
  g_awaitWorker = false;
  std::array<int, 2> h{};
  EXPECT_EQ(cudaMemcpy(h.data(), counts, sizeof h, cudaMemcpyDeviceToHost), cudaSuccess);
  cudaFree(counts);
  return h;
}
}  // namespace

TEST_F(LaunchTest, LaunchesSpreadOverAsManyThreadsAsTheirWorkKeepsBusy) {
  const int saved = omp_get_max_threads();
  omp_set_num_threads(4);
  // A few microseconds of work (64 threads of 50 ns) stay on the calling
  // thread, launch after launch.
  gpu_host::fixLaunchWork(recordOsThread, 50.0);
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(osThreadsOf(recordOsThread, dim3(2), dim3(32), false), (std::array<int, 2>{64, 0})) << k;
  // Threads that work 20 us each are shared with the worker team: the
  // launching thread takes part and waits in its first thread until a
  // worker has run one.  A launch of many threads goes wide at once, before
  // its kernel's work is known; one of a single block of 64 once it is.
  for (const unsigned blocks : {64u, 1u}) {
    if (blocks == 1) gpu_host::fixLaunchWork(recordOsThreadWorking, 20000.0);
    const unsigned size = blocks == 1 ? 64 : 32;
    const std::array<int, 2> h = osThreadsOf(recordOsThreadWorking, dim3(blocks), dim3(size), true);
    EXPECT_EQ(h[0] + h[1], static_cast<int>(blocks * size)) << blocks << " blocks";
    EXPECT_GT(h[1], 0) << blocks << " blocks";
  }
  gpu_host::fixLaunchWork(recordOsThread, -1.0);
  gpu_host::fixLaunchWork(recordOsThreadWorking, -1.0);
  omp_set_num_threads(saved);
}

TEST_F(LaunchTest, EmptyGridsRunNothing) {
  std::vector<int> h = gridStrideHits(10, dim3(0), dim3(32));
  EXPECT_EQ(countOf(h, 0), 11);
  h = gridStrideHits(10, dim3(4, 0), dim3(32));
  EXPECT_EQ(countOf(h, 0), 11);
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
}

TEST_F(LaunchTest, ArgumentsArePassedByValue) {
  double* out = nullptr;
  ASSERT_EQ(cudaMalloc(&out, sizeof(double)), cudaSuccess);
  Payload p{make_double3(1, 2, 3), 4};
  launch(byValue, dim3(1), dim3(8), p, make_double3(10, 20, 30), out);
  double h = 0;
  ASSERT_EQ(cudaMemcpy(&h, out, sizeof(double), cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(h, 70.0);
  cudaFree(out);
}

TEST_F(LaunchTest, OversizedBlocksAreRefusedLikeOnADevice) {
  std::vector<int> h = gridStrideHits(10, dim3(1), dim3(1025));
  EXPECT_EQ(countOf(h, 0), 11);
  EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidConfiguration);
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
  h = gridStrideHits(10, dim3(1), dim3(1, 1, 65));
  EXPECT_EQ(countOf(h, 0), 11);
  EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidConfiguration);
}

TEST_F(LaunchTest, AFailedKernelStaysPendingUntilTheDeviceIsReset) {
  int* hits = nullptr;
  ASSERT_EQ(cudaMalloc(&hits, sizeof(int)), cudaSuccess);
  ASSERT_EQ(cudaMemset(hits, 0, sizeof(int)), cudaSuccess);
  gpu_host::injectFailure(gpu_host::CallKind::Launch, cudaErrorLaunchFailure);
  launch(countLinear, dim3(1), dim3(1), 1, hits);
  int h = -1;
  EXPECT_EQ(cudaMemcpy(&h, hits, sizeof(int), cudaMemcpyDeviceToHost), cudaErrorLaunchFailure);
  EXPECT_EQ(cudaDeviceSynchronize(), cudaErrorLaunchFailure);
  EXPECT_EQ(cudaGetLastError(), cudaErrorLaunchFailure);
  EXPECT_EQ(cudaGetLastError(), cudaErrorLaunchFailure);
  launch(countLinear, dim3(1), dim3(1), 1, hits);  // refused too
  // The emulated kernel runs on the host: a host counter shows that neither
  // launch ran (the device memory does not survive the reset).
  int hostHits = 0;
  launch(countLinear, dim3(1), dim3(1), 1, &hostHits);
  EXPECT_EQ(hostHits, 0) << "a failed launch must not run the kernel";
  ASSERT_EQ(cudaDeviceReset(), cudaSuccess);
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
  launch(countLinear, dim3(1), dim3(1), 1, &hostHits);
  EXPECT_EQ(hostHits, 1) << "after the reset kernels run again";
}

// A reset frees every allocation, as the device's context goes with it: a
// pointer kept across it is refused, like a freed one.
TEST_F(LaunchTest, ResetFreesEveryAllocation) {
  double* d = nullptr;
  double* mapped = nullptr;
  ASSERT_EQ(cudaMalloc(&d, 4 * sizeof(double)), cudaSuccess);
  ASSERT_EQ(cudaHostAlloc(&mapped, sizeof(double), cudaHostAllocMapped), cudaSuccess);
  ASSERT_GE(gpu_host::liveAllocationCount(), 2u);
  ASSERT_EQ(cudaDeviceReset(), cudaSuccess);
  EXPECT_EQ(gpu_host::liveAllocationCount(), 0u);
  double h = 0.0;
  EXPECT_EQ(cudaMemcpy(&h, d, sizeof(double), cudaMemcpyDeviceToHost), cudaErrorInvalidValue);
  EXPECT_EQ(cudaFree(d), cudaErrorInvalidValue);
  cudaGetLastError();
}

namespace {

double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + 1e-9 * t.tv_nsec;
}

__global__ void touchEach(int n, int* hits) {
  const int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i < n) hits[i] += 1;
}

}  // namespace

// Between launches the team's threads wait without holding their cores:
// while the launching thread is away (sleeping here, another program's
// turn on a busy machine), the process uses next to no processor time.
TEST_F(LaunchTest, WaitingThreadsLeaveTheirCoresFree) {
  const int saved = omp_get_max_threads();
  omp_set_num_threads(4);
  const int n = 1 << 14;
  int* hits = nullptr;
  ASSERT_EQ(cudaMalloc(&hits, n * sizeof(int)), cudaSuccess);
  launch(touchEach, dim3(n / 64), dim3(64), n, hits);
  double used = 0.0;  // processor time of the whole process during the gaps
  for (int k = 0; k < 20; ++k) {
    launch(touchEach, dim3(n / 64), dim3(64), n, hits);
    const double before = processCpuSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    used += processCpuSeconds() - before;
  }
  // Three threads spinning through the 100 ms of gaps would use up to 0.3 s.
  EXPECT_LT(used, 0.02);
  cudaFree(hits);
  omp_set_num_threads(saved);
}
