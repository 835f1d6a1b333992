#include <gtest/gtest.h>

#include "contact/tiemanager.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "elements/elementControl.h"
#include "elements/elmmanager.h"
#include "solver/constrained.h"
#include "solver/timeControl.h"
#include "tests/elements/solidTestModel.h"
#include "tests/solver/motionDeck.h"

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

// A stiff block whose own step is 9e-6, run by the program: "DT=" is the
// mass-scaling target whether or not the deck asks for mass scaling, and a
// negative step on the deck's time-step card asks for its absolute value.
// The added mass is reported only by a run that adds mass.
TEST(MassScalingRuns, CommandLineAndDeckStepsTakeTheModelToTheTarget) {
  motiondeck::Block b;
  b.h = 0.1;
  b.young = 1.0e8;
  const std::string deck = b.cards() + motiondeck::termination(1e-4);
  const std::string scaledText = "calculation with mass scaling";
  std::string console;
  ASSERT_EQ(motiondeck::runProgram("mass_scaling_none", deck, &console), 0) << console;
  EXPECT_NE(console.find("Initial time step:\t 9.0000e-06"), std::string::npos) << console;
  EXPECT_EQ(console.find(scaledText), std::string::npos) << console;

  ASSERT_EQ(motiondeck::runProgram("mass_scaling_dt", deck, &console, "DT=2e-5"), 0) << console;
  EXPECT_NE(console.find("Initial time step:\t 2.0000e-05"), std::string::npos) << console;
  EXPECT_NE(console.find(scaledText), std::string::npos) << console;

  // A target below the model's own step scales nothing and says nothing.
  ASSERT_EQ(motiondeck::runProgram("mass_scaling_below", deck, &console, "DT=1e-6"), 0) << console;
  EXPECT_NE(console.find("Initial time step:\t 9.0000e-06"), std::string::npos) << console;
  EXPECT_EQ(console.find(scaledText), std::string::npos) << console;

  const std::string negative = deck + "*CONTROL_TIMESTEP\n" + card({"", "", "", "", "-2e-5"});
  ASSERT_EQ(motiondeck::runProgram("mass_scaling_negative", negative, &console), 0) << console;
  EXPECT_NE(console.find("Initial time step:\t 2.0000e-05"), std::string::npos) << console;
  EXPECT_NE(console.find(scaledText), std::string::npos) << console;
}

}  // namespace
