// The fast paths of the cycle (compact per-node force lists, the step
// minimum folded in parallel chunks, contact search buckets kept over
// several cycles) against the paths they replace, kept switchable:
// end-to-end decks of solids, shells, contact, ties and a rigid body run
// both ways through the GPU loop and every node ends every cycle in the same
// state.  The sums are taken in the same order, so the two runs agree to the
// last bit; the bound allows for round-off only.
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

#include "contact/surfacemanager.h"
#include "contact/unified_contact.h"
#include "core/nodeManager.h"
#include "elements/common/elementControl.h"
#include "solver/femdynamic.h"
#include "tests/decks/deckCase.h"
#include "tests/elements/common/lineElementRun.h"

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

// Every node of the deck traced every cycle; the run named `tag`.
linerun::Trace runTraced(const std::string& tag, const std::string& deck, linerun::RunOptions options) {
  for (int n = 1, nodes = nodeCardCount(deck); n <= nodes; ++n) options.traced.push_back(n);
  return linerun::runDeck(tag, deck, options);
}

linerun::Trace runPaths(const std::string& deckName, const std::string& deck, bool fast) {
  linerun::RunOptions options;
  options.afterRead = [fast](FEMDynamic* fem) {
    fem->nodeManager->compact_gather = fast;
    fem->elementControl->chunk_step_minimum = fast;
  };
  return runTraced("cycle_paths_" + deckName + (fast ? "_fast" : "_records"), deck, options);
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

// The two traces cover the same cycles at the same times, every node ends
// every cycle in the same state, and the run moved.
void expectSameRun(const std::string& name, const linerun::Trace& records, const linerun::Trace& fast) {
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

class CyclePaths : public testing::TestWithParam<const char*> {};

DEVICE_TEST_P(CyclePaths, SameStateEveryCycle) {
  const std::string name = GetParam();
  const std::string deck = deckcase::readText(deckcase::caseFolder(name) / "deck.k");
  ASSERT_GT(nodeCardCount(deck), 0);
  expectSameRun(name, runPaths(name, deck, false), runPaths(name, deck, true));
}

INSTANTIATE_TEST_SUITE_P(Decks, CyclePaths,
                         testing::Values("wave_hexa", "sphere_on_plate", "bar_on_bar", "tie_bar_wave",
                                         "coulomb_rigid_4", "wave_tetra"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// A contact deck run with the search buckets kept from cycle to cycle and
// with the buckets filled anew every cycle; the times the master surfaces'
// buckets were filled in the first run go to *fills.
struct BucketRuns {
  linerun::Trace kept, everyCycle;
  int fills = 0;
  int masters = 0;
};

BucketRuns runBuckets(const std::string& name, const std::string& deck) {
  BucketRuns r;
  for (bool keep : {true, false}) {
    linerun::RunOptions options;
    options.afterRead = [keep](FEMDynamic* fem) { fem->unifiedContact->keep_buckets = keep; };
    if (keep) {
      options.afterRun = [&r](FEMDynamic* fem) {
        for (const Surface& s : fem->surfaceManager->surface_array) {
          r.fills += s.bin_fills;
          r.masters += s.bin_fills > 0 ? 1 : 0;
        }
      };
    }
    (keep ? r.kept : r.everyCycle) =
        runTraced("kept_buckets_" + name + (keep ? "_kept" : "_every_cycle"), deck, options);
  }
  return r;
}

class KeptBuckets : public testing::TestWithParam<const char*> {};

// Buckets kept while no segment has moved past the margin give every node
// the same candidates, hence the same pairs and forces, as buckets filled
// every cycle.
DEVICE_TEST_P(KeptBuckets, SameStateEveryCycleAsBucketsFilledEveryCycle) {
  const std::string name = GetParam();
  const std::string deck = deckcase::readText(deckcase::caseFolder(name) / "deck.k");
  const BucketRuns r = runBuckets(name, deck);
  expectSameRun(name, r.everyCycle, r.kept);
  ASSERT_GT(r.masters, 0) << "no contact search ran in " << name;
  // Filled fewer times than once per cycle and master surface.
  EXPECT_LT(r.fills, r.masters * static_cast<int>(r.kept.time.size() - 1)) << name;
}

INSTANTIATE_TEST_SUITE_P(Decks, KeptBuckets,
                         testing::Values("bar_on_bar", "block_off_edge", "sphere_on_plate", "slide_friction",
                                         "coulomb_push_2", "coulomb_push_4", "coulomb_rigid_4", "coulomb_swapped_4",
                                         "node_on_shell", "blocks_single_surface_parts", "blocks_general"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// The rigid sphere of sphere_on_plate sliding across the plate at 30 m/s as
// it falls onto it: its segments leave the boxes they were binned with every
// few cycles, so the buckets are filled anew many times during the run, and
// the state stays that of buckets filled every cycle.
DEVICE_TEST(KeptBuckets, FastSlideFillsTheBucketsAnewAndKeepsTheSameState) {
  std::string deck = deckcase::readText(deckcase::caseFolder("sphere_on_plate") / "deck.k");
  const std::string falling = "*INITIAL_VELOCITY\n         2\n         0         0        -5\n";
  const std::size_t at = deck.find(falling);
  ASSERT_NE(at, std::string::npos);
  deck.replace(at, falling.size(), "*INITIAL_VELOCITY\n         2\n       100         0        -2\n");
  const BucketRuns r = runBuckets("fast_slide", deck);
  expectSameRun("fast_slide", r.everyCycle, r.kept);
  const int cycles = static_cast<int>(r.kept.time.size() - 1);
  EXPECT_GT(r.fills, r.masters + cycles / 100) << cycles << " cycles";
  EXPECT_LT(r.fills, r.masters * cycles / 4) << cycles << " cycles";
}

}  // namespace
