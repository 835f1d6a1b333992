// The .inp reader against the keyword reader: the same model written both
// ways must run the same.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/decks/deck_case.h"

using namespace deckcase;

namespace {

std::vector<Sample> runCase(const std::string& name, const std::string& deck) {
    const fs::path scratch = scratchFolder(name + "_" + deck);
    fs::copy_file(caseFolder(name) / deck, scratch / deck);
    return runInProcessAt(scratch);
}

// Same sample times and nodal coordinates and velocities within 1e-12.
void expectTwins(const std::vector<Sample>& inp, const std::vector<Sample>& key) {
    ASSERT_FALSE(inp.empty());
    ASSERT_EQ(inp.size(), key.size());
    for (size_t s = 0; s < inp.size(); ++s) {
        EXPECT_NEAR(inp[s].time, key[s].time, 1e-12 * key[s].time) << "sample " << s;
        ASSERT_EQ(inp[s].nodes.size(), key[s].nodes.size());
        for (size_t n = 0; n < inp[s].nodes.size(); ++n) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(inp[s].nodes[n].coord[k], key[s].nodes[n].coord[k], 1e-12) << "node " << n + 1;
                EXPECT_NEAR(inp[s].nodes[n].vel[k], key[s].nodes[n].vel[k],
                            1e-12 * (1.0 + std::fabs(key[s].nodes[n].vel[k])))
                    << "node " << n + 1;
            }
        }
    }
}

}  // namespace

TEST(InpDecks, BarRunsAsItsKeywordTwin) {
    const std::vector<Sample> inp = runCase("inp_bar", "deck.inp");
    const std::vector<Sample> key = runCase("inp_bar", "deck.k");
    expectTwins(inp, key);
    ASSERT_FALSE(inp.empty());
    // The mass of the bar; the clamped end stands still.
    double mass = 0.0;
    for (const NodeCuda& node : inp.front().nodes) mass += node.mass;
    EXPECT_NEAR(mass, 3.0 * 7.85e-9, 1e-12 * 3.0 * 7.85e-9);
    for (int n = 0; n < 4; ++n) {
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(inp.back().nodes[static_cast<size_t>(n)].total_disp[k], 0.0, 1e-15);
    }
    // The free end still moves: the run is not a model at rest.
    EXPECT_LT(inp.back().nodes[15].total_disp[0], -1e-4);
}

TEST(InpDecks, ContactPairRunsAsItsKeywordTwin) {
    expectTwins(runCase("inp_blocks", "deck.inp"), runCase("inp_blocks", "deck.k"));
}
