// Keyword decks as users write them, checked by the motion of a run: comment
// text inside a block, and deck names of the other keyword endings.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/solver/motionDeck.h"

namespace {

using motiondeck::Block;

// A 2 x 2 x 1 block of free cubes and a node set of all its nodes written
// eight to a line, with a comment line and a comment after the data of its
// first line: the comments end their own text only.
std::string blockWithCommentedSet(const Block& b) {
    std::vector<int> all;
    for (int n = 1; n <= b.nodeCount(); ++n) all.push_back(n);
    std::string set = motiondeck::nodeSet(7, all);
    const size_t firstRow = set.find('\n', set.find('\n', set.find('\n') + 1) + 1);
    set.insert(firstRow, "  $ first row");
    set.insert(firstRow + std::string("  $ first row").size() + 1, " $ the rest of the set\n");
    return b.cards() + set;
}

}  // namespace

TEST(KeywordDeckRuns, CommentsInsideASetEndOnlyTheirOwnText) {
    Block b;
    b.nx = 2;
    b.ny = 2;
    b.density = 1000.0;
    b.young = 1.0e7;
    const std::string deck = "*TITLE\nblock (2*2 cubes) $ with its set\n" + blockWithCommentedSet(b) +
                             motiondeck::termination(0.05) + "*INITIAL_VELOCITY\n" + card({"7"}) +
                             card({"0.0", "0.0", "2.0"});
    ASSERT_NE(deck.find("$ the rest of the set"), std::string::npos);
    const std::vector<deckcase::Sample> samples = motiondeck::run("commented_set", deck);
    ASSERT_GT(samples.size(), 2u);
    // Every node of the set (all 18) starts at 2 m/s and the free block
    // moves as one: 0.1 m in 50 ms, without strain.
    const deckcase::Sample& last = samples.back();
    ASSERT_EQ(last.nodes.size(), 18u);
    for (const NodeCuda& n : last.nodes) {
        EXPECT_NEAR(n.vel[2], 2.0, 1e-9) << "node " << n.id;
        EXPECT_NEAR(n.coord[2] - n.ini_coord[2], 2.0 * last.time, 1e-9) << "node " << n.id;
    }
    EXPECT_NEAR(last.time, 0.05, 1e-3);
}

TEST(KeywordDeckRuns, KeyAndDynDecksRunAsKeywordDecks) {
    Block b;
    const std::string deck = "*KEYWORD\n" + b.cards() + motiondeck::termination(1.0e-4) + "*END\n";
    for (const char* name : {"block.key", "block.KEY", "block.dyn", "block.Dyn"}) {
        const deckcase::fs::path folder = deckcase::scratchFolder(std::string("ending_") + name);
        std::ofstream(folder / name) << deck;
        const std::string command = std::string(FEM_PROGRAM) + " INP=" + (folder / name).string() +
                                    " WD=" + (folder / "work").string() + " > " + (folder / "console.txt").string() +
                                    " 2>&1";
        const int status = std::system(command.c_str());
        const std::string console = deckcase::readText(folder / "console.txt");
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << name << "\n" << console;
        EXPECT_NE(console.find("Calculation completed"), std::string::npos) << name;
    }
}
