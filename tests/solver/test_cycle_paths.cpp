// The fast paths of the cycle (compact per-node force lists, the step
// minimum folded in parallel chunks) against the paths they replace,
// kept switchable: end-to-end decks of solids, shells, contact, ties and a
// rigid body run both ways through the GPU loop and every node ends every
// cycle in the same state.  The sums are taken in the same order, so the
// two runs agree to the last bit; the bound allows for round-off only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

#include "core/nodeManager.h"
#include "elements/elementControl.h"
#include "solver/femdynamic.h"
#include "tests/decks/deck_case.h"
#include "tests/elements/lineElementRun.h"

namespace {

// Node cards of a deck (the lines after *NODE up to the next keyword,
// comments left out).
int nodeCardCount(const std::string& deck) {
  std::istringstream in(deck);
  std::string line;
  bool inNodes = false;
  int count = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '*') {
      inNodes = line.rfind("*NODE", 0) == 0 && line.find_first_not_of(" \r", 5) == std::string::npos;
      continue;
    }
    if (inNodes && !line.empty() && line[0] != '$') ++count;
  }
  return count;
}

linerun::Trace runPaths(const std::string& deckName, const std::string& deck, bool fast) {
  linerun::RunOptions options;
  for (int n = 1, nodes = nodeCardCount(deck); n <= nodes; ++n) options.traced.push_back(n);
  options.afterRead = [fast](FEMDynamic* fem) {
    fem->nodeManager->compact_gather = fast;
    fem->elementControl->chunk_step_minimum = fast;
  };
  return linerun::runDeck("cycle_paths_" + deckName + (fast ? "_fast" : "_records"), deck, options);
}

// Largest relative difference of position, displacement, velocity and
// rotation rates between two traces of the same run, each field against its
// largest magnitude over the run.
double largestDifference(const linerun::Trace& a, const linerun::Trace& b) {
  double xs = 0.0, vs = 0.0;
  for (const auto& cycle : a.nodes)
    for (const NodeCuda& n : cycle)
      for (int j = 0; j < 6; ++j) {
        if (j < 3) xs = std::max(xs, std::fabs(n.coord[j]));
        vs = std::max(vs, std::fabs(n.vel[j]));
      }
  double worst = 0.0;
  for (size_t k = 0; k < a.nodes.size(); ++k)
    for (size_t i = 0; i < a.nodes[k].size(); ++i) {
      const NodeCuda &p = a.nodes[k][i], &q = b.nodes[k][i];
      for (int j = 0; j < 6; ++j) {
        if (j < 3) {
          worst = std::max(worst, std::fabs(p.coord[j] - q.coord[j]) / xs);
          worst = std::max(worst, std::fabs(p.total_disp[j] - q.total_disp[j]) / xs);
        }
        worst = std::max(worst, std::fabs(p.vel[j] - q.vel[j]) / std::max(vs, 1e-300));
      }
    }
  return worst;
}

class CyclePaths : public testing::TestWithParam<const char*> {};

TEST_P(CyclePaths, SameStateEveryCycle) {
  const std::string name = GetParam();
  const std::string deck = deckcase::readText(deckcase::caseFolder(name) / "deck.k");
  ASSERT_GT(nodeCardCount(deck), 0);
  const linerun::Trace records = runPaths(name, deck, false);
  const linerun::Trace fast = runPaths(name, deck, true);
  ASSERT_GT(records.time.size(), 3u) << records.console;
  ASSERT_EQ(fast.time.size(), records.time.size()) << fast.console;
  for (size_t k = 0; k < records.time.size(); ++k)
    ASSERT_NEAR(fast.time[k], records.time[k], 1e-12 * records.time.back()) << "cycle " << k;
  EXPECT_LE(largestDifference(records, fast), 1e-12) << name;
  // The run moved: the comparison is not between two resting models.
  double moved = 0.0;
  for (const NodeCuda& n : records.nodes.back())
    for (int j = 0; j < 3; ++j) moved = std::max(moved, std::fabs(n.total_disp[j]));
  EXPECT_GT(moved, 0.0) << name;
}

INSTANTIATE_TEST_SUITE_P(Decks, CyclePaths,
                         testing::Values("wave_hexa", "sphere_on_plate", "bar_on_bar", "tie_bar_wave", "coulomb_rigid_4",
                                         "wave_tetra"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
