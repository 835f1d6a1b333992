#include "tests/deviceTest.h"

#include <set>
#include <string>

#include "platform/computeDevice.h"

namespace {
std::set<std::string>& deviceTests() {
  static std::set<std::string> names;
  return names;
}

// Skips a marked test ("Rows/Suite.Name/3" is Suite.Name) before its fixture is made, when no device can run it.
class DeviceSkip : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo& test) override {
    static const std::string why = kernelDeviceProblem();
    const std::string suite = test.test_suite_name(), name = test.name();
    const std::string plain = suite.substr(suite.rfind('/') + 1) + "." + name.substr(0, name.find('/'));
    if (!why.empty() && deviceTests().count(plain) != 0) GTEST_SKIP() << "needs a CUDA device: " << why;
  }
};
[[maybe_unused]] const bool kListening = (testing::UnitTest::GetInstance()->listeners().Append(new DeviceSkip), true);
}  // namespace

bool markDeviceTest(const char* suite, const char* name) {
  return deviceTests().insert(std::string(suite) + "." + name), true;
}
