// A node-only model built in memory, run through the GPU time loop on the
// emulated device.
#include <unistd.h>
#include "tests/deviceTest.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "solver/runLog.h"
#include "core/nodeManager.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/timeControl.h"

namespace {

class GpuLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("impactfem_gpu_loop_" + std::to_string(getpid()) + "_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    resetRunLog();
  }
  void TearDown() override {
    resetRunLog();
    std::filesystem::remove_all(dir_);
  }

  // Three free nodes: two moving from the origin, one at rest away from it.
  void buildModel(FEMDynamic& fem, double endTime, int endCycle) {
    fem.newManagers();
    fem.input_file = "nodes.k";
    fem.work_path = dir_.string();
    const double velocities[3][3] = {{1.0, 2.0, -0.5}, {0.25, 0.0, 4.0}, {0.0, 0.0, 0.0}};
    for (int i = 0; i < 3; ++i) {
      NodeCuda n{};
      n.id = i + 1;
      n.store_id = i;
      n.mass = 1.0;
      for (int j = 0; j < 3; ++j) n.vel[j] = velocities[i][j];
      if (i == 2) {
        n.coord[0] = 3.7;
        n.coord[1] = -1.1;
        n.coord[2] = 0.3;
      }
      fem.nodeManager->node_array_cpu.push_back(n);
    }
    fem.nodeManager->sortNodes();
    fem.nodeManager->setNodeNum();
    fem.nodeManager->checkNodeIdMap();
    fem.timeControl->end_time = endTime;
    fem.timeControl->end_cycle = endCycle;
    fem.timeControl->setSafeFactor();
  }

  int run(FEMDynamic& fem) {
    double contact = 0.0, output = 0.0;
    testing::internal::CaptureStdout();
    femDynaAnalyParalle(&fem, &contact, &output);
    console_ = testing::internal::GetCapturedStdout();
    fem.nodeManager->copyNodesToCpu();
    return fem.cycle;
  }

  std::filesystem::path dir_;
  std::string console_;
};

// Five full steps of 0.001 and a last one of 0.0005 that ends the run at
// its end time exactly.
DEVICE_TEST_F(GpuLoopTest, FreeNodesMoveWithConstantVelocityToTheEndTime) {
  FEMDynamic fem;
  buildModel(fem, 0.0055, 0);
  const int cycles = run(fem);
  EXPECT_EQ(cycles, 6);
  EXPECT_EQ(fem.time, 0.0055);
  EXPECT_DOUBLE_EQ(fem.dt, 0.001);  // the element-free step, not the shortened one
  const NodeCuda* n = fem.nodeManager->node_array_cpu.data();
  const double t = 0.0055;
  EXPECT_NEAR(n[0].coord[0], t, 1e-15);
  EXPECT_NEAR(n[0].coord[1], 2.0 * t, 1e-15);
  EXPECT_NEAR(n[0].coord[2], -0.5 * t, 1e-15);
  EXPECT_NEAR(n[1].coord[0], 0.25 * t, 1e-15);
  EXPECT_NEAR(n[1].coord[2], 4.0 * t, 1e-15);
  EXPECT_EQ(n[2].coord[0], 3.7);
  EXPECT_EQ(n[2].coord[1], -1.1);
  EXPECT_EQ(n[0].vel[1], 2.0);
  EXPECT_EQ(n[0].ini_coord[0], 0.0);
  EXPECT_EQ(n[2].ini_coord[2], 0.3);
  EXPECT_NE(console_.find("initialComputeCpu success!\n"), std::string::npos);
  EXPECT_NE(console_.find("allocateAndCopySingleGpu success! (the GPU is emulated on the CPU)\n"), std::string::npos);
  EXPECT_NE(console_.find("initialComputeSingleGpu success! (the GPU is emulated on the CPU)\n"), std::string::npos);
  EXPECT_NE(console_.find("Initial time step:\t 1.0000e-03\n"), std::string::npos);
  EXPECT_NE(console_.find("\nNumber of iterations: 6\n"), std::string::npos);
}

// The end cycle caps the run: it stops at whichever of end time and end
// cycle comes first; an end cycle alone runs exactly that many cycles.
DEVICE_TEST_F(GpuLoopTest, EndCycleCapsTheRun) {
  FEMDynamic alone;
  buildModel(alone, 0.0, 7);
  EXPECT_EQ(run(alone), 7);
  EXPECT_NEAR(alone.time, 0.007, 1e-15);
  resetRunLog();
  FEMDynamic timeFirst;
  buildModel(timeFirst, 0.0035, 6);
  EXPECT_EQ(run(timeFirst), 4);
  EXPECT_EQ(timeFirst.time, 0.0035);
  resetRunLog();
  FEMDynamic cycleFirst;
  buildModel(cycleFirst, 0.0085, 2);
  EXPECT_EQ(run(cycleFirst), 2);
  EXPECT_NEAR(cycleFirst.time, 0.002, 1e-15);
  cycleFirst.nodeManager->copyNodesToCpu();
  EXPECT_NEAR(cycleFirst.nodeManager->node_array_cpu[1].coord[2], 4.0 * 0.002, 1e-15);
}

// An end time below the first step is reached by one shorter step.
DEVICE_TEST_F(GpuLoopTest, EndTimeBelowTheFirstStepTakesOneShortStep) {
  FEMDynamic fem;
  buildModel(fem, 0.0005, 0);
  EXPECT_EQ(run(fem), 1);
  EXPECT_EQ(fem.time, 0.0005);
  EXPECT_NE(console_.find("Initial time step:\t 5.0000e-04\n"), std::string::npos);
  EXPECT_NEAR(fem.nodeManager->node_array_cpu[1].coord[2], 4.0 * 0.0005, 1e-15);
}

DEVICE_TEST_F(GpuLoopTest, NoCycleReportsZeroDurationPerIteration) {
  FEMDynamic fem;
  buildModel(fem, 0.0, 0);  // neither an end time nor an end cycle
  EXPECT_EQ(run(fem), 0);
  EXPECT_NE(console_.find("Number of iterations: 0\n"), std::string::npos);
  EXPECT_NE(console_.find("Duration of a single iteration: 0.000000 ms\n"), std::string::npos);
}

DEVICE_TEST_F(GpuLoopTest, ProgressLogHasHeaderAndRecords) {
  FEMDynamic fem;
  buildModel(fem, 0.0055, 0);
  run(fem);
  const int records = runLogRecordCount();
  resetRunLog();
  std::ifstream in(dir_ / "history" / "log.txt");
  ASSERT_TRUE(in.is_open());
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Calculate file: \tnodes.k");
  EXPECT_EQ(lines[1],
            "Progress percentage\tSimulated time\tIteration steps\tTime increment\tNumber of contacts pairs\t"
            "Number of n2s\tnumber of n2e\tnumber of n2n\t");
  EXPECT_EQ(lines[2], "0%\t0\t0\t0.001\t0\t0\t0\t0\t");
  // The header comes once. The step (0.001) is far longer than the record
  // spacing (5.5e-8): the records lag behind and follow one per cycle,
  // set-up and six cycles. The first column is the share of the end time
  // reached; the step before the last is shortened to end on the end time.
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[3], "18.1818%\t0.001\t0\t0.001\t0\t0\t0\t0\t");
  EXPECT_EQ(lines[4], "36.3636%\t0.002\t1\t0.001\t0\t0\t0\t0\t");
  EXPECT_EQ(lines[7], "90.9091%\t0.005\t4\t0.0005\t0\t0\t0\t0\t");
  EXPECT_EQ(lines[8], "100%\t0.0055\t5\t0.001\t0\t0\t0\t0\t");
  EXPECT_EQ(records, 7);
}

// A second run starts the log afresh; a run that its end cycle ends between
// two record times (records every 10 cycles here) records its last state.
DEVICE_TEST_F(GpuLoopTest, EachRunStartsTheLogAfreshAndRecordsItsLastState) {
  for (int run_ = 0; run_ < 2; ++run_) {
    FEMDynamic fem;
    buildModel(fem, 1000.0, 25);
    run(fem);
    finishRunLog(&fem);
    finishRunLog(&fem);  // once only
    resetRunLog();
  }
  std::ifstream in(dir_ / "history" / "log.txt");
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  EXPECT_EQ(s.find("Calculate file: \tnodes.k"), 0u) << s;
  EXPECT_EQ(s.rfind("Calculate file:"), 0u) << s;
  const std::string last = s.substr(s.rfind('\n', s.size() - 2) + 1);
  EXPECT_EQ(last, "0.0025%\t0.025\t25\t0.001\t0\t0\t0\t0\t\n") << s;
}

TEST(RunEnd, EndTimeOrEndCycleWhicheverComesFirst) {
  TimeControl tc;
  tc.end_time = 1.0;
  EXPECT_FALSE(tc.runEnded(0.5, 100));
  EXPECT_TRUE(tc.runEnded(1.0, 0));
  tc.end_cycle = 5;
  EXPECT_FALSE(tc.runEnded(0.5, 4));
  EXPECT_TRUE(tc.runEnded(0.5, 5));
  EXPECT_TRUE(tc.runEnded(1.0, 3));
  tc.end_time = 0.0;
  EXPECT_FALSE(tc.runEnded(7.0, 4));
  EXPECT_TRUE(tc.runEnded(7.0, 5));
  tc.end_cycle = 0;
  EXPECT_TRUE(tc.runEnded(0.0, 0));  // nothing asked: no cycle
}

// The last step ends on the end time exactly; one that falls short of it by
// a rounding error of its own length takes the rest too.
TEST(RunEnd, LastStepEndsOnTheEndTime) {
  TimeControl tc;
  tc.end_time = 8e-5;
  EXPECT_EQ(tc.stepWithinEndTime(7e-5, 2e-8), 2e-8);
  EXPECT_EQ(tc.stepWithinEndTime(7.999e-5, 2e-8), 8e-5 - 7.999e-5);
  EXPECT_EQ(tc.timeAfterStep(7.999e-5, tc.stepWithinEndTime(7.999e-5, 2e-8)), 8e-5);
  const double nearly = 8e-5 - 2e-8 * (1.0 + 1e-12);
  EXPECT_EQ(tc.timeAfterStep(nearly, tc.stepWithinEndTime(nearly, 2e-8)), 8e-5);
  EXPECT_EQ(tc.stepWithinEndTime(0.0, 1e-3), 8e-5);  // below the first step
  tc.end_time = 0.0;                                 // no end time: steps are kept
  EXPECT_EQ(tc.stepWithinEndTime(5.0, 1e-3), 1e-3);
  EXPECT_EQ(tc.timeAfterStep(5.0, 1e-3), 5.0 + 1e-3);
}

}  // namespace
