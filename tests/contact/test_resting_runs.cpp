// A soft block sliding to rest under gravity on a plate of hexahedra held at
// its base, with friction: it stops after about v^2 / (2 mu g), its bottom
// nodes crossing the plate's element edges, and then rests on the plate,
// sinking into it by less than 0.5 % of an element and no further.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "core/nodeManager.h"
#include "solver/femdynamic.h"
#include "tests/contact/contactDecks.h"

namespace {

using namespace restingblock;

// Height of the plate's top surface at (x, y): bilinear over the top nodes
// of the plate cell below, which keep their place in the plane.
double plateTop(const std::vector<NodeCuda>& nodes, double x, double y) {
  const int i = std::clamp(static_cast<int>(x / kPlateCell), 0, 3), j = std::clamp(static_cast<int>(y / kPlateCell), 0, 3);
  auto top = [&nodes](int a, int b) -> const NodeCuda& { return nodes[static_cast<std::size_t>(25 + a + 5 * b)]; };
  const double u = (x - top(i, j).coord[0]) / (top(i + 1, j).coord[0] - top(i, j).coord[0]);
  const double w = (y - top(i, j).coord[1]) / (top(i, j + 1).coord[1] - top(i, j).coord[1]);
  return (1 - u) * (1 - w) * top(i, j).coord[2] + u * (1 - w) * top(i + 1, j).coord[2] +
         (1 - u) * w * top(i, j + 1).coord[2] + u * w * top(i + 1, j + 1).coord[2];
}

}  // namespace

TEST(RestingRun, BlockSlidesToRestOnAPlateAndStaysOnIt) {
  double deepest = 0.0, startX = -1.0;
  double halfway[2] = {0.0, 0.0}, end[2] = {0.0, 0.0};  // sink and position of the bottom face
  motiondeck::runWatching("resting_block", deck(1.0), [&](FEMDynamic& fem, double time) {
    const std::vector<NodeCuda>& nodes = fem.nodeManager->node_array_cpu;
    double sink = 0.0, x = 0.0;
    for (int n = 0; n < 9; ++n) {  // the block's bottom nodes
      const NodeCuda& b = nodes[static_cast<std::size_t>(kPlateNodes + n)];
      sink = std::max(sink, plateTop(nodes, b.coord[0], b.coord[1]) - b.coord[2]);
      x += b.coord[0] / 9.0;
    }
    if (startX < 0.0) startX = x;
    deepest = std::max(deepest, sink);
    double* now = time <= 0.5 ? halfway : end;
    now[0] = sink;
    now[1] = x;
  });
  EXPECT_LT(deepest, 0.005 * kBlockCell);
  // At rest from halfway on: it neither sinks further nor creeps (it still
  // rings on the plate, undamped).
  EXPECT_LT(std::fabs(end[0] - halfway[0]), 1e-4 * kBlockCell);
  EXPECT_LT(std::fabs(end[1] - halfway[1]), 1e-3 * kBlockCell);
  const double slide = 1.0 / (2.0 * kFriction * kGravity);
  EXPECT_NEAR(end[1] - startX, slide, 0.05 * slide);
}
