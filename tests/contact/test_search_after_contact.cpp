// Search after contact: a node sliding over a plate of segments is followed
// from segment to edge to segment (or around a node) without losing its
// pair, also where neighbouring segments have opposite normals.
#include "tests/deviceTest.h"
#include <cmath>
#include <utility>
#include "contact/contactpair.h"
#include "tests/contact/contactRig.h"

namespace {

// The segment of a 3 x 3 plate of unit squares under the point (x, y).
int segmentUnder(double x, double y) { return static_cast<int>(y) * 3 + static_cast<int>(x); }

struct SlideRig {
  ContactRig rig;
  PairManager pm;
  ContactNodeCuda* cn = nullptr;

  explicit SlideRig(bool flipMiddleColumn) {
    rig.addPlate(3, 3, 1.0, 0.0);
    if (flipMiddleColumn) {
      for (int j = 0; j < 3; ++j) {
        SegmentCuda& s = rig.surface.segment_array[j * 3 + 1];
        std::swap(s.node_id[1], s.node_id[3]);  // normal -z
      }
    }
    rig.buildSurface();
    cn = &rig.addContactNode(rig.addNode(0.55, 0.45, -0.001));
    ContactPairCuda& p = cn->contact_pair;
    p.kind = NODE_TO_SEGMENT;
    p.segment = &rig.segment(0);
    p.side = 1;
    cn->in_contact = 1;
    rig.attach(pm);
  }
  // Moves the slave to (x, y) and runs the three search kernels.
  void moveTo(double x, double y) {
    rig.node(cn->node_id).coord[0] = x;
    rig.node(cn->node_id).coord[1] = y;
    pm.searchAfterContactGpu();
  }
  // The contact normal side x segment normal (+z on the whole plate).
  double facingZ() const { return cn->contact_pair.side * cn->contact_pair.segment->normal[2]; }
};

DEVICE_TEST(SearchAfterContact, NodeSlidingAcrossThePlateKeepsItsPairOnTheSegmentBelow) {
  for (bool flipped : {false, true}) {
    SlideRig s(flipped);
    for (double x = 0.55; x < 2.99; x += 0.1) {
      s.moveTo(x, 0.45);
      const ContactPairCuda& p = s.cn->contact_pair;
      ASSERT_EQ(p.kind, NODE_TO_SEGMENT) << "x = " << x << (flipped ? " (mixed normals)" : "");
      EXPECT_EQ(p.segment, &s.rig.segment(segmentUnder(x, 0.45))) << "x = " << x;
      EXPECT_EQ(s.facingZ(), 1.0) << "the pair stays on the side the node came from, x = " << x;
    }
  }
}

DEVICE_TEST(SearchAfterContact, NodeSlidingThroughPlateCornersWalksAroundTheNode) {
  for (bool flipped : {false, true}) {
    SlideRig s(flipped);
    s.moveTo(0.55, 0.55);
    for (double t = 0.65; t < 2.99; t += 0.1) {
      s.moveTo(t, t);
      const ContactPairCuda& p = s.cn->contact_pair;
      ASSERT_NE(p.kind, CONTACT_PAIR_EMPTY) << "t = " << t;
      ASSERT_EQ(p.kind, NODE_TO_SEGMENT) << "t = " << t << (flipped ? " (mixed normals)" : "");
      EXPECT_EQ(p.segment, &s.rig.segment(segmentUnder(t, t))) << "t = " << t;
      EXPECT_EQ(s.facingZ(), 1.0) << "t = " << t;
    }
  }
}

DEVICE_TEST(SearchAfterContact, NodeBeyondAFreeEdgeStaysOnThatEdgeOrItsEndNode) {
  SlideRig s(false);
  s.moveTo(0.5, -0.2);  // beyond the free edge y = 0 of segment 0
  EXPECT_EQ(s.cn->contact_pair.kind, NODE_TO_EDGE);
  EXPECT_EQ(s.cn->contact_pair.segment, &s.rig.segment(0));
  EXPECT_EQ(s.cn->contact_pair.local_index, 0);
  s.moveTo(-0.3, -0.2);  // foot beyond the edge's first node
  EXPECT_EQ(s.cn->contact_pair.kind, NODE_TO_NODE);
  EXPECT_EQ(s.cn->contact_pair.segment, &s.rig.segment(0));
  EXPECT_EQ(s.cn->contact_pair.local_index, 0);
  s.moveTo(0.5, 0.5);  // back over the plate
  EXPECT_EQ(s.cn->contact_pair.kind, NODE_TO_SEGMENT);
  EXPECT_EQ(s.cn->contact_pair.segment, &s.rig.segment(0));
}

// The host loop's routine moves the pair as the three device kernels do,
// several kinds in one step where they do, and keeps the segment id.
DEVICE_TEST(SearchAfterContact, HostRoutineFollowsTheNodeAsTheDeviceKernelsDo) {
  for (bool flipped : {false, true}) {
    SlideRig gpu(flipped), host(flipped);
    auto moveHost = [&host](double x, double y) {
      host.rig.node(host.cn->node_id).coord[0] = x;
      host.rig.node(host.cn->node_id).coord[1] = y;
      host.pm.postSearchCpu();
    };
    // Across an inner edge onto the next segment, through a corner, and
    // beyond the free edge.
    const double path[][2] = {{1.2, 0.45}, {1.6, 0.5}, {2.2, 1.3}, {2.5, 2.6}, {2.6, 3.2}, {0.5, 2.6}};
    for (const auto& xy : path) {
      gpu.moveTo(xy[0], xy[1]);
      moveHost(xy[0], xy[1]);
      const ContactPairCuda &a = gpu.cn->contact_pair, &b = host.cn->contact_pair;
      const int expected = static_cast<int>(a.segment - &gpu.rig.segment(0));
      EXPECT_EQ(b.kind, a.kind) << xy[0] << ", " << xy[1] << (flipped ? " (mixed normals)" : "");
      EXPECT_EQ(b.segment, &host.rig.segment(expected)) << xy[0] << ", " << xy[1];
      EXPECT_EQ(b.local_index, a.local_index);
      EXPECT_EQ(b.side, a.side);
      EXPECT_EQ(b.segment_id, b.segment->local_id);
    }
  }
  // An empty pair ahead of the active one in the list, the count saying
  // one pair: the routine still reaches every pair.
  SlideRig s(false);
  ContactNodeCuda& idle = s.rig.addContactNode(s.rig.addNode(2.5, 2.5, 1.0));
  s.pm.contact_pair_array_cpu.insert(s.pm.contact_pair_array_cpu.begin(), &idle.contact_pair);
  *s.pm.contact_pair_num_cpu = 1;
  s.rig.node(s.cn->node_id).coord[0] = 1.2;
  s.pm.postSearchCpu();
  EXPECT_EQ(s.cn->contact_pair.kind, NODE_TO_SEGMENT) << "edge and neighbour in one step";
  EXPECT_EQ(s.cn->contact_pair.segment, &s.rig.segment(1));
  EXPECT_EQ(idle.contact_pair.kind, CONTACT_PAIR_EMPTY);
}

}  // namespace
