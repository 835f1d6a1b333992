#include <gtest/gtest.h>

#include "contact/tiemanager.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "elements/elementControl.h"
#include "elements/elmmanager.h"
#include "solver/constrained.h"
#include "solver/timeControl.h"
#include "tests/elements/solidTestModel.h"

namespace {

TEST(SafeFactor, PositiveOrZeroTargetUsesInputFactorOrDefault) {
  TimeControl tc;
  tc.target_dt = 1e-6;
  testing::internal::CaptureStdout();
  tc.setSafeFactor();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nThe safeFactor is 0.90\n");
  EXPECT_EQ(tc.mass_scaling_flag, 1);
  EXPECT_EQ(tc.safe_factor, 0.9);

  TimeControl off;
  off.input_safe_factor = 0.67;
  testing::internal::CaptureStdout();
  off.setSafeFactor();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nThe safeFactor is 0.67\n");
  EXPECT_EQ(off.mass_scaling_flag, 0);
  EXPECT_EQ(off.safe_factor, 0.67);
}

TEST(SafeFactor, NegativeTargetScalesByPointSevenSilently) {
  TimeControl tc;
  tc.target_dt = -1e-6;
  tc.input_safe_factor = 0.5;  // not used on this path
  testing::internal::CaptureStdout();
  tc.setSafeFactor();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(tc.safe_factor, 0.7);
  EXPECT_DOUBLE_EQ(tc.target_dt, 7e-7);
  EXPECT_EQ(tc.mass_scaling_flag, 1);
}

TEST(MassScaling, DueOnlyAtIntervalAndAtOrBelowTarget) {
  TimeControl tc;
  tc.mass_scaling_flag = 1;
  tc.target_dt = 1e-6;
  EXPECT_FALSE(tc.massScalingDue(0, 1e-6));  // no recompute interval: never
  tc.recompute_interval = 10;
  EXPECT_TRUE(tc.massScalingDue(0, 1e-6));
  EXPECT_TRUE(tc.massScalingDue(20, 5e-7));
  EXPECT_FALSE(tc.massScalingDue(20, 1.0000001e-6));
  EXPECT_FALSE(tc.massScalingDue(15, 5e-7));
  tc.mass_scaling_flag = 0;
  EXPECT_FALSE(tc.massScalingDue(10, 5e-7));
}

TEST(MassScaling, GpuScalingRestoresStoredMassesAndTakesTarget) {
  NodeManager nodes;
  NodeCuda n{};
  n.id = 1;
  n.mass = 7.0;
  n.stored_mass = 5.0;
  nodes.node_array_cpu.push_back(n);
  nodes.setNodeNum();
  nodes.allocateAndCopyNodes();
  ElementControl elements;
  TieManager ties;
  ConstrainedManager constraints;
  TimeControl tc;
  tc.mass_scaling_flag = 1;
  tc.recompute_interval = 1;
  tc.target_dt = 2e-6;
  double candidate = 3e-6;  // above the target: nothing happens
  tc.massScalingGpu(&ties, &constraints, &elements, &nodes, 4, &candidate);
  EXPECT_EQ(candidate, 3e-6);
  candidate = 1e-6;
  tc.massScalingGpu(&ties, &constraints, &elements, &nodes, 4, &candidate);
  EXPECT_EQ(candidate, 2e-6);
  nodes.copyNodesToCpu();
  EXPECT_EQ(nodes.node_array_cpu[0].mass, 5.0);
  EXPECT_EQ(nodes.node_array_cpu[0].equivalent_mass, 5.0);
}

TEST(TimeInfo, PrintedLines) {
  TimeControl tc;
  tc.output_interval = 1e-4;
  tc.end_time = 0.02;
  testing::internal::CaptureStdout();
  tc.printTimeInfo(2.5e-7);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\nInitial time step:\t 2.5000e-07\nData output time increment:\t1.0000e-04\n"
            "Complete simulation time:\t2.0000e-02\n\n");
}

TEST(InitialStep, HostStepWithoutPartsIsThousand) {
  TimeControl tc;
  std::vector<Part> parts;
  double dt = 0.0;
  EXPECT_EQ(tc.calInitialDtCpu(parts, &dt), 1000.0);
  EXPECT_EQ(dt, 1000.0);
}

// The host step of a part is its smallest characteristic length times the
// safe factor over the solid wave speed: a 10 mm steel cube gives the same
// step as the element driver.
TEST(InitialStep, HostStepOfASteelCube) {
  solidtest::SolidModel m;
  solidtest::addCube(m, 0.01);
  m.link();
  ElmManager store;
  store.solid_element_array_cpu = m.elems;
  std::vector<Part> parts(1);
  parts[0].id = 1;
  parts[0].elmManager = &store;
  parts[0].materialNew = m.material.get();
  TimeControl tc;
  tc.safe_factor = 0.9;
  double dt = 0.0;
  tc.calInitialDtCpu(parts, &dt);
  EXPECT_NEAR(dt, 1.49976e-6, 1e-11);
}

}  // namespace
