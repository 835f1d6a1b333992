// Cost of kernel launches: nanoseconds per emulated thread for a trivial
// kernel on one core and on all cores, the fixed cost of one launch that is
// shared out over the worker team (a small grid, as the node and step passes
// of a small model launch several times a cycle), and the cost of a
// 32-thread block that synchronises with barriers, written with __syncthreads
// (fibers in the host build) and as phases (loops over the threads), and a
// launch the size of a contact kernel's (1,536 threads of about 0.2 us each)
// run back to back: its best and median time on one core and on all, against
// the share of one thread of the team.  Prints its figures; asserts nothing.
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/benchOptions.h"
#include "platform/blockReduce.h"
#include "platform/gpuRuntime.h"

namespace {

__global__ void trivial(int n, int* out) {
  int i = ((blockDim.y * blockIdx.y + threadIdx.y) * gridDim.x + blockIdx.x) * blockDim.x + threadIdx.x;
  if (i < n) out[i] = i;
}

// About 0.2 us of arithmetic per thread (a chain of dependent multiply-adds).
__global__ void chain(int n, int steps, double* out) {
  const int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i >= n) return;
  double x = i;
  for (int s = 0; s < steps; ++s) x = x * 0.999999 + 1.0;
  out[i] = x;
}

// Six barriers, as a shared-memory tree reduction over 32 slots has.
__global__ void reduce32(const double* in, double* out) {
  __shared__ double s[32];
  const unsigned t = threadIdx.x;
  s[t] = in[blockIdx.x * 32 + t];
  __syncthreads();
  for (unsigned stride = 16; stride > 0; stride /= 2) {
    if (t < stride) s[t] = s[t] < s[t + stride] ? s[t] : s[t + stride];
    __syncthreads();
  }
  if (t == 0) out[blockIdx.x] = s[0];
}

// The same reduction as phases.
__global__ void reduce32Phased(const double* in, double* out) {
  __shared__ double s[32];
  blockTreeReduce([&](unsigned t) { s[t] = in[blockIdx.x * 32 + t]; },
                  [&](unsigned t, unsigned u) { s[t] = s[t] < s[u] ? s[t] : s[u]; }, [&] { out[blockIdx.x] = s[0]; });
}

double secondsOf(void (*body)(void*), void* arg, int repeats) {
  body(arg);  // warm up: stacks, pages, OpenMP team
  cudaDeviceSynchronize();
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < repeats; ++r) body(arg);
  cudaDeviceSynchronize();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repeats;
}

struct Trivial {
  int n;
  int* out;
  unsigned block = 128;
};
void runTrivial(void* a) {
  auto* t = static_cast<Trivial*>(a);
  launch(trivial, dim3(t->n / t->block), dim3(t->block), t->n, t->out);
}

// A grid just large enough to be shared out over the team.
struct Small {
  int* out;
};
void runSmall(void* a) {
  auto* t = static_cast<Small*>(a);
  for (int k = 0; k < 1000; ++k) launch(trivial, dim3(64), dim3(32), 64 * 32, t->out);
}

// A contact-sized launch timed one by one: the best and the median of
// `repeats` launches, in seconds.
struct Timed {
  double best = 0.0, median = 0.0;
};
Timed timeChain(double* out, int repeats) {
  constexpr int kThreads = 1536, kSteps = 128;
  std::vector<double> times;
  for (int r = -repeats / 10; r < repeats; ++r) {  // the first launches plan the later ones
    const auto start = std::chrono::steady_clock::now();
    launch(chain, dim3(kThreads / 128), dim3(128), kThreads, kSteps, out);
    const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (r >= 0) times.push_back(t);
  }
  std::sort(times.begin(), times.end());
  return Timed{times.front(), times[times.size() / 2]};
}

struct Reduce {
  int blocks;
  double* in;
  double* out;
  bool phased = false;
};
void runReduce(void* a) {
  auto* r = static_cast<Reduce*>(a);
  launch(r->phased ? reduce32Phased : reduce32, dim3(r->blocks), dim3(32), r->in, r->out);
}

bool ok(cudaError_t e, const char* what) {
  if (e == cudaSuccess) return true;
  std::printf("%s failed: %s (no usable device?)\n", what, cudaGetErrorName(e));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Smaller sizes for runs under valgrind: bench_launch [log2 of the trivial
  // kernel's threads = 24] [blocks of the barrier kernel = 4096]
  const bench::Options args(argc, argv);
  const int log2Threads = args.number(1, 24);
  const int reduceBlocks = args.number(2, 4096);
  if (log2Threads < 12 || log2Threads > 28 || reduceBlocks < 1) {
    std::fprintf(stderr, "usage: bench_launch [log2 threads 12..28] [barrier blocks >= 1]\n");
    return 1;
  }
  const int cores = omp_get_max_threads();
  Trivial t{1 << log2Threads, nullptr};
  if (!ok(cudaMalloc(&t.out, t.n * sizeof(int)), "cudaMalloc")) return 0;

  omp_set_num_threads(1);
  const double one = secondsOf(runTrivial, &t, 3);
  omp_set_num_threads(cores);
  const double all = secondsOf(runTrivial, &t, 5);
  if (!ok(cudaGetLastError(), "trivial kernel")) return 0;
  std::printf("trivial kernel, %d threads: %.3f ns per thread on 1 core, %.3f ns on %d cores\n", t.n, 1e9 * one / t.n,
              1e9 * all / t.n, cores);
  // Blocks of 32 threads: the fixed cost of a block weighs four times more.
  t.block = 32;
  omp_set_num_threads(1);
  const double one32 = secondsOf(runTrivial, &t, 3);
  std::printf("the same in blocks of 32 threads: %.3f ns per thread on 1 core\n", 1e9 * one32 / t.n);
  t.block = 128;

  Small small{t.out};
  omp_set_num_threads(1);
  const double small1 = secondsOf(runSmall, &small, 5) / 1000;
  omp_set_num_threads(cores);
  const double smallAll = secondsOf(runSmall, &small, 5) / 1000;
  std::printf("launch of 64 blocks of 32 threads: %.2f us on 1 core, %.2f us on %d cores\n", 1e6 * small1,
              1e6 * smallAll, cores);

  double* chainOut = nullptr;
  if (!ok(cudaMalloc(&chainOut, 1536 * sizeof(double)), "cudaMalloc")) return 0;
  omp_set_num_threads(1);
  const Timed chain1 = timeChain(chainOut, 500);
  omp_set_num_threads(cores);
  const Timed chainAll = timeChain(chainOut, 5000);
  std::printf(
      "contact-sized launch (1536 threads of about 0.2 us): best %.1f us, median %.1f on 1 core; best %.1f us "
      "(%.1fx), median %.1f (%.1fx) on %d cores, where an even share would take %.1f us\n",
      1e6 * chain1.best, 1e6 * chain1.median, 1e6 * chainAll.best, chain1.best / chainAll.best, 1e6 * chainAll.median,
      chain1.median / chainAll.median, cores, 1e6 * chain1.best / cores);
  cudaFree(chainOut);

  Reduce r{reduceBlocks, nullptr, nullptr};
  if (!ok(cudaMalloc(&r.in, r.blocks * 32 * sizeof(double)), "cudaMalloc") ||
      !ok(cudaMalloc(&r.out, r.blocks * sizeof(double)), "cudaMalloc"))
    return 0;
  cudaMemset(r.in, 0, r.blocks * 32 * sizeof(double));
  for (bool phased : {false, true}) {
    r.phased = phased;
    omp_set_num_threads(1);
    const double red1 = secondsOf(runReduce, &r, 5);
    omp_set_num_threads(cores);
    const double redAll = secondsOf(runReduce, &r, 5);
    if (!ok(cudaGetLastError(), "reduction kernel")) return 0;
    std::printf("32-thread block with 6 barriers, %s: %.2f us per block on 1 core, %.2f us on %d cores\n",
                phased ? "phases" : "__syncthreads", 1e6 * red1 / r.blocks, 1e6 * redAll / r.blocks, cores);
  }

  cudaFree(t.out);
  cudaFree(r.in);
  cudaFree(r.out);
  return 0;
}
