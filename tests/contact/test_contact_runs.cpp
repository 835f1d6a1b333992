// Contact through the GPU time loop, decks as written: two equal steel bars
// exchange their momentum in 2L/c, a shell striking a free shell of equal
// mass shares its speed, and a contact that is never touched changes
// nothing.
#include <gtest/gtest.h>
#include <cmath>
#include <string>
#include <vector>
#include "tests/decks/deck_case.h"

using deckcase::runInProcess;
using deckcase::Sample;

namespace {

constexpr double kBarLength = 0.2;
constexpr double kBarSpeed = 1.0;
constexpr double kBarGap = 1.0e-5;
constexpr double kBarH = 0.005;
const double kSteelC = std::sqrt(2.1e11 / 7850.0);

// Momentum along x of the nodes whose start x lies in [lo, hi).
double momentumX(const Sample& s, const Sample& first, double lo, double hi) {
  double p = 0.0;
  for (std::size_t i = 0; i < s.nodes.size(); ++i) {
    const double x = first.nodes[i].coord[0];
    if (x >= lo && x < hi) p += s.nodes[i].mass * s.nodes[i].vel[0];
  }
  return p;
}

// Time at which f crosses `level` going up (linear between samples).
double crossingTime(const std::vector<Sample>& samples, const std::vector<double>& f, double level) {
  for (std::size_t s = 1; s < samples.size(); ++s) {
    if (f[s - 1] < level && f[s] >= level) {
      return samples[s - 1].time + (samples[s].time - samples[s - 1].time) * (level - f[s - 1]) / (f[s] - f[s - 1]);
    }
  }
  return -1.0;
}

TEST(ContactRun, EqualBarsExchangeMomentumOverTwoLengthsOverWaveSpeed) {
  const std::vector<Sample> samples = runInProcess("bar_on_bar");
  ASSERT_GT(samples.size(), 50u);
  const Sample& first = samples.front();
  const double split = kBarLength + 0.5 * kBarGap;
  const double total0 = momentumX(first, first, -1.0, 1.0);
  const double mass = total0 / kBarSpeed;  // of the striker
  std::vector<double> struck;
  double worstPenetration = 0.0;
  for (const Sample& s : samples) {
    const double p = momentumX(s, first, -1.0, 1.0);
    EXPECT_NEAR(p, total0, 1e-9 * std::fabs(total0)) << "t = " << s.time;
    struck.push_back(momentumX(s, first, split, 1.0) / mass);
    // Front face of the striker against the back face of the struck bar.
    double front = -1.0, back = 1.0;
    for (std::size_t i = 0; i < s.nodes.size(); ++i) {
      const double x0 = first.nodes[i].coord[0];
      if (std::fabs(x0 - kBarLength) < 1e-9) front = std::max(front, s.nodes[i].coord[0]);
      if (std::fabs(x0 - kBarLength - kBarGap) < 1e-9) back = std::min(back, s.nodes[i].coord[0]);
    }
    worstPenetration = std::max(worstPenetration, front - back);
  }
  // The momentum of the struck bar grows at the constant rate of the
  // contact stress: from 10 % to 90 % of m v in 0.8 of the contact time.
  const double t10 = crossingTime(samples, struck, 0.1);
  const double t90 = crossingTime(samples, struck, 0.9);
  ASSERT_GT(t10, 0.0);
  ASSERT_GT(t90, t10);
  const double duration = (t90 - t10) / 0.8;
  EXPECT_NEAR(duration, 2.0 * kBarLength / kSteelC, 0.03 * 2.0 * kBarLength / kSteelC);
  // The striker stops, the struck bar leaves at v.
  const Sample& last = samples.back();
  EXPECT_NEAR(momentumX(last, first, split, 1.0) / mass, kBarSpeed, 0.03 * kBarSpeed);
  EXPECT_NEAR(momentumX(last, first, -1.0, split) / mass, 0.0, 0.03 * kBarSpeed);
  EXPECT_LT(worstPenetration, 0.01 * kBarH);
}

TEST(ContactRun, ContactNeverTouchedChangesNothing) {
  const std::vector<Sample> with = runInProcess("bar_on_bar_apart");
  const std::vector<Sample> without = runInProcess("bar_on_bar_apart_none");
  ASSERT_GT(with.size(), 10u);
  ASSERT_EQ(with.size(), without.size());
  for (std::size_t s = 0; s < with.size(); ++s) {
    ASSERT_EQ(with[s].time, without[s].time);
    for (std::size_t i = 0; i < with[s].nodes.size(); ++i) {
      for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(with[s].nodes[i].coord[k], without[s].nodes[i].coord[k]) << "cycle " << s;
        ASSERT_EQ(with[s].nodes[i].vel[k], without[s].nodes[i].vel[k]) << "cycle " << s;
      }
    }
  }
}

// The slave nodes (four, 1 kg in all) strike a free master shell of 1 kg:
// both share the speed -0.5 m/s, also though the master nodes are no
// contact nodes.
TEST(ContactRun, NodesOnAFreeShellOfEqualMassShareTheirSpeed) {
  const std::vector<Sample> samples = runInProcess("node_on_shell");
  ASSERT_GT(samples.size(), 10u);
  const Sample& first = samples.front();
  const Sample& last = samples.back();
  double pMaster = 0.0, pSlave = 0.0, mMaster = 0.0, mSlave = 0.0;
  for (std::size_t i = 0; i < last.nodes.size(); ++i) {
    const bool slave = first.nodes[i].coord[2] > 0.001;
    (slave ? pSlave : pMaster) += last.nodes[i].mass * last.nodes[i].vel[2];
    (slave ? mSlave : mMaster) += last.nodes[i].mass;
  }
  ASSERT_NEAR(mMaster, 1.0, 1e-9);
  ASSERT_NEAR(mSlave, 1.0, 1e-9);
  EXPECT_NEAR(pSlave / mSlave, -0.5, 0.01);
  EXPECT_NEAR(pMaster / mMaster, -0.5, 0.01);
  EXPECT_NEAR(pSlave + pMaster, -1.0, 1e-9);
}

}  // namespace
