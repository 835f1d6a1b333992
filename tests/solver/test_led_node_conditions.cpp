// A support or prescribed motion given on a node that moves with others - a
// weld slave, the second node of a joint pair, a tied slave node - acts on
// the nodes that lead it, in the same cycle: the run is the one with the
// condition given on the leaders, from the first cycle on, in both loops.
#include "tests/deviceTest.h"

#include <sstream>
#include <string>
#include <vector>

#include "tests/elements/common/lineElementRun.h"

namespace {

// Two steel trusses along x, nodes 1-2 and 3-4, with nodes 2 and 3 at the
// same place, bound by the given constraint card (node 2 leads).
std::string boundTrusses(const std::string& constraint, const std::string& extra) {
  return "*KEYWORD\n*CONTROL_TERMINATION\n0.002\n*NODE\n1,0,0,0\n2,1,0,0\n3,1,0,0\n4,2,0,0\n"
         "*ELEMENT_BEAM\n1,1,1,2,0\n2,1,3,4,0\n*PART\nbars\n1,1,1\n*SECTION_BEAM\n1,3\n1e-4\n"
         "*MAT_ELASTIC\n1,7850,2.1e11,0.3\n" +
         constraint + extra + "*END\n";
}

// Two steel cubes of 1 cm, A (nodes 1-8) below B (nodes 9-16); B's bottom
// face (nodes 9-12) is tied onto A's top face (nodes 5-8), node on node.
std::string tiedCubes(const std::string& extra) {
  std::ostringstream d;
  d << "*KEYWORD\n*CONTROL_TERMINATION\n2e-5\n*NODE\n";
  const double corners[4][2] = {{0, 0}, {0.01, 0}, {0.01, 0.01}, {0, 0.01}};
  for (int level = 0; level < 4; ++level)
    for (int c = 0; c < 4; ++c)
      d << 4 * level + c + 1 << "," << corners[c][0] << "," << corners[c][1] << ","
        << 0.01 * (level < 2 ? level : level - 1) << "\n";
  d << "*ELEMENT_SOLID\n1,1,1,2,3,4,5,6,7,8\n2,2,9,10,11,12,13,14,15,16\n"
    << "*PART\nA\n1,1,1\n*PART\nB\n2,1,1\n*SECTION_SOLID\n1,1\n*MAT_ELASTIC\n1,7850,2.1e11,0.3\n"
    << "*SET_SEGMENT\n1\n9,10,11,12\n*SET_SEGMENT\n2\n5,6,7,8\n"
    << "*CONTACT_TIED_SURFACE_TO_SURFACE\n1,2,0,0\n0\n0\n"
    << extra << "*END\n";
  return d.str();
}

struct Pair {
  const char* name;
  std::string onLed;     // the deck with the condition on the led nodes
  std::string onLeader;  // the same deck with it on their leaders
  std::vector<int> traced;
  int drivenComponent;  // component of the first traced node driven at 1 m/s, or -1
};

void expectSameRun(const linerun::Trace& a, const linerun::Trace& b) {
  ASSERT_EQ(a.time.size(), b.time.size());
  for (size_t k = 0; k < a.time.size(); ++k) {
    ASSERT_EQ(a.time[k], b.time[k]);
    for (size_t n = 0; n < a.nodes[k].size(); ++n)
      for (int j = 0; j < 3; ++j) {
        ASSERT_EQ(a.nodes[k][n].vel[j], b.nodes[k][n].vel[j]) << "cycle " << k << " node " << n;
        ASSERT_EQ(a.nodes[k][n].total_disp[j], b.nodes[k][n].total_disp[j]) << "cycle " << k << " node " << n;
      }
  }
}

}  // namespace

DEVICE_TEST(LedNodeConditions, ConditionOnALedNodeActsOnItsLeaderFromTheFirstCycle) {
  const std::string weld = "*CONSTRAINED_SPOTWELD\n2,3\n";
  const std::string joint = "*CONSTRAINED_JOINT_SPHERICAL\n2,3\n";
  const std::string pull = "*INITIAL_VELOCITY_NODE\n4,1,0,0\n";
  const std::string press = "*SET_NODE_LIST\n1\n13,14,15,16\n*INITIAL_VELOCITY\n1\n0,0,-1\n";
  const std::vector<Pair> pairs = {
      {"weld_clamped",
       boundTrusses(weld, "*BOUNDARY_SPC_NODE\n3,0,1,1,1\n" + pull),
       boundTrusses(weld, "*BOUNDARY_SPC_NODE\n2,0,1,1,1\n" + pull),
       {2, 3, 4},
       -1},
      {"weld_driven",
       boundTrusses(weld, "*BOUNDARY_PRESCRIBED_MOTION_NODE\n3,1,0,,1.0\n"),
       boundTrusses(weld, "*BOUNDARY_PRESCRIBED_MOTION_NODE\n2,1,0,,1.0\n"),
       {2, 3, 1},
       0},
      {"joint_driven",
       boundTrusses(joint, "*BOUNDARY_PRESCRIBED_MOTION_NODE\n3,1,0,,1.0\n"),
       boundTrusses(joint, "*BOUNDARY_PRESCRIBED_MOTION_NODE\n2,1,0,,1.0\n"),
       {2, 3, 1},
       0},
      {"tie_clamped",
       tiedCubes(press + "*SET_NODE_LIST\n2\n9,10,11,12\n*BOUNDARY_SPC_SET\n2,0,1,1,1\n"),
       tiedCubes(press + "*SET_NODE_LIST\n2\n5,6,7,8\n*BOUNDARY_SPC_SET\n2,0,1,1,1\n"),
       {5, 9, 13},
       -1},
      {"tie_driven",
       tiedCubes("*BOUNDARY_PRESCRIBED_MOTION_NODE\n9,3,0,,1.0\n"),
       tiedCubes("*BOUNDARY_PRESCRIBED_MOTION_NODE\n5,3,0,,1.0\n"),
       {5, 9, 1},
       2},
  };
  for (const Pair& p : pairs) {
    for (bool host : {false, true}) {
      SCOPED_TRACE(std::string(p.name) + (host ? ", host loop" : ", GPU loop"));
      linerun::RunOptions options;
      options.traced = p.traced;
      options.hostLoop = host;
      const std::string name = std::string(p.name) + (host ? "_host" : "_gpu");
      const linerun::Trace led = linerun::runDeck(name + "_led", p.onLed, options);
      const linerun::Trace leader = linerun::runDeck(name + "_leader", p.onLeader, options);
      ASSERT_GT(led.time.size(), 5u);
      expectSameRun(led, leader);
      const auto& first = led.nodes.front();
      if (p.drivenComponent >= 0) {
        // Leader and led node move at the prescribed speed from the first
        // step; the free end has not moved yet.
        EXPECT_EQ(first[0].vel[p.drivenComponent], 1.0);
        EXPECT_EQ(first[1].vel[p.drivenComponent], 1.0);
      } else {
        // Clamped: leader and led node never move, the loaded end does.
        for (const auto& s : led.nodes)
          for (int j = 0; j < 3; ++j) {
            ASSERT_EQ(s[0].total_disp[j], 0.0);
            ASSERT_EQ(s[1].total_disp[j], 0.0);
          }
        EXPECT_NE(led.nodes.back()[2].total_disp[0] + led.nodes.back()[2].total_disp[2], 0.0);
      }
    }
  }
}
