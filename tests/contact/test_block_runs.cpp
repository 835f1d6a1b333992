// A steel cube dropped on a cube held at its bottom, 0.001 mm apart, so that
// the upper cube crosses the gap within its first step: with one-segment
// segment sets and with whole parts as the contact's sides the upper cube
// bounces off the lower one.
#include "tests/deviceTest.h"
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>
#include "tests/decks/deckCase.h"

using deckcase::runInProcess;
using deckcase::Sample;

namespace {

constexpr double kEdge = 1.0;           // element size, mm
constexpr double kSpeed = 1.0e4;        // speed of the upper cube, mm/s
constexpr std::size_t kLowerNodes = 8;  // nodes 1-8; the upper cube has 9-16

// Momentum along z of the upper cube.
double upperMomentumZ(const Sample& s) {
  double p = 0.0;
  for (std::size_t i = kLowerNodes; i < s.nodes.size(); ++i) p += s.nodes[i].mass * s.nodes[i].vel[2];
  return p;
}

void checkBounce(const std::string& name) {
  const std::vector<Sample> samples = runInProcess(name);
  ASSERT_GT(samples.size(), 50u);
  const double p0 = upperMomentumZ(samples.front());
  ASSERT_LT(p0, 0.0);
  double worst = 0.0;  // deepest upper node below the lower cube's top face
  for (const Sample& s : samples) {
    double top = 0.0;
    for (std::size_t i = 4; i < kLowerNodes; ++i) top += 0.25 * s.nodes[i].coord[2];
    for (const NodeCuda& n : s.nodes) {
      for (int a = 0; a < 3; ++a) ASSERT_TRUE(std::isfinite(n.coord[a]) && std::isfinite(n.vel[a])) << "t = " << s.time;
    }
    for (std::size_t i = kLowerNodes; i < s.nodes.size(); ++i) worst = std::max(worst, top - s.nodes[i].coord[2]);
  }
  EXPECT_LT(worst, 0.01 * kEdge);
  // It leaves upwards, with no more momentum than it came with.
  const double p1 = upperMomentumZ(samples.back());
  EXPECT_GT(p1, 0.3 * std::fabs(p0));
  EXPECT_LE(p1, std::fabs(p0) * (1.0 + 1e-9));
  // Its bottom face ends well above the place where it met the lower cube.
  double z = 0.0;
  for (std::size_t i = kLowerNodes; i < kLowerNodes + 4; ++i) z += 0.25 * samples.back().nodes[i].coord[2];
  EXPECT_GT(z, kEdge + 0.2 * kSpeed * 1e-5);
}

}  // namespace

DEVICE_TEST(BlockRun, CubeCrossingTheGapInOneStepBouncesOffOneSegmentSets) { checkBounce("block_on_block_sets"); }

DEVICE_TEST(BlockRun, CubeOnPartSidesBouncesWithoutSlidingDownTheSideFaces) { checkBounce("block_on_block_parts"); }
