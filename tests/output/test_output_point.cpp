#include <gtest/gtest.h>

#include "output/basicoutput.h"

namespace {

// Walks a run with a constant step and records the cycles that fire.
std::vector<int> firingCycles(double interval, double dt, int cycles) {
  std::vector<int> fired;
  for (int c = 0; c < cycles; ++c) {
    if (isOutputPoint(interval, c * dt, dt)) {
      fired.push_back(c);
    }
  }
  return fired;
}

class TestOutput : public BasicOutput {
 public:
  void collect(OutputModel*, double, double) override {}
  void init(OutputModel*) override {}
  void write(OutputModel*, double, double) override {}
  void writeBinaryDump(OutputModel*, double, double) override {}
  void readBinaryDump(OutputModel*, double, double) override {}
};

}  // namespace

TEST(OutputPoint, IntervalOneStepPointThreeFiresAtZeroAndNearOne) {
  // t = 0, 0.3, 0.6, 0.9, 1.2, ...: 0.9 lies 0.1 below 1.0 (< 0.15), 1.2
  // lies 0.2 past it.
  EXPECT_TRUE(isOutputPoint(1.0, 0.0, 0.3));
  EXPECT_FALSE(isOutputPoint(1.0, 0.3, 0.3));
  EXPECT_FALSE(isOutputPoint(1.0, 0.6, 0.3));
  EXPECT_TRUE(isOutputPoint(1.0, 0.9, 0.3));
  EXPECT_FALSE(isOutputPoint(1.0, 1.2, 0.3));
  EXPECT_EQ(firingCycles(1.0, 0.3, 8), (std::vector<int>{0, 3, 7}));  // 0, 0.9, 2.1
}

TEST(OutputPoint, ExactMultiplesFireOnceEach) {
  // With dt dividing the interval, exactly one step per interval fires.
  const std::vector<int> fired = firingCycles(0.5, 0.125, 17);
  EXPECT_EQ(fired, (std::vector<int>{0, 4, 8, 12, 16}));
}

TEST(OutputPoint, ZeroIntervalFiresAtTimeZeroOnly) {
  EXPECT_TRUE(isOutputPoint(0.0, 0.0, 1e-3));
  EXPECT_FALSE(isOutputPoint(0.0, 1e-3, 1e-3));
  EXPECT_FALSE(isOutputPoint(0.0, 5.0, 1e-3));
  EXPECT_FALSE(isOutputPoint(-1.0, 2.0, 1e-3));
}

TEST(OutputPoint, LongRunsBeyondIntRangeStillWork) {
  // t / I far above 2^31: the test keeps working in double precision.
  const double interval = 1e-9;
  const double t = 10.0;  // 1e10 intervals
  EXPECT_TRUE(isOutputPoint(interval, t, 1e-10));
  EXPECT_FALSE(isOutputPoint(interval, t + 0.3e-9, 1e-10));
}

TEST(OutputVariables, NamesBecomeCodesInOrderAndAppend) {
  TestOutput output;
  output.variableNames_ = {"S", "U", "RF", "PE", "LE", "tecplot", "s", "S"};
  output.parseOutputVariables();
  EXPECT_EQ(output.variableCodes_,
            (std::vector<int>{OUTPUT_STRESS, OUTPUT_CONTACT_FORCE, OUTPUT_STRAIN, OUTPUT_TECPLOT, OUTPUT_STRESS}));
  // A second parse appends: the run parses once.
  output.parseOutputVariables();
  EXPECT_EQ(output.variableCodes_.size(), 10u);
}
