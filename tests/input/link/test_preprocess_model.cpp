// Model set-up after reading: its order, its links and what it refuses.
#include <gtest/gtest.h>

#include "core/nodeManager.h"
#include "core/part.h"
#include "core/section.h"
#include "core/sectionmanager.h"
#include "core/setManager.h"
#include "elements/common/elmmanager.h"
#include "elements/common/hourglassControlManager.h"
#include "input/link/preprocessModel.h"
#include "materials/material.h"
#include "materials/materialmanager.h"
#include "solver/constrained.h"
#include "solver/femdynamic.h"
#include "solver/rigidmanager.h"
#include "solver/rigidwall.h"
#include "solver/timeControl.h"

namespace {

class PreprocessTest : public ::testing::Test {
 protected:
  void SetUp() override { fem.newManagers(); }

  // A unit-cube hexahedron in a part with the given material type.
  void addCubePart(int materialType) {
    for (int i = 0; i < 8; ++i) {
      NodeCuda node{};
      node.id = i + 1;
      node.store_id = i;
      node.coord[0] = (i == 1 || i == 2 || i == 5 || i == 6) ? 1.0 : 0.0;
      node.coord[1] = (i == 2 || i == 3 || i == 6 || i == 7) ? 1.0 : 0.0;
      node.coord[2] = i >= 4 ? 1.0 : 0.0;
      fem.nodeManager->node_array_cpu.push_back(node);
    }
    Material material{};
    material.id = 1;
    material.type = materialType;
    material.density = 1.0;
    material.youngs_modulus = 100.0;
    material.poissons_ratio = 0.25;
    fem.materialManager->material_array.push_back(material);
    Section section{};
    section.id = 1;
    section.family_code = 4;
    section.element_formulation = 18;
    fem.sectionManager->section_array.push_back(section);
    Part part;
    part.id = 1;
    part.section_id = 1;
    part.material_id = 1;
    fem.part_array.push_back(part);
    fem.elm_manager_array.resize(1);
    SolidElementCuda solid{};
    solid.id = 1;
    for (int k = 0; k < 8; ++k) solid.node_id[k] = k + 1;
    fem.elm_manager_array[0].solid_element_array_cpu.push_back(solid);
  }
  FEMDynamic fem;
};

}  // namespace

TEST_F(PreprocessTest, EmptyModelPassesAndGetsTheDefaultHourglassControl) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(preprocessModel(&fem), 1);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("success!\n"), std::string::npos);
  EXPECT_EQ(fem.hourglassControlManager->hourglass_array_cpu.size(), 1u);
  EXPECT_DOUBLE_EQ(fem.timeControl->safe_factor, 0.9);
}

TEST_F(PreprocessTest, LinksPartsElementsAndNodes) {
  addCubePart(2);
  ASSERT_EQ(preprocessModel(&fem), 1);
  Part& part = fem.part_array[0];
  EXPECT_EQ(part.elmManager, &fem.elm_manager_array[0]);
  ASSERT_NE(part.material, nullptr);
  ASSERT_NE(part.section, nullptr);
  EXPECT_EQ(part.node_array.size(), 8u);
  const SolidElementCuda& solid = fem.elm_manager_array[0].solid_element_array_cpu[0];
  EXPECT_EQ(solid.type, ET_HEXA_REDUCED);
  EXPECT_EQ(solid.node[6], &fem.nodeManager->node_array_cpu[6]);
  EXPECT_EQ(fem.nodeManager->node_array_cpu[6].ini_coord[0], 1.0);
  EXPECT_TRUE(fem.rigidManager->rigid_array.empty());
}

TEST_F(PreprocessTest, WedgeNodeLinksFollowTheReorderedIds) {
  addCubePart(2);
  // A hexahedron collapsed along two edges is classified as a wedge and its
  // ids reordered; the host node links must follow the new order.
  const int ids[8] = {1, 2, 3, 4, 5, 5, 7, 7};
  for (int k = 0; k < 8; ++k) fem.elm_manager_array[0].solid_element_array_cpu[0].node_id[k] = ids[k];
  ASSERT_EQ(preprocessModel(&fem), 1);
  // Set-up reserves room in the store list: take the record afterwards.
  const SolidElementCuda& solid = fem.elm_manager_array[0].solid_element_array_cpu[0];
  EXPECT_EQ(solid.type, ET_PENTA);
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(solid.node[k], &fem.nodeManager->node_array_cpu[solid.node_id[k] - 1]) << k;
  }
}

TEST_F(PreprocessTest, ElementSetsPointIntoTheFinalElementList) {
  // Element 2 names a node outside the model and is dropped while the
  // elements are linked; the list is rebuilt, so a set of element 1 must
  // point into the list that remains.  Sets are resolved once, when the
  // elements are final: a part set naming a part the model lacks is
  // reported once, not once per resolution.
  addCubePart(2);
  SolidElementCuda broken = fem.elm_manager_array[0].solid_element_array_cpu[0];
  broken.id = 2;
  broken.node_id[7] = 99;
  auto& read = fem.elm_manager_array[0].solid_element_array_cpu;
  read.insert(read.begin(), broken);
  Set set;
  set.id = 4;
  set.type = SET_ELEMENT;
  set.id_array = {1};
  fem.setManager->addSet(set);
  Set parts;
  parts.id = 5;
  parts.type = SET_PART;
  parts.id_array = {1, 9};
  fem.setManager->addSet(parts);
  testing::internal::CaptureStdout();
  ASSERT_EQ(preprocessModel(&fem), 1);
  const std::string console = testing::internal::GetCapturedStdout();
  const std::string missing = "part set 5: part 9 is not in the model and is left out";
  ASSERT_NE(console.find(missing), std::string::npos) << console;
  EXPECT_EQ(console.find(missing, console.find(missing) + 1), std::string::npos) << console;
  ASSERT_EQ(fem.setManager->findSet(5, SET_PART)->part_array_cpu.size(), 1u);
  // Set-up reserves room in the store list: take the list afterwards.
  const auto& solids = fem.elm_manager_array[0].solid_element_array_cpu;
  ASSERT_EQ(solids.size(), 1u);
  const Set* resolved = fem.setManager->findSet(4, SET_ELEMENT);
  ASSERT_NE(resolved, nullptr);
  ASSERT_EQ(resolved->element_array_cpu.size(), 1u);
  EXPECT_EQ(resolved->element_array_cpu[0], static_cast<const Element*>(&solids[0]));
  EXPECT_EQ(resolved->element_array_cpu[0]->id, 1);
}

TEST_F(PreprocessTest, RigidMaterialGivesExactlyOneRigidBody) {
  addCubePart(1);
  ASSERT_EQ(preprocessModel(&fem), 1);
  ASSERT_EQ(fem.rigidManager->rigid_array.size(), 1u);
  EXPECT_EQ(fem.rigidManager->rigid_array[0].part, &fem.part_array[0]);
}

TEST_F(PreprocessTest, PartWithoutMaterialOrSectionIsRefused) {
  addCubePart(2);
  fem.part_array[0].material_id = 5;
  testing::internal::CaptureStdout();
  EXPECT_EQ(preprocessModel(&fem), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout().find("success!"), std::string::npos);
  FEMDynamic other;
  other.newManagers();
  other.part_array.resize(1);
  other.part_array[0].id = 1;
  other.part_array[0].section_id = 3;
  other.elm_manager_array.resize(1);
  EXPECT_EQ(preprocessModel(&other), 0);
}

TEST_F(PreprocessTest, RigidWallsAndWeldsAreBoundToTheirNodeSets) {
  addCubePart(2);
  Set set;
  set.type = SET_NODE;
  set.id = 4;
  set.id_array = {2, 3};
  fem.setManager->addSet(set);
  RigidWall everyNode;
  everyNode.head_point[2] = 1.0;
  RigidWall onSet = everyNode;
  onSet.slave_set_id = 4;
  fem.rigid_wall_array->push_back(everyNode);
  fem.rigid_wall_array->push_back(onSet);
  Constrained weld;
  weld.node_set_id = 4;
  fem.constrainedManager->constrained_array.push_back(weld);
  ASSERT_EQ(preprocessModel(&fem), 1);
  EXPECT_EQ((*fem.rigid_wall_array)[0].slave_node_num, 8);
  EXPECT_EQ((*fem.rigid_wall_array)[1].slave_node_num, 2);
  EXPECT_DOUBLE_EQ((*fem.rigid_wall_array)[1].normal[2], 1.0);
  EXPECT_EQ(fem.constrainedManager->constrained_array[0].nodeNum, 2);
  EXPECT_EQ(fem.nodeManager->node_array_cpu[2].master_node_id, 2);
}

TEST_F(PreprocessTest, WallOrWeldNamingAMissingSetIsRefused) {
  addCubePart(2);
  RigidWall wall;
  wall.slave_set_id = 9;
  fem.rigid_wall_array->push_back(wall);
  EXPECT_EQ(preprocessModel(&fem), 0);
  FEMDynamic other;
  other.newManagers();
  Constrained weld;
  weld.node_set_id = 1009;
  other.constrainedManager->constrained_array.push_back(weld);
  EXPECT_EQ(preprocessModel(&other), 0);
}
