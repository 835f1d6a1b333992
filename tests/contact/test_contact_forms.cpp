// Two steel blocks of 2 x 2 x 2 hexahedra (element 10 mm), the lower one
// held at its base, the upper one 0.1 mm above it falling at 10 m/s and
// offset by half an element along x and a quarter along y, so that nodes of
// each block lie over the inside of the other's faces. Single-surface,
// whole-model and general contacts, and nodes-to-surface contacts of every
// node against both parts, keep the nodes of both blocks out of the other's
// faces; surface-to-surface contacts keep the slave block's nodes out. Every
// form sends the upper block back up (decks in tests/decks/blocks_*).
#include "tests/deviceTest.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "tests/decks/deckCase.h"

using deckcase::runInProcess;
using deckcase::Sample;

namespace {

constexpr double kEdge = 0.01;   // element edge, m
constexpr int kUpperFirst = 28;  // nodes 1-27 lower block, 28-54 upper block

// Node number of grid point (i, j, k) of the block whose first node is `first`.
int gridNode(int first, int i, int j, int k) { return first + i + 3 * j + 9 * k; }

const double* coordOf(const Sample& s, int node) { return s.nodes[static_cast<std::size_t>(node - 1)].coord; }

// Height of the face of grid layer k of a block under (x, y), from the two
// triangles of each of its four quadrilaterals; none outside the face.
std::optional<double> faceHeight(const Sample& s, int first, int k, double x, double y) {
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      const int q[4] = {gridNode(first, i, j, k), gridNode(first, i + 1, j, k), gridNode(first, i + 1, j + 1, k),
                        gridNode(first, i, j + 1, k)};
      for (const auto& t : {std::array<int, 3>{q[0], q[1], q[2]}, std::array<int, 3>{q[0], q[2], q[3]}}) {
        const double* a = coordOf(s, t[0]);
        const double* b = coordOf(s, t[1]);
        const double* c = coordOf(s, t[2]);
        const double det = (b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]);
        if (std::fabs(det) < 1e-30) continue;
        const double u = ((x - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (y - a[1])) / det;
        const double v = ((b[0] - a[0]) * (y - a[1]) - (x - a[0]) * (b[1] - a[1])) / det;
        if (u >= -1e-12 && v >= -1e-12 && u + v <= 1.0 + 1e-12) return a[2] + u * (b[2] - a[2]) + v * (c[2] - a[2]);
      }
    }
  }
  return std::nullopt;
}

// Deepest pass of a node of the upper block through the lower block's top
// and, when both ways, of a node of the lower block through the upper
// block's bottom, in one sample.
double deepestPass(const Sample& s, bool bothWays) {
  double worst = -1.0;
  for (int n = 1; bothWays && n < kUpperFirst; ++n) {
    const double* x = coordOf(s, n);
    if (const auto z = faceHeight(s, kUpperFirst, 0, x[0], x[1])) worst = std::max(worst, x[2] - *z);
  }
  for (int n = kUpperFirst; n < 2 * kUpperFirst - 1; ++n) {
    const double* x = coordOf(s, n);
    if (const auto z = faceHeight(s, 1, 2, x[0], x[1])) worst = std::max(worst, *z - x[2]);
  }
  return worst;
}

double upperMomentumZ(const Sample& s) {
  double p = 0.0;
  for (int n = kUpperFirst; n < 2 * kUpperFirst - 1; ++n) {
    const NodeCuda& node = s.nodes[static_cast<std::size_t>(n - 1)];
    p += node.mass * node.vel[2];
  }
  return p;
}

void expectBlocksKeptApart(const std::string& name, bool bothWays = true) {
  const std::vector<Sample> samples = runInProcess(name);
  ASSERT_GT(samples.size(), 40u) << name;
  ASSERT_EQ(samples.front().nodes.size(), 54u);
  double worst = -1.0;
  for (const Sample& s : samples) worst = std::max(worst, deepestPass(s, bothWays));
  EXPECT_LT(worst, 0.005 * kEdge) << name;
  const double p0 = upperMomentumZ(samples.front());
  const double p1 = upperMomentumZ(samples.back());
  ASSERT_LT(p0, 0.0);
  EXPECT_GT(p1, 0.3 * std::fabs(p0)) << name << ": the upper block does not rebound";
  EXPECT_LE(p1, std::fabs(p0) * (1.0 + 1e-9)) << name;
  std::printf("%s: deepest pass %.3g of an element, rebound %.3f of the incoming momentum\n", name.c_str(),
              worst / kEdge, p1 / std::fabs(p0));
}

}  // namespace

DEVICE_TEST(ContactForms, WholeModelSingleSurfaceKeepsBothBlocksApart) { expectBlocksKeptApart("blocks_whole_model"); }

DEVICE_TEST(ContactForms, SingleSurfaceOverAPartSetActsBothWays) {
  expectBlocksKeptApart("blocks_single_surface_parts");
}

DEVICE_TEST(ContactForms, SingleSurfaceOverASegmentSetOfHexahedronFaces) {
  expectBlocksKeptApart("blocks_segment_set");
}

DEVICE_TEST(ContactForms, GeneralContactOverAPartSetActsBothWays) { expectBlocksKeptApart("blocks_general"); }

// A surface-to-surface contact keeps its slave side's nodes out of its
// master side.
DEVICE_TEST(ContactForms, SurfaceToSurfaceBetweenPartsKeepsTheSlaveOut) {
  expectBlocksKeptApart("blocks_surface_to_surface", false);
}

DEVICE_TEST(ContactForms, SurfaceToSurfaceBetweenPartSetsKeepsTheSlaveOut) {
  expectBlocksKeptApart("blocks_part_sets", false);
}

DEVICE_TEST(ContactForms, EveryNodeAgainstBothPartsActsBothWays) { expectBlocksKeptApart("blocks_nodes_to_surface"); }

DEVICE_TEST(ContactForms, WedgesWrittenAsCollapsedHexahedraKeepBothBlocksApart) {
  expectBlocksKeptApart("blocks_wedges");
}
