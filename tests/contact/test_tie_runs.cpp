// Tied contact through the GPU time loop, decks as written
// (tests/decks/make_friction_tie_decks.py): a bar wave crosses a tie of
// mismatched meshes without reflection, on an axis-parallel and on a 30
// degree interface; the tie keeps the mass of the model; a shell plate tied
// by its edge to a block moves with it.
#include "tests/deviceTest.h"
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>
#include "tests/decks/deckCase.h"

using deckcase::runInProcess;
using deckcase::Sample;

namespace {

constexpr double kBar = 0.1;
constexpr double kRho = 7850.0;
constexpr double kSide = 0.01;
const double kC = std::sqrt(2.1e11 / kRho);
constexpr int kCoarseNodes = 21 * 9;  // the fine bar's nodes follow

// Coordinate along the bar axis (turned by `angle` degrees about z).
double axial(const double* x, double angle) {
  const double a = angle * M_PI / 180.0;
  return x[0] * std::cos(a) + x[1] * std::sin(a);
}

// Mean axial velocity of the nodes whose start position lies in [lo, hi).
double meanVelocity(const Sample& s, const Sample& first, double lo, double hi, double angle) {
  double sum = 0.0;
  int count = 0;
  for (std::size_t i = 0; i < s.nodes.size(); ++i) {
    const double x = axial(first.nodes[i].coord, angle);
    if (x >= lo && x < hi) {
      sum += axial(s.nodes[i].vel, angle);
      ++count;
    }
  }
  return count > 0 ? sum / count : 0.0;
}

// Coordinate across the bar in the plane of the turn.
double lateral(const double* x, double angle) {
  const double a = angle * M_PI / 180.0;
  return -x[0] * std::sin(a) + x[1] * std::cos(a);
}

// Largest axial distance of a fine-bar node of the tied face from the
// coarse bar's face at its place: bilinear over the 2 x 2 coarse quads,
// which is what the tie's four weights make of a rectangle.
double tieGap(const Sample& s, const Sample& first, double angle) {
  // Axial positions of the coarse face's 3 x 3 nodes, by (j, k).
  double face[3][3] = {};
  const double h = kSide / 2.0;
  for (int i = 0; i < kCoarseNodes; ++i) {
    const double* x0 = first.nodes[i].coord;
    if (std::fabs(axial(x0, angle) - kBar) > 1e-9) continue;
    const int j = static_cast<int>(std::lround(lateral(x0, angle) / h));
    const int k = static_cast<int>(std::lround(x0[2] / h));
    face[j][k] = axial(s.nodes[i].coord, angle);
  }
  double gap = 0.0;
  for (std::size_t i = kCoarseNodes; i < s.nodes.size(); ++i) {
    const double* x0 = first.nodes[i].coord;
    if (std::fabs(axial(x0, angle) - kBar) > 1e-9) continue;
    const double u = lateral(x0, angle) / h, v = x0[2] / h;
    const int j = std::min(static_cast<int>(u), 1), k = std::min(static_cast<int>(v), 1);
    const double a = u - j, b = v - k;
    const double master = (1 - a) * (1 - b) * face[j][k] + a * (1 - b) * face[j + 1][k] + a * b * face[j + 1][k + 1] +
                          (1 - a) * b * face[j][k + 1];
    gap = std::max(gap, std::fabs(axial(s.nodes[i].coord, angle) - master));
  }
  return gap;
}

// A wave of particle velocity v = 1 m/s (stress rho c v) runs from the
// driven end across the tie: behind its front the fine bar moves at v, the
// coarse bar keeps v (no reflected part), and the faces never part.
void checkWaveAcrossTie(const std::string& name, double angle) {
  testing::internal::CaptureStderr();
  const std::vector<Sample> samples = runInProcess(name);
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_EQ(messages.find("stay free"), std::string::npos) << messages;
  ASSERT_GT(samples.size(), 30u);
  const Sample& first = samples.front();
  double worstGap = 0.0;
  for (const Sample& s : samples) worstGap = std::max(worstGap, tieGap(s, first, angle));
  EXPECT_LT(worstGap, 1e-9 * kBar / 30.0);
  // Front at 1.55 L at the end: the band [1.1 L, 1.35 L] lies behind it.
  const Sample& last = samples.back();
  ASSERT_GT(last.time * kC, 1.5 * kBar);
  const double transmitted = meanVelocity(last, first, 1.1 * kBar, 1.35 * kBar, angle);
  EXPECT_NEAR(kRho * kC * transmitted, kRho * kC * 1.0, 0.05 * kRho * kC);
  const double coarse = meanVelocity(last, first, 0.5 * kBar, 0.9 * kBar, angle);
  EXPECT_LT(std::fabs(coarse - 1.0), 0.05);
  // Momentum of the fine bar so far: rho A c v t beyond the tie.
  double massTotal = 0.0;
  for (const NodeCuda& n : last.nodes) massTotal += std::max(n.mass, 0.0);
  EXPECT_NEAR(massTotal, 2.0 * kRho * kBar * kSide * kSide, 1e-9 * massTotal);
}

}  // namespace

DEVICE_TEST(TieRun, BarWaveCrossesMismatchedMeshesWithoutReflectionOrGap) { checkWaveAcrossTie("tie_bar_wave", 0.0); }

DEVICE_TEST(TieRun, ThirtyDegreeInterfaceWithoutToleranceTiesEveryNode) {
  checkWaveAcrossTie("tie_bar_inclined", 30.0);
}

DEVICE_TEST(TieRun, TheTiedSlaveNodesHandTheirMassToTheMasters) {
  const std::vector<Sample> samples = runInProcess("tie_bar_wave", "tie_bar_mass");
  ASSERT_FALSE(samples.empty());
  const Sample& first = samples.front();
  int negative = 0;
  for (std::size_t i = 0; i < first.nodes.size(); ++i) {
    if (first.nodes[i].mass < 0.0) {
      ++negative;
      EXPECT_GE(i, static_cast<std::size_t>(kCoarseNodes));  // only fine-bar face nodes
    }
  }
  EXPECT_EQ(negative, 16);  // the 4 x 4 nodes of the fine face
}

DEVICE_TEST(TieRun, ShellPlateTiedByItsEdgeMovesWithTheBlock) {
  const std::vector<Sample> samples = runInProcess("tie_shell_edge");
  ASSERT_GT(samples.size(), 20u);
  const Sample& first = samples.front();
  const Sample& last = samples.back();
  // The block is driven at 1 m/s: by the end it moved t.
  const double t = last.time;
  auto moved = [&](std::size_t i) { return last.nodes[i].coord[0] - first.nodes[i].coord[0]; };
  EXPECT_NEAR(moved(0), t, 1e-3 * t);
  // The plate (nodes 9 to 17) follows the block: its tied edge exactly
  // with the block's top face, the rest within a few percent.
  // Edge node at x = 0.05 i: between the face's nodes at x = 0 and x = 0.1.
  for (std::size_t i = 8; i < 11; ++i) {
    const double xi = 0.5 * static_cast<double>(i - 8);
    const double face = (1.0 - xi) * 0.5 * (moved(4) + moved(6)) + xi * 0.5 * (moved(5) + moved(7));
    EXPECT_NEAR(moved(i), face, 1e-12) << "edge node " << i + 1;
    // Its velocity, recovered from the block's, is what the outputs see.
    EXPECT_NEAR(last.nodes[i].vel[0], 1.0, 1e-9) << "edge node " << i + 1;
  }
  for (std::size_t i = 11; i < 17; ++i) EXPECT_NEAR(moved(i), t, 0.05 * t) << "plate node " << i + 1;
}
