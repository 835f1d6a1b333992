// Contact search of the host-only loop: while nodes and segments move, each
// node's candidates are every cycle exactly the segments whose extended box
// holds it (the rule of the device search), also when one side moves fast
// between two sweeps.
#include <gtest/gtest.h>
#include <set>
#include <vector>
#include "contact/contact.h"
#include "contact/globalContactSearch.h"
#include "contact/unified_contact.h"
#include "tests/contact/contactRig.h"

namespace {

struct HostSearchRig {
  ContactRig rig;
  std::vector<Contact> contacts;
  UnifiedContact uc;
  PairManager pm;
  GlobalSearchRecord record;
  int sweeps = 0;
  int longestInterval = 0;

  // A nodes-to-surface contact of all the rig's contact nodes on its plate
  // (or a single-surface contact of the plate with itself, its contact
  // nodes the surface's), with the host arrays and counters of the pair
  // manager.
  void setUp(int contactType = NODES_TO_SURFACE) {
    Contact& c = contacts.emplace_back();
    c.contact_type = contactType;
    c.masterSurface = &rig.surface;
    for (ContactNodeCuda& cn : rig.contactNodes) {
      if (contactType == SINGLE_SURFACE) {
        rig.surface.contact_node_array_cpu.push_back(&cn);
      } else {
        c.slave_contact_node_array_cpu.push_back(&cn);
      }
      pm.test_pair_array_cpu.push_back(&cn.test_pair);
      pm.contact_pair_array_cpu.push_back(&cn.contact_pair);
    }
    pm.contact_node_num = static_cast<int>(rig.contactNodes.size());
    pm.usePairCountersCpu();
    uc.buildSubDomainManagers(contacts, nullptr, nullptr);
    buildGlobalSearchRecord(uc, record);
  }
  // Every node moves by its velocity over dt, then one search.
  void step(double dt) {
    for (NodeCuda& n : rig.nodes.node_array_cpu) {
      for (int a = 0; a < 3; ++a) n.coord[a] += n.vel[a] * dt;
    }
    globalContactSearchCpu(&record, dt, &pm);
    const SurfacePairRecord& r = record.pair_array.front();
    if (r.active != 0 && r.cycle_counter == 0) ++sweeps;
    longestInterval = std::max(longestInterval, r.search_interval);
  }
  // Nodes whose candidates differ from the segments whose box holds them.
  int wrongNodes(int* withCandidates) const {
    int wrong = 0;
    for (const ContactNodeCuda& cn : rig.contactNodes) {
      std::set<const SegmentCuda*> expected, found;
      for (const SegmentCuda& s : rig.surface.segment_array) {
        bool inside = true;
        for (int a = 0; a < 3; ++a)
          inside = inside && cn.node->coord[a] >= s.box_min[a] && cn.node->coord[a] <= s.box_max[a];
        if (inside) expected.insert(&s);
      }
      for (const SegmentCuda* s : cn.test_pair.segment) {
        if (s != nullptr) found.insert(s);
      }
      if (found != expected || cn.test_pair.count != static_cast<int>(found.size())) ++wrong;
      if (!found.empty()) ++*withCandidates;
    }
    return wrong;
  }
};

// Velocities from a fixed sequence in [-1, 1).
double spread(unsigned& state) {
  state = state * 1664525u + 1013904223u;
  return (state >> 8) / static_cast<double>(1u << 23) - 1.0;
}

enum class Motion { SlowNodes, OneFastNode, FastPlate };

TEST(HostContactSearch, CandidatesAreTheSegmentsWhoseBoxHoldsTheNodeEveryCycle) {
  for (Motion motion : {Motion::SlowNodes, Motion::OneFastNode, Motion::FastPlate}) {
    HostSearchRig s;
    s.rig.addPlate(8, 8, 0.25, 0.0);
    s.rig.buildSurface();
    unsigned state = 7;
    for (int i = 0; i < 60; ++i) {
      const int id = s.rig.addNode(1.0 + spread(state), 1.0 + spread(state), 0.1 * spread(state));
      NodeCuda& n = s.rig.node(id);
      for (int a = 0; a < 3; ++a) n.vel[a] = 0.05 * spread(state);
      s.rig.addContactNode(id);
    }
    if (motion == Motion::OneFastNode) {
      // Across the plate, through it, in a few dozen cycles.
      NodeCuda& fast = *s.rig.contactNodes.front().node;
      fast.coord[2] = 0.3;
      fast.vel[0] = 15.0;
      fast.vel[2] = -12.0;
    }
    if (motion == Motion::FastPlate) {
      for (NodeCuda* n : s.rig.surface.node_array) n->vel[2] = 10.0;
    }
    s.setUp();
    int wrong = 0, withCandidates = 0;
    for (int cycle = 0; cycle < 60; ++cycle) {
      s.step(1e-3);
      int now = 0;
      wrong += s.wrongNodes(&now);
      // The counter of test pairs with candidates that production reads.
      EXPECT_EQ(*s.pm.test_pair_num_cpu, now) << "cycle " << cycle;
      withCandidates += now;
    }
    const char* name[] = {"slow nodes", "one fast node", "fast plate"};
    SCOPED_TRACE(name[static_cast<int>(motion)]);
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(withCandidates, 60);
    EXPECT_GE(s.longestInterval, 1);
    EXPECT_LE(s.longestInterval, kMaxSearchInterval);
    if (motion == Motion::SlowNodes) {
      // Slow motion: the lists last several cycles between sweeps.
      EXPECT_LT(s.sweeps, 30);
      EXPECT_GT(s.longestInterval, 1);
    }
  }
}

// A surface folded onto itself: two plates of one surface 5 mm apart under
// a single-surface contact. Each plate's nodes find the other plate's
// segments, never their own plate's.
TEST(HostContactSearch, SingleSurfaceIsSearchedAgainstItself) {
  HostSearchRig s;
  s.rig.addPlate(4, 4, 0.25, 0.0);
  const int upper = s.rig.addPlate(4, 4, 0.25, 0.005);
  s.rig.buildSurface();
  for (int id = 1; id <= static_cast<int>(s.rig.nodes.node_array_cpu.size()); ++id) s.rig.addContactNode(id);
  s.setUp(SINGLE_SURFACE);
  ASSERT_EQ(s.record.pair_array.size(), 1u);
  EXPECT_EQ(s.record.pair_array[0].master, &s.rig.surface);
  EXPECT_EQ(s.record.pair_array[0].slave, &s.rig.surface);
  s.step(1e-3);
  const int lowerSegments = 16;
  for (const ContactNodeCuda& cn : s.rig.contactNodes) {
    const bool onUpper = cn.node_id >= upper;
    EXPECT_GT(cn.test_pair.count, 0) << "node " << cn.node_id;
    for (const SegmentCuda* seg : cn.test_pair.segment) {
      if (seg == nullptr) continue;
      EXPECT_EQ(seg->local_index >= lowerSegments, !onUpper) << "node " << cn.node_id;
    }
  }
}

// More than 64 segments around a node: its list stays at 64, the extra
// candidates replace slot 0 and are counted, and the run is told once.
TEST(HostContactSearch, CrowdedCandidateListKeepsItsBoundAndSaysSoOnce) {
  HostSearchRig s;
  ContactNodeCuda& cn = crowdedPlates(s.rig);
  s.setUp();
  testing::internal::CaptureStdout();
  for (int k = 0; k < 3; ++k) s.step(1e-3);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(cn.test_pair.count, kTestPairSlots);
  EXPECT_GT(s.pm.overflow_cpu->candidates, 0);
  const std::size_t reports = occurrences(out, "Contact search:");
  EXPECT_EQ(reports, 1u) << out;
}

}  // namespace
