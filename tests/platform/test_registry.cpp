// The allocation registry rejects what a GPU would reject, with CUDA's codes;
// the device table and failure injection serve the tests of GPU selection and
// of the error check.
#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gpuRuntime.h"
#include "platform/host/hostControl.h"

namespace {
class Registry : public ::testing::Test {
 protected:
  void TearDown() override {
    gpu_host::clearInjectedFailures();
    gpu_host::resetDeviceTable();
    cudaDeviceReset();
    cudaGetLastError();
  }
};
}  // namespace

TEST_F(Registry, CopiesAndSetsNeedMemoryTheRuntimeHandedOut) {
  double host[4] = {1, 2, 3, 4};
  double other[4] = {};
  EXPECT_EQ(cudaMemcpy(other, host, sizeof host, cudaMemcpyHostToDevice), cudaErrorInvalidValue);
  EXPECT_EQ(cudaMemcpy(host, other, sizeof host, cudaMemcpyDeviceToHost), cudaErrorInvalidValue);
  EXPECT_EQ(cudaMemset(other, 0, sizeof other), cudaErrorInvalidValue);
  EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidValue);
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
  EXPECT_EQ(cudaMemcpy(other, host, sizeof host, cudaMemcpyHostToHost), cudaSuccess);
  EXPECT_EQ(other[3], 4.0);
}

TEST_F(Registry, CopiesStayInsideTheirAllocation) {
  double* d = nullptr;
  ASSERT_EQ(cudaMalloc(&d, 4 * sizeof(double)), cudaSuccess);
  double h[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(cudaMemcpy(d, h, 5 * sizeof(double), cudaMemcpyHostToDevice), cudaErrorInvalidValue);
  EXPECT_EQ(cudaMemcpy(d + 1, h, 4 * sizeof(double), cudaMemcpyHostToDevice), cudaErrorInvalidValue);
  EXPECT_EQ(cudaMemset(d + 3, 0, 2 * sizeof(double)), cudaErrorInvalidValue);
  EXPECT_EQ(cudaMemcpy(d + 1, h, 3 * sizeof(double), cudaMemcpyHostToDevice), cudaSuccess);
  EXPECT_EQ(cudaMemcpy(d, d + 2, 2 * sizeof(double), cudaMemcpyDeviceToDevice), cudaSuccess);
  double back[4];
  ASSERT_EQ(cudaMemcpy(back, d, sizeof back, cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(back[0], 2.0);
  EXPECT_EQ(back[1], 3.0);
  EXPECT_EQ(back[3], 3.0);
  EXPECT_EQ(cudaMemcpy(d, h, sizeof(double), static_cast<cudaMemcpyKind>(9)), cudaErrorInvalidMemcpyDirection);
  EXPECT_EQ(cudaFree(d), cudaSuccess);
}

TEST_F(Registry, FreesAreCheckedLikeOnADevice) {
  const size_t live = gpu_host::liveAllocationCount();
  int* d = nullptr;
  ASSERT_EQ(cudaMalloc(&d, 16 * sizeof(int)), cudaSuccess);
  EXPECT_EQ(gpu_host::liveAllocationCount(), live + 1);
  EXPECT_EQ(cudaFree(d + 1), cudaErrorInvalidValue);  // not the start of an allocation
  EXPECT_EQ(cudaFreeHost(d), cudaErrorInvalidValue);  // device memory, not host memory
  EXPECT_EQ(cudaFree(d), cudaSuccess);
  EXPECT_EQ(cudaFree(d), cudaErrorInvalidValue);  // double free
  EXPECT_EQ(cudaFree(nullptr), cudaSuccess);
  int onStack = 0;
  EXPECT_EQ(cudaFree(&onStack), cudaErrorInvalidValue);
  EXPECT_EQ(gpu_host::liveAllocationCount(), live);
}

TEST_F(Registry, MappedMemoryHasTheHostAddressAsDeviceAlias) {
  int* host = nullptr;
  ASSERT_EQ(cudaHostAlloc(&host, 8 * sizeof(int), cudaHostAllocMapped), cudaSuccess);
  int* dev = nullptr;
  ASSERT_EQ(cudaHostGetDevicePointer(&dev, host, 0), cudaSuccess);
  EXPECT_EQ(dev, host);
  int plain = 0;
  EXPECT_EQ(cudaHostGetDevicePointer(&dev, &plain, 0), cudaErrorInvalidValue);
  EXPECT_EQ(cudaFree(host), cudaErrorInvalidValue);  // host memory goes back with cudaFreeHost
  EXPECT_EQ(cudaFreeHost(host), cudaSuccess);
  EXPECT_EQ(cudaFreeHost(host), cudaErrorInvalidHostPointer);
}

TEST_F(Registry, ManagedMemoryIsUsableFromBothSides) {
  double* m = nullptr;
  ASSERT_EQ(cudaMallocManaged(&m, 3 * sizeof(double)), cudaSuccess);
  m[2] = 7.0;
  double h = 0;
  ASSERT_EQ(cudaMemcpy(&h, m + 2, sizeof h, cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(h, 7.0);
  EXPECT_EQ(cudaFree(m), cudaSuccess);
}

TEST_F(Registry, ImpossibleRequestsFailWithAnAllocationError) {
  void* p = nullptr;
  EXPECT_EQ(cudaMalloc(&p, static_cast<size_t>(-8)), cudaErrorMemoryAllocation);
  EXPECT_EQ(cudaHostAlloc(&p, static_cast<size_t>(-8), cudaHostAllocMapped), cudaErrorMemoryAllocation);
  EXPECT_EQ(cudaMalloc(static_cast<void**>(nullptr), 8), cudaErrorInvalidValue);
  ASSERT_EQ(cudaMalloc(&p, 0), cudaSuccess);  // a zero-byte block is still a block
  EXPECT_NE(p, nullptr);
  EXPECT_EQ(cudaFree(p), cudaSuccess);
}

TEST_F(Registry, AnInjectedFailureHitsTheNextCallOfItsKindOnly) {
  gpu_host::injectFailure(gpu_host::CallKind::Malloc, cudaErrorMemoryAllocation);
  double* d = nullptr;
  EXPECT_EQ(cudaMemset(nullptr, 0, 0), cudaSuccess);  // another kind: unaffected
  EXPECT_EQ(cudaMalloc(&d, 8), cudaErrorMemoryAllocation);
  EXPECT_EQ(d, nullptr);
  ASSERT_EQ(cudaMalloc(&d, 8), cudaSuccess);
  gpu_host::injectFailure(gpu_host::CallKind::Memcpy, cudaErrorIllegalAddress);
  double one = 1;
  EXPECT_EQ(cudaMemcpy(d, &one, 8, cudaMemcpyHostToDevice), cudaErrorIllegalAddress);
  EXPECT_EQ(cudaMemcpy(d, &one, 8, cudaMemcpyHostToDevice), cudaSuccess);
  EXPECT_EQ(cudaFree(d), cudaSuccess);
}

TEST_F(Registry, TheDeviceTableCanBeReplaced) {
  int count = -1;
  ASSERT_EQ(cudaGetDeviceCount(&count), cudaSuccess);
  EXPECT_EQ(count, 1);
  cudaDeviceProp p{};
  ASSERT_EQ(cudaGetDeviceProperties(&p, 0), cudaSuccess);
  EXPECT_GE(p.major * 10 + p.minor, 75);
  EXPECT_EQ(p.canMapHostMemory, 1);

  cudaDeviceProp old = gpu_host::defaultDeviceProperties();
  old.major = 6;
  old.minor = 1;
  gpu_host::setDeviceTable({gpu_host::defaultDeviceProperties(), old});
  ASSERT_EQ(cudaGetDeviceCount(&count), cudaSuccess);
  EXPECT_EQ(count, 2);
  ASSERT_EQ(cudaGetDeviceProperties(&p, 1), cudaSuccess);
  EXPECT_EQ(p.major, 6);
  EXPECT_EQ(cudaSetDevice(1), cudaSuccess);
  int current = -1;
  ASSERT_EQ(cudaGetDevice(&current), cudaSuccess);
  EXPECT_EQ(current, 1);
  EXPECT_EQ(cudaSetDevice(2), cudaErrorInvalidDevice);
  EXPECT_EQ(cudaGetDeviceProperties(&p, 2), cudaErrorInvalidDevice);

  gpu_host::setDeviceTable({});
  count = -1;
  EXPECT_EQ(cudaGetDeviceCount(&count), cudaErrorNoDevice);
  EXPECT_EQ(count, 0);
}

TEST_F(Registry, DeviceLimitsKeepTheirValues) {
  size_t heap = 0;
  ASSERT_EQ(cudaDeviceGetLimit(&heap, cudaLimitMallocHeapSize), cudaSuccess);
  EXPECT_EQ(heap, size_t(8) << 20);
  ASSERT_EQ(cudaDeviceSetLimit(cudaLimitMallocHeapSize, size_t(256) << 20), cudaSuccess);
  ASSERT_EQ(cudaDeviceGetLimit(&heap, cudaLimitMallocHeapSize), cudaSuccess);
  EXPECT_EQ(heap, size_t(256) << 20);
  EXPECT_EQ(cudaDeviceSetLimit(cudaLimitMaxL2FetchGranularity, 64), cudaErrorUnsupportedLimit);
  ASSERT_EQ(cudaDeviceSetLimit(cudaLimitMallocHeapSize, size_t(8) << 20), cudaSuccess);
}

TEST_F(Registry, ErrorNamesAreTheRuntimesIdentifiers) {
  EXPECT_STREQ(cudaGetErrorName(cudaErrorMemoryAllocation), "cudaErrorMemoryAllocation");
  EXPECT_STREQ(cudaGetErrorName(cudaErrorNoKernelImageForDevice), "cudaErrorNoKernelImageForDevice");
  EXPECT_STREQ(cudaGetErrorName(static_cast<cudaError_t>(12345)), "unrecognized error code");
  EXPECT_STREQ(cudaGetErrorString(cudaErrorIllegalAddress), "an illegal memory access was encountered");
  EXPECT_EQ(static_cast<int>(cudaErrorLaunchFailure), 719);
  EXPECT_EQ(static_cast<int>(cudaErrorInsufficientDriver), 35);
}

// Large blocks are mapped on their own and copied by several threads: the
// bytes arrive whole and in place, overlapping copies within one block keep
// memmove's meaning, and the registry checks them as it does small ones.
TEST_F(Registry, LargeBlocksCopyAndSetWholeOnSeveralThreads) {
  const int saved = omp_get_max_threads();
  omp_set_num_threads(4);
  const size_t n = (size_t(24) << 20) + 12345;  // several shares and a ragged end
  std::vector<unsigned char> host(n), back(n);
  for (size_t i = 0; i < n; ++i) host[i] = static_cast<unsigned char>(i * 2654435761u >> 13);
  unsigned char* d = nullptr;
  ASSERT_EQ(cudaMalloc(&d, n), cudaSuccess);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(d) % 64, 0u);
  EXPECT_EQ(cudaMemcpy(d, host.data(), n, cudaMemcpyHostToDevice), cudaSuccess);
  EXPECT_EQ(cudaMemcpy(back.data(), d, n, cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_TRUE(back == host);
  // A copy one byte past the end is refused.
  EXPECT_EQ(cudaMemcpy(d + 1, host.data(), n, cudaMemcpyHostToDevice), cudaErrorInvalidValue);
  // Overlapping ranges of one block: shifted as memmove would.
  const size_t shift = size_t(3) << 20, part = n - shift;
  EXPECT_EQ(cudaMemcpy(d + shift, d, part, cudaMemcpyDeviceToDevice), cudaSuccess);
  EXPECT_EQ(cudaMemcpy(back.data(), d, n, cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_TRUE(std::equal(back.begin() + shift, back.end(), host.begin()));
  EXPECT_EQ(cudaMemset(d, 0x5a, n), cudaSuccess);
  EXPECT_EQ(cudaMemcpy(back.data(), d, n, cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(std::count(back.begin(), back.end(), 0x5a), static_cast<std::ptrdiff_t>(n));
  EXPECT_EQ(cudaFree(d), cudaSuccess);
  EXPECT_EQ(cudaFree(d), cudaErrorInvalidValue);  // a double free as for small blocks
  omp_set_num_threads(saved);
}

// A fresh large block reads as zero bytes, as the emulation's small blocks do.
TEST_F(Registry, LargeBlocksStartZeroed) {
  const size_t n = size_t(5) << 20;
  unsigned char* d = nullptr;
  ASSERT_EQ(cudaMalloc(&d, n), cudaSuccess);
  std::vector<unsigned char> back(n, 1);
  EXPECT_EQ(cudaMemcpy(back.data(), d, n, cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(std::count(back.begin(), back.end(), 0), static_cast<std::ptrdiff_t>(n));
  EXPECT_EQ(cudaFree(d), cudaSuccess);
}
