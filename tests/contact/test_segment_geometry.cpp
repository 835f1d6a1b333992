// Segment geometry: thickness, territory and extended boxes at set-up, and
// the per-cycle device refresh of boxes and normals with its host reduction.
#include "tests/deviceTest.h"

#include <cmath>
#include <limits>
#include <vector>

#include "tests/contact/contactTestModel.h"

namespace {

using contacttest::Model;

// Territory of one square segment of side L whose nodes have thickness t.
double squareTerritory(double L, double t) {
  Model m;
  m.addNode(0, 0, 0, t);
  m.addNode(L, 0, 0, t);
  m.addNode(L, L, 0, t);
  m.addNode(0, L, 0, t);
  m.finishNodes();
  Surface& s = m.addSurface({{1, 2, 3, 4}});
  m.prepare(s);
  EXPECT_DOUBLE_EQ(s.segment_array[0].thickness, t);
  EXPECT_DOUBLE_EQ(s.mean_territory, s.segment_array[0].territory);
  return s.segment_array[0].territory;
}

TEST(SegmentGeometry, TerritoryByEdgeLengthAgainstThickness) {
  EXPECT_DOUBLE_EQ(squareTerritory(1.0, 0.05), 0.025 + 0.3);      // middle edge: L > 10 t
  EXPECT_DOUBLE_EQ(squareTerritory(1.0, 0.1), 0.05 + 0.6 * 0.1);  // short edge: L = 10 t
  EXPECT_DOUBLE_EQ(squareTerritory(1.0, 0.0), 0.0005 + 0.15);     // floor 0.001, long edge
  EXPECT_DOUBLE_EQ(squareTerritory(0.05, 0.1), 0.05 + 0.6 * 0.05);
}

TEST(SegmentGeometry, ThicknessOfTriangleCountsItsThirdNodeTwice) {
  Model m;
  m.addNode(0, 0, 0, 1.0);
  m.addNode(1, 0, 0, 1.0);
  m.addNode(0, 1, 0, 2.0);
  m.finishNodes();
  Surface& s = m.addSurface({{1, 2, 3, 3}});
  m.prepare(s);
  EXPECT_EQ(s.segment_array[0].node_num, 3);
  EXPECT_DOUBLE_EQ(s.segment_array[0].thickness, 1.5);
}

TEST(SegmentGeometry, BoxesAreNodeRangesWidenedByTerritoryAndOrientationFollowsNodeOrder) {
  Model m;
  m.addGridNodes(2, 1, 0, 1.0, 0.05);  // nodes 1..6 on a 2 x 1 strip
  m.finishNodes();
  Surface& s = m.addSurface({{1, 2, 5, 4}, {2, 3, 6, 5}});
  m.prepare(s);
  const SegmentCuda& a = s.segment_array[0];
  const double e = 0.325;
  EXPECT_DOUBLE_EQ(a.box_min[0], -e);
  EXPECT_DOUBLE_EQ(a.box_max[0], 1.0 + e);
  EXPECT_DOUBLE_EQ(a.box_min[2], -e);
  EXPECT_DOUBLE_EQ(a.box_max[2], e);
  EXPECT_EQ(a.edge_orientation[1], 1);  // both run the shared edge 2-5 in opposite directions

  // A coordinate that is not a number is passed over on its axis, the first
  // node's as well as another's; an axis without a number has none.
  SegmentCuda b = s.segment_array[1];  // nodes 2, 3, 6, 5: x from 1 to 2, y from 0 to 1
  const double nan = std::numeric_limits<double>::quiet_NaN();
  m.node(2).coord[0] = nan;
  m.node(6).coord[1] = nan;
  b.calExtTerritory();
  EXPECT_DOUBLE_EQ(b.box_min[0], 1.0 - e);
  EXPECT_DOUBLE_EQ(b.box_max[0], 2.0 + e);
  EXPECT_DOUBLE_EQ(b.box_min[1], -e);
  EXPECT_DOUBLE_EQ(b.box_max[1], 1.0 + e);
  for (int k : {2, 3, 5, 6}) m.node(k).coord[2] = nan;
  b.calExtTerritory();
  EXPECT_TRUE(std::isnan(b.box_min[2]) && std::isnan(b.box_max[2]));
  EXPECT_DOUBLE_EQ(b.box_min[0], 1.0 - e);

  Model flipped;
  flipped.addGridNodes(2, 1, 0, 1.0, 0.05);
  flipped.finishNodes();
  Surface& f = flipped.addSurface({{1, 2, 5, 4}, {5, 6, 3, 2}});  // second segment reversed
  flipped.prepare(f);
  EXPECT_EQ(f.segment_array[0].edge_orientation[1], -1);
  EXPECT_EQ(f.segment_array[1].edge_orientation[3], -1);
}

DEVICE_TEST(SegmentGeometry, CycleRefreshAfterRigidTranslationGivesTranslatedBoxes) {
  Model m;
  m.addGridNodes(3, 2, 0, 1.0, 0.05);
  m.finishNodes();
  Surface& s = m.addSurface({{1, 2, 6, 5}, {2, 3, 7, 6}, {3, 4, 8, 7}, {5, 6, 10, 9}, {6, 7, 11, 10}, {7, 8, 12, 11}});
  m.prepare(s);
  const std::vector<SegmentCuda> before = s.segment_array;
  const double shift[3] = {0.25, -1.5, 2.0};
  for (NodeCuda& n : m.nodes())
    for (int i = 0; i < 3; ++i) n.coord[i] += shift[i];
  m.fem.nodeManager->allocateAndCopyNodes();
  s.allocateMaxDispIncre();
  s.allocateAndCopySegmentArrayGpu(m.fem.nodeManager);
  s.allocateMinMaxGpu();
  s.grid_dims[0] = 2;
  s.grid_dims[1] = 1;
  s.grid_dims[2] = 1;
  // The refresh runs only for a surface with a search grid.
  ASSERT_EQ(cudaMalloc(&s.subDomainArrayGpu_, 8), cudaSuccess);
  s.calExtendAreaImproveGpu(0.0);

  std::vector<SegmentCuda> after(before.size());
  ASSERT_EQ(cudaMemcpy(after.data(), s.segment_array_gpu, after.size() * sizeof(SegmentCuda), cudaMemcpyDeviceToHost),
            cudaSuccess);
  for (std::size_t j = 0; j < after.size(); ++j) {
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(after[j].box_min[i], before[j].box_min[i] + shift[i], 1e-12);
      EXPECT_NEAR(after[j].box_max[i], before[j].box_max[i] + shift[i], 1e-12);
    }
    EXPECT_DOUBLE_EQ(after[j].normal[2], 1.0);
  }
  // Surface box: the union of the segment boxes, widened by a tenth of a
  // cell on each side.
  const double e = 0.325;
  const double lo = -e + shift[0], hi = 3.0 + e + shift[0];
  const double d = (hi - lo) / 2 * 0.1;
  EXPECT_NEAR(s.box_min[0], lo - d, 1e-12);
  EXPECT_NEAR(s.box_max[0], hi + d, 1e-12);
  EXPECT_NEAR(s.cell_size[0], (hi - lo + 2 * d) / 2, 1e-12);
  EXPECT_EQ(s.flags[BOX_KNOWN], 1);
  m.fem.surfaceManager->clearSurfaceFlags();
  EXPECT_EQ(s.flags[BOX_KNOWN], 0);
}

TEST(SegmentGeometry, UniformPressureSharesForceEquallyAlongTheNormal) {
  Model m;
  m.addNode(0, 0, 0);
  m.addNode(2, 0, 0);
  m.addNode(2, 3, 0);
  m.addNode(0, 3, 0);
  m.finishNodes();
  Surface& s = m.addSurface({{1, 2, 3, 4}, {1, 2, 3, 3}});
  m.prepare(s);
  s.segment_array[0].applyUniformNormLoadToNode(5.0);  // A = 6: 5 x 6 / 4 per node along +z
  for (int id = 1; id <= 4; ++id) {
    EXPECT_DOUBLE_EQ(m.node(id).force[2], 7.5);
    EXPECT_DOUBLE_EQ(m.node(id).force[0], 0.0);
  }
  s.segment_array[1].applyUniformNormLoadToNode(-1.0);  // triangle, A = 3: a third each, along -z
  EXPECT_DOUBLE_EQ(m.node(3).force[2], 6.5);
  EXPECT_DOUBLE_EQ(m.node(4).force[2], 7.5);
}

}  // namespace
