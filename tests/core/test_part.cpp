#include "tests/deviceTest.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/sectionmanager.h"
#include "elements/common/elmmanager.h"
#include "elements/common/partSetup.h"
#include "materials/materialmanager.h"
#include "platform/gpuRuntime.h"

namespace {

// Shells (1 2 3 -), (3 4 5 5); a beam 8 9 with orientation node 10; a
// solid 5 6 2 7 ending early with a 0.
ElmManager mixedStore() {
  ElmManager m;
  ShellElementCuda s1, s2;
  const int a[4] = {1, 2, 3, 0}, b[4] = {3, 4, 5, 5};
  for (int k = 0; k < 4; ++k) {
    s1.node_id[k] = a[k];
    s2.node_id[k] = b[k];
  }
  m.shell_element_array_cpu = {s1, s2};
  BeamElementCuda beam;
  beam.node_id[0] = 8;
  beam.node_id[1] = 9;
  beam.node_id[2] = 10;
  m.beam_element_array_cpu = {beam};
  SolidElementCuda solid;
  const int c[8] = {5, 6, 2, 7, 0, 11, 11, 11};
  for (int k = 0; k < 8; ++k) solid.node_id[k] = c[k];
  m.solid_element_array_cpu = {solid};
  return m;
}

// One section of id 1, mapped.
void addSectionOne(SectionManager& sections) {
  Section s;
  s.id = 1;
  sections.section_array.push_back(s);
  sections.sortAndMapSections();
}

}  // namespace

TEST(Part, NodeListsKeepFirstSeenOrderAndStopAtZero) {
  std::vector<ElmManager> stores(1);
  stores[0] = mixedStore();
  Part part;
  part.id = 1;
  part.elmManager = &stores[0];
  std::vector<int> ids;
  buildPartNodeElement(part, ids);
  EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 4, 5, 8, 9, 6, 7}));

  NodeManager nodes;
  for (int id = 1; id <= 10; ++id) {
    NodeCuda n{};
    n.id = id;
    n.store_id = id - 1;
    nodes.node_array_cpu.push_back(n);
  }
  nodes.checkNodeIdMap();
  buildNodeList(part, &nodes);
  ASSERT_EQ(part.node_array.size(), ids.size());
  for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(part.node_array[i]->id, ids[i]);

  // A node id the model does not have is reported and left out.
  stores[0].solid_element_array_cpu[0].node_id[4] = 42;
  Part other;
  other.id = 2;
  other.elmManager = &stores[0];
  testing::internal::CaptureStdout();
  buildNodeList(other, &nodes);
  fflush(stdout);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("42"), std::string::npos);
  EXPECT_EQ(other.node_array.size(), ids.size());
  for (NodeCuda* n : other.node_array) EXPECT_NE(n, nullptr);
}

TEST(Part, LinksByIdAndReportsAMaterialWithoutModel) {
  std::vector<ElmManager> stores(4);
  MaterialManager materials;
  Material elastic;
  elastic.id = 1;
  elastic.type = 2;
  Material weld;
  weld.id = 2;
  weld.type = 10;
  materials.material_array = {elastic, weld};
  materials.buildMaterialIdMap();
  SectionManager sections;
  addSectionOne(sections);

  Part part;
  part.id = 3;
  part.material_id = 2;
  part.section_id = 1;
  linkMaterialSectionElement(part, stores, &materials, &sections);
  EXPECT_EQ(part.elmManager, &stores[2]);
  EXPECT_EQ(part.material, &materials.material_array[1]);
  EXPECT_EQ(part.section, &sections.section_array[0]);

  testing::internal::CaptureStdout();
  materials.createMaterialNewArray();
  materials.buildMaterialNewIdMap();
  fflush(stdout);
  testing::internal::GetCapturedStdout();

  testing::internal::CaptureStdout();
  linkMaterialNew(part, &materials);
  fflush(stdout);
  const std::string message = testing::internal::GetCapturedStdout();
  EXPECT_EQ(part.materialNew, nullptr);
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(message.find('\n'), message.size() - 1);  // one line

  // Later passes skip the part quietly.
  ShellElementCuda shell;
  shell.section_id = 1;
  stores[2].shell_element_array_cpu.push_back(shell);
  testing::internal::CaptureStdout();
  linkGaussPoints(part, &sections);
  double length = 7.0;
  calMinCharactLength(part, &length);
  fflush(stdout);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(length, 7.0);

  Part unknown;
  unknown.id = 9;  // beyond the element stores
  unknown.material_id = 5;
  linkMaterialSectionElement(unknown, stores, &materials, &sections);
  EXPECT_EQ(unknown.elmManager, nullptr);
  EXPECT_EQ(unknown.material, nullptr);
}

TEST(Part, GaussPointsAreSetOnlyForDeformableUnsmoothedParts) {
  std::vector<ElmManager> stores(1);
  ShellElementCuda shell;  // no points attached: setting them reports it
  shell.id = 5;
  shell.section_id = 1;
  stores[0].shell_element_array_cpu.push_back(shell);
  SectionManager sections;
  addSectionOne(sections);
  Material rec;
  rec.id = 1;
  auto runLink = [&](int type, int sfem) {
    rec.type = type;
    std::unique_ptr<MaterialNew> model(MaterialManager::createMaterialNew(&rec));
    sections.section_array[0].sfem_kind = sfem;
    Part part;
    part.id = 1;
    part.elmManager = &stores[0];
    part.section = &sections.section_array[0];
    part.materialNew = model.get();
    testing::internal::CaptureStdout();
    linkGaussPoints(part, &sections);
    fflush(stdout);
    return !testing::internal::GetCapturedStdout().empty();
  };
  EXPECT_FALSE(runLink(0, 0));  // null material
  EXPECT_FALSE(runLink(1, 0));  // rigid material
  EXPECT_FALSE(runLink(2, 3));  // smoothed section
  EXPECT_TRUE(runLink(2, 0));   // the element is visited
}

DEVICE_TEST(Part, CopiesShareNoDeviceMemory) {
  std::vector<Part> parts;
  Part first;
  first.id = 1;
  first.name = "shell part";
  CUDA_CHECK(cudaMalloc(&first.node_array_gpu, sizeof(NodeCuda*) * 4));
  Material m;
  Section s;
  first.material = &m;
  first.section = &s;
  copyMaterialSectionToGpu(first);
  EXPECT_NE(first.materialGpu, nullptr);
  EXPECT_NE(first.sectionGpu, nullptr);

  const Part copy(first);
  EXPECT_EQ(copy.name, "shell part");
  EXPECT_EQ(copy.node_array_gpu, nullptr);
  EXPECT_EQ(copy.materialGpu, nullptr);

  NodeCuda** owned = first.node_array_gpu;
  parts.push_back(std::move(first));
  for (int i = 0; i < 10; ++i) parts.push_back(copy);  // growth moves the first part
  EXPECT_EQ(parts[0].node_array_gpu, owned);
  EXPECT_EQ(first.node_array_gpu, nullptr);
  parts[1] = parts[0];
  EXPECT_EQ(parts[1].node_array_gpu, nullptr);
  EXPECT_EQ(parts[1].id, 1);
  // Destroying the vector frees each device array once (a double free
  // would end the process through the CUDA check).
  parts.clear();
}
