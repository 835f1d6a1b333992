// Contact through the GPU time loop, decks as written: two equal steel bars
// exchange their momentum in 2L/c, a shell striking a free shell of equal
// mass shares its speed, and a contact that is never touched changes
// nothing.
#include "tests/deviceTest.h"
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>
#include "core/nodeManager.h"
#include "solver/femdynamic.h"
#include "tests/decks/deckCase.h"
#include "tests/solver/motionDeck.h"

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

DEVICE_TEST(ContactRun, EqualBarsExchangeMomentumOverTwoLengthsOverWaveSpeed) {
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

DEVICE_TEST(ContactRun, ContactNeverTouchedChangesNothing) {
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
DEVICE_TEST(ContactRun, NodesOnAFreeShellOfEqualMassShareTheirSpeed) {
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

// A block resting on a fixed plate slides off its free edge at 10 m/s under
// gravity: from the moment its bottom nodes are past the edge it falls
// freely, g t^2 / 2 = 1.23 m in 0.5 s, with no contact force.
DEVICE_TEST(ContactRun, BlockSlidingOffAFreeEdgeFallsFreely) {
  const std::vector<Sample> samples = runInProcess("block_off_edge");
  ASSERT_GT(samples.size(), 100u);
  const Sample& first = samples.front();
  auto isBlock = [&](std::size_t i) { return first.nodes[i].coord[2] > 0.001; };
  auto blockMean = [&](const Sample& s, auto value) {
    double sum = 0.0;
    int count = 0;
    for (std::size_t i = 0; i < s.nodes.size(); ++i) {
      if (isBlock(i)) {
        sum += value(s.nodes[i]);
        ++count;
      }
    }
    return sum / count;
  };
  auto z = [](const NodeCuda& n) { return n.coord[2]; };
  auto vz = [](const NodeCuda& n) { return n.vel[2]; };
  // While on the plate its bottom is held up at the plate's half thickness.
  for (std::size_t i = 0; i < first.nodes.size(); ++i) {
    if (isBlock(i) && first.nodes[i].coord[2] < 0.01) {
      EXPECT_NEAR(samples[3].nodes[i].coord[2], 0.005, 1e-4);
    }
  }
  // The moment every bottom node is past the edge.
  const Sample* off = nullptr;
  for (const Sample& s : samples) {
    bool past = true;
    for (std::size_t i = 0; i < s.nodes.size(); ++i) {
      if (isBlock(i) && first.nodes[i].coord[2] < 0.01) past = past && s.nodes[i].coord[0] > 1.01;
    }
    if (past) {
      off = &s;
      break;
    }
  }
  ASSERT_NE(off, nullptr);
  const Sample* later = nullptr;
  for (const Sample& s : samples) {
    if (s.time >= off->time + 0.5 - 1e-9) {
      later = &s;
      break;
    }
  }
  ASSERT_NE(later, nullptr);
  EXPECT_NEAR(blockMean(*later, z) - blockMean(*off, z), -1.23, 0.05 * 1.23);
  EXPECT_NEAR(blockMean(*later, vz) - blockMean(*off, vz), -9.81 * (later->time - off->time), 1e-6)
      << "a contact force still acts past the edge";
}

// A rigid sphere of shells strikes a clamped plate (single-surface
// contact): no plate node gets behind the sphere's facets, and the sphere
// bounces back.
DEVICE_TEST(ContactRun, RigidSphereStrikesAClampedPlateAndRebounds) {
  const std::vector<Sample> samples = runInProcess("sphere_on_plate");
  ASSERT_GT(samples.size(), 50u);
  const Sample& first = samples.front();
  const std::size_t plateNodes = 17 * 17;
  // Radius of the sphere's inscribed facets, from the start.
  double centre0[3] = {0.0, 0.0, 0.0};
  const std::size_t sphereNodes = first.nodes.size() - plateNodes;
  for (std::size_t i = plateNodes; i < first.nodes.size(); ++i) {
    for (int k = 0; k < 3; ++k) centre0[k] += first.nodes[i].coord[k] / sphereNodes;
  }
  const double inscribed = 0.05 * 0.92;
  double lowestClearance = 1.0;
  double sphereVz = 0.0;
  for (const Sample& s : samples) {
    double c[3] = {0.0, 0.0, 0.0};
    sphereVz = 0.0;
    for (std::size_t i = plateNodes; i < s.nodes.size(); ++i) {
      for (int k = 0; k < 3; ++k) c[k] += s.nodes[i].coord[k] / sphereNodes;
      sphereVz += s.nodes[i].vel[2] / sphereNodes;
    }
    for (std::size_t i = 0; i < plateNodes; ++i) {
      const double* x = s.nodes[i].coord;
      const double r =
          std::sqrt((x[0] - c[0]) * (x[0] - c[0]) + (x[1] - c[1]) * (x[1] - c[1]) + (x[2] - c[2]) * (x[2] - c[2]));
      lowestClearance = std::min(lowestClearance, r - inscribed);
    }
  }
  EXPECT_GT(lowestClearance, 0.0) << "a plate node got behind the sphere's surface";
  EXPECT_GT(sphereVz, 0.0) << "the sphere rebounds";
  EXPECT_LT(centre0[2], 0.06);
}

// The sphere strikes the plate at its centre, and both meshes are
// symmetric in x, in y and in x = y (the sphere's lowest point is a node of
// four facets): frictionless, the impact stays symmetric: the sphere neither
// drifts sideways nor turns (to round-off), and the plate's deflection is
// mirrored node for node.  The first plate node meets the sphere at that
// node, where the contact normal is the mean of the four facets', not the
// normal of whichever facet came first (which used to throw the sphere 2 mm
// sideways and turn it 5 degrees).
DEVICE_TEST(ContactRun, CentredSphereOnASymmetricPlateStaysSymmetric) {
  constexpr std::size_t plateNodes = 17 * 17;
  constexpr double radius = 0.05;
  const deckcase::fs::path scratch = deckcase::scratchFolder("sphere_on_plate_symmetry");
  deckcase::fs::copy_file(deckcase::caseFolder("sphere_on_plate") / "deck.k", scratch / "deck.k");
  std::vector<NodeCuda> start;
  double drift = 0.0, turn = 0.0, mirror = 0.0, deflection = 0.0;
  motiondeck::watchModelAt(scratch, [&](FEMDynamic& fem, double) {
    const std::vector<NodeCuda>& nodes = fem.nodeManager->node_array_cpu;
    if (start.empty()) start = nodes;
    // The sphere: its centre's sideways motion, and how far its nodes have
    // moved apart from its centre (a turn through angle a moves them up to a R).
    double centre[3] = {0.0, 0.0, 0.0};
    const double count = static_cast<double>(nodes.size() - plateNodes);
    for (std::size_t i = plateNodes; i < nodes.size(); ++i)
      for (int k = 0; k < 3; ++k) centre[k] += (nodes[i].coord[k] - start[i].coord[k]) / count;
    drift = std::max({drift, std::fabs(centre[0]), std::fabs(centre[1])});
    for (std::size_t i = plateNodes; i < nodes.size(); ++i)
      for (int k = 0; k < 3; ++k)
        turn = std::max(turn, std::fabs(nodes[i].coord[k] - start[i].coord[k] - centre[k]) / radius);
    // The plate: node (i, j) against its mirrors (16 - i, j), (i, 16 - j), (j, i).
    for (int j = 0; j <= 16; ++j)
      for (int i = 0; i <= 16; ++i) {
        const double z = nodes[static_cast<std::size_t>(i + 17 * j)].coord[2];
        deflection = std::max(deflection, -z);
        for (std::size_t m : {16 - i + 17 * j, i + 17 * (16 - j), j + 17 * i})
          mirror = std::max(mirror, std::fabs(z - nodes[m].coord[2]));
      }
  });
  ASSERT_GT(deflection, 1e-4);
  EXPECT_LT(drift, 1e-12 * radius);
  EXPECT_LT(turn, 1e-12);
  // The plate's shells are all numbered alike, not mirrored: its own
  // round-off grows to a few parts in a million of the deflection.
  EXPECT_LT(mirror, 1e-5 * deflection);
}

}  // namespace
