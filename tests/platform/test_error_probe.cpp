// The GPU memory utilities and the error probe, with failures injected into
// the emulated runtime.
#include <gtest/gtest.h>

#include <string>

#include "core/allocZeroMem.h"
#include "core/data_cpy.h"
#include "core/eror_test.h"
#include "core/logErrorPrint.h"
#include "platform/host/hostControl.h"
#include "tests/core/cudaCheckSupport.h"

namespace {
class ErrorProbe : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
  void TearDown() override {
    gpu_host::clearInjectedFailures();
    cudaDeviceReset();
  }
  std::string recordPath = perTestRecordPath("error_probe");
};
}  // namespace

TEST_F(ErrorProbe, ZeroCopyMemoryIsSharedBetweenHostAndDevice) {
  int* gpu = nullptr;
  int* cpu = nullptr;
  allocZeroMem(&gpu, &cpu, 4);
  ASSERT_NE(cpu, nullptr);
  int* alias = nullptr;
  ASSERT_EQ(cudaHostGetDevicePointer((void**)&alias, cpu, 0), cudaSuccess);
  EXPECT_EQ(gpu, alias);
  EXPECT_EQ(cudaFreeHost(cpu), cudaSuccess);
}

TEST_F(ErrorProbe, APointerIsWrittenIntoItsDeviceSlot) {
  double** slots = nullptr;
  double* target = nullptr;
  ASSERT_EQ(cudaMalloc(&slots, 3 * sizeof(double*)), cudaSuccess);
  ASSERT_EQ(cudaMalloc(&target, 3 * sizeof(double)), cudaSuccess);
  ASSERT_EQ(cudaMemset(slots, 0, 3 * sizeof(double*)), cudaSuccess);
  copyPointerToGpu(slots + 1, target + 2);
  double* back[3];
  ASSERT_EQ(cudaMemcpy(back, slots, sizeof back, cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(back[0], nullptr);
  EXPECT_EQ(back[1], target + 2);
  EXPECT_EQ(back[2], nullptr);
  cudaFree(slots);
  cudaFree(target);
}

TEST_F(ErrorProbe, AProbeWithoutPendingFailuresReturns) {
  gpuErrorProbe();
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
}

TEST_F(ErrorProbe, AFailedEarlierKernelIsReportedAtTheProbe) {
  EXPECT_EXIT(
      {
        g_runRecord.open(recordPath, std::ios::app);
        gpu_host::injectFailure(gpu_host::CallKind::Launch, cudaErrorIllegalAddress);
        gpuErrorProbe();
      },
      ::testing::ExitedWithCode(1),
      "CUDA error at .*eror_test.cu:[0-9]+ code=700\\(cudaErrorIllegalAddress\\) \"cudaMalloc\\(\\(void \\*\\*\\)&temp, "
      "sizeof\\(double\\)\\)\"");
  EXPECT_NE(readWholeFile(recordPath).find("code=700(cudaErrorIllegalAddress)"), std::string::npos);
}

TEST_F(ErrorProbe, AFailedProbeCopyIsReportedWithItsCallText) {
  EXPECT_EXIT(
      {
        gpu_host::injectFailure(gpu_host::CallKind::Memcpy, cudaErrorLaunchFailure);
        gpuErrorProbe();
      },
      ::testing::ExitedWithCode(1),
      "code=719\\(cudaErrorLaunchFailure\\) \"cudaMemcpy\\(temp, &temp1, sizeof\\(double\\), "
      "cudaMemcpyHostToDevice\\)\"");
}

TEST_F(ErrorProbe, FailedUtilityCallsEndTheRunWithTheReport) {
  EXPECT_EXIT(
      {
        int* gpu = nullptr;
        int* cpu = nullptr;
        gpu_host::injectFailure(gpu_host::CallKind::HostAlloc, cudaErrorMemoryAllocation);
        allocZeroMem(&gpu, &cpu, 4);
      },
      ::testing::ExitedWithCode(1),
      "allocZeroMem.h:[0-9]+ code=2\\(cudaErrorMemoryAllocation\\) \"cudaHostAlloc\\(&cpu_ptr, sizeof\\(T\\)\\*num, "
      "cudaHostAllocMapped \\)\"");
  EXPECT_EXIT(
      {
        double* notDevice[2];
        copyPointerToGpu(notDevice, static_cast<double*>(nullptr));
      },
      ::testing::ExitedWithCode(1), "data_cpy.h:[0-9]+ code=1\\(cudaErrorInvalidValue\\) \"cudaMemcpy\\(slot");
}
