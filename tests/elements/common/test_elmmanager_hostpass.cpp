// Host element passes of one part: nodal masses, candidate step and the
// messages of families without host routines.
#include <gtest/gtest.h>

#include <string>

#include "materials/material.h"
#include "tests/elements/common/elementTestModel.h"

using namespace elmtest;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// A unit cube in the hexahedron's node order.
void unitCube(NodeManager& nodes) {
  fillNodes(nodes, 8);
  const double x[8][3] = {{0, 0, 1}, {0, 1, 1}, {1, 1, 1}, {1, 0, 1}, {0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
  for (int i = 0; i < 8; ++i)
    for (int k = 0; k < 3; ++k) nodes.node_array_cpu[i].coord[k] = x[i][k];
}

}  // namespace

TEST(ElmManagerHostPass, NodalMassOfAHexahedron) {
  NodeManager nodes;
  unitCube(nodes);
  ElmManager m;
  m.solid_element_array_cpu = {solid(1, {1, 2, 3, 4, 5, 6, 7, 8})};
  const Section s = section(4, 18);
  m.linkNodes(&nodes);
  hostSetUp(m, s);
  Material steel;
  steel.type = 2;
  steel.density = 2.0;
  m.calNodeMass(&steel, &s);
  EXPECT_NEAR(m.totMass, 2.0, 1e-12);
  for (const NodeCuda& n : nodes.node_array_cpu) EXPECT_NEAR(n.mass, 0.25, 1e-12);

  // A null material without density carries no mass.
  Material none;
  none.type = 0;
  for (NodeCuda& n : nodes.node_array_cpu) n.mass = 0.0;
  m.calNodeMass(&none, &s);
  EXPECT_EQ(m.totMass, 0.0);
  for (const NodeCuda& n : nodes.node_array_cpu) EXPECT_EQ(n.mass, 0.0);

  double length = 10.0;
  m.calMinCharactLength(&length);
  EXPECT_NEAR(length, 1.0, 1e-12);  // volume / largest face area
}

TEST(ElmManagerHostPass, CandidateStepAndPendingFamilies) {
  ElmManager empty;
  double candidate = 0.5;
  empty.computeInterForceCpu(nullptr, nullptr, nullptr, 1e-6, candidate, 0.9);
  EXPECT_EQ(candidate, 0.5);  // a part without elements leaves it

  ElmManager second;
  second.shell2ndArrayCpu_.resize(2);
  second.shell_element_array_cpu = {shell(1, {1, 2, 3, 4})};
  CaptureStdout();
  second.massScaleCpu(1e-6);
  const std::string out = GetCapturedStdout();
  EXPECT_EQ(out, "请补充二阶壳单元的质量缩放算法\n请补充二阶壳单元的质量缩放算法\n");
}
