// Two steel blocks, one dropped on the other, joined by a surface-to-surface
// contact of their parts: whichever block the deck names first, and whether
// they start touching or 0.1 mm apart, the upper block rebounds alike and no
// node passes the other block's face.  The blocks stand exactly over each
// other, so that every node of the touching faces meets a node, an edge or a
// corner of the other face, with the side faces' planes through them.
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/contact/contactDecks.h"

namespace {

using blockdrop::kBlockNodes;
using blockdrop::kCell;

struct Drop {
  double rebound = 0.0;  // upper block's mean vertical speed at the end, over its impact speed
  double pass = 0.0;     // deepest pass of a face node beyond the other block's face, m
};

Drop drop(double gap, bool upperFirst) {
  const std::string name =
      std::string("side_order_") + (gap > 0.0 ? "apart" : "touching") + (upperFirst ? "_upper_first" : "_lower_first");
  const std::vector<deckcase::Sample> samples = motiondeck::run(name, blockdrop::deck(gap, upperFirst));
  Drop d;
  if (samples.size() < 20) {
    ADD_FAILURE() << name << ": the run stopped early";
    return d;
  }
  for (const deckcase::Sample& s : samples) {
    // Nodes of the lower block's top face (18-26) face those of the upper
    // block's bottom face (27-35), one over the other.
    for (std::size_t k = 0; k < 9; ++k) {
      const double lowerTop = s.nodes[18 + k].coord[2], upperBottom = s.nodes[kBlockNodes + k].coord[2];
      d.pass = std::max(d.pass, lowerTop - upperBottom);
    }
  }
  double momentum = 0.0, mass = 0.0;
  for (std::size_t i = kBlockNodes; i < 2 * kBlockNodes; ++i) {
    momentum += samples.back().nodes[i].mass * samples.back().nodes[i].vel[2];
    mass += samples.back().nodes[i].mass;
  }
  d.rebound = momentum / mass / blockdrop::kSpeed;
  return d;
}

}  // namespace

DEVICE_TEST(SideOrderRun, BlocksReboundAlikeWhicheverSideComesFirst) {
  for (double gap : {1e-4, 0.0}) {
    const Drop upperFirst = drop(gap, true), lowerFirst = drop(gap, false);
    for (const Drop& d : {upperFirst, lowerFirst}) {
      EXPECT_GT(d.rebound, 0.5) << "gap " << gap;
      EXPECT_LT(d.pass, 0.005 * kCell) << "gap " << gap;
    }
    EXPECT_NEAR(upperFirst.rebound, lowerFirst.rebound, 0.02 * upperFirst.rebound) << "gap " << gap;
  }
}
