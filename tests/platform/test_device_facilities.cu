// Device-side printf, malloc/free, objects built on the device with virtual
// calls, __device__ variables reached through the symbol copies, and the
// memory information.
#include <gtest/gtest.h>

#include <string>

#include "platform/gpuRuntime.h"

namespace {

__global__ void sayHello(int n) {
  if (blockIdx.x * blockDim.x + threadIdx.x < static_cast<unsigned>(n)) printf("hello from %u\n", threadIdx.x);
}

__global__ void useDeviceHeap(int n, long long* out) {
  int* scratch = static_cast<int*>(malloc(n * sizeof(int)));
  if (scratch == nullptr) {
    out[threadIdx.x] = -1;
    return;
  }
  for (int i = 0; i < n; ++i) scratch[i] = i * static_cast<int>(threadIdx.x);
  long long s = 0;
  for (int i = 0; i < n; ++i) s += scratch[i];
  free(scratch);
  out[threadIdx.x] = s;
}

struct Model {
  double scale;
  __device__ explicit Model(double s) : scale(s) {}
  __device__ virtual ~Model() = default;
  __device__ virtual double apply(double x) const { return scale * x; }
};
struct ShiftedModel : Model {
  double shift;
  __device__ ShiftedModel(double s, double d) : Model(s), shift(d) {}
  __device__ double apply(double x) const override { return scale * x + shift; }
};

// Builds polymorphic objects on the device: one in place in device memory,
// one with new; slot 0 and slot 1 of `models`.
__global__ void buildModels(void* storage, Model** models) {
  models[0] = new (storage) ShiftedModel(2.0, 1.0);
  models[1] = new Model(3.0);
}
__global__ void applyModels(Model** models, double* out) { out[threadIdx.x] = models[threadIdx.x]->apply(10.0); }
__global__ void destroyModels(Model** models) {
  models[0]->~Model();
  delete models[1];
}

__device__ double g_deviceScale;
__global__ void scaleBy(double* v) { v[threadIdx.x] *= g_deviceScale; }

}  // namespace

TEST(DeviceFacilities, PrintfFromKernelsReachesStandardOutput) {
  testing::internal::CaptureStdout();
  launch(sayHello, dim3(1), dim3(3), 2);
  std::fflush(stdout);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "hello from 0\nhello from 1\n");
}

TEST(DeviceFacilities, MallocAndFreeWorkInsideKernels) {
  long long* out = nullptr;
  ASSERT_EQ(cudaMalloc(&out, 4 * sizeof(long long)), cudaSuccess);
  launch(useDeviceHeap, dim3(1), dim3(4), 100, out);
  long long h[4];
  ASSERT_EQ(cudaMemcpy(h, out, sizeof h, cudaMemcpyDeviceToHost), cudaSuccess);
  for (int t = 0; t < 4; ++t) EXPECT_EQ(h[t], 4950LL * t);
  cudaFree(out);
}

TEST(DeviceFacilities, ObjectsBuiltByAKernelDispatchVirtualCalls) {
  void* storage = nullptr;
  Model** models = nullptr;
  double* out = nullptr;
  ASSERT_EQ(cudaMalloc(&storage, sizeof(ShiftedModel)), cudaSuccess);
  ASSERT_EQ(cudaMalloc(&models, 2 * sizeof(Model*)), cudaSuccess);
  ASSERT_EQ(cudaMalloc(&out, 2 * sizeof(double)), cudaSuccess);
  launch(buildModels, dim3(1), dim3(1), storage, models);
  launch(applyModels, dim3(1), dim3(2), models, out);
  double h[2];
  ASSERT_EQ(cudaMemcpy(h, out, sizeof h, cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(h[0], 21.0);
  EXPECT_EQ(h[1], 30.0);
  launch(destroyModels, dim3(1), dim3(1), models);
  cudaFree(out);
  cudaFree(models);
  cudaFree(storage);
}

TEST(DeviceFacilities, DeviceVariablesAreReachedThroughSymbolCopies) {
  const double scale = 2.5;
  ASSERT_EQ(cudaMemcpyToSymbol(g_deviceScale, &scale, sizeof(double)), cudaSuccess);
  double back = 0;
  ASSERT_EQ(cudaMemcpyFromSymbol(&back, g_deviceScale, sizeof(double)), cudaSuccess);
  EXPECT_EQ(back, 2.5);
  double* v = nullptr;
  ASSERT_EQ(cudaMalloc(&v, 2 * sizeof(double)), cudaSuccess);
  const double h0[2] = {2.0, 4.0};
  ASSERT_EQ(cudaMemcpy(v, h0, sizeof h0, cudaMemcpyHostToDevice), cudaSuccess);
  launch(scaleBy, dim3(1), dim3(2), v);
  double h[2];
  ASSERT_EQ(cudaMemcpy(h, v, sizeof h, cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(h[0], 5.0);
  EXPECT_EQ(h[1], 10.0);
  EXPECT_EQ(cudaMemcpyToSymbol(g_deviceScale, &scale, sizeof(double), 4), cudaErrorInvalidValue);
  cudaFree(v);
}

// The free memory reported drops by a block's bytes while it lives.
TEST(DeviceFacilities, MemoryInfoCountsTheLiveBlocks) {
  size_t freeBefore = 0, total = 0;
  ASSERT_EQ(cudaMemGetInfo(&freeBefore, &total), cudaSuccess);
  EXPECT_GT(total, 0u);
  EXPECT_LE(freeBefore, total);
  void* block = nullptr;
  const size_t bytes = size_t{3} << 20;
  ASSERT_EQ(cudaMalloc(&block, bytes), cudaSuccess);
  size_t freeDuring = 0;
  ASSERT_EQ(cudaMemGetInfo(&freeDuring, &total), cudaSuccess);
  cudaFree(block);
  size_t freeAfter = 0;
  ASSERT_EQ(cudaMemGetInfo(&freeAfter, &total), cudaSuccess);
  EXPECT_EQ(freeBefore - freeDuring, bytes);
  EXPECT_EQ(freeAfter, freeBefore);
  EXPECT_EQ(cudaMemGetInfo(nullptr, &total), cudaErrorInvalidValue);
  cudaGetLastError();
}
