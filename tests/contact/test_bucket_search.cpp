// Search grid sizes and the bucket search: every slave node inside a
// segment's extended box gets it as a candidate, no other, also when the
// buckets are kept while the master surface moves; crowded buckets and
// candidate lists stay within their slots and say so once.
#include "tests/deviceTest.h"
#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <string>
#include <vector>
#include "contact/subDomainManager.h"
#include "core/part.h"
#include "materials/material.h"
#include "materials/materialnew.h"
#include "solver/femdynamic.h"
#include "solver/modelViews.h"
#include "tests/contact/contactRig.h"

namespace {

TEST(SearchGrid, SubDomainCountsOfKnownSides) {
  // A flat side: two-dimensional sizing, one layer across.
  const int3 flat = subDomainCountsFor(50.0, double3{1.0, 1.0, 1e-6});
  EXPECT_EQ(flat.x, 7);
  EXPECT_EQ(flat.y, 7);
  EXPECT_EQ(flat.z, 1);
  // A 2 x 1 x 1 block: the cube-root rule stretched along x.
  const int3 block = subDomainCountsFor(500.0, double3{2.0, 1.0, 1.0});
  EXPECT_EQ(block.x, 12);
  EXPECT_EQ(block.y, 6);
  EXPECT_EQ(block.z, 6);
  // Refined by the master: x keeps the master's count, the others take the
  // factor, and every axis gets a spare layer.
  const int3 dims = subDomainDimsFor(int3{7, 7, 1}, int3{3, 3, 1}, int3{2, 2, 1});
  EXPECT_EQ(dims.x, 4);
  EXPECT_EQ(dims.y, 7);
  EXPECT_EQ(dims.z, 2);
  // A request beyond memory is capped.
  const int3 huge = subDomainDimsFor(int3{900, 900, 900}, int3{900, 900, 900}, int3{4, 4, 4});
  EXPECT_LE(static_cast<long long>(huge.x) * huge.y * huge.z, kMaxSubDomainNum);
  EXPECT_GE(huge.x, 2);
}

// A master plate searched by a close line of 40 slave nodes, by 4 nodes far
// apart, or by both contacts: the shared master keeps the grid of fewer
// sub-domains.
int sharedMasterGrid(bool many, bool few, SearchRig& s) {
  s.rig.addPlate(8, 8, 0.125, 0.0);
  s.rig.buildSurface();
  for (int i = 0; i < 40; ++i) s.rig.addContactNode(s.rig.addNode(0.02 * i, 0.5, 0.01));
  for (int i = 0; i < 4; ++i) s.rig.addContactNode(s.rig.addNode(0.3 * i, 0.5, 0.01));
  s.upload();
  if (many) s.addNodeSetContact(0, 40);
  if (few) s.addNodeSetContact(40, 4);
  s.uc.buildSubDomainManagers(s.contacts, nullptr, nullptr);
  SearchRig::buildGrids(s.uc);
  return s.rig.surface.subDomainNum_;
}

DEVICE_TEST(SearchGrid, MasterSharedByTwoManagersKeepsTheSmallerGrid) {
  SearchRig manyOnly, fewOnly, both;
  const int many = sharedMasterGrid(true, false, manyOnly);
  const int few = sharedMasterGrid(false, true, fewOnly);
  const int shared = sharedMasterGrid(true, true, both);
  ASSERT_NE(many, few);
  EXPECT_EQ(shared, std::min(many, few));
  ASSERT_EQ(both.uc.subDomainManagerArray.size(), 2u);
  const SubDomainManager& a = both.uc.subDomainManagerArray[0];
  const SubDomainManager& b = both.uc.subDomainManagerArray[1];
  EXPECT_EQ(a.subdomain_array_cpu, b.subdomain_array_cpu);
  EXPECT_EQ(a.subdomain_array_gpu, b.subdomain_array_gpu);
  EXPECT_EQ(a.sub_domian_num, shared);
  EXPECT_EQ(b.sub_domian_num, shared);
  EXPECT_EQ(a.subdomain_dims.x, b.subdomain_dims.x);
  EXPECT_EQ(a.subdomain_dims.y, b.subdomain_dims.y);
  EXPECT_EQ(a.subdomain_dims.z, b.subdomain_dims.z);
  EXPECT_EQ(a.subdomain_dims.x * a.subdomain_dims.y * a.subdomain_dims.z, shared);
  for (int i = 0; i < shared; ++i) EXPECT_EQ(a.subdomain_array_cpu[i].index, i);
}

// Checks that every contact node's candidates are the segments whose
// extended box (device copy) holds it, no other; returns the number of nodes
// with candidates.
int expectCandidatesAreTheBoxesHoldingEachNode(SearchRig& s, const std::string& when) {
  std::vector<SegmentCuda> deviceSegments(s.rig.surface.segment_num);
  cudaMemcpy(deviceSegments.data(), s.rig.surface.segment_array_gpu, sizeof(SegmentCuda) * deviceSegments.size(),
             cudaMemcpyDeviceToHost);
  int withCandidates = 0;
  for (const ContactNodeCuda& cn : s.rig.contactNodes) {
    std::set<int> expected, found;
    for (const SegmentCuda& seg : deviceSegments) {
      bool inside = true;
      for (int a = 0; a < 3; ++a) {
        inside = inside && cn.node->coord[a] >= seg.box_min[a] && cn.node->coord[a] <= seg.box_max[a];
      }
      if (inside) expected.insert(seg.local_id);
    }
    for (int j = 0; j < cn.test_pair.count; ++j) found.insert(cn.test_pair.segment[j]->local_id);
    EXPECT_EQ(found, expected) << when << ": node at " << cn.node->coord[0] << ", " << cn.node->coord[1] << ", "
                               << cn.node->coord[2];
    if (!found.empty()) ++withCandidates;
  }
  return withCandidates;
}

// Contact nodes in a lattice through and around a 4 x 4 plate.
void plateInALattice(ContactRig& rig) {
  rig.addPlate(4, 4, 0.25, 0.0);
  rig.buildSurface();
  for (double z : {-0.3, -0.1, 0.0, 0.05, 0.2}) {
    for (double y = -0.33; y < 1.4; y += 0.1) {
      for (double x = -0.37; x < 1.4; x += 0.1) rig.addContactNode(rig.addNode(x, y, z));
    }
  }
}

DEVICE_TEST(BucketSearch, EveryNodeInsideAnExtendedBoxFindsThatSegmentAndNoOther) {
  SearchRig s;
  plateInALattice(s.rig);
  s.setUp();
  s.search();
  const int withCandidates = expectCandidatesAreTheBoxesHoldingEachNode(s, "first search");
  EXPECT_GT(withCandidates, 100);
  EXPECT_LT(withCandidates, static_cast<int>(s.rig.contactNodes.size()));
}

// The master plate moves between searches, in steps that stay within the
// margin of its last binning and in steps that leave it. The buckets are
// filled anew only when a segment's box has left the box it was binned
// with, and after every search each node's candidates are still exactly
// the segments whose box holds it now.
DEVICE_TEST(BucketSearch, KeptBucketsFollowAMovingMasterSurface) {
  SearchRig s;
  plateInALattice(s.rig);
  const int plateNodes = 25;
  s.setUp();
  const Surface& plate = s.rig.surface;
  s.search();
  ASSERT_EQ(plate.bin_fills, 1);
  const double m = plate.bin_margin;
  ASSERT_GT(m, 0.0);
  // Steps as fractions of the margin along (1, 0.6, -0.3), and whether the
  // plate has then moved past the margin of its last binning.
  const struct {
    double step;
    bool refill;
  } steps[] = {{0.3, false}, {0.3, false}, {0.3, false}, {0.3, true},  {-0.9, false},
               {2.5, true},  {-2.5, true}, {40.0, true}, {0.0, false}, {-45.0, true}};
  std::vector<NodeCuda>& nodes = s.rig.nodes.node_array_cpu;
  int fills = plate.bin_fills;
  for (const auto& st : steps) {
    const double d[3] = {st.step * m, 0.6 * st.step * m, -0.3 * st.step * m};
    for (int i = 0; i < plateNodes; ++i)
      for (int a = 0; a < 3; ++a) nodes[i].coord[a] += d[a];
    cudaMemcpy(s.rig.nodes.node_array_gpu, nodes.data(), sizeof(NodeCuda) * nodes.size(), cudaMemcpyHostToDevice);
    s.search();
    const std::string when = "after a step of " + std::to_string(st.step) + " margins";
    expectCandidatesAreTheBoxesHoldingEachNode(s, when);
    EXPECT_EQ(plate.bin_fills, fills + (st.refill ? 1 : 0)) << when;
    fills = plate.bin_fills;
  }
}

DEVICE_TEST(BucketSearch, CrowdedBucketsAndCandidateListsKeepTheirBoundsAndSaySoOnce) {
  SearchRig s;
  ContactNodeCuda& cn = crowdedPlates(s.rig);
  s.setUp();
  testing::internal::CaptureStdout();
  s.search();
  s.search();
  s.search();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(cn.test_pair.count, kTestPairSlots);
  EXPECT_GT(s.pm.overflow_cpu->candidates, 0);
  EXPECT_GT(s.pm.overflow_cpu->subdomain_entries, 0);
  for (int i = 0; i < s.rig.surface.subDomainNum_; ++i) {
    SubDomain sd;
    cudaMemcpy(&sd, s.rig.surface.subDomainArrayGpu_ + i, sizeof(SubDomain), cudaMemcpyDeviceToHost);
    EXPECT_LE(sd.segment_num, kSubDomainAccepted);
  }
  const std::size_t reports = occurrences(out, "Contact search:");
  EXPECT_EQ(reports, 2u) << out;
}

}  // namespace

namespace {

// A solver with parts of the given names, of a rigid material where marked
// and of steel otherwise.
struct PartsOf {
  FEMDynamic fem;
  Material rigid{}, steel{};
  PartsOf(std::initializer_list<std::pair<const char*, bool>> parts) {
    rigid.type = MT_RIGID;
    steel.type = MT_LINEAR_ELASTIC;
    for (const auto& [name, isRigid] : parts) {
      fem.part_array.emplace_back();
      fem.part_array.back().name = name;
      fem.part_array.back().material = isRigid ? &rigid : &steel;
    }
  }
};

// A rigid surface is always the master of its grid, also where it is the
// finer side; a surface without parts (made from segments) is left alone.
TEST(SearchGrid, RigidSurfaceBecomesMaster) {
  PartsOf model{{"plate", false}, {"ball", true}};
  FEMDynamic& fem = model.fem;
  Surface plate, ball, unnamed;
  plate.part_index_array = {0};
  ball.part_index_array = {1};
  plate.mean_edge_length = 1.0;  // the plate would be master by its edges
  ball.mean_edge_length = 0.5;
  unnamed.mean_edge_length = 0.1;
  std::vector<Contact> contacts(3);
  for (Contact& c : contacts) c.contact_type = SURFACE_TO_SURFACE;
  contacts[0].masterSurface = &plate;
  contacts[0].slaveSurface = &ball;
  contacts[1].masterSurface = &ball;
  contacts[1].slaveSurface = &ball;  // a rigid body against itself: no grid
  contacts[2].masterSurface = &plate;
  contacts[2].slaveSurface = &unnamed;
  UnifiedContact uc;
  ContactModel view = contactModelOf(fem);
  uc.buildSubDomainManagers(contacts, nullptr, &view);
  ASSERT_EQ(uc.subDomainManagerArray.size(), 2u);
  EXPECT_EQ(uc.subDomainManagerArray[0].masterSurface, &ball);
  EXPECT_EQ(uc.subDomainManagerArray[0].slaveSurface, &plate);
  EXPECT_EQ(uc.subDomainManagerArray[1].masterSurface, &plate);
  EXPECT_EQ(uc.subDomainManagerArray[1].slaveSurface, &unnamed);
}

// A contact searched both ways gets one grid per direction (a rigid side's
// nodes are searched too), unless both sides are one surface (none for a
// rigid body); a one-way contact searches its slave side against its master.
TEST(SearchGrid, TwoWayContactsSearchEachSideAgainstTheOther) {
  PartsOf model{{"upper", false}, {"lower", false}, {"ball", true}};
  FEMDynamic& fem = model.fem;
  Surface upper, lower, ball;
  upper.part_index_array = {0};
  lower.part_index_array = {1};
  ball.part_index_array = {2};
  upper.mean_edge_length = 1.0;
  lower.mean_edge_length = 2.0;
  std::vector<Contact> contacts(5);
  auto set = [&contacts](int i, Surface* m, Surface* s, int twoWay) {
    contacts[i].contact_type = SURFACE_TO_SURFACE;
    contacts[i].masterSurface = m;
    contacts[i].slaveSurface = s;
    contacts[i].two_way = static_cast<unsigned char>(twoWay);
  };
  set(0, &upper, &lower, 1);  // both ways
  set(1, &upper, &ball, 1);   // both ways, the ball's nodes too
  set(2, &lower, &lower, 1);  // a surface against itself: one grid
  set(3, &upper, &lower, 0);  // one way: the lower surface is the slave, though coarser
  set(4, &ball, &ball, 1);    // a rigid body against itself: none
  UnifiedContact uc;
  ContactModel view = contactModelOf(fem);
  uc.buildSubDomainManagers(contacts, nullptr, &view);
  const std::vector<std::pair<Surface*, Surface*>> expected = {{&upper, &lower}, {&lower, &upper}, {&upper, &ball},
                                                               {&ball, &upper},  {&lower, &lower}, {&upper, &lower}};
  ASSERT_EQ(uc.subDomainManagerArray.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(uc.subDomainManagerArray[i].masterSurface, expected[i].first) << i;
    EXPECT_EQ(uc.subDomainManagerArray[i].slaveSurface, expected[i].second) << i;
  }
}

}  // namespace

namespace {

// The smallest spacing of a node-set slave side widens its box: the
// closest pair of the set, as comparing every pair gives it.
TEST(SearchGrid, SmallestSpacingIsTheClosestPair) {
  auto bruteForce = [](const std::vector<std::array<double, 3>>& p) {
    double best = 1e6;
    for (std::size_t i = 0; i < p.size(); ++i) {
      for (std::size_t j = i + 1; j < p.size(); ++j) {
        const double d = std::hypot(p[i][0] - p[j][0], p[i][1] - p[j][1], p[i][2] - p[j][2]);
        best = std::min(best, d);
      }
    }
    return best;
  };
  // Scattered points, a flat cloud, and a line with one close pair.
  unsigned seed = 12345;
  auto uniform = [&seed]() {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / static_cast<double>(1u << 24);
  };
  std::vector<std::vector<std::array<double, 3>>> clouds(3);
  for (int i = 0; i < 400; ++i) {
    clouds[0].push_back({uniform(), 3.0 * uniform(), 0.01 * uniform()});
    clouds[1].push_back({uniform(), uniform(), 0.0});
    clouds[2].push_back({static_cast<double>(i), 0.0, 0.0});
  }
  clouds[2].push_back({17.25, 0.0, 0.0});
  for (const auto& cloud : clouds) EXPECT_DOUBLE_EQ(smallestSpacing(cloud), bruteForce(cloud));
  // A regular grid of nodes: its edge.
  std::vector<std::array<double, 3>> grid;
  for (int i = 0; i < 20; ++i)
    for (int j = 0; j < 20; ++j)
      for (int k = 0; k < 5; ++k) grid.push_back({0.01 * i, 0.01 * j, 0.01 * k});
  EXPECT_NEAR(smallestSpacing(grid), 0.01, 1e-15);
  // Two nodes at one place, one node, none.
  EXPECT_EQ(smallestSpacing({{1.0, 2.0, 3.0}, {0.0, 0.0, 0.0}, {1.0, 2.0, 3.0}}), 0.0);
  EXPECT_EQ(smallestSpacing({{1.0, 2.0, 3.0}}), 1e6);
  EXPECT_EQ(smallestSpacing({}), 1e6);
}

}  // namespace
