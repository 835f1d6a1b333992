// GPU selection on replaced device tables of the host emulation.
#include <gtest/gtest.h>

#include <vector>

#include "platform/host/hostControl.h"
#include "solver/multigpumanager.h"

namespace {

cudaDeviceProp device(int major, int minor) {
  cudaDeviceProp p = gpu_host::defaultDeviceProperties();
  p.major = major;
  p.minor = minor;
  return p;
}

class GpuSelection : public ::testing::Test {
 protected:
  void TearDown() override {
    gpu_host::clearInjectedFailures();
    gpu_host::resetDeviceTable();
    cudaSetDevice(0);
    cudaGetLastError();
  }
  // The manager as the command line leaves it for "NGPU=n IDG=id".
  static MultiGpuManager requested(int n, int id) {
    MultiGpuManager m;
    if (n > 0) {
      m.gpu_num = n;
      m.gpu_id_array.assign(n, 0);
      m.gpu_id_array[0] = id;
    }
    return m;
  }
};

TEST_F(GpuSelection, WithoutRequestEveryQualifyingDeviceIsListedSilently) {
  gpu_host::setDeviceTable({device(7, 0), device(5, 2), device(6, 1)});
  MultiGpuManager m = requested(0, 0);
  testing::internal::CaptureStdout();
  m.selectGpu();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(m.gpu_id_array, (std::vector<int>{0, 2}));
  EXPECT_EQ(m.gpu_num, 2);
  EXPECT_FALSE(m.multi_gpu_flag);
}

TEST_F(GpuSelection, TwoRequestedFromSecondDeviceListsItTwice) {
  gpu_host::setDeviceTable({device(7, 0), device(7, 0)});
  MultiGpuManager m = requested(2, 1);
  testing::internal::CaptureStdout();
  m.selectGpu();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "当前计算机中符合计算要求的GPU个数为：2\n将使用 2 个GPU进行多GPU计算\n");
  EXPECT_EQ(m.gpu_id_array, (std::vector<int>{1, 1}));
  EXPECT_EQ(m.gpu_num, 2);
  EXPECT_TRUE(m.multi_gpu_flag);
}

TEST_F(GpuSelection, TwoRequestedOnFourDevicesUsesAllFourSilently) {
  gpu_host::setDeviceTable({device(7, 5), device(8, 0), device(6, 0), device(9, 0)});
  MultiGpuManager m = requested(2, 0);
  testing::internal::CaptureStdout();
  m.selectGpu();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(m.gpu_id_array, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_TRUE(m.multi_gpu_flag);
}

TEST_F(GpuSelection, OneRequestedKeepsTheGivenDevice) {
  gpu_host::setDeviceTable({device(5, 0)});
  MultiGpuManager m = requested(1, 3);
  m.selectGpu();
  EXPECT_EQ(m.gpu_id_array, (std::vector<int>{3}));
  EXPECT_FALSE(m.multi_gpu_flag);
}

TEST_F(GpuSelection, NoDeviceGivesAnEmptyListAndTheHostLoop) {
  gpu_host::setDeviceTable({});
  MultiGpuManager m = requested(0, 0);
  m.selectGpu();
  EXPECT_TRUE(m.gpu_id_array.empty());
  EXPECT_EQ(m.gpu_num, 0);
  EXPECT_EQ(countGpuDevices(), 0);
}

TEST_F(GpuSelection, DeviceCountErrorMeansNoDevice) {
  gpu_host::injectFailure(gpu_host::CallKind::GetDeviceCount, cudaErrorInsufficientDriver);
  MultiGpuManager m = requested(0, 0);
  m.selectGpu();
  EXPECT_TRUE(m.gpu_id_array.empty());
}

TEST_F(GpuSelection, UnreadableDeviceDoesNotQualify) {
  gpu_host::setDeviceTable({device(7, 0), device(7, 0)});
  gpu_host::injectFailure(gpu_host::CallKind::GetDeviceProperties, cudaErrorInvalidDevice);
  MultiGpuManager m = requested(0, 0);
  m.selectGpu();
  EXPECT_EQ(m.gpu_id_array, (std::vector<int>{1}));
}

TEST_F(GpuSelection, ResetVisitsEveryListedDevice) {
  gpu_host::setDeviceTable({device(7, 0), device(7, 0)});
  MultiGpuManager m = requested(0, 0);
  m.selectGpu();
  testing::internal::CaptureStderr();
  m.resetGpu();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  int current = -1;
  ASSERT_EQ(cudaGetDevice(&current), cudaSuccess);
  EXPECT_EQ(current, 1);
}

}  // namespace
