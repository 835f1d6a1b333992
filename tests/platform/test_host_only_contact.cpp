// A machine without a usable GPU gives no device memory: a contact model read,
// set up and run through the host-only loop takes none.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/nodeManager.h"
#include "platform/host/hostControl.h"
#include "tests/decks/deckCase.h"
#include "tests/solver/motionDeck.h"

namespace {

TEST(HostOnlyRun, ContactModelTakesNoDeviceMemory) {
  gpu_host::setDeviceTable({});
  const std::size_t before = gpu_host::liveAllocationCount();
  std::size_t most = before;
  int cycles = 0;
  std::vector<double> start;  // x-speeds at time 0
  int pushed = 0;             // nodes at rest at time 0 that move at the end
  const std::string deck = deckcase::readText(deckcase::caseFolder("bar_on_bar") / "deck.k");
  motiondeck::runHostWatching("host_only_contact", deck, [&](FEMDynamic& fem, double) {
    most = std::max(most, gpu_host::liveAllocationCount());
    const std::vector<NodeCuda>& nodes = fem.nodeManager->node_array_cpu;
    if (start.empty()) {
      for (const NodeCuda& n : nodes) start.push_back(n.vel[0]);
    }
    pushed = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) pushed += start[i] == 0.0 && std::fabs(nodes[i].vel[0]) > 0.1;
    ++cycles;
  });
  gpu_host::resetDeviceTable();
  EXPECT_GT(cycles, 100);
  EXPECT_EQ(most, before);
  // The contact acted: the struck bar moves.
  EXPECT_GT(pushed, 100);
}

}  // namespace
