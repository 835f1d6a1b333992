// Numbering of the integration points across parts, their links to the
// elements and material states, and the device checks.
#include "tests/deviceTest.h"

#include <string>
#include <vector>

#include "core/logErrorPrint.h"
#include "core/part.h"
#include "elements/common/elementControl.h"
#include "elements/common/integratpointmanager.h"
#include "materials/materialmanager.h"
#include "tests/elements/common/elementTestModel.h"

using namespace elmtest;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

Material record(int id, int type) {
  Material m;
  m.id = id;
  m.type = type;
  m.youngs_modulus = 2.0e11;
  m.poissons_ratio = 0.3;
  m.density = 7800.0;
  return m;
}

// Four parts: two share the elastic material 1, one is of the null
// material 2, one has no material model at all.
struct PointModel {
  MaterialManager materials;
  std::vector<ElmManager> stores = std::vector<ElmManager>(4);
  std::vector<Part> parts = std::vector<Part>(4);
  Section shellSection = section(3, 9, 3);
  Section solidSection = section(4, 18);
  IntegratPointManager points;

  PointModel() {
    materials.material_array = {record(1, 2), record(2, 0)};
    materials.buildMaterialIdMap();
    materials.createMaterialNewArray();
    materials.buildMaterialNewIdMap();

    stores[0].shell_element_array_cpu = {shell(1, {1, 2, 3, 4}), shell(2, {2, 3, 4, 5})};
    stores[1].solid_element_array_cpu = {solid(3, {1, 2, 3, 4, 5, 6, 7, 8}), solid(4, {1, 2, 3, 4, 4, 4, 4, 4})};
    stores[2].solid_element_array_cpu = {solid(5, {1, 2, 3, 4, 5, 6, 7, 8})};
    stores[3].solid_element_array_cpu = {solid(6, {1, 2, 3, 4, 5, 6, 7, 8})};
    const Section* sections[4] = {&shellSection, &solidSection, &solidSection, &solidSection};
    const int materialIds[4] = {1, 1, 2, 1};
    for (int i = 0; i < 4; ++i) {
      parts[i].id = i + 1;
      parts[i].elmManager = &stores[i];
      parts[i].section = const_cast<Section*>(sections[i]);
      parts[i].materialNew = i == 3 ? nullptr : materials.findMaterialNewIndexById(materialIds[i]);
      parts[i].material = materials.findMaterialIndexById(materialIds[i]);
      stores[i].setMaterialSectionId(materialIds[i], 1);
      hostSetUp(stores[i], *sections[i]);
    }
  }
};

}  // namespace

TEST(IntegratPoints, NumberedAcrossPartsSharingAMaterial) {
  PointModel m;
  CaptureStdout();
  m.points.numberGaussPoints(m.parts, {}, &m.materials);
  const std::string numbering = GetCapturedStdout();
  // The part without a material model gets no points; its one message comes
  // from linking its material model, not from the numbering.
  EXPECT_EQ(numbering, "");

  // Shells 3 + 3 points, then the hexahedron (1) and the tetrahedron (1).
  ASSERT_EQ(m.points.gaussPointNum, 8);
  EXPECT_EQ(m.stores[0].shell_element_array_cpu[1].gaussPointIndex, 3);
  EXPECT_EQ(m.stores[1].solid_element_array_cpu[0].gaussPointIndex, 6);
  EXPECT_EQ(m.stores[1].solid_element_array_cpu[1].gaussPointIndex, 7);
  MaterialNew* elastic = m.materials.findMaterialNewIndexById(1);
  EXPECT_EQ(elastic->matStatusNum, 8);
  EXPECT_EQ(m.materials.findMaterialNewIndexById(2)->matStatusNum, 0);

  m.materials.createStatusArraysCpu();
  CaptureStdout();
  m.points.createGaussPoints(m.parts, {}, &m.materials);
  EXPECT_EQ(GetCapturedStdout(), "");
  for (int i = 0; i < 8; ++i) {
    const GaussPoint& p = m.points.gaussPointArrayCpu_[i];
    EXPECT_EQ(p.matStatusIndex_, i);
    EXPECT_NE(p.matStatus_, nullptr);
  }
  const GaussPoint& tetPoint = m.points.gaussPointArrayCpu_[7];
  EXPECT_EQ(tetPoint.element_, &m.stores[1].solid_element_array_cpu[1]);
  EXPECT_EQ(tetPoint.elementType_, ET_TETRA_TL);
  EXPECT_EQ(m.stores[0].shell_element_array_cpu[1].gaussPoint, &m.points.gaussPointArrayCpu_[3]);
  // Null material and missing material: no points.
  EXPECT_EQ(m.stores[2].solid_element_array_cpu[0].gaussPoint, nullptr);
  EXPECT_EQ(m.stores[3].solid_element_array_cpu[0].gaussPoint, nullptr);

  // Only the total-Lagrangian tetrahedron gets derivative arrays.
  m.points.setNodeNumAndAllocateShapePartial();
  EXPECT_EQ(tetPoint.nodeNumber_, 4);
  EXPECT_NE(tetPoint.shapePartialDx_, nullptr);
  EXPECT_EQ(m.points.gaussPointArrayCpu_[6].shapePartialDx_, nullptr);
}

TEST(IntegratPoints, StateCountMismatchIsReported) {
  PointModel m;
  CaptureStdout();
  m.points.numberGaussPoints(m.parts, {}, &m.materials);
  GetCapturedStdout();
  m.materials.findMaterialNewIndexById(1)->matStatusNum += 1;
  m.materials.createStatusArraysCpu();
  CaptureStdout();
  m.points.createGaussPoints(m.parts, {}, &m.materials);
  EXPECT_EQ(GetCapturedStdout(), "材料 1 的材料状态与高斯点的连接错误\n");
}

DEVICE_TEST(IntegratPoints, UploadAndTotalLagrangianCheck) {
  PointModel m;
  CaptureStdout();
  m.points.numberGaussPoints(m.parts, {}, &m.materials);
  m.materials.createStatusArraysCpu();
  m.points.createGaussPoints(m.parts, {}, &m.materials);
  m.points.setNodeNumAndAllocateShapePartial();
  GetCapturedStdout();
  // Make the hexahedron an incompatible-mode one: its point has no arrays.
  m.points.gaussPointArrayCpu_[6].elementType_ = ET_HEXA_INCOMPATIBLE;
  m.points.gaussPointArrayCpu_[7].shapePartialDx_[2] = 1.5;

  CaptureStdout();
  m.points.copyGaussPointToGpu();  // not allocated yet: reported, then allocated
  EXPECT_EQ(GetCapturedStdout(), "存储积分点的显存尚未分配\n");
  m.points.copyShapePartialToGpu();
  CaptureStdout();
  m.points.gpuVerTLBMatrix();
  EXPECT_EQ(GetCapturedStdout(), "TL格式下高斯点 B矩阵求解错误\n");

  GaussPoint back;
  ASSERT_EQ(cudaMemcpy(&back, m.points.gaussPointArrayGpu_ + 7, sizeof(GaussPoint), cudaMemcpyDeviceToHost),
            cudaSuccess);
  ASSERT_NE(back.shapePartialDx_, nullptr);
  EXPECT_NE(back.shapePartialDx_, m.points.gaussPointArrayCpu_[7].shapePartialDx_);
  double dx[4] = {};
  ASSERT_EQ(cudaMemcpy(dx, back.shapePartialDx_, sizeof(dx), cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(dx[2], 1.5);
}

DEVICE_TEST(IntegratPoints, DeviceLinksFollowTheHostNumbering) {
  PointModel m;
  CaptureStdout();
  m.points.numberGaussPoints(m.parts, {}, &m.materials);
  m.materials.createStatusArraysCpu();
  m.points.createGaussPoints(m.parts, {}, &m.materials);
  GetCapturedStdout();

  // Device copies of the materials with their state arrays, the section,
  // the element records and the driver's pointer arrays.
  m.materials.allocateAndCopyMaterialGpu();
  m.materials.copyStatusArraysToGpu(0);
  m.materials.allocateAndCopyMaterialNewGpu();
  m.materials.setMaterStatuPtrGpu(m.materials.materialNewArrayGpu_, 0);
  Section* sectionGpu = nullptr;
  CUDA_CHECK(cudaMalloc(&sectionGpu, sizeof(Section)));
  CUDA_CHECK(cudaMemcpy(sectionGpu, &m.solidSection, sizeof(Section), cudaMemcpyHostToDevice));
  for (int i = 0; i < 4; ++i) m.stores[i].allocateAndCopyGpu(m.parts[i].section);
  ElementControl driver;
  driver.allocateAndCopyElementPtr(m.parts);
  m.points.allocateGaussPointGpu();
  m.points.copyGaussPointToGpu();
  m.points.gpuLinkGaussPointToElement(&driver, m.materials.materialNewArrayGpu_, sectionGpu);

  std::vector<GaussPoint> dev(m.points.gaussPointNum);
  CUDA_CHECK(cudaMemcpy(dev.data(), m.points.gaussPointArrayGpu_, sizeof(GaussPoint) * dev.size(),
                        cudaMemcpyDeviceToHost));
  const char* states = reinterpret_cast<const char*>(m.materials.findMaterialNewIndexById(1)->matStatusArrayGpu_[0]);
  const Element* owners[8] = {m.stores[0].shell_element_array_gpu,     m.stores[0].shell_element_array_gpu,
                              m.stores[0].shell_element_array_gpu,     m.stores[0].shell_element_array_gpu + 1,
                              m.stores[0].shell_element_array_gpu + 1, m.stores[0].shell_element_array_gpu + 1,
                              m.stores[1].solid_element_array_gpu,     m.stores[1].solid_element_array_gpu + 1};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(dev[i].element_, owners[i]) << "point " << i;
    EXPECT_EQ(reinterpret_cast<const char*>(dev[i].matStatus_), states + i * sizeof(ElasticMaterialStatus))
        << "point " << i;
  }
  SolidElementCuda tet;
  CUDA_CHECK(cudaMemcpy(&tet, m.stores[1].solid_element_array_gpu + 1, sizeof(SolidElementCuda),
                        cudaMemcpyDeviceToHost));
  EXPECT_EQ(tet.gaussPoint, m.points.gaussPointArrayGpu_ + 7);
  CUDA_CHECK(cudaFree(sectionGpu));
}
