// Pair production: of the candidates of a node, the closest one within reach
// becomes its contact pair, as a segment, edge or node pair by geometry.
#include "tests/deviceTest.h"
#include "contact/contactpair.h"
#include "tests/contact/contactRig.h"

namespace {

// Lists segments as candidates of a contact node, with a known side.
void listCandidates(ContactNodeCuda& cn, std::initializer_list<SegmentCuda*> segments, int side) {
  for (SegmentCuda* s : segments) {
    const int j = cn.test_pair.count++;
    cn.test_pair.segment[j] = s;
    cn.test_pair.side[j] = side;
  }
  cn.test_pair.updateActiveFlag();
}

void setThickness(ContactRig& rig, double t) {
  for (NodeCuda& n : rig.nodes.node_array_cpu) n.thickness = t;
}

DEVICE_TEST(PairProduction, ClosestCandidateWithinReachBecomesASegmentPair) {
  ContactRig rig;
  rig.addPlate(1, 1, 1.0, 0.0);             // segment 0 at z = 0
  rig.addPlate(1, 1, 1.0, 0.005);           // segment 1 at z = 0.005
  rig.addPlate(1, 1, 1.0, -0.5, 0.0, 0.0);  // segment 2 far below, out of reach
  rig.buildSurface();
  ContactNodeCuda& cn = rig.addContactNode(rig.addNode(0.4, 0.5, -0.002));
  listCandidates(cn, {&rig.segment(1), &rig.segment(0), &rig.segment(2)}, 1);
  PairManager pm;
  rig.attach(pm);
  pm.produceContactPairGpu(3, 3);
  const ContactPairCuda& p = cn.contact_pair;
  ASSERT_EQ(p.kind, NODE_TO_SEGMENT);
  EXPECT_EQ(p.segment, &rig.segment(0));
  EXPECT_EQ(p.segment_id, rig.segment(0).local_id);
  EXPECT_NEAR(p.gap, -0.002, 1e-15);
  EXPECT_EQ(p.side, 1);
  EXPECT_EQ(cn.in_contact, 1);
  EXPECT_EQ(*pm.contact_pair_num_cpu, 1);
  // The judged segments and the one beyond its territory left the list.
  EXPECT_EQ(cn.test_pair.count, 0);

  // A node already in contact keeps its pair; a candidate first seen while
  // the node penetrates takes no side from that moment.
  cn.test_pair.count = 0;
  listCandidates(cn, {&rig.segment(1)}, 0);
  pm.produceContactPairGpu(4, 4);
  EXPECT_EQ(cn.contact_pair.segment, &rig.segment(0));
  EXPECT_EQ(*pm.contact_pair_num_cpu, 1);
  EXPECT_EQ(cn.test_pair.side_now[0], -1);
  EXPECT_EQ(cn.test_pair.side[0], 0);
}

// A roof ridge: two segments meeting at x = 1; a node just above the ridge
// line, within the thickness, touches the edge.
DEVICE_TEST(PairProduction, NodeOverAConvexRidgeGetsAnEdgePair) {
  ContactRig rig;
  const int a0 = rig.addNode(0, 0, 0), a1 = rig.addNode(1, 0, 0.5), a2 = rig.addNode(1, 1, 0.5),
            a3 = rig.addNode(0, 1, 0), b1 = rig.addNode(2, 0, 0), b2 = rig.addNode(2, 1, 0);
  rig.addSegment(a0, a1, a2, a3);
  rig.addSegment(a1, b1, b2, a2);
  setThickness(rig, 0.1);
  rig.buildSurface();
  ContactNodeCuda& cn = rig.addContactNode(rig.addNode(1.0, 0.5, 0.55));
  rig.node(cn.node_id).thickness = 0.1;
  listCandidates(cn, {&rig.segment(0), &rig.segment(1)}, 1);
  PairManager pm;
  rig.attach(pm);
  pm.produceContactPairGpu(1, 1);
  const ContactPairCuda& p = cn.contact_pair;
  ASSERT_EQ(p.kind, NODE_TO_EDGE);
  // rho - (t_edge / 2 + t_node) / 2 with rho = 0.05.
  EXPECT_NEAR(p.gap, 0.05 - 0.1, 1e-12);
  const bool onSharedEdge =
      (p.segment == &rig.segment(0) && p.local_index == 1) || (p.segment == &rig.segment(1) && p.local_index == 3);
  EXPECT_TRUE(onSharedEdge);
}

// The apex of a pyramid of four triangles: a node just above it touches the
// apex node.
DEVICE_TEST(PairProduction, NodeOverAPyramidApexGetsANodePair) {
  ContactRig rig;
  const int apex = rig.addNode(0, 0, 1);
  const int c[4] = {rig.addNode(-1, -1, 0), rig.addNode(1, -1, 0), rig.addNode(1, 1, 0), rig.addNode(-1, 1, 0)};
  for (int k = 0; k < 4; ++k) rig.addSegment(c[k], c[(k + 1) % 4], apex, apex);
  setThickness(rig, 0.1);
  rig.buildSurface();
  ContactNodeCuda& cn = rig.addContactNode(rig.addNode(0.0, 0.0, 1.05));
  rig.node(cn.node_id).thickness = 0.1;
  listCandidates(cn, {&rig.segment(0), &rig.segment(1), &rig.segment(2), &rig.segment(3)}, 1);
  PairManager pm;
  rig.attach(pm);
  pm.produceContactPairGpu(1, 1);
  const ContactPairCuda& p = cn.contact_pair;
  ASSERT_EQ(p.kind, NODE_TO_NODE);
  EXPECT_EQ(p.segment->node[p.local_index], &rig.node(apex));
  EXPECT_NEAR(p.gap, 0.05 - 0.1, 1e-12);
}

DEVICE_TEST(PairProduction, NodeBeyondAFreeEdgeIsHeldByTheEdgeOnlyWithinReach) {
  ContactRig rig;
  rig.addPlate(1, 1, 1.0, 0.0);
  rig.buildSurface();
  ContactNodeCuda& cn = rig.addContactNode(rig.addNode(1.01, 0.5, -0.001));
  listCandidates(cn, {&rig.segment(0)}, 1);
  PairManager pm;
  rig.attach(pm);
  pm.produceContactPairGpu(1, 1);
  EXPECT_EQ(cn.contact_pair.kind, CONTACT_PAIR_EMPTY);
  EXPECT_EQ(cn.test_pair.count, 1);
  EXPECT_EQ(cn.test_pair.segment[0], &rig.segment(0));
  EXPECT_EQ(*pm.contact_pair_num_cpu, 0);
  // A hair past the edge, within the half thicknesses of it: the edge holds it.
  setThickness(rig, 0.1);
  rig.node(cn.node_id).coord[0] = 1.0 + 1e-9;
  pm.produceContactPairGpu(2, 2);
  EXPECT_EQ(cn.contact_pair.kind, NODE_TO_EDGE);
  EXPECT_NEAR(cn.contact_pair.gap, 0.001 - 0.1, 1e-8);
}

// A node 0.05 behind a face that lay as deep behind it before its step (it
// slid along) did not come through it and gets no pair; one that came
// through within the step, from 0.01 in front, is paired.
DEVICE_TEST(PairProduction, OnlyANodeThatCameThroughTheFaceInItsStepIsPaired) {
  for (const double stepZ : {0.0, -0.06}) {
    ContactRig rig;
    rig.addPlate(1, 1, 1.0, 0.0);
    rig.buildSurface();
    ContactNodeCuda& cn = rig.addContactNode(rig.addNode(0.5, 0.5, -0.05));
    NodeCuda& node = rig.node(cn.node_id);
    node.step_disp[0] = 0.001;
    node.step_disp[2] = stepZ;
    listCandidates(cn, {&rig.segment(0)}, 1);
    PairManager pm;
    rig.attach(pm);
    pm.produceContactPairGpu(1, 1);
    EXPECT_EQ(cn.contact_pair.kind, stepZ == 0.0 ? CONTACT_PAIR_EMPTY : NODE_TO_SEGMENT) << stepZ;
  }
}

}  // namespace
