#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/commandLine.h"
#include "output/outputManager.h"
#include "solver/femdynamic.h"
#include "solver/multigpumanager.h"
#include "solver/timeControl.h"

namespace {

struct Parsed {
  bool ok = false;
  std::string input, work;
  double dt = 0, ot = 0, rft = 0;
  std::vector<int> gpus;
  int gpuNum = 0;
};

Parsed parse(std::vector<std::string> args) {
  args.insert(args.begin(), "impactfem");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  FEMDynamic fem;
  fem.newManagers();
  Parsed p;
  p.ok = parseCommandLine(static_cast<int>(argv.size()), argv.data(), p.input, p.work, &fem);
  p.dt = fem.timeControl->target_dt;
  p.ot = fem.timeControl->output_interval;
  p.rft = fem.outputManager->rftInterval_;
  p.gpus = fem.multiGpuManager->gpu_id_array;
  p.gpuNum = fem.multiGpuManager->gpu_num;
  return p;
}

TEST(CommandLine, DeckAndWorkPathInAnyOrder) {
  for (const auto& args : {std::vector<std::string>{"INP=a.k", "WD=out"}, std::vector<std::string>{"WD=out", "INP=a.k"}}) {
    const Parsed p = parse(args);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.input, "a.k");
    EXPECT_EQ(p.work, "out");
    EXPECT_EQ(p.dt, 0.0);
    EXPECT_EQ(p.ot, 0.0);
    EXPECT_EQ(p.rft, 0.0);
    EXPECT_TRUE(p.gpus.empty());
  }
}

TEST(CommandLine, LaterArgumentOverridesEarlier) {
  const Parsed p = parse({"INP=a.k", "INP=b.k", "DT=1", "DT=-1e-6"});
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.input, "b.k");
  EXPECT_EQ(p.dt, -1e-6);
}

TEST(CommandLine, TrailingTextAfterNumberIsIgnored) {
  const Parsed p = parse({"INP=a.k", "OT=1e-4x", "RFT= 2.5s"});
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.ot, 1e-4);
  EXPECT_EQ(p.rft, 2.5);
}

TEST(CommandLine, ValueIsTextAfterFirstEquals) {
  Parsed p = parse({"X=INP=a"});
  EXPECT_EQ(p.input, "INP=a");
  p = parse({"INP=x.k,WD=y"});
  EXPECT_EQ(p.input, "x.k,WD=y");
  EXPECT_EQ(p.work, "");
  p = parse({"INP="});
  EXPECT_EQ(p.input, "");
}

// The host build lists one emulated device (number 0).
TEST(CommandLine, GpuOptions) {
  ASSERT_EQ(countGpuDevices(), 1);
  Parsed p = parse({"NGPU=1", "IDG=0", "INP=a.k", "WD=out"});
  EXPECT_EQ(p.gpus, (std::vector<int>{0}));
  EXPECT_EQ(p.gpuNum, 1);
  p = parse({"IDG=0", "INP=a.k", "WD=out"});
  EXPECT_TRUE(p.gpus.empty());
  EXPECT_EQ(p.gpuNum, 0);
  p = parse({"NGPU=1", "CGN=7"});
  EXPECT_EQ(p.gpus, (std::vector<int>{0}));
  p = parse({"NGPU=0", "DT=-1e-6", "OT=0", "RFT=0"});
  ASSERT_TRUE(p.ok);
  EXPECT_TRUE(p.gpus.empty());
  EXPECT_EQ(p.dt, -1e-6);
}

// Values that convert but cannot be used: no step or interval that is not a
// finite number (an interval below 0 neither), no more GPUs than are present,
// no device number that names none. Nothing reaches the solver.
TEST(CommandLine, ValuesBeyondTheDevicesOrNotFiniteAreRefused) {
  ASSERT_EQ(countGpuDevices(), 1);
  for (const char* bad : {"DT=nan", "DT=inf", "DT=-infinity", "OT=inf", "OT=nan", "OT=-1e-4", "RFT=inf", "RFT=-2",
                          "NGPU=2147483647", "NGPU=2", "NGPU=-1", "IDG=1", "IDG=-1"}) {
    testing::internal::CaptureStderr();
    const Parsed p = parse({"INP=a.k", "WD=out", "DT=2e-5", bad});
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(p.ok) << bad;
    EXPECT_NE(err.find(std::string("refused: ") + bad + ": "), std::string::npos) << err;
    EXPECT_EQ(p.dt, 0.0) << bad;
    EXPECT_TRUE(p.gpus.empty()) << bad;
  }
  testing::internal::CaptureStderr();
  parse({"NGPU=3"});
  EXPECT_NE(testing::internal::GetCapturedStderr().find("1 GPU device is present; NGPU= takes 0"), std::string::npos);
}

TEST(CommandLine, UnconvertibleNumberIsRefused) {
  for (const char* bad : {"NGPU=x", "DT=abc", "IDG=99999999999", "OT=", "CGN=?"}) {
    testing::internal::CaptureStderr();
    const Parsed p = parse({"INP=a.k", bad});
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(p.ok) << bad;
    EXPECT_NE(err.find(bad), std::string::npos) << err;
  }
}

TEST(CommandLine, LeadingNumberConversions) {
  double d = -1.0;
  int i = -1;
  EXPECT_TRUE(parseLeadingDouble("  3.5e2abc", d));
  EXPECT_EQ(d, 350.0);
  EXPECT_FALSE(parseLeadingDouble("e5", d));
  EXPECT_FALSE(parseLeadingDouble("1e999", d));
  EXPECT_TRUE(parseLeadingInt(" -12.7", i));
  EXPECT_EQ(i, -12);
  EXPECT_FALSE(parseLeadingInt("", i));
}

}  // namespace
