// A surface-to-surface contact keeps each side's nodes out of the other
// side's faces. Two steel blocks of different meshes overlap at one corner
// only: the corner of the upper block lies over the lower block's face and
// the corner of the lower block under the upper block's face, each within
// one element of the other mesh, so that no other node meets a face. The
// upper block drops at 10 m/s, with the coarse block above and with the fine
// one above, each with either block named first. The blow turns the upper
// block, which leaves the corner with part of its speed within 0.05 ms; the
// total energy (kinetic and strain) never rises above its start, although
// each block's corner node is held by one pair and pushes on the other's.
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/contact/contactDecks.h"
#include "tests/solver/energyMeter.h"

namespace {

constexpr double kSpeed = 10.0;
constexpr double kFine = 0.005;      // element edge of the fine block, m
constexpr double kCoarse = 0.01;     // of the coarse block
constexpr double kWidth = 0.02;      // both blocks are 20 mm square and 10 mm high
constexpr double kOverlap = 0.0025;  // overlap of the two footprints on x and y
constexpr double kGap = 1e-4;

struct Pair {
  motiondeck::Block lower, upper;
};

motiondeck::Block blockOf(int part, double h, double x0, double z0, int nodeOffset, int elementOffset) {
  motiondeck::Block b;
  b.nx = b.ny = static_cast<int>(std::lround(kWidth / h));
  b.nz = static_cast<int>(std::lround(0.5 * kWidth / h));
  b.h = h;
  b.part = part;
  b.origin[0] = b.origin[1] = x0;
  b.origin[2] = z0;
  b.density = 7850.0;
  b.young = 2.1e11;
  b.poisson = 0.3;
  b.nodeOffset = nodeOffset;
  b.elementOffset = elementOffset;
  return b;
}

Pair pairOf(bool coarseAbove) {
  Pair p;
  p.lower = blockOf(1, coarseAbove ? kFine : kCoarse, 0.0, 0.0, 0, 0);
  const int lowerElements = p.lower.nx * p.lower.ny * p.lower.nz;
  p.upper = blockOf(2, coarseAbove ? kCoarse : kFine, kWidth - kOverlap, 0.5 * kWidth + kGap, p.lower.nodeCount(),
                    lowerElements);
  return p;
}

std::string deck(const Pair& p, bool upperFirst) {
  std::vector<int> base, moving;
  for (int j = 0; j <= p.lower.ny; ++j)
    for (int i = 0; i <= p.lower.nx; ++i) base.push_back(p.lower.node(i, j, 0));
  for (int n = 1; n <= p.upper.nodeCount(); ++n) moving.push_back(p.upper.nodeOffset + n);
  return p.lower.cards() + p.upper.cards() + motiondeck::nodeSet(1, base) + "*BOUNDARY_SPC_SET\n" +
         card({"1", "0", "1", "1", "1", "1", "1", "1"}) + motiondeck::nodeSet(2, moving) + "*INITIAL_VELOCITY\n" +
         card({"2"}) + card({"0.0", "0.0", motiondeck::num(-kSpeed)}) + "*CONTACT_SURFACE_TO_SURFACE\n" +
         card({upperFirst ? "2" : "1", upperFirst ? "1" : "2", "3", "3"}) + card({"0.0"}) + card({"0.0"}) +
         motiondeck::termination(1e-4);
}

// Height of a block's top (k = nz) or bottom (k = 0) face over the point
// (x, y) of its footprint, interpolated in the face's element that holds
// the point in the block's first shape; false outside the footprint.
bool faceHeight(const motiondeck::Block& b, int k, const std::vector<NodeCuda>& nodes, double x, double y, double& z) {
  const double u = (x - b.origin[0]) / b.h, v = (y - b.origin[1]) / b.h;
  if (u < 0.0 || v < 0.0 || u > b.nx || v > b.ny) return false;
  const int i = std::min(static_cast<int>(u), b.nx - 1), j = std::min(static_cast<int>(v), b.ny - 1);
  const double s = u - i, t = v - j;
  auto zAt = [&](int di, int dj) { return nodes[static_cast<std::size_t>(b.node(i + di, j + dj, k) - 1)].coord[2]; };
  z = (1 - s) * (1 - t) * zAt(0, 0) + s * (1 - t) * zAt(1, 0) + s * t * zAt(1, 1) + (1 - s) * t * zAt(0, 1);
  return true;
}

struct Drop {
  double pass = 0.0;        // deepest pass of a node beyond the other block's face, m
  double impulse = 0.0;     // upper block's loss of downward speed over its impact speed
  double energyGain = 0.0;  // largest kinetic energy over the first, less 1
  double totalRise = 0.0;   // largest rise of kinetic and strain energy, over the start
};

double kineticEnergy(const std::vector<NodeCuda>& nodes) {
  double e = 0.0;
  for (const NodeCuda& n : nodes) e += 0.5 * n.mass * (n.vel[0] * n.vel[0] + n.vel[1] * n.vel[1] + n.vel[2] * n.vel[2]);
  return e;
}

Drop drop(bool coarseAbove, bool upperFirst) {
  const Pair p = pairOf(coarseAbove);
  const std::string name = std::string("both_ways_") + (coarseAbove ? "coarse" : "fine") + "_above_" +
                           (upperFirst ? "upper" : "lower") + "_first";
  const std::vector<deckcase::Sample> samples = motiondeck::run(name, deck(p, upperFirst));
  Drop d;
  d.totalRise = energymeter::largestRise(energymeter::measureDeck(name, deck(p, upperFirst)));
  if (samples.size() < 20) {
    ADD_FAILURE() << name << ": the run stopped early";
    return d;
  }
  const double energy0 = kineticEnergy(samples.front().nodes);
  for (const deckcase::Sample& s : samples) {
    d.energyGain = std::max(d.energyGain, kineticEnergy(s.nodes) / energy0 - 1.0);
    // Nodes of the upper block's bottom face against the lower block's top
    // face, and the other way.
    for (int j = 0; j <= p.upper.ny; ++j)
      for (int i = 0; i <= p.upper.nx; ++i) {
        const double* x = s.nodes[static_cast<std::size_t>(p.upper.node(i, j, 0) - 1)].coord;
        double z = 0.0;
        if (faceHeight(p.lower, p.lower.nz, s.nodes, x[0], x[1], z)) d.pass = std::max(d.pass, z - x[2]);
      }
    for (int j = 0; j <= p.lower.ny; ++j)
      for (int i = 0; i <= p.lower.nx; ++i) {
        const double* x = s.nodes[static_cast<std::size_t>(p.lower.node(i, j, p.lower.nz) - 1)].coord;
        double z = 0.0;
        if (faceHeight(p.upper, 0, s.nodes, x[0], x[1], z)) d.pass = std::max(d.pass, x[2] - z);
      }
  }
  double momentum = 0.0, mass = 0.0;
  for (int n = 1; n <= p.upper.nodeCount(); ++n) {
    const NodeCuda& node = samples.back().nodes[static_cast<std::size_t>(p.upper.nodeOffset + n - 1)];
    momentum += node.mass * node.vel[2];
    mass += node.mass;
  }
  d.impulse = momentum / mass / kSpeed + 1.0;
  return d;
}

}  // namespace

DEVICE_TEST(BothWaysRun, CornersOfCoarseAndFineBlocksStayOutOfTheOtherFace) {
  for (bool coarseAbove : {true, false}) {
    const Drop upperFirst = drop(coarseAbove, true), lowerFirst = drop(coarseAbove, false);
    for (const Drop& d : {upperFirst, lowerFirst}) {
      EXPECT_LT(d.pass, 0.005 * kFine) << (coarseAbove ? "coarse" : "fine") << " block above";
      EXPECT_GT(d.impulse, 0.3) << (coarseAbove ? "coarse" : "fine") << " block above";
      EXPECT_LT(d.energyGain, 0.01) << (coarseAbove ? "coarse" : "fine") << " block above";
      EXPECT_LT(d.totalRise, 1e-9) << (coarseAbove ? "coarse" : "fine") << " block above";
    }
    EXPECT_NEAR(upperFirst.impulse, lowerFirst.impulse, 0.02 * upperFirst.impulse)
        << (coarseAbove ? "coarse" : "fine") << " block above";
    std::printf("%s above: pass %.3g / %.3g um, impulse %.4f / %.4f, energy gain %.3g / %.3g, total %.3g / %.3g\n",
                coarseAbove ? "coarse" : "fine", upperFirst.pass * 1e6, lowerFirst.pass * 1e6, upperFirst.impulse,
                lowerFirst.impulse, upperFirst.energyGain, lowerFirst.energyGain, upperFirst.totalRise,
                lowerFirst.totalRise);
  }
}
