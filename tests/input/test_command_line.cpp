#include "tests/deviceTest.h"

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
  for (const auto& args :
       {std::vector<std::string>{"INP=a.k", "WD=out"}, std::vector<std::string>{"WD=out", "INP=a.k"}}) {
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

// Keys are exact and given once; a value is the text after the first "=".
TEST(CommandLine, ValueIsTextAfterFirstEquals) {
  Parsed p = parse({"INP=x.k,WD=y"});
  EXPECT_EQ(p.input, "x.k,WD=y");
  EXPECT_EQ(p.work, "");
  p = parse({"INP=a=b.k", "DT=-1e-6", "OT=.5", "RFT=2.E+1"});
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.input, "a=b.k");
  EXPECT_EQ(p.dt, -1e-6);
  EXPECT_EQ(p.ot, 0.5);
  EXPECT_EQ(p.rft, 20.0);
}

// Each row: an argument refused, and what the message says of it. Nothing
// reaches the solver.
DEVICE_TEST(CommandLine, ArgumentsThatAreNotOneKnownKeyWithOneNumberAreRefused) {
  const struct {
    std::vector<std::string> args;
    const char* says;
  } rows[] = {
      {{"FOO=1"}, "unknown key \"FOO\"; the keys are INP=, WD=, OT=, DT=, RFT=, NGPU=, IDG=, CGN="},
      {{"dt=1e-5"}, "unknown key \"dt\" (keys are upper case: DT=)"},
      {{"inp=a.k"}, "(keys are upper case: INP=)"},
      {{"X=INP=a"}, "unknown key \"X\""},
      {{"-v"}, "-v: not KEY=value; the keys are INP="},
      {{"a.k"}, "a.k: not KEY=value"},
      {{"INP=a.k", "INP=b.k"}, "INP=b.k: the key INP= is given twice"},
      {{"DT=1", "DT=-1e-6"}, "the key DT= is given twice"},
      {{"OT=0.01abc"}, "not one decimal number"},
      {{"DT=1e-6abc"}, "not one decimal number"},
      {{"OT=1e-5s"}, "not one decimal number"},
      {{"OT=0x10"}, "not one decimal number"},
      {{"OT=1e-5,2e-5"}, "not one decimal number"},
      {{"RFT= 2.5"}, "not one decimal number"},
      {{"OT=1e999"}, "not one decimal number in range"},
      {{"CGN=1.5"}, "not one whole number"},
      {{"IDG=0x1"}, "not one whole number"},
      {{"INP="}, "the value is empty: name the deck"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args{"WD=out", "NGPU=1"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    testing::internal::CaptureStderr();
    const Parsed p = parse(args);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(p.ok) << row.args.back();
    EXPECT_NE(err.find("Command-line argument refused: " + row.args.back() + ": "), std::string::npos) << err;
    EXPECT_NE(err.find(row.says), std::string::npos) << err;
    EXPECT_TRUE(p.gpus.empty()) << row.args.back();
  }
}

// The host build lists one emulated device (number 0).
DEVICE_TEST(CommandLine, GpuOptions) {
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
DEVICE_TEST(CommandLine, ValuesBeyondTheDevicesOrNotFiniteAreRefused) {
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
  EXPECT_NE(testing::internal::GetCapturedStderr().find("no GPU is present: 1 emulated device is"), std::string::npos);
}

TEST(CommandLine, UnconvertibleNumberIsRefused) {
  for (const char* bad : {"NGPU=x", "DT=abc", "IDG=99999999999", "OT=", "CGN=?", "WD="}) {
    testing::internal::CaptureStderr();
    const Parsed p = parse({"INP=a.k", bad});
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(p.ok) << bad;
    EXPECT_NE(err.find(bad), std::string::npos) << err;
  }
}

TEST(CommandLine, WholeNumberConversions) {
  double d = -1.0;
  int i = -1;
  EXPECT_TRUE(parseWholeDouble("-3.5e2", d));
  EXPECT_EQ(d, -350.0);
  EXPECT_TRUE(parseWholeDouble("1e-320", d));  // below the normal range: kept
  for (const char* bad : {"", ".", "e5", "1e", "1.2.3", "+-1", "inf", "nan", " 1", "1 "}) {
    EXPECT_FALSE(parseWholeDouble(bad, d)) << bad;
  }
  EXPECT_TRUE(parseWholeInt("-12", i));
  EXPECT_EQ(i, -12);
  for (const char* bad : {"", "-", "12.7", "99999999999", "1e3"}) EXPECT_FALSE(parseWholeInt(bad, i)) << bad;
}

}  // namespace
