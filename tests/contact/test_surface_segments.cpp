// Segments of contact surfaces built from element faces and shells, with
// their normals, edge neighbours and boundary edges, and the segments that
// set-up must refuse.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "input/link/preprocessModel.h"
#include "tests/contact/contactTestModel.h"
#include "solver/modelViews.h"

namespace {

using contacttest::Model;

// Centroid of a segment's distinct nodes.
std::array<double, 3> centroid(const SegmentCuda& s) {
  std::array<double, 3> c{0.0, 0.0, 0.0};
  for (int k = 0; k < s.node_num; ++k)
    for (int i = 0; i < 3; ++i) c[static_cast<std::size_t>(i)] += s.node[k]->coord[i] / s.node_num;
  return c;
}

// The segment's normal along the direction from the point (c, c, c) to its
// centroid: positive when it points away from that centre.
double awayFromCentre(const SegmentCuda& seg, double c) {
  const auto p = centroid(seg);
  double outward = 0.0;
  for (int i = 0; i < 3; ++i) outward += seg.initial_normal[i] * (p[static_cast<std::size_t>(i)] - c);
  return outward;
}

TEST(SurfaceSegments, ExteriorFacesOfHexBlockPointOutwardAndCloseUp) {
  Model m;
  const int part = m.addHexBlock(2, 2, 2, 0.5);
  Surface& s = m.addSurface({});
  s.addSegmentsFromSolidFaces(&m.fem.part_array[static_cast<std::size_t>(part - 1)], m.nodes().data());
  m.prepare(s);
  ASSERT_EQ(s.segment_num, 24);  // 4 faces on each of 6 sides; the 12 inner faces are shared
  std::set<int> localIndices;
  for (const SegmentCuda& seg : s.segment_array) {
    EXPECT_EQ(seg.node_num, 4);
    localIndices.insert(seg.local_index);
    // Outward: the normal points away from the block centre (0.5, 0.5, 0.5).
    EXPECT_GT(awayFromCentre(seg, 0.5), 0.0);
    EXPECT_NEAR(std::hypot(seg.initial_normal[0], seg.initial_normal[1], seg.initial_normal[2]), 1.0, 1e-12);
    // A closed surface: every edge has a neighbour, run the other way.
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(seg.boundary_edge[k], 0);
      ASSERT_NE(seg.neighbour[k], &seg);
      EXPECT_EQ(seg.neighbour[k]->local_index, seg.neighbour_index[k]);
      EXPECT_EQ(seg.edge_orientation[k], 1);
    }
    // Own four ids, then four of each of four neighbours: the list is full.
    for (int slot = 0; slot < kNearNodeSlots; ++slot) EXPECT_NE(seg.near_node_list[slot], 0);
  }
  EXPECT_EQ(localIndices.size(), 24u);
  EXPECT_DOUBLE_EQ(s.min_edge_length, 0.5);
  EXPECT_DOUBLE_EQ(s.mean_edge_length, 0.5);
}

// A hexahedron numbered as its mirror image (top face first) has the face
// table's faces pointing into it: they are turned out, so that every face of
// a solid is touched from outside only.
TEST(SurfaceSegments, FacesOfAMirrorNumberedHexahedronAreTurnedOut) {
  Model m;
  const double corners[8][3] = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  for (const auto& c : corners) m.addNode(c[0], c[1], c[2]);
  m.finishNodes();
  const int part = m.addPart("mirrored", 4, ET_HEXA_REDUCED);
  m.addSolid(part, ET_HEXA_REDUCED, {1, 2, 3, 4, 5, 6, 7, 8});
  Surface& s = m.addSurface({});
  s.addSegmentsFromSolidFaces(&m.fem.part_array[0], m.nodes().data());
  m.prepare(s);
  ASSERT_EQ(s.segment_num, 6);
  for (const SegmentCuda& seg : s.segment_array) {
    EXPECT_GT(awayFromCentre(seg, 0.5), 0.0);
    EXPECT_EQ(seg.one_sided, 1);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(seg.edge_orientation[k], 1);
  }
}

TEST(SurfaceSegments, ShellPlateHasOneSegmentPerShellAndFlagsItsFreeEdges) {
  Model m;
  const int part = m.addPlate(2, 2, 1.0, 0.1);
  Surface& s = m.addSurface({});
  s.addSegmentsFromShells(m.elements(part).shell_element_array_cpu);
  m.prepare(s);
  ASSERT_EQ(s.segment_num, 4);
  int boundaryEdges = 0;
  for (const SegmentCuda& seg : s.segment_array) {
    // Node order (counter-clockwise seen from +z) gives the normal +z; a
    // shell is touched from either side.
    EXPECT_DOUBLE_EQ(seg.initial_normal[2], 1.0);
    EXPECT_EQ(seg.one_sided, 0);
    for (int k = 0; k < 4; ++k) {
      boundaryEdges += seg.boundary_edge[k];
      if (seg.boundary_edge[k] == 1) {
        EXPECT_EQ(seg.neighbour[k], &seg);
      }
    }
  }
  EXPECT_EQ(boundaryEdges, 8);  // the plate's rim
  for (int id = 1; id <= 9; ++id) EXPECT_EQ(m.node(id).boundary_edge_flag, id == 5 ? 0 : 1) << "node " << id;
}

TEST(SurfaceSegments, TetrahedraGiveTrianglesThatAreTheirOwnFourthNeighbour) {
  Model m;
  m.addNode(0, 0, 0);
  m.addNode(1, 0, 0);
  m.addNode(0, 1, 0);
  m.addNode(0, 0, 1);
  m.addNode(1, 1, 1);
  m.finishNodes();
  const int part = m.addPart("tets", 4, ET_TETRA_TL);
  m.addSolid(part, ET_TETRA_TL, {1, 2, 3, 4});
  m.addSolid(part, ET_TETRA_TL, {2, 3, 4, 5});  // shares face 2-3-4
  Surface& s = m.addSurface({});
  s.addSegmentsFromSolidFaces(&m.fem.part_array[0], m.nodes().data());
  m.prepare(s);
  ASSERT_EQ(s.segment_num, 6);
  for (const SegmentCuda& seg : s.segment_array) {
    EXPECT_EQ(seg.node_num, 3);
    EXPECT_EQ(seg.node_id[3], seg.node_id[2]);
    EXPECT_EQ(seg.neighbour[3], &seg);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(seg.boundary_edge[k], 0);  // a closed pair of tetrahedra
  }
  // Faces come in key order: the first is the face (1, 2, 3).
  EXPECT_EQ(std::set<int>(s.segment_array[0].node_id, s.segment_array[0].node_id + 3), (std::set<int>{1, 2, 3}));
}

TEST(SurfaceSegments, PartNameBuildSharesNoFaceAndRecordsTheSurfaceOnTheParts) {
  Model m;
  const int part = m.addHexBlock(2, 1, 1, 1.0);  // two hexahedra sharing a face
  Surface named;
  named.id = 1;
  named.part_name = "block";
  m.surfaces().push_back(named);
  Surface twin = named;  // a second surface of the same name finds the part taken
  twin.id = 2;
  m.surfaces().push_back(twin);
  ContactModel view = contactModelOf(m.fem);
  m.fem.surfaceManager->buildSurfacesFromParts(&view);
  EXPECT_EQ(m.surfaces()[0].segment_array.size(), 10u);
  EXPECT_TRUE(m.surfaces()[1].segment_array.empty());
  EXPECT_EQ(m.fem.part_array[static_cast<std::size_t>(part - 1)].contact_surface_id, 1);
  EXPECT_EQ(m.fem.surfaceManager->segment_element_map.size(), 10u);
}

// A contact side named by part id builds a surface that records its part
// by position (rigid-body checks take the part from there); the surfaces
// built later from all parts by name keep one record of it.
TEST(SurfaceSegments, ContactSideFromPartRecordsThePart) {
  Model m;
  m.addHexBlock(1, 1, 1, 1.0);
  const int plate = m.addPlate(2, 2, 0.5, 0.1);
  Contact c = Contact::zeroed();
  c.contact_type = SURFACE_TO_SURFACE;
  c.master_type = ENTITY_PART;
  c.master_id = plate;
  c.slave_type = ENTITY_PART;
  c.slave_id = 1;
  ASSERT_TRUE(c.buildContactEntities(m.fem.surfaceManager, m.fem.part_array, m.fem.setManager, m.fem.nodeManager));
  EXPECT_EQ(c.masterSurface->part_index_array, std::vector<int>{plate - 1});
  EXPECT_EQ(c.slaveSurface->part_index_array, std::vector<int>{0});
  ContactModel view = contactModelOf(m.fem);
  m.fem.surfaceManager->buildSurfacesFromParts(&view);
  EXPECT_EQ(m.surfaces()[0].part_index_array, std::vector<int>{plate - 1});
  EXPECT_EQ(m.surfaces()[1].part_index_array, std::vector<int>{0});
}

TEST(SurfaceSegments, SegmentsNumberedOverAllSurfaces) {
  Model m;
  m.addGridNodes(3, 3, 0, 1.0);
  m.finishNodes();
  m.addSurface({{1, 2, 6, 5}, {2, 3, 7, 6}});
  m.addSurface({{5, 6, 10, 9}, {6, 7, 11, 10}, {7, 8, 12, 11}});
  for (Surface& s : m.surfaces()) m.prepare(s);
  buildContactSurfaces(&m.fem);
  EXPECT_EQ(m.fem.surfaceManager->total_segment_num, 5);
  EXPECT_EQ(m.surfaces()[1].segment_array[2].local_id, 4);
  EXPECT_EQ(m.surfaces()[1].segment_array[2].local_index, 2);
}

TEST(SurfaceSegments, UnusableSegmentsAreDroppedWithAMessage) {
  Model m;
  m.addGridNodes(2, 1, 0, 1.0);  // nodes 1..6
  m.finishNodes();
  // Node 0, node 99, a collinear (zero-area) triangle, then two good ones.
  Surface& s = m.addSurface({{1, 2, 5, 0},
                             {1, 2, 99, 4},
                             {1, 2, 3, 3},
                             {1, 2, 5, 4},
                             {2, 3, 6, 5},
                             {0, 0, 0, 0},
                             {0, 0, 0, 0},
                             {0, 0, 0, 0},
                             {0, 0, 0, 0},
                             {0, 0, 0, 0}});
  testing::internal::CaptureStderr();
  m.prepare(s);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("(nodes 1 2 5 0) names a node id that is not in the model"), std::string::npos);
  EXPECT_NE(err.find("(nodes 1 2 99 4) names a node id"), std::string::npos);
  EXPECT_NE(err.find("(nodes 1 2 3 3) has zero area"), std::string::npos);
  EXPECT_NE(err.find("Surface 1: 2 more segments dropped for the same reason"), std::string::npos);  // named: 5
  ASSERT_EQ(s.segment_num, 2);
  EXPECT_EQ(s.segment_array[1].local_index, 1);
  EXPECT_EQ(s.segment_array[0].neighbour[1], &s.segment_array[1]);
}

TEST(SurfaceSegments, EdgeOfManyShellsIsReportedAndNearNodeListsStayBounded) {
  Model m;
  // Six fins around the edge 1-2, each a quadrilateral on that edge: a fin
  // lists its own four ids and five neighbours of four, 24 ids for 20 slots.
  m.addNode(0, 0, 0);
  m.addNode(1, 0, 0);
  for (int f = 0; f < 6; ++f) {
    const double a = f * M_PI / 3.0;
    m.addNode(1, std::cos(a), std::sin(a));
    m.addNode(0, std::cos(a), std::sin(a));
  }
  m.finishNodes();
  Surface& s = m.addSurface({{1, 2, 3, 4}, {1, 2, 5, 6}, {1, 2, 7, 8}, {1, 2, 9, 10}, {1, 2, 11, 12}, {1, 2, 13, 14}});
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  m.prepare(s);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find("此边为T型边(6)"), std::string::npos);
  EXPECT_NE(err.find("near-node lists hold 20 node ids"), std::string::npos);
  EXPECT_EQ(err.find("near-node", err.find("near-node") + 1), std::string::npos);  // said once
  for (const SegmentCuda& seg : s.segment_array) {
    for (int slot = 0; slot < kNearNodeSlots; ++slot) {
      EXPECT_GE(seg.near_node_list[slot], 1);
      EXPECT_LE(seg.near_node_list[slot], 14);
    }
  }
}

TEST(SurfaceSegments, EmptySurfaceHasNoMeanEdgeOrTerritory) {
  Model m;
  Surface& s = m.addSurface({});
  testing::internal::CaptureStdout();
  m.prepare(s);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("面的最小边计算错误"), std::string::npos);
  EXPECT_EQ(s.mean_edge_length, 0.0);
  EXPECT_EQ(s.mean_territory, 0.0);
}

}  // namespace
