#include <gtest/gtest.h>

#include "contact/surfacemanager.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/section.h"
#include "elements/common/elmmanager.h"
#include "materials/material.h"
#include "solver/femdynamic.h"

namespace {

// Nodes 1-6 in the plane z = 0: the unit square 1-2-3-4 and the square
// 2-5-6-3 beside it.
class SegmentStiffness : public ::testing::Test {
 protected:
  void SetUp() override {
    fem_.newManagers();
    const double xy[6][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {2, 0}, {2, 1}};
    for (int i = 0; i < 6; ++i) {
      NodeCuda n{};
      n.id = i + 1;
      n.store_id = i;
      n.coord[0] = xy[i][0];
      n.coord[1] = xy[i][1];
      fem_.nodeManager->node_array_cpu.push_back(n);
    }
    fem_.nodeManager->setNodeNum();
    fem_.nodeManager->checkNodeIdMap();
    material_.type = 2;
    material_.bulk_modulus = 3.0;
    material_.density = 8.0;
    section_.thickness[0] = 0.5;
    fem_.elm_manager_array.resize(1);
    ShellElementCuda shell{};
    shell.type = ET_BT_SHELL;
    const int ids[4] = {1, 2, 3, 4};
    for (int k = 0; k < 4; ++k) shell.node_id[k] = ids[k];
    fem_.elm_manager_array[0].shell_element_array_cpu.push_back(shell);
    Part part;
    part.id = 1;
    part.material = &material_;
    part.section = &section_;
    part.elmManager = &fem_.elm_manager_array[0];
    fem_.part_array.push_back(part);
  }
  Surface& addSurface(std::vector<std::array<int, 4>> segments) {
    Surface s;
    s.id = static_cast<int>(fem_.surfaceManager->surface_array.size()) + 1;
    for (const auto& ids : segments) {
      SegmentCuda seg{};
      for (int k = 0; k < 4; ++k) seg.node_id[k] = ids[k];
      s.segment_array.push_back(seg);
    }
    fem_.surfaceManager->surface_array.push_back(s);
    Surface& stored = fem_.surfaceManager->surface_array.back();
    stored.countSegments();
    stored.linkSurfaceNodes(fem_.nodeManager);
    return stored;
  }
  const NodeCuda& node(int id) { return fem_.nodeManager->node_array_cpu[id - 1]; }

  FEMDynamic fem_;
  Material material_;
  Section section_{};
};

TEST_F(SegmentStiffness, ShellFaceAndUnmatchedFace) {
  fem_.surfaceManager->surface_array.reserve(1);
  Surface& s = addSurface({{{4, 3, 2, 1}}, {{2, 5, 6, 3}}});
  fem_.calSegmentPenaltyStiffness(1.0);
  // Area 1, volume 0.5: K A^2 / V = 6; mass V rho = 4.
  EXPECT_DOUBLE_EQ(s.segment_array[0].penalty_stiffness, 6.0);
  EXPECT_DOUBLE_EQ(s.segment_array[0].mass, 4.0);
  EXPECT_EQ(s.segment_array[1].penalty_stiffness, 100000.0);
  EXPECT_EQ(s.segment_array[1].mass, 0.0);
  EXPECT_DOUBLE_EQ(node(1).penalty_stiffness, 1.5);
  EXPECT_DOUBLE_EQ(node(2).penalty_stiffness, 1.5 + 25000.0);  // shared by both segments
  EXPECT_DOUBLE_EQ(node(5).penalty_stiffness, 25000.0);
}

TEST_F(SegmentStiffness, NullMaterialPartIsSkippedAndScaleApplies) {
  fem_.surfaceManager->surface_array.reserve(1);
  Surface& s = addSurface({{{1, 2, 3, 4}}});
  material_.type = 0;
  fem_.calSegmentPenaltyStiffness(1.0);
  EXPECT_EQ(s.segment_array[0].penalty_stiffness, 100000.0);
  material_.type = 1;  // a rigid part is not skipped
  s.segment_array[0].penalty_stiffness = 0.0;
  fem_.calSegmentPenaltyStiffness(2.0);
  EXPECT_DOUBLE_EQ(s.segment_array[0].penalty_stiffness, 12.0);
}

TEST_F(SegmentStiffness, TriangleFacesOfTetrahedron) {
  // Tetrahedron 1-2-4-7 with node 7 above node 1.
  NodeCuda top{};
  top.id = 7;
  top.store_id = 6;
  top.coord[2] = 1.0;
  fem_.nodeManager->node_array_cpu.push_back(top);
  fem_.nodeManager->node_id_map.clear();
  fem_.nodeManager->checkNodeIdMap();
  SolidElementCuda tet{};
  const int ids[8] = {1, 2, 4, 7, 7, 7, 7, 7};
  for (int k = 0; k < 8; ++k) tet.node_id[k] = ids[k];
  fem_.elm_manager_array[0].shell_element_array_cpu.clear();
  fem_.elm_manager_array[0].solid_element_array_cpu.push_back(tet);
  fem_.surfaceManager->surface_array.reserve(1);
  Surface& s = addSurface({{{1, 2, 4, 4}}});
  fem_.calSegmentPenaltyStiffness(1.0);
  // V = 1/6, face area 1/2: K A^2 / V = 3 * 0.25 * 6 = 4.5; mass V rho / 2.
  EXPECT_DOUBLE_EQ(s.segment_array[0].penalty_stiffness, 4.5);
  EXPECT_DOUBLE_EQ(s.segment_array[0].mass, 8.0 / 12.0);
  EXPECT_DOUBLE_EQ(node(4).penalty_stiffness, 1.5);
}

// Nodes are found by id, not by position: with ids 101 to 106 the square
// still gets its stiffness.  The area follows the shell's type: a
// triangular shell 2-5-6 (fourth id repeating the first) has area 1/2.
TEST_F(SegmentStiffness, NodesByIdAndAreaByShellType) {
  for (NodeCuda& n : fem_.nodeManager->node_array_cpu) n.id += 100;
  fem_.nodeManager->node_id_map.clear();
  fem_.nodeManager->checkNodeIdMap();
  ShellElementCuda& quad = fem_.elm_manager_array[0].shell_element_array_cpu[0];
  for (int k = 0; k < 4; ++k) quad.node_id[k] += 100;
  ShellElementCuda tri{};
  tri.type = ET_BT_TRI_SHELL;
  const int ids[4] = {102, 105, 106, 102};
  for (int k = 0; k < 4; ++k) tri.node_id[k] = ids[k];
  fem_.elm_manager_array[0].shell_element_array_cpu.push_back(tri);
  fem_.surfaceManager->surface_array.reserve(1);
  Surface& s = addSurface({{{104, 103, 102, 101}}, {{102, 105, 106, 102}}});
  fem_.calSegmentPenaltyStiffness(1.0);
  EXPECT_DOUBLE_EQ(s.segment_array[0].penalty_stiffness, 6.0);
  // Area 1/2, volume 1/4: K A^2 / V = 3.
  EXPECT_DOUBLE_EQ(s.segment_array[1].penalty_stiffness, 3.0);
  EXPECT_DOUBLE_EQ(s.segment_array[1].mass, 2.0);
}

TEST_F(SegmentStiffness, NoSurfacesChangesNothing) {
  fem_.calSegmentPenaltyStiffness(1.0);
  for (const NodeCuda& n : fem_.nodeManager->node_array_cpu) EXPECT_EQ(n.penalty_stiffness, 0.0);
}

}  // namespace
