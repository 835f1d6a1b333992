// Cost of kernel launches: nanoseconds per emulated thread for a trivial
// kernel on one core and on all cores, and the cost of a 32-thread block that
// synchronises with barriers.  Prints its figures; asserts nothing.
#include <omp.h>

#include <chrono>
#include <cstdio>

#include "platform/gpu_runtime.h"

namespace {

__global__ void trivial(int n, int* out) {
  int i = ((blockDim.y * blockIdx.y + threadIdx.y) * gridDim.x + blockIdx.x) * blockDim.x + threadIdx.x;
  if (i < n) out[i] = i;
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
};
void runTrivial(void* a) {
  auto* t = static_cast<Trivial*>(a);
  launch(trivial, dim3(t->n / 128), dim3(128), t->n, t->out);
}

struct Reduce {
  int blocks;
  double* in;
  double* out;
};
void runReduce(void* a) {
  auto* r = static_cast<Reduce*>(a);
  launch(reduce32, dim3(r->blocks), dim3(32), r->in, r->out);
}

bool ok(cudaError_t e, const char* what) {
  if (e == cudaSuccess) return true;
  std::printf("%s failed: %s (no usable device?)\n", what, cudaGetErrorName(e));
  return false;
}

}  // namespace

int main() {
  const int cores = omp_get_max_threads();
  Trivial t{1 << 24, nullptr};
  if (!ok(cudaMalloc(&t.out, t.n * sizeof(int)), "cudaMalloc")) return 0;

  omp_set_num_threads(1);
  const double one = secondsOf(runTrivial, &t, 3);
  omp_set_num_threads(cores);
  const double all = secondsOf(runTrivial, &t, 5);
  if (!ok(cudaGetLastError(), "trivial kernel")) return 0;
  std::printf("trivial kernel, %d threads: %.3f ns per thread on 1 core, %.3f ns on %d cores\n", t.n,
              1e9 * one / t.n, 1e9 * all / t.n, cores);

  Reduce r{4096, nullptr, nullptr};
  if (!ok(cudaMalloc(&r.in, r.blocks * 32 * sizeof(double)), "cudaMalloc") ||
      !ok(cudaMalloc(&r.out, r.blocks * sizeof(double)), "cudaMalloc"))
    return 0;
  cudaMemset(r.in, 0, r.blocks * 32 * sizeof(double));
  omp_set_num_threads(1);
  const double red1 = secondsOf(runReduce, &r, 5);
  omp_set_num_threads(cores);
  const double redAll = secondsOf(runReduce, &r, 5);
  if (!ok(cudaGetLastError(), "reduction kernel")) return 0;
  std::printf("32-thread block with 6 barriers: %.2f us per block on 1 core, %.2f us on %d cores\n",
              1e6 * red1 / r.blocks, 1e6 * redAll / r.blocks, cores);

  cudaFree(t.out);
  cudaFree(r.in);
  cudaFree(r.out);
  return 0;
}
