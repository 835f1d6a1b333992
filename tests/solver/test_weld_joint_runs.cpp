// Spot-welded plates and a jointed pendulum run through the time loop.
#include "tests/deviceTest.h"

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "tests/elements/common/lineElementRun.h"

namespace {

double distance(const NodeCuda& a, const NodeCuda& b) {
  double s = 0.0;
  for (int j = 0; j < 3; ++j) s += (a.coord[j] - b.coord[j]) * (a.coord[j] - b.coord[j]);
  return std::sqrt(s);
}

// Node id of grid point (i, j) of a plate of 6 x 2 shells, 0.1 m bays,
// whose ids start after offset.
int plateNode(int offset, int i, int j) { return offset + 1 + i + 7 * j; }

// Two steel shell plates 0.6 x 0.2 m, A on x 0..0.6 at z = 0 and B on
// x 0.4..1.0 at z = 5 mm; a line of three spot welds at x = 0.5 joins them.
// A's far edge is pulled at -1 m/s and B's at +1 m/s along x.
std::string weldedPlates(bool welds) {
  std::ostringstream d;
  d << "*KEYWORD\n*CONTROL_TERMINATION\n0.002\n*NODE\n";
  for (int plate = 0; plate < 2; ++plate)
    for (int j = 0; j < 3; ++j)
      for (int i = 0; i < 7; ++i)
        d << plateNode(21 * plate, i, j) << "," << 0.1 * i + 0.4 * plate << "," << 0.1 * j << "," << 0.005 * plate
          << "\n";
  d << "*ELEMENT_SHELL\n";
  for (int plate = 0; plate < 2; ++plate)
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 6; ++i) {
        const int o = 21 * plate;
        d << 12 * plate + 6 * j + i + 1 << "," << plate + 1 << "," << plateNode(o, i, j) << ","
          << plateNode(o, i + 1, j) << "," << plateNode(o, i + 1, j + 1) << "," << plateNode(o, i, j + 1) << "\n";
      }
  d << "*PART\nA\n1,1,1\n*PART\nB\n2,1,1\n*SECTION_SHELL\n1,2,0.8333,2\n0.002,0.002,0.002,0.002\n"
    << "*MAT_ELASTIC\n1,7850,2.1e11,0.3\n*SET_NODE_LIST\n1\n"
    << plateNode(0, 0, 0) << "," << plateNode(0, 0, 1) << "," << plateNode(0, 0, 2) << "\n*SET_NODE_LIST\n2\n"
    << plateNode(21, 6, 0) << "," << plateNode(21, 6, 1) << "," << plateNode(21, 6, 2) << "\n"
    << "*BOUNDARY_PRESCRIBED_MOTION_SET\n1,1,0,,-1.0\n2,1,0,,1.0\n";
  if (welds) {
    d << "*CONSTRAINED_SPOTWELD\n";
    for (int j = 0; j < 3; ++j) d << plateNode(0, 5, j) << "," << plateNode(21, 1, j) << "\n";
  }
  d << "*END\n";
  return d.str();
}

DEVICE_TEST(WeldJointRuns, SpotWeldedShellPlatesPulledApartMoveAsOne) {
  linerun::RunOptions options;
  for (int j = 0; j < 3; ++j) {
    options.traced.push_back(plateNode(0, 5, j));
    options.traced.push_back(plateNode(21, 1, j));
  }
  const linerun::Trace welded = linerun::runDeck("welded_plates", weldedPlates(true), options);
  ASSERT_GT(welded.time.size(), 20u);
  // Each welded pair keeps its 5 mm distance (to the second order of the
  // master's rotation per step): the weld holds it rigidly.
  for (const auto& sample : welded.nodes)
    for (size_t p = 0; p < sample.size(); p += 2) ASSERT_NEAR(distance(sample[p], sample[p + 1]), 0.005, 5e-6);
  // The weld line carries the pull: it moves far less than the pulled edges.
  const double travel = 2e-3;  // each edge's travel at 1 m/s over the run
  EXPECT_LT(std::fabs(welded.nodes.back()[0].total_disp[0]), 0.5 * travel);
  // Without the welds the plates slide apart.
  const linerun::Trace loose = linerun::runDeck("loose_plates", weldedPlates(false), options);
  EXPECT_GT(distance(loose.nodes.back()[0], loose.nodes.back()[1]), 0.005 + 0.5 * travel);
}

// Two triangles of beams joined by a revolute joint on the z axis (node
// pairs at z = -0.1 and z = +0.1); the second link is set swinging about the
// axis.  The joint nodes stay together and the link swings in the x-y plane.
DEVICE_TEST(WeldJointRuns, RevoluteJointKeepsTheLinksTogether) {
  const double L = 1.0, d = 0.1;
  std::ostringstream k;
  k << "*KEYWORD\n*CONTROL_TERMINATION\n0.05\n*NODE\n"
    << "1,0,0," << -d << "\n2,0,0," << d << "\n3," << -L << ",0,0\n"
    << "4,0,0," << -d << "\n5,0,0," << d << "\n6," << L << ",0,0\n"
    << "*ELEMENT_BEAM\n";
  const int links[2][3] = {{1, 2, 3}, {4, 5, 6}};
  int id = 1;
  for (int l = 0; l < 2; ++l) {
    const int* n = links[l];
    const int ends[3][2] = {{n[0], n[1]}, {n[0], n[2]}, {n[1], n[2]}};
    for (const auto& e : ends) {
      char line[64];
      std::snprintf(line, sizeof line, "%8d%8d%8d%8d%8d\n", id++, 1, e[0], e[1], 0);
      k << line;
    }
  }
  k << "*PART\nlinks\n1,1,1\n*SECTION_BEAM\n1,2\n1e-4,1e-8,1e-8,0,0\n*MAT_ELASTIC\n1,7850,2.1e11,0.3\n"
    << "*CONSTRAINED_JOINT_REVOLUTE\n1,4,2,5\n*INITIAL_VELOCITY_NODE\n6,0,1,0\n*END\n";
  for (bool host : {false, true}) {
    SCOPED_TRACE(host ? "host loop" : "GPU loop");
    linerun::RunOptions options;
    options.traced = {1, 4, 2, 5, 6};
    options.hostLoop = host;
    const linerun::Trace trace = linerun::runDeck(host ? "revolute_host" : "revolute_gpu", k.str(), options);
    ASSERT_GT(trace.time.size(), 100u);
    double gap = 0.0;
    for (const auto& s : trace.nodes) gap = std::max({gap, distance(s[0], s[1]), distance(s[2], s[3])});
    EXPECT_LT(gap, 1e-9 * L);
    const NodeCuda& tip = trace.nodes.back()[4];
    EXPECT_GT(tip.total_disp[1], 0.02);                                 // it swings about z
    EXPECT_LT(std::fabs(tip.total_disp[2]), 1e-3 * tip.total_disp[1]);  // and stays in the x-y plane
  }
}

}  // namespace

namespace {

const char* kTwoBeams =
    "*KEYWORD\n*CONTROL_TERMINATION\n1e-5\n*NODE\n1,0,0,0\n2,1,0,0\n3,2,0,0\n*ELEMENT_BEAM\n1,1,1,2,0\n2,1,2,3,0\n*PART\nbeams\n1,1,1\n";

}  // namespace

// Set-up refuses a weld that binds no node, naming it; an elastic-plastic
// beam without tube points is told that it stays elastic, a tube of a
// hardening material that it would not harden.
TEST(WeldJointRuns, SetUpReportsWhatCannotAct) {
  std::string messages;
  const std::string weld = std::string(kTwoBeams) +
                           "*SECTION_BEAM\n1,2\n1e-4,1e-8,1e-8,0,0\n*MAT_ELASTIC\n1,7850,2.1e11,0.3\n"
                           "*CONSTRAINED_SPOTWELD_ID\n5\n0,0\n*END\n";
  EXPECT_NE(linerun::setUpDeck("empty_weld", weld, &messages), 1);
  EXPECT_NE(messages.find("spot weld 5 binds no node"), std::string::npos) << messages;
  const std::string plastic = std::string(kTwoBeams) +
                              "*SECTION_BEAM\n1,1,0,0,1.0\n0.02,0.02,0.018\n"
                              "*MAT_PLASTIC_KINEMATIC\n1,7850,2.1e11,0.3,2.5e8\n*CONTROL_TERMINATION\n1e-5\n*END\n";
  // Its beams would stay elastic: the part is refused.
  std::string refused;
  EXPECT_NE(linerun::setUpDeck("plastic_without_points", plastic, &refused), 1);
  EXPECT_NE(refused.find("part 1 (beams): its beams of the elastic-plastic material 1 would stay elastic"),
            std::string::npos)
      << refused;
  // Tubes yield without hardening: a tangent modulus is refused.
  refused.clear();
  EXPECT_NE(linerun::setUpDeck("hardening_tubes",
                               std::string(kTwoBeams) +
                                   "*SECTION_BEAM\n1,1,0,3,1.0\n0.02,0.02,0.018,"
                                   "0.018\n*MAT_PLASTIC_KINEMATIC\n1,7850,2.1e11,0.3,2.5e8,2.0e9\n*END\n",
                               &refused),
            1);
  EXPECT_NE(refused.find("part 1 (beams): its beams of the elastic-plastic material 1 would not harden"),
            std::string::npos)
      << refused;
}

namespace {

// Two steel trusses along x, nodes 1-2 and 3-4, with nodes 2 and 3 at the
// same place; welded when asked (node 2 master, node 3 slave).
std::string twoTrusses(const std::string& extra) {
  return "*KEYWORD\n*CONTROL_TERMINATION\n0.002\n*NODE\n1,0,0,0\n2,1,0,0\n3,1,0,0\n4,2,0,0\n"
         "*ELEMENT_BEAM\n1,1,1,2,0\n2,1,3,4,0\n*PART\nbars\n1,1,1\n*SECTION_BEAM\n1,3\n1e-4\n"
         "*MAT_ELASTIC\n1,7850,2.1e11,0.3\n*CONSTRAINED_SPOTWELD\n2,3\n" +
         extra + "*END\n";
}

}  // namespace

// Under gravity a welded group falls at g: each node is pulled with its own
// mass from before the weld moved it to the master.
DEVICE_TEST(WeldJointRuns, WeldedGroupFallsAtG) {
  linerun::RunOptions options;
  options.traced = {2, 3};
  const linerun::Trace trace = linerun::runDeck("welded_fall", twoTrusses("*LOAD_BODY_Z\n,9.81\n"), options);
  ASSERT_GT(trace.time.size(), 10u);
  // The master's velocity grows at g; the slave moves with it.
  const size_t last = trace.time.size() - 1;
  const double dv = trace.nodes[last][0].vel[2] - trace.nodes[2][0].vel[2];
  EXPECT_NEAR(dv / (trace.time[last] - trace.time[2]), -9.81, 1e-6 * 9.81);
  EXPECT_EQ(trace.nodes[last][1].total_disp[2], trace.nodes[last][0].total_disp[2]);
  // Every output shows the slave with the velocity it moves with: its
  // master's, not the one of the step before.
  for (size_t k = 0; k <= last; ++k) ASSERT_EQ(trace.nodes[k][1].vel[2], trace.nodes[k][0].vel[2]) << "cycle " << k;
}

// The slave's force reaches a clamped master before the support acts, so
// the master stays put while the far bar pulls on the weld.
DEVICE_TEST(WeldJointRuns, ClampedMasterHoldsItsSlave) {
  linerun::RunOptions options;
  options.traced = {2, 3, 4};
  const linerun::Trace trace =
      linerun::runDeck("clamped_master", twoTrusses("*BOUNDARY_SPC_NODE\n2,0,1,1,1\n*INITIAL_VELOCITY_NODE\n4,1,0,0\n"),
                       options);
  ASSERT_GT(trace.time.size(), 10u);
  for (const auto& s : trace.nodes) {
    for (int k = 0; k < 2; ++k)
      for (int j = 0; j < 3; ++j) ASSERT_EQ(s[k].total_disp[j], 0.0);
  }
  EXPECT_LT(trace.nodes.back()[2].vel[0], 0.9);  // the far end is held back by the bar
}
