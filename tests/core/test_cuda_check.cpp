// The CUDA error check: silent on success; on failure the console line, the
// two run-record lines and exit code 1.
#include <gtest/gtest.h>

#include <string>

#include "core/logErrorPrint.h"
#include "tests/core/cudaCheckSupport.h"

namespace {
class CudaCheck : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
  // Opens the run record, publishes a run position and fails one check.
  void failWith(int code, double time, double dt, int cycle) {
    g_runRecord.open(recordPath, std::ios::app);
    g_runTime = time;
    g_runDt = dt;
    g_runCycle = cycle;
    checkCudaError(code, "cudaMalloc(&node_array_gpu, size * sizeof(NodeCuda))", "core/nodeManager.cu", 77);
  }
  std::string recordPath = perTestRecordPath("cuda_check");
};
}  // namespace

TEST_F(CudaCheck, SuccessPrintsAndWritesNothing) {
  g_runRecord.open(recordPath, std::ios::app);
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  checkCudaError(0, "cudaFree(p)", "x.cu", 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  g_runRecord.close();
  EXPECT_EQ(readWholeFile(recordPath), "");
}

TEST_F(CudaCheck, AFailurePrintsTheConsoleLineWritesTheRecordAndExitsWithOne) {
  EXPECT_EXIT(failWith(2, 0.0, 0.0, 0), ::testing::ExitedWithCode(1),
              "^CUDA error at core/nodeManager.cu:77 code=2\\(cudaErrorMemoryAllocation\\) "
              "\"cudaMalloc\\(&node_array_gpu, size \\* sizeof\\(NodeCuda\\)\\)\" \n$");
  // The record line has no blank after "CUDA error at"; the run position of a
  // failure before the first cycle is all zero.
  EXPECT_EQ(readWholeFile(recordPath),
            "CUDA error atcore/nodeManager.cu:77 code=2(cudaErrorMemoryAllocation) "
            "\"cudaMalloc(&node_array_gpu, size * sizeof(NodeCuda))\" \n\n"
            "The error occurred at simulation time =0 and dt =0 and cycle =0\n");
}

TEST_F(CudaCheck, TheRecordCarriesThePublishedRunPosition) {
  EXPECT_EXIT(failWith(700, 0.00123456789, 2.5e-7, 4711), ::testing::ExitedWithCode(1),
              "code=700\\(cudaErrorIllegalAddress\\)");
  const std::string record = readWholeFile(recordPath);
  EXPECT_NE(record.find("The error occurred at simulation time =0.00123457 and dt =2.5e-07 and cycle =4711\n"),
            std::string::npos)
      << record;
}

TEST_F(CudaCheck, ACodeWithoutANameIsReportedAsUnknown) {
  EXPECT_EXIT(failWith(12345, 1.0, 0.5, 3), ::testing::ExitedWithCode(1), "code=12345\\(<unknown>\\) ");
  EXPECT_NE(readWholeFile(recordPath).find("code=12345(<unknown>) \""), std::string::npos);
}

TEST_F(CudaCheck, AFailureBeforeTheRunRecordIsOpenStillReportsAndExits) {
  EXPECT_EXIT(checkCudaError(719, "cudaDeviceSynchronize()", "solver/loop.cu", 5), ::testing::ExitedWithCode(1),
              "CUDA error at solver/loop.cu:5 code=719\\(cudaErrorLaunchFailure\\) \"cudaDeviceSynchronize\\(\\)\"");
}

TEST_F(CudaCheck, TheMacroPassesTheCallTextFileAndLine) {
  EXPECT_EXIT(CUDA_CHECK(static_cast<int>(3) + 0), ::testing::ExitedWithCode(1),
      "test_cuda_check.cpp:[0-9]+ code=3\\(cudaErrorInitializationError\\) \"static_cast<int>\\(3\\) \\+ 0\"");
}
