// The memory floor of this machine: the triad a[i] = b[i] + s c[i] over
// arrays far larger than the caches, run as a kernel on the threads that
// run every kernel (1, 2, 4 ... threads up to all cores, and all cores with
// one core kept busy), in GB/s (10^9 bytes per second, 24 bytes an item:
// two read, one written, as the usual triad counts them).  A benchmark that
// moves B bytes per unit of its figure cannot take less than B over this
// rate: bench/run_all.sh prints that floor beside each figure.
//
//   bench_triad [megabytes per array=256] [repeats=5] [threads=all cores]
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "bench/benchCycle.h"
#include "bench/benchOptions.h"
#include "bench/benchTable.h"
#include "platform/gpuRuntime.h"

namespace {

// Each thread over its own consecutive stretch of the arrays: the threads of
// a block run one after the other in the host build, and a stride of the
// grid's width between one thread's items would make every item a new line.
__device__ inline void stretchOf(long long n, long long& begin, long long& end) {
  const long long threads = 1LL * blockDim.x * gridDim.x;
  const long long t = 1LL * blockIdx.x * blockDim.x + threadIdx.x;
  const long long each = (n + threads - 1) / threads;
  begin = t * each < n ? t * each : n;
  end = begin + each < n ? begin + each : n;
}

__global__ void Triad(long long n, double* a, const double* b, const double* c, double s) {
  long long begin = 0, end = 0;
  stretchOf(n, begin, end);
  for (long long i = begin; i < end; ++i) a[i] = b[i] + s * c[i];
}

__global__ void Fill(long long n, double* a, double* b, double* c) {
  long long begin = 0, end = 0;
  stretchOf(n, begin, end);
  for (long long i = begin; i < end; ++i) {
    a[i] = 0.0;
    b[i] = 1.0;
    c[i] = 2.0;
  }
}

struct Arrays {
  long long n = 0;
  double *a = nullptr, *b = nullptr, *c = nullptr;
  // Blocks of 256 threads, each over a long stretch of the arrays.
  dim3 grid() const { return dim3(static_cast<unsigned>(std::min<long long>(4096, (n + 255) / 256))); }
};

// Best GB/s of `repeats` triads on `threads` threads.
double triadRate(const Arrays& x, int threads, int repeats) {
  omp_set_num_threads(threads);
  launch(Triad, x.grid(), dim3(256), x.n, x.a, static_cast<const double*>(x.b), static_cast<const double*>(x.c), 3.0);
  double best = 1e30;
  for (int r = 0; r < repeats; ++r) {
    const auto start = bench::Clock::now();
    launch(Triad, x.grid(), dim3(256), x.n, x.a, static_cast<const double*>(x.b), static_cast<const double*>(x.c), 3.0);
    CUDA_CHECK(cudaDeviceSynchronize());
    best = std::min(best, bench::seconds(start, bench::Clock::now()));
  }
  return 24.0 * static_cast<double>(x.n) / best / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  const bench::Options args(argc, argv);
  const int megabytes = args.number(1, 256);
  const int repeats = args.number(2, 5);
  const int cores = args.threads(3);
  if (megabytes < 1 || repeats < 1 || cores < 1) {
    std::fprintf(stderr, "usage: bench_triad [megabytes per array >= 1] [repeats >= 1] [threads >= 1]\n");
    return 1;
  }
  Arrays x;
  x.n = 1LL * megabytes * (1 << 20) / static_cast<long long>(sizeof(double));
  const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(x.n);
  CUDA_CHECK(cudaMalloc(&x.a, bytes));
  CUDA_CHECK(cudaMalloc(&x.b, bytes));
  CUDA_CHECK(cudaMalloc(&x.c, bytes));
  omp_set_num_threads(cores);
  launch(Fill, x.grid(), dim3(256), x.n, x.a, x.b, x.c);
  CUDA_CHECK(cudaDeviceSynchronize());
  std::printf("triad over three arrays of %d MB, best of %d\n", megabytes, repeats);
  bench::TableRow row("memory floor: triad GB/s", "%.1f");
  for (int threads = 1;; threads = std::min(2 * threads, cores)) {
    const double rate = triadRate(x, threads, repeats);
    std::printf("idle     %2d threads: %.1f GB/s\n", threads, rate);
    row.add(rate);
    if (threads == cores) break;
  }
  {
    bench::CoreLoad load;
    const double rate = triadRate(x, cores, repeats);
    std::printf("1 loaded %2d threads: %.1f GB/s\n", cores, rate);
    row.add(rate);
  }
  row.printFloor();
  for (double* p : {x.a, x.b, x.c}) CUDA_CHECK(cudaFree(p));
  return 0;
}
