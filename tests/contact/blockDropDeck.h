// A steel block of 2 x 2 x 2 hexahedra (10 mm cells) dropping at 10 m/s on
// an equal block held at its base, the two parts joined by a
// surface-to-surface contact: the deck as a user writes it, for the tests of
// contact sides.
#pragma once
#include <string>
#include <vector>

#include "tests/solver/motionDeck.h"

namespace blockdrop {

constexpr double kCell = 0.01;    // element size, m
constexpr double kSpeed = 10.0;   // speed of the upper block, m/s
constexpr int kBlockNodes = 27;   // nodes of one block; the lower block has 1-27

inline motiondeck::Block block(int part, double bottom) {
  motiondeck::Block b;
  b.nx = b.ny = b.nz = 2;
  b.h = kCell;
  b.part = part;
  b.origin[2] = bottom;
  b.density = 7850.0;
  b.young = 2.1e11;
  b.poisson = 0.3;
  b.nodeOffset = part == 1 ? 0 : kBlockNodes;
  b.elementOffset = part == 1 ? 0 : 8;
  return b;
}

// gap: between the blocks; upperFirst: the upper block's part is the
// contact's first side (slave), else the lower block's.
inline std::string deck(double gap, bool upperFirst, double endTime = 8e-5) {
  const motiondeck::Block lower = block(1, 0.0), upper = block(2, 2 * kCell + gap);
  std::vector<int> base, moving;
  for (int j = 0; j <= 2; ++j)
    for (int i = 0; i <= 2; ++i) base.push_back(lower.node(i, j, 0));
  for (int n = 1; n <= kBlockNodes; ++n) moving.push_back(kBlockNodes + n);
  return lower.cards() + upper.cards() + motiondeck::nodeSet(1, base) + "*BOUNDARY_SPC_SET\n" +
         card({"1", "0", "1", "1", "1", "1", "1", "1"}) + motiondeck::nodeSet(2, moving) + "*INITIAL_VELOCITY\n" +
         card({"2"}) + card({"0.0", "0.0", motiondeck::num(-kSpeed)}) + "*CONTACT_SURFACE_TO_SURFACE\n" +
         card({upperFirst ? "2" : "1", upperFirst ? "1" : "2", "3", "3"}) + card({"0.0"}) + card({"0.0"}) +
         motiondeck::termination(endTime);
}

}  // namespace blockdrop
