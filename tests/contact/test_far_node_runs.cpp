// A node typed far away (4e11 m off) in a deck of two blocks joined by a
// surface-to-surface contact. On a contact side it is refused at once,
// naming the contact and the node: the side's search grid cannot follow it.
// A node that no contact side holds costs the contact nothing.
#include "tests/deviceTest.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/contact/contactDecks.h"

namespace {

const std::string kFar = "4e+11";

// The node line of the block decks for node `id` at (x, 0, 0).
std::string nodeLine(int id, const std::string& x) {
  char line[96];
  std::snprintf(line, sizeof line, "%8d%16s%16.9g%16.9g\n", id, x.c_str(), 0.0, 0.0);
  return line;
}

double secondsOf(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

DEVICE_TEST(FarNodeRun, FarNodeOnAContactSideIsRefusedAndElsewhereCostsNothing) {
  const std::string deck = blockdrop::deck(1e-4, true, 4e-5);
  // Node 1, a corner of the lower block, typed 4e11 m along x.
  std::string onSide = deck;
  const std::string corner = nodeLine(1, "0");
  ASSERT_NE(onSide.find(corner), std::string::npos);
  onSide.replace(onSide.find(corner), corner.size(), nodeLine(1, kFar));
  std::string console;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(motiondeck::runProgram("far_node_on_side", onSide, &console), 1);
  EXPECT_LT(secondsOf(start), 5.0);
  EXPECT_NE(console.find("the master side spans 4e+11"), std::string::npos) << console;
  EXPECT_NE(console.find("node 1 at (4e+11, 0, 0)"), std::string::npos) << console;
  EXPECT_EQ(console.find("Calculation completed"), std::string::npos) << console;

  // A node 999 of no element at the same place: the run is the run without it.
  std::string loose = deck;
  ASSERT_NE(loose.find("*CONTROL_TERMINATION"), std::string::npos);
  loose.insert(loose.find("*CONTROL_TERMINATION"), "*NODE\n" + nodeLine(999, kFar));
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(motiondeck::runProgram("far_node_loose", loose, &console), 0) << console;
  EXPECT_LT(secondsOf(start), 5.0);
  EXPECT_NE(console.find("Calculation completed"), std::string::npos) << console;
  const std::vector<deckcase::Sample> with = motiondeck::run("far_node_loose_motion", loose);
  const std::vector<deckcase::Sample> without = motiondeck::run("far_node_none_motion", deck);
  ASSERT_EQ(with.size(), without.size());
  ASSERT_FALSE(with.empty());
  for (std::size_t i = 0; i < 2 * static_cast<std::size_t>(blockdrop::kBlockNodes); ++i) {
    const NodeCuda &a = with.back().nodes[i], &b = without.back().nodes[i];
    ASSERT_EQ(a.id, b.id);
    for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(a.coord[k], b.coord[k]) << "node " << b.id;
  }
}
