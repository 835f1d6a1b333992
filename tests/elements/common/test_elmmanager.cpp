// Classification, counts, node links and thicknesses of the element store.
#include <gtest/gtest.h>

#include <string>

#include "core/repeatedMessage.h"
#include "tests/elements/common/elementTestModel.h"

using namespace elmtest;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

std::vector<int> ids(const SolidElementCuda& e) { return std::vector<int>(e.node_id, e.node_id + 8); }

}  // namespace

TEST(ElmManagerClassify, SolidPatterns) {
  ElmManager m;
  m.solid_element_array_cpu = {solid(1, {1, 2, 3, 4, 5, 5, 7, 7}), solid(2, {1, 2, 3, 4, 4, 4, 4, 4}),
                               solid(3, {1, 2, 3, 4, 5, 5, 5, 5}), solid(4, {1, 2, 3, 4, 5, 6, 7, 8})};
  const Section s = section(4, 18);
  m.setElementType(&s);
  const auto& e = m.solid_element_array_cpu;
  EXPECT_EQ(e[0].type, ET_PENTA);
  EXPECT_EQ(ids(e[0]), (std::vector<int>{1, 5, 2, 4, 7, 3, 3, 3}));
  EXPECT_EQ(e[1].type, ET_TETRA_TL);
  EXPECT_EQ(e[2].type, ET_HEXA_REDUCED);
  EXPECT_EQ(e[3].type, ET_HEXA_REDUCED);

  // Classifying again keeps the wedge and its order.
  m.setElementType(&s);
  EXPECT_EQ(e[0].type, ET_PENTA);
  EXPECT_EQ(ids(e[0]), (std::vector<int>{1, 5, 2, 4, 7, 3, 3, 3}));
}

TEST(ElmManagerClassify, SolidsWrittenWithFourOrSixNodes) {
  NodeManager nodes;
  fillNodes(nodes, 6);
  ElmManager m;
  m.solid_element_array_cpu = {solid(1, {1, 2, 3, 4}), solid(2, {1, 2, 3, 4, 5, 6})};
  const Section s = section(4, 18);
  m.linkNodes(&nodes);  // the run links before it classifies
  m.setElementType(&s);
  ASSERT_EQ(m.solid_element_array_cpu.size(), 2u);
  EXPECT_EQ(m.solid_element_array_cpu[0].type, ET_TETRA_TL);
  EXPECT_EQ(ids(m.solid_element_array_cpu[0]), (std::vector<int>{1, 2, 3, 4, 4, 4, 4, 4}));
  EXPECT_EQ(m.solid_element_array_cpu[0].node[7], nodes.node_array_cpu.data() + 3);
  EXPECT_EQ(m.solid_element_array_cpu[1].type, ET_PENTA);
  EXPECT_EQ(ids(m.solid_element_array_cpu[1]), (std::vector<int>{1, 2, 3, 4, 5, 6, 6, 6}));
}

TEST(ElmManagerClassify, ShellsTrianglesAndMembranes) {
  ElmManager bt;
  bt.shell_element_array_cpu = {shell(1, {1, 2, 3, 4}), shell(2, {1, 2, 3, 3})};
  const Section s9 = section(3, 9, 3);
  hostSetUp(bt, s9);
  const auto& q = bt.shell_element_array_cpu[0];
  const auto& t = bt.shell_element_array_cpu[1];
  EXPECT_EQ(q.type, ET_BT_SHELL);
  EXPECT_EQ(q.node_num, 4);
  EXPECT_EQ(t.type, ET_BT_TRI_SHELL);
  EXPECT_EQ(t.node_num, 3);
  EXPECT_EQ(t.thickPointNum, 3);
  EXPECT_EQ(t.planePointNum, 1);
  EXPECT_EQ(t.integratPointNum, 3);
  EXPECT_EQ(t.integralDomainShape, DOMAIN_LINE);
  EXPECT_EQ(t.sectionType, FAMILY_SHELL);
  EXPECT_EQ(t.dtScaleFactor, 1.0);

  ElmManager mem;
  mem.shell_element_array_cpu = {shell(1, {1, 2, 3, 4}), shell(2, {1, 2, 3, 3})};
  const Section s7 = section(3, 7);
  hostSetUp(mem, s7);
  EXPECT_EQ(mem.shell_element_array_cpu[0].type, ET_MEMBRANE4);
  EXPECT_EQ(mem.shell_element_array_cpu[1].type, ET_MEMBRANE3);
  EXPECT_EQ(mem.shell_element_array_cpu[1].integratPointNum, 1);
  EXPECT_EQ(mem.shell_element_array_cpu[1].integralDomainShape, DOMAIN_NONE);

  // Section point count 0 means 5 points through the thickness.
  ElmManager five;
  five.shell_element_array_cpu = {shell(1, {1, 2, 3, 4})};
  const Section s0 = section(3, 9, 0);
  hostSetUp(five, s0);
  EXPECT_EQ(five.shell_element_array_cpu[0].integratPointNum, 5);
}

TEST(ElmManagerClassify, CountsAndMessagesByType) {
  ElmManager m;
  m.solid_element_array_cpu = {solid(1, {1, 2, 3, 4, 5, 6, 7, 8}), solid(2, {1, 2, 3, 4, 5, 5, 7, 7})};
  const Section s = section(4, 18);
  hostSetUp(m, s);
  const auto& hex = m.solid_element_array_cpu[0];
  const auto& wedge = m.solid_element_array_cpu[1];
  EXPECT_EQ(hex.node_num, 8);
  EXPECT_EQ(hex.gaussNodeNum, 8);
  EXPECT_EQ(hex.integratPointNum, 1);
  EXPECT_EQ(hex.integralDomainShape, DOMAIN_HEXA);
  EXPECT_EQ(wedge.node_num, 6);
  EXPECT_EQ(wedge.thickPointNum, 2);
  EXPECT_EQ(wedge.planePointNum, 1);
  EXPECT_EQ(wedge.integratPointNum, 2);
  EXPECT_EQ(wedge.integralDomainShape, DOMAIN_WEDGE);

  // Types without a rule or a node count report so; the point message ends
  // in a backslash and the letter n.
  ElmManager other;
  other.shell_element_array_cpu = {shell(1, {1, 2, 3, 4})};
  other.shell_element_array_cpu[0].type = ET_SHELL4_11;
  other.solid_element_array_cpu = {solid(2, {1, 2, 3, 4, 5, 6, 7, 8})};
  other.solid_element_array_cpu[0].type = static_cast<ElementNewType>(30);
  const Section none = section(3, 0);
  CaptureStdout();
  other.setElementNodeNum();
  other.setIntegrationPointNum(&none);
  other.setIntegralDomainShape();
  const std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("补充这种实体单元的节点数\n"), std::string::npos);
  EXPECT_NE(out.find("请补充该种单元的积分点个数\\n"), std::string::npos);
  EXPECT_NE(out.find("当前单元无法指定积分域形状，请补充\n"), std::string::npos);
  EXPECT_EQ(other.solid_element_array_cpu[0].node_num, 0);
  EXPECT_EQ(other.shell_element_array_cpu[0].integratPointNum, 0);
}

TEST(ElmManagerClassify, IncompatibleAndSolidShellBuffers) {
  ElmManager m;
  m.solid_element_array_cpu = {solid(1, {1, 2, 3, 4, 5, 6, 7, 8}), solid(2, {1, 2, 3, 4, 5, 6, 7, 8})};
  m.solid_element_array_cpu[0].type = ET_HEXA_INCOMPATIBLE;
  m.solid_element_array_cpu[1].type = ET_SOLID_SHELL8;
  const Section s = section(4, 0);
  m.setInternalParamNum();
  m.setAdditionalVariableNum();
  m.computeAddMemSize(&s);
  m.allocateAddMemory();
  m.operatorOnAddMem(&s);
  const Element& incompatible = m.solid_element_array_cpu[0];
  const Element& solidShell = m.solid_element_array_cpu[1];
  EXPECT_EQ(incompatible.internalParamNum, 9);
  EXPECT_EQ(incompatible.additionalVariableNum, 10);
  ASSERT_NE(incompatible.additionalVariablePtr, nullptr);
  EXPECT_EQ(solidShell.additionalVariableNum, 4);
  ASSERT_NE(solidShell.additionalVariablePtr, nullptr);
  EXPECT_EQ(solidShell.additionalVariablePtr[0], 3.0);
  // The record's own device count is untouched by the host set-up.
  EXPECT_EQ(m.solid_element_array_cpu[1].additionalVariableNum, 0);

  // A copy owns its own buffers.
  ElmManager copy(m);
  EXPECT_NE(static_cast<Element&>(copy.solid_element_array_cpu[1]).additionalVariablePtr,
            solidShell.additionalVariablePtr);

  Element missing;
  missing.type = ET_SOLID_SHELL6;
  CaptureStdout();
  missing.operatorOnAddMem(&s);
  EXPECT_EQ(GetCapturedStdout(), "计算实体壳单元的所需内变量内存未分配");
}

TEST(ElmManagerLink, NodePointersFollowIdsAndWedgeOrder) {
  NodeManager nodes;
  fillNodes(nodes, 8);
  NodeCuda* base = nodes.node_array_cpu.data();
  const Section s = section(4, 18);

  // Linking before and after classification gives the same pointers.
  for (bool linkFirst : {true, false}) {
    ElmManager m;
    m.solid_element_array_cpu = {solid(1, {1, 2, 3, 4, 5, 5, 7, 7})};
    if (linkFirst) m.linkNodes(&nodes);
    m.setElementType(&s);
    if (!linkFirst) m.linkNodes(&nodes);
    const SolidElementCuda& e = m.solid_element_array_cpu[0];
    for (int k = 0; k < 8; ++k) EXPECT_EQ(e.node[k], base + (e.node_id[k] - 1)) << "slot " << k;
  }

  ElmManager b;
  b.beam_element_array_cpu = {beam(1, 1, 2, 0), beam(2, 2, 3, 8)};
  b.linkNodes(&nodes);
  EXPECT_EQ(b.beam_element_array_cpu[0].node[2], nullptr);  // no orientation node
  EXPECT_EQ(b.beam_element_array_cpu[1].node[2], base + 7);
}

TEST(ElmManagerLink, OutOfRangeNodeIdsLeaveTheElementOut) {
  NodeManager nodes;
  fillNodes(nodes, 4);
  ElmManager m;
  m.shell_element_array_cpu = {shell(10, {1, 2, 3, 4}), shell(11, {1, 2, 3, 5}), shell(12, {0, 1, 2, 3})};
  clearRepeatedMessages();
  CaptureStdout();
  m.linkNodes(&nodes);
  printRepeatedMessages();  // the first element with its node, then the count and the first ids
  const std::string out = GetCapturedStdout();
  ASSERT_EQ(m.shell_element_array_cpu.size(), 1u);
  EXPECT_EQ(m.shell_element_array_cpu[0].id, 10);
  EXPECT_NE(out.find("单元 11 的节点编号 5 不在 1 到 4 之间"), std::string::npos) << out;
  EXPECT_NE(out.find("2 times in this run, the first for 11, 12\n"), std::string::npos) << out;
  EXPECT_EQ(m.findElementById(11), nullptr);
}

TEST(ElmManagerLink, NodeThicknessFromTheSection) {
  NodeManager nodes;
  fillNodes(nodes, 5);
  ElmManager m;
  m.shell_element_array_cpu = {shell(1, {1, 2, 3, 3})};
  m.linkNodes(&nodes);
  Section s = section(3, 9);
  s.thickness[0] = 1.0;
  s.thickness[1] = 2.0;
  s.thickness[2] = 3.0;
  s.thickness[3] = 4.0;
  m.setNodeThickness(&s);
  EXPECT_EQ(nodes.node_array_cpu[0].thickness, 1.0);
  EXPECT_EQ(nodes.node_array_cpu[1].thickness, 2.0);
  EXPECT_EQ(nodes.node_array_cpu[2].thickness, 4.0);  // shared third and fourth node: t4 written last
  EXPECT_EQ(m.shell_element_array_cpu[0].thick, 2.5);
  EXPECT_EQ(m.shell_element_array_cpu[0].thickCurrent, 2.5);
}

TEST(ElmManagerLink, SecondOrderRecordsAreCountedAndFullyLinked) {
  NodeManager nodes;
  fillNodes(nodes, 20);
  ElmManager m;
  SolidElement2nd tet;
  tet.id = 7;
  for (int k = 0; k < 10; ++k) tet.node_id[k] = k + 1;
  SolidElement2nd hex;
  hex.id = 8;
  for (int k = 0; k < 20; ++k) hex.node_id[k] = k + 1;
  m.solid2ndArrayCpu_ = {tet};
  ElmManager h;
  h.solid2ndArrayCpu_ = {hex};
  ShellElement2nd sh;
  sh.id = 9;
  for (int k = 0; k < 8; ++k) sh.node_id[k] = k + 1;
  h.shell2ndArrayCpu_ = {sh};

  m.linkNodes(&nodes);
  h.linkNodes(&nodes);
  hostSetUp(m, section(4, ET_TETRA10));
  hostSetUp(h, section(4, ET_HEXA20));
  const SolidElement2nd& t = m.solid2ndArrayCpu_[0];
  EXPECT_EQ(t.type, ET_TETRA10);
  EXPECT_EQ(t.node_num, 10);
  EXPECT_EQ(t.gaussNodeNum, 10);
  EXPECT_EQ(t.integratPointNum, 4);
  EXPECT_EQ(t.integralDomainShape, DOMAIN_TETRA);
  EXPECT_EQ(t.sectionType, FAMILY_SOLID_2ND);
  const SolidElement2nd& x = h.solid2ndArrayCpu_[0];
  EXPECT_EQ(x.node_num, 20);
  for (int k = 0; k < 20; ++k) EXPECT_EQ(x.node[k], nodes.node_array_cpu.data() + k);
  EXPECT_EQ(h.shell2ndArrayCpu_[0].node_num, 8);
  EXPECT_EQ(h.shell2ndArrayCpu_[0].node[7], nodes.node_array_cpu.data() + 7);
}

TEST(ElmManagerLookup, IdMapPrefersSolidsAndSkipsDiscrete) {
  ElmManager m;
  m.solid_element_array_cpu = {solid(5, {1, 2, 3, 4})};
  m.shell_element_array_cpu = {shell(5, {1, 2, 3, 4}), shell(6, {1, 2, 3, 4})};
  DiscreteCuda d;
  d.id = 9;
  m.discrete_element_array_cpu = {d};
  EXPECT_EQ(m.findElementById(5), &m.solid_element_array_cpu[0]);
  EXPECT_EQ(m.findElementById(6), &m.shell_element_array_cpu[1]);
  EXPECT_EQ(m.findElementById(9), nullptr);
}
