// A node-only model built in memory, run through the GPU time loop on the
// emulated device.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/logFile.h"
#include "core/nodeManager.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/timeControl.h"

namespace {

class GpuLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("impactfem_gpu_loop_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
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

TEST_F(GpuLoopTest, FreeNodesMoveWithConstantVelocity) {
  FEMDynamic fem;
  buildModel(fem, 0.0055, 0);
  const int cycles = run(fem);
  EXPECT_EQ(cycles, 5);
  double t = 0.0;  // the sum of the steps used by the displacement updates
  for (int c = 0; c < cycles; ++c) t += 0.001;
  const NodeCuda* n = fem.nodeManager->node_array_cpu.data();
  EXPECT_EQ(n[0].coord[0], t);
  EXPECT_EQ(n[0].coord[1], 2.0 * t);
  EXPECT_EQ(n[0].coord[2], -0.5 * t);
  EXPECT_EQ(n[1].coord[0], 0.25 * t);
  EXPECT_EQ(n[1].coord[2], 4.0 * t);
  EXPECT_EQ(n[2].coord[0], 3.7);
  EXPECT_EQ(n[2].coord[1], -1.1);
  EXPECT_EQ(n[0].vel[1], 2.0);
  EXPECT_EQ(n[0].ini_coord[0], 0.0);
  EXPECT_EQ(n[2].ini_coord[2], 0.3);
  EXPECT_NE(console_.find("initialComputeCpu success!\n"), std::string::npos);
  EXPECT_NE(console_.find("allocateAndCopySingleGpu success!\n"), std::string::npos);
  EXPECT_NE(console_.find("initialComputeSingleGpu success!\n"), std::string::npos);
  EXPECT_NE(console_.find("Initial time step:\t 1.0000e-03\n"), std::string::npos);
  EXPECT_NE(console_.find("\nNumber of iterations: 5\n"), std::string::npos);
}

TEST_F(GpuLoopTest, EndCycleAloneRunsExactlyThatManyCycles) {
  FEMDynamic fem;
  buildModel(fem, 0.0, 7);
  EXPECT_EQ(run(fem), 7);
}

TEST_F(GpuLoopTest, LoopRunsUntilBothEndTimeAndEndCycleAreReached) {
  FEMDynamic a;
  buildModel(a, 0.0035, 6);
  EXPECT_EQ(run(a), 6);
  resetRunLog();
  FEMDynamic b;
  buildModel(b, 0.0085, 2);
  EXPECT_EQ(run(b), 8);
}

TEST_F(GpuLoopTest, NoCycleReportsZeroDurationPerIteration) {
  FEMDynamic fem;
  buildModel(fem, 0.0005, 0);  // the first step already passes the end time
  EXPECT_EQ(run(fem), 0);
  EXPECT_NE(console_.find("Number of iterations: 0\n"), std::string::npos);
  EXPECT_NE(console_.find("Duration of a single iteration: 0.000000 ms\n"), std::string::npos);
}

TEST_F(GpuLoopTest, ProgressLogHasHeaderAndRecords) {
  FEMDynamic fem;
  buildModel(fem, 0.0055, 0);
  run(fem);
  const int records = runLogRecordCount();
  resetRunLog();
  std::ifstream in(dir_ / "history" / "log.txt");
  ASSERT_TRUE(in.is_open());
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "Calculate file: \tnodes.k");
  EXPECT_EQ(lines[2],
            "Progress percentage\tSimulated time\tIteration steps\tTime increment\tNumber of contacts pairs\t"
            "Number of n2s\tnumber of n2e\tnumber of n2n\t");
  EXPECT_EQ(lines[3], "0%\t0\t0\t0.001\t0\t0\t0\t0\t");
  // The first cycle still has cycle count 0, so the header comes once more.
  // The step (0.001) is far longer than the record spacing (5.5e-8): the
  // records lag behind and follow one per cycle, set-up and five cycles.
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[5], lines[1]);
  EXPECT_EQ(lines[6], lines[2]);
  EXPECT_EQ(lines[7], "0.001%\t0.001\t0\t0.001\t0\t0\t0\t0\t");
  EXPECT_EQ(lines[8], "0.002%\t0.002\t1\t0.001\t0\t0\t0\t0\t");
  EXPECT_EQ(lines[11], "0.005%\t0.005\t4\t0.001\t0\t0\t0\t0\t");
  EXPECT_EQ(records, 6);
}

TEST_F(GpuLoopTest, SecondRunAppendsANewHeader) {
  for (int run_ = 0; run_ < 2; ++run_) {
    FEMDynamic fem;
    buildModel(fem, 0.0015, 0);
    run(fem);
    resetRunLog();
  }
  std::ifstream in(dir_ / "history" / "log.txt");
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  const std::size_t first = s.find("Calculate file: \tnodes.k");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(s.find("Calculate file: \tnodes.k", first + 1), std::string::npos);
}

TEST(TimeLoopCondition, EndTimeOrEndCycle) {
  EXPECT_TRUE(timeLoopContinues(0.5, 1.0, 100, 0));
  EXPECT_FALSE(timeLoopContinues(1.0, 1.0, 0, 0));
  EXPECT_TRUE(timeLoopContinues(2.0, 1.0, 3, 5));
  EXPECT_FALSE(timeLoopContinues(2.0, 1.0, 5, 5));
  EXPECT_TRUE(timeLoopContinues(0.0, 0.0, 0, 1));
}

}  // namespace
