// End-to-end deck cases of supports and rigid walls: waves in steel bars of
// hexahedra, compared with the one-dimensional rod (nu = 0).
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>

#include "tests/decks/deckCase.h"

using namespace deckcase;

namespace {

constexpr double kSteelDensity = 7850.0;
const double kSteelWaveSpeed = std::sqrt(2.0e11 / kSteelDensity);
constexpr double kBarElements = 40.0;

// The nodes that start at x = 0 (the four of the bar's end face).
std::vector<std::size_t> endFace(const Sample& first) {
  std::vector<std::size_t> face;
  for (std::size_t i = 0; i < first.nodes.size(); ++i) {
    if (first.nodes[i].coord[0] - first.nodes[i].total_disp[0] < 1e-9) face.push_back(i);
  }
  return face;
}

}  // namespace

// Pushed at x = L at v = 1 m/s and held at x = 0: a compression wave of
// rho c v reaches the held end at t = L / c and reflects there, doubling
// the stress to 2 rho c v.
DEVICE_TEST(DeckCase, WaveDoublesAtAFixedEnd) {
  const double length = 0.2, v = 1.0, c = kSteelWaveSpeed, h = length / kBarElements;
  const std::vector<Sample> samples = runInProcess("wave_fixed_end");
  ASSERT_GT(samples.size(), 50u);
  const std::vector<std::size_t> heldEnd = endFace(samples.front());
  ASSERT_EQ(heldEnd.size(), 4u);
  auto endStress = [&](const Sample& s) {
    double sum = 0.0;
    for (std::size_t i : heldEnd) sum -= s.nodes[i].stress[0];
    return sum / static_cast<double>(heldEnd.size());
  };
  const double once = kSteelDensity * c * v;
  double arrival = -1.0, sum = 0.0;
  int count = 0;
  for (std::size_t s = 1; s < samples.size(); ++s) {
    const double t = samples[s].time;
    for (std::size_t i : heldEnd) {
      EXPECT_NEAR(samples[s].nodes[i].total_disp[0], 0.0, 1e-15);
    }
    if (arrival < 0.0 && endStress(samples[s]) > once) arrival = t;
    if (t < 0.8 * length / c) {
      EXPECT_LT(std::fabs(endStress(samples[s])), 0.05 * once) << t;
    }
    if (t >= (length + 2.0 * h) / c) {
      sum += endStress(samples[s]);
      ++count;
    }
  }
  ASSERT_GT(count, 5);
  EXPECT_NEAR(arrival, length / c, 0.05 * length / c);
  EXPECT_NEAR(sum / count, 2.0 * once, 0.05 * 2.0 * once);
}

// Thrown at a fixed wall at v = 5 m/s: the bar stays in contact for 2 L / c
// and leaves at -v; no node passes the wall by 1 % of an element.
DEVICE_TEST(DeckCase, BarBouncesOffARigidWall) {
  const double length = 0.1, v = 5.0, c = kSteelWaveSpeed, h = length / kBarElements;
  const std::vector<Sample> samples = runInProcess("bar_on_wall");
  ASSERT_GT(samples.size(), 100u);
  const std::vector<std::size_t> wallEnd = endFace(samples.front());
  ASSERT_EQ(wallEnd.size(), 4u);
  double release = -1.0, deepest = 0.0;
  for (const Sample& s : samples) {
    for (const NodeCuda& n : s.nodes) deepest = std::min(deepest, n.coord[0]);
    double speed = 0.0;
    for (std::size_t i : wallEnd) speed += s.nodes[i].vel[0] / static_cast<double>(wallEnd.size());
    if (release < 0.0 && s.time > length / c && speed > 0.5 * v) release = s.time;
  }
  EXPECT_NEAR(release, 2.0 * length / c, 0.03 * 2.0 * length / c);
  EXPECT_GT(deepest, -0.01 * h);
  double mass = 0.0, momentum = 0.0;
  for (const NodeCuda& n : samples.back().nodes) {
    mass += n.mass;
    momentum += n.mass * n.vel[0];
  }
  EXPECT_NEAR(momentum / mass, v, 0.02 * v);
}
