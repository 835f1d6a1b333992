// Penetration and decoupled contact force of one pair: after the step the
// slave node leaves the contact point at the normal speed that closes its
// penetration in the step (the same normal velocity when touching),
// momentum is kept, and separating pairs are released.
#include <gtest/gtest.h>
#include <cmath>
#include <ostream>
#include "contact/contactpair.h"
#include "tests/contact/contactRig.h"

namespace {

constexpr double kDt = 1e-4;

struct PairCase {
  const char* name;
  int plateX, plateY;  // plate of unit segments at z = 0
  int kind, segment, localIndex;
  double slave[3];
};

// How gtest shows a case (otherwise as the bytes of the record).
void PrintTo(const PairCase& c, std::ostream* os) {
  *os << c.name << " (slave at " << c.slave[0] << ", " << c.slave[1] << ", " << c.slave[2] << ")";
}

// Normal velocity of the contact point of a pair, from its weights.
double contactPointNormalVelocity(ContactRig& rig, const ContactPairCuda& p) {
  const SegmentCuda& s = *p.segment;
  const double* n = p.normal;
  auto nv = [&](const NodeCuda* node) { return n[0] * node->vel[0] + n[1] * node->vel[1] + n[2] * node->vel[2]; };
  if (p.kind == NODE_TO_SEGMENT) {
    double v = 0.0;
    for (int k = 0; k < s.node_num; ++k) v += p.weight[k] * nv(s.node[k]);
    return v;
  }
  if (p.kind == NODE_TO_EDGE) {
    return p.weight[0] * nv(s.node[p.local_index]) + p.weight[1] * nv(s.node[(p.local_index + 1) % s.node_num]);
  }
  (void)rig;
  return nv(s.node[p.local_index]);
}

void momentum(ContactRig& rig, double* out) {
  out[0] = out[1] = out[2] = 0.0;
  for (const NodeCuda& n : rig.nodes.node_array_cpu) {
    for (int j = 0; j < 3; ++j) out[j] += n.mass * n.vel[j];
  }
}

// Makes the contact node's pair an active pair of the given kind.
ContactPairCuda& activePair(ContactNodeCuda& cn, int kind, SegmentCuda* s, int localIndex) {
  ContactPairCuda& p = cn.contact_pair;
  p.kind = kind;
  p.segment = s;
  p.local_index = localIndex;
  p.side = 1;
  cn.in_contact = 1;
  return p;
}

class PairStep : public ::testing::TestWithParam<PairCase> {};

TEST_P(PairStep, SlaveLeavesAtTheSpeedThatClosesItsPenetrationAndMomentumIsKept) {
  const PairCase& c = GetParam();
  ContactRig rig;
  rig.addPlate(c.plateX, c.plateY, 1.0, 0.0);
  // Unequal masters with their own motion and loads, so that every term of
  // the increment counts.
  int i = 0;
  for (NodeCuda& n : rig.nodes.node_array_cpu) {
    n.mass = n.equivalent_mass = 1.0 + 0.5 * i;
    n.vel[0] = 0.1 * i;
    n.vel[2] = 0.2 - 0.05 * i;
    n.force[2] = 1.0 + i;
    ++i;
  }
  rig.buildSurface();
  const int s = rig.addNode(c.slave[0], c.slave[1], c.slave[2], 2.0);
  rig.node(s).vel[0] = 0.3;
  rig.node(s).vel[2] = -3.0;
  rig.node(s).force[2] = -10.0;
  ContactNodeCuda& cn = rig.addContactNode(s);
  ContactPairCuda& p = activePair(cn, c.kind, &rig.segment(c.segment), c.localIndex);
  p.carried_force = 4.0;
  p.force_steps = 1;  // in contact since a step before
  int active = 1;

  double before[3], after[3];
  rig.advanceVelocities(0.0);
  momentum(rig, before);
  double external[3] = {0.0, 0.0, 0.0};
  for (const NodeCuda& n : rig.nodes.node_array_cpu) {
    for (int j = 0; j < 3; ++j) external[j] += n.force[j];
  }

  p.penetraCalDefenGpu(0, nullptr);
  EXPECT_NEAR(p.gap, c.slave[2], 1e-15);
  // Its last step left slave and contact point closing as they do now.
  const double n0 =
      p.normal[0] * rig.node(s).vel[0] + p.normal[1] * rig.node(s).vel[1] + p.normal[2] * rig.node(s).vel[2];
  p.last_opening = p.last_expected = n0 - contactPointNormalVelocity(rig, p);
  p.defenceNodeCalGpuDecouple(kDt, 7, &active, 0, nullptr);
  p.storeFcn();
  rig.gatherContactForces();
  EXPECT_EQ(p.kind, c.kind) << "a penetrating pair stays";
  EXPECT_EQ(active, 1);
  EXPECT_GT(p.normal_force, 0.0);
  EXPECT_EQ(p.carried_force, p.normal_force);

  double total[3] = {0.0, 0.0, 0.0};
  for (const NodeCuda& n : rig.nodes.node_array_cpu) {
    for (int j = 0; j < 3; ++j) total[j] += n.force[j];
  }
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(total[j], external[j], 1e-12 * (1.0 + p.normal_force));

  rig.advanceVelocities(kDt);
  const double vs =
      p.normal[0] * rig.node(s).vel[0] + p.normal[1] * rig.node(s).vel[1] + p.normal[2] * rig.node(s).vel[2];
  const double vm = contactPointNormalVelocity(rig, p);
  EXPECT_NEAR(vs - vm, -c.slave[2] / kDt, 1e-12 * std::fabs(vs)) << c.name;
  momentum(rig, after);
  for (int j = 0; j < 3; ++j) {
    EXPECT_NEAR(after[j] - before[j], external[j] * kDt, 1e-12 * (1.0 + std::fabs(before[j]))) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PairStep,
                         ::testing::Values(PairCase{"segment", 1, 1, NODE_TO_SEGMENT, 0, 0, {0.3, 0.6, -0.01}},
                                           PairCase{"edge", 2, 1, NODE_TO_EDGE, 0, 1, {1.0, 0.3, -0.005}},
                                           PairCase{"node", 2, 2, NODE_TO_NODE, 0, 2, {1.0, 1.0, -0.003}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PairStep, SegmentWeightsAreTheBilinearShapeValues) {
  ContactRig rig;
  rig.addPlate(1, 1, 1.0, 0.0);
  rig.buildSurface();
  ContactNodeCuda& cn = rig.addContactNode(rig.addNode(0.3, 0.6, -0.01));
  ContactPairCuda& p = activePair(cn, NODE_TO_SEGMENT, &rig.segment(0), 0);
  p.penetraCalDefenGpu(0, nullptr);
  EXPECT_NEAR(p.weight[0], 0.7 * 0.4, 1e-14);
  EXPECT_NEAR(p.weight[1], 0.3 * 0.4, 1e-14);
  EXPECT_NEAR(p.weight[2], 0.3 * 0.6, 1e-14);
  EXPECT_NEAR(p.weight[3], 0.7 * 0.6, 1e-14);
  // No carried force: nothing moves.
  for (const NodeCuda& n : rig.nodes.node_array_cpu) EXPECT_EQ(n.force[2], 0.0);
}

// Two touching nodes of mass M closing at speed v each: the node pair
// cancels the relative normal velocity in one step.
TEST(PairStep, NodePairOfEqualMassesGetsMvOverDt) {
  ContactRig rig;
  rig.addPlate(2, 2, 1.0, 0.0);
  rig.buildSurface();
  NodeCuda& master = rig.node(5);  // the middle node (1, 1)
  master.vel[2] = 1.5;
  ContactNodeCuda& cn = rig.addContactNode(rig.addNode(1.0, 1.0, 0.0));
  rig.node(cn.node_id).vel[2] = -1.5;
  ContactPairCuda& p = activePair(cn, NODE_TO_NODE, &rig.segment(0), 2);
  int active = 1;
  p.penetraCalDefenGpu(0, nullptr);
  p.defenceNodeCalGpuDecouple(kDt, 1, &active, 0, nullptr);
  EXPECT_NEAR(rig.node(cn.node_id).contact_force[2], 1.0 * 3.0 / kDt * 0.5, 1e-6);
  EXPECT_NEAR(master.contact_force[2], -1.0 * 3.0 / kDt * 0.5, 1e-6);
}

// Two touching plates whose middle nodes close on each other, each node held
// by its own pair on a segment of the other's node: the contact is seen from
// both sides, each pair carries half, and the nodes get what one pair gives.
TEST(PairStep, TwoPairsSeeingOneContactFromBothSidesCarryHalfEach) {
  ContactRig rig;
  rig.addPlate(2, 2, 1.0, 0.0);  // nodes 1-9, segments 0-3, middle node 5
  rig.addPlate(2, 2, 1.0, 0.0);  // nodes 10-18, segments 4-7, middle node 14
  rig.buildSurface();
  ContactNodeCuda& upper = rig.addContactNode(14);
  ContactNodeCuda& lower = rig.addContactNode(5);
  rig.node(14).vel[2] = -1.5;
  rig.node(5).vel[2] = 1.5;
  ContactPairCuda& down = activePair(upper, NODE_TO_NODE, &rig.segment(0), 2);  // at node 5
  ContactPairCuda& up = activePair(lower, NODE_TO_NODE, &rig.segment(4), 2);    // at node 14
  up.side = -1;  // node 5 lies behind the upper plate's segments
  int active = 2;
  for (ContactPairCuda* p : {&down, &up}) p->penetraCalDefenGpu(0, nullptr);
  // Each node takes part in both pairs (slave of one, master of the other).
  EXPECT_EQ(rig.node(14).contact_pair_count, 2.0);
  EXPECT_EQ(rig.node(5).contact_pair_count, 2.0);
  for (ContactPairCuda* p : {&down, &up}) p->defenceNodeCalGpuDecouple(kDt, 1, &active, 0, nullptr);
  EXPECT_NEAR(rig.node(14).contact_force[2], 1.0 * 3.0 / kDt * 0.5, 1e-6);
  EXPECT_NEAR(rig.node(5).contact_force[2], -1.0 * 3.0 / kDt * 0.5, 1e-6);
}

// A node pressed on a vertex where four facets of a smooth surface meet
// (their middle node raised to a low peak) is pushed along the mean of
// their normals, straight up, not along the tilted normal of the facet that
// holds the pair; over a sharp edge (a block's top face meeting its side at
// 90 degrees) a pair keeps its face's own normal.
TEST(PairStep, ContactNormalIsTheMeanOverSmoothVerticesButNotOverSharpEdges) {
  ContactRig peakRig;
  peakRig.addPlate(2, 2, 1.0, 0.0);
  peakRig.node(5).coord[2] = peakRig.node(5).ini_coord[2] = 0.1;
  peakRig.buildSurface();
  ContactNodeCuda& onPeak = peakRig.addContactNode(peakRig.addNode(1.0, 1.0, 0.09));
  ContactPairCuda& peak = activePair(onPeak, NODE_TO_NODE, &peakRig.segment(0), 2);  // node 5 of segment 0
  peak.penetraCalDefenGpu(0, nullptr);
  EXPECT_LT(peakRig.segment(0).normal[2], 0.999);  // the facet itself leans
  EXPECT_NEAR(peak.normal[0], 0.0, 1e-15);
  EXPECT_NEAR(peak.normal[1], 0.0, 1e-15);
  EXPECT_NEAR(peak.normal[2], 1.0, 1e-15);
  // A block's top face (nodes 1 (0,0), 2 (1,0), 3 (0,1), 4 (1,1)) and its
  // side face hanging from edge 2-4.
  ContactRig blockRig;
  blockRig.addPlate(1, 1, 1.0, 0.0);
  const int low = blockRig.addNode(1.0, 0.0, -1.0);
  blockRig.addNode(1.0, 1.0, -1.0);
  blockRig.addSegment(2, low, low + 1, 4);  // normal +x
  blockRig.buildSurface();
  ContactNodeCuda& atEdge = blockRig.addContactNode(blockRig.addNode(1.0, 0.5, -0.01));
  ContactPairCuda& edge = activePair(atEdge, NODE_TO_EDGE, &blockRig.segment(0), 1);  // edge 2-4
  edge.penetraCalDefenGpu(0, nullptr);
  ASSERT_EQ(blockRig.segment(0).neighbour[1], &blockRig.segment(1));
  for (int k = 0; k < 3; ++k) EXPECT_EQ(edge.normal[k], blockRig.segment(0).normal[k]);
}

TEST(PairRelease, SeparatingPairWithGapIsReleasedIntoItsCandidates) {
  ContactRig rig;
  rig.addPlate(1, 1, 1.0, 0.0);
  rig.buildSurface();
  ContactNodeCuda& cn = rig.addContactNode(rig.addNode(0.5, 0.5, 0.01));
  rig.node(cn.node_id).vel[2] = 1.0;
  ContactPairCuda& p = activePair(cn, NODE_TO_SEGMENT, &rig.segment(0), 0);
  int active = 1;
  p.penetraCalDefenGpu(0, nullptr);
  p.defenceNodeCalGpuDecouple(kDt, 9, &active, 0, nullptr);
  p.storeFcn();
  EXPECT_EQ(p.kind, CONTACT_PAIR_EMPTY);
  EXPECT_EQ(p.segment, nullptr);
  EXPECT_EQ(cn.in_contact, 0);
  EXPECT_EQ(active, 0);
  EXPECT_EQ(p.carried_force, 0.0);
  ASSERT_EQ(cn.test_pair.count, 1);
  EXPECT_EQ(cn.test_pair.segment[0], &rig.segment(0));
  EXPECT_EQ(cn.test_pair.next_check_cycle[0], 9);
  EXPECT_EQ(cn.test_pair.side[0], 1);
}

TEST(PairRelease, PenetratingPairPullingStaysWithZeroForce) {
  ContactRig rig;
  rig.addPlate(1, 1, 1.0, 0.0);
  rig.buildSurface();
  // Leaving faster than it takes to clear the penetration in the step.
  ContactNodeCuda& cn = rig.addContactNode(rig.addNode(0.5, 0.5, -0.01));
  rig.node(cn.node_id).vel[2] = 2.0 * 0.01 / kDt;
  ContactPairCuda& p = activePair(cn, NODE_TO_SEGMENT, &rig.segment(0), 0);
  int active = 1;
  p.penetraCalDefenGpu(0, nullptr);
  p.defenceNodeCalGpuDecouple(kDt, 9, &active, 0, nullptr);
  EXPECT_EQ(p.kind, NODE_TO_SEGMENT);
  EXPECT_EQ(p.normal_force, 0.0);
  EXPECT_EQ(active, 1);
}

TEST(PairRelease, FullCandidateListLosesItsLastEntryToTheReleasedSegment) {
  ContactRig rig;
  rig.addPlate(1, 1, 1.0, 0.0);
  rig.buildSurface();
  ContactNodeCuda& cn = rig.addContactNode(rig.addNode(0.5, 0.5, 0.01));
  std::vector<SegmentCuda> others(kTestPairSlots);
  for (int j = 0; j < kTestPairSlots; ++j) cn.test_pair.segment[j] = &others[j];
  cn.test_pair.count = kTestPairSlots;
  rig.node(cn.node_id).vel[2] = 1.0;
  ContactPairCuda& p = cn.contact_pair;
  p.kind = NODE_TO_EDGE;
  p.segment = &rig.segment(0);
  p.local_index = 0;
  p.side = -1;
  int active = 1;
  p.gap = 0.01;
  p.weight[0] = p.weight[1] = 0.5;
  p.mass_share[0] = p.mass_share[1] = 1.0;
  p.normal[2] = 1.0;
  p.defenceNodeCalGpuDecouple(kDt, 4, &active, 0, nullptr);
  EXPECT_EQ(cn.test_pair.count, kTestPairSlots);
  EXPECT_EQ(cn.test_pair.segment[kTestPairSlots - 1], &rig.segment(0));
  EXPECT_EQ(cn.test_pair.next_check_cycle[kTestPairSlots - 1], 0) << "edge pairs are checked again at once";
  EXPECT_EQ(cn.test_pair.side[kTestPairSlots - 1], -1);
}

TEST(PairRelease, PairWithoutMassGetsNoForce) {
  ContactRig rig;
  rig.addPlate(1, 1, 1.0, 0.0, 0.0, 0.0, 0.0);
  rig.buildSurface();
  ContactNodeCuda& cn = rig.addContactNode(rig.addNode(0.5, 0.5, -0.01, 0.0));
  rig.node(cn.node_id).vel[2] = -1.0;
  ContactPairCuda& p = activePair(cn, NODE_TO_SEGMENT, &rig.segment(0), 0);
  int active = 1;
  p.penetraCalDefenGpu(0, nullptr);
  p.defenceNodeCalGpuDecouple(kDt, 1, &active, 0, nullptr);
  for (const NodeCuda& n : rig.nodes.node_array_cpu) {
    for (int j = 0; j < 3; ++j) {
      EXPECT_TRUE(std::isfinite(n.contact_force[j]));
      EXPECT_TRUE(std::isfinite(n.force[j]));
    }
  }
  EXPECT_EQ(p.normal_force, 0.0);
}

// A node that slid past the free edge of a plate is let go once clear of the
// edge, without keeping it on the plate's plane.
TEST(PairRelease, PairBeyondAFreeEdgeLetsGoWithoutForce) {
  ContactRig rig;
  rig.addPlate(1, 1, 1.0, 0.0);
  rig.buildSurface();
  ContactNodeCuda& cn = rig.addContactNode(rig.addNode(1.05, 0.5, -0.02));
  NodeCuda& slave = rig.node(cn.node_id);
  slave.vel[2] = -0.5;
  slave.force[2] = -9.81;
  ContactPairCuda& p = activePair(cn, NODE_TO_EDGE, &rig.segment(0), 1);  // the free edge x = 1
  p.carried_force = 3.0;
  int active = 1;
  p.penetraCalDefenGpu(0, nullptr);
  EXPECT_NEAR(p.gap, std::sqrt(0.05 * 0.05 + 0.02 * 0.02), 1e-12) << "measured from the edge line";
  p.defenceNodeCalGpuDecouple(kDt, 2, &active, 0, nullptr);
  p.storeFcn();
  rig.gatherContactForces();
  EXPECT_EQ(p.kind, CONTACT_PAIR_EMPTY);
  EXPECT_EQ(active, 0);
  EXPECT_NEAR(slave.force[2], -9.81, 1e-12) << "the carried force is cancelled";
  for (int id = 1; id <= 4; ++id) EXPECT_NEAR(rig.node(id).force[2], 0.0, 1e-12);
}

}  // namespace
