// A node holds the forces of at most kNodeElementSlots elements: a model
// with a node shared by more is refused at set-up, naming the node and its
// element count, rather than run with the forces of the others lost.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/node.h"
#include "tests/solver/motionDeck.h"

namespace {

// A fan of `count` triangular shells around hub node 1 (deck id 100).
std::string fan(int count) {
  const double pi = std::acos(-1.0);
  std::string deck = "*NODE\n100 0 0 0\n";
  for (int i = 0; i < count; ++i) {
    const double a = 2.0 * pi * i / count;
    deck += std::to_string(101 + i) + " " + motiondeck::num(std::cos(a)) + " " + motiondeck::num(std::sin(a)) + " 0\n";
  }
  deck += "*ELEMENT_SHELL\n";
  for (int i = 0; i < count; ++i) {
    const std::string b = std::to_string(101 + i), c = std::to_string(101 + (i + 1) % count);
    deck += card({std::to_string(i + 1), "1", "100", b, c, c}, 8);
  }
  return deck + "*PART\nfan\n" + card({"1", "1", "1"}) + "*SECTION_SHELL\n" + card({"1", "2", "0.8333", "3"}) +
         card({"0.01", "0.01", "0.01", "0.01"}) + "*MAT_ELASTIC\n" + card({"1", "7850.0", "2.0e11", "0.3"}) +
         motiondeck::termination(1e-7, 3);
}

}  // namespace

TEST(NodeSlotDeck, NodeSharedByMoreElementsThanItHoldsRefusesTheModel) {
  std::string console;
  EXPECT_EQ(motiondeck::runProgram("fan_of_72", fan(kNodeElementSlots + 1), &console), 1);
  EXPECT_NE(console.find("Node 100 belongs to 72 elements; a node holds the forces of at most 71. The model is "
                         "refused."),
            std::string::npos)
      << console;
  EXPECT_EQ(console.find("Calculation completed"), std::string::npos);
  EXPECT_EQ(motiondeck::runProgram("fan_of_71", fan(kNodeElementSlots), &console), 0) << console;
}
