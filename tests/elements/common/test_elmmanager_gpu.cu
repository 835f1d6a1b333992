// Upload, device node pointers and registration of the elements with their
// nodes (host build of the device path).
#include "tests/deviceTest.h"

#include <memory>
#include <set>
#include <string>
#include <utility>

#include "core/logErrorPrint.h"
#include "tests/elements/common/elementTestModel.h"

using namespace elmtest;

namespace {

// Node records as the device holds them after the registration.
std::vector<NodeCuda> readNodes(const NodeManager& nodes) {
  std::vector<NodeCuda> out(nodes.node_array_cpu.size());
  CUDA_CHECK(cudaMemcpy(out.data(), nodes.node_array_gpu, sizeof(NodeCuda) * out.size(), cudaMemcpyDeviceToHost));
  return out;
}

// (element address, local number) entries of one node.
std::set<std::pair<const Element*, int>> entries(const NodeCuda& n) {
  std::set<std::pair<const Element*, int>> s;
  for (int k = 0; k < n.registeredElementNum(); ++k) s.emplace(n.element[k], n.local_node_num[k]);
  return s;
}

}  // namespace

DEVICE_TEST(ElmManagerGpu, SolidsRegisterWithExactlyTheirNodes) {
  NodeManager nodes;
  fillNodes(nodes, 12);
  ElmManager m;
  // A hexahedron, a wedge written as a collapsed hexahedron and a tetrahedron.
  m.solid_element_array_cpu = {solid(1, {1, 2, 3, 4, 5, 6, 7, 8}), solid(2, {5, 6, 7, 8, 9, 9, 10, 10}),
                               solid(3, {9, 10, 11, 12, 12, 12, 12, 12})};
  const Section s = section(4, 18);
  m.linkNodes(&nodes);
  hostSetUp(m, s);
  nodes.allocateAndCopyNodes();
  m.allocateAndCopyGpu(&s);
  ASSERT_EQ(m.elementAmount, 3);
  m.gpuNodeMatch(&nodes, &s);
  m.gpuBuildIndexNode();

  const std::vector<NodeCuda> dev = readNodes(nodes);
  std::vector<std::set<std::pair<const Element*, int>>> expected(12);
  const SolidElementCuda* gpu = m.solid_element_array_gpu;
  const int used[3] = {8, 6, 4};
  for (int e = 0; e < 3; ++e)
    for (int k = 0; k < used[e]; ++k) expected[m.solid_element_array_cpu[e].node_id[k] - 1].emplace(gpu + e, k);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(dev[i].element_num, static_cast<int>(expected[i].size())) << "node " << i + 1;
    EXPECT_EQ(entries(dev[i]), expected[i]) << "node " << i + 1;
  }

  // The device records point into the device node array.
  SolidElementCuda back;
  CUDA_CHECK(cudaMemcpy(&back, gpu + 1, sizeof(SolidElementCuda), cudaMemcpyDeviceToHost));
  for (int k = 0; k < 8; ++k) EXPECT_EQ(back.node[k], nodes.node_array_gpu + (back.node_id[k] - 1));
  EXPECT_EQ(m.findElementGpuById(2), gpu + 1);
}

DEVICE_TEST(ElmManagerGpu, ShellsAndBeamsRegister) {
  NodeManager nodes;
  fillNodes(nodes, 5);
  ElmManager shells;
  shells.shell_element_array_cpu = {shell(1, {1, 2, 3, 4}), shell(2, {3, 4, 5, 5})};
  const Section ss = section(3, 9, 2);
  shells.linkNodes(&nodes);
  hostSetUp(shells, ss);
  ElmManager beams;
  beams.beam_element_array_cpu = {beam(3, 1, 5, 2), beam(4, 2, 5, 0)};
  const Section sb = section(2, 2);
  beams.linkNodes(&nodes);
  hostSetUp(beams, sb);
  nodes.allocateAndCopyNodes();
  for (auto* p : {&shells, &beams}) {
    const Section& s = p == &shells ? ss : sb;
    p->allocateAndCopyGpu(&s);
    p->gpuNodeMatch(&nodes, &s);
    p->gpuBuildIndexNode();
  }
  const std::vector<NodeCuda> dev = readNodes(nodes);
  const Element* s1 = shells.shell_element_array_gpu;
  const Element* s2 = shells.shell_element_array_gpu + 1;
  const Element* b1 = beams.beam_element_array_gpu;
  const Element* b2 = beams.beam_element_array_gpu + 1;
  using E = std::set<std::pair<const Element*, int>>;
  EXPECT_EQ(entries(dev[0]), (E{{s1, 0}, {b1, 0}}));
  // A beam's third node orients its section: it takes no force and no slot.
  EXPECT_EQ(entries(dev[1]), (E{{s1, 1}, {b2, 0}}));
  EXPECT_EQ(entries(dev[2]), (E{{s1, 2}, {s2, 0}}));
  EXPECT_EQ(entries(dev[3]), (E{{s1, 3}, {s2, 1}}));
  EXPECT_EQ(entries(dev[4]), (E{{s2, 2}, {b1, 1}, {b2, 1}}));  // the triangle registers three nodes
}

DEVICE_TEST(ElmManagerGpu, MissingFamilyUploadsNothing) {
  ElmManager m;
  m.solid_element_array_cpu = {solid(1, {1, 2, 3, 4, 5, 6, 7, 8})};
  const Section s = section(3, 9);
  testing::internal::CaptureStdout();
  m.allocateAndCopyGpu(&s);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Gpu壳单元创建错误\n");
  EXPECT_EQ(m.elementAmount, 0);
  EXPECT_EQ(m.shell_element_array_gpu, nullptr);
  EXPECT_EQ(m.solid_element_array_gpu, nullptr);
  m.gpuBuildIndexNode();  // nothing uploaded: nothing to register
}

DEVICE_TEST(ElmManagerGpu, UnattachedDeviceBuffersAreNotFreed) {
  // A record with a host buffer whose device copy never got its own buffer:
  // the store must not hand the host address to the device allocator.
  auto store = std::make_unique<ElmManager>();
  store->shell_element_array_cpu = {shell(1, {1, 2, 3, 4})};
  Element& head = store->shell_element_array_cpu[0];
  head.additionalVariableNum = 2;
  head.allocateAddMemory();
  const Section s = section(3, 9);
  store->allocateAndCopyGpu(&s);
  ASSERT_NE(store->shell_element_array_gpu, nullptr);
  store.reset();  // a failed device free would end the process here
  SUCCEED();
}
