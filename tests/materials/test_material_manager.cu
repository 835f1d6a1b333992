#include "tests/deviceTest.h"

#include <cstdio>
#include <string>
#include <vector>

#include "core/logErrorPrint.h"
#include "materials/elasticplastic.h"
#include "materials/materialmanager.h"
#include "materialTestHelpers.h"
#include "platform/gpuRuntime.h"

namespace {

constexpr int kPointsPerMaterial = 2;
constexpr int kSteps = 40;

// Links point j to its material's device state array, then runs every
// step's 3-D update on it.  Points of a material without a model are skipped.
__global__ void RunDeviceUpdates(int n, MaterialNew** materials, GaussPoint* points, const int* materialIndex,
                                 const double* gradients, int steps, double dt) {
  const int j = blockDim.x * blockIdx.x + threadIdx.x;
  if (j >= n) return;
  MaterialNew* material = materials[materialIndex[j]];
  if (material == nullptr) return;
  material->linkMatStatuToGaussPoint(points + j, material->matStatusArrayGpu_[0]);
  double S[3][3];
  for (int s = 0; s < steps; ++s) {
    double L[3][3];
    for (int a = 0; a < 9; ++a) L[a / 3][a % 3] = gradients[(j * steps + s) * 9 + a];
    material->computeStressMatrix3D(points + j, L, S, dt);
  }
}

Material plasticTable(int id) {
  Material m = makeSteelRecord(4, id);
  m.plastic_model = 4;
  m.table_count = 2;
  m.table_strain[1] = 0.05;
  m.table_stress[0] = 250e6;
  m.table_stress[1] = 400e6;
  m.calMaterialConstants();
  return m;
}

// A gradient with stretch, shear and spin, different for every point and step.
double gradient(int j, int s, int a) {
  const double base[9] = {3.0, 1.0, -0.5, -2.0, -1.0, 0.7, 0.4, 0.2, -1.5};
  return base[a] * 1e-3 * (1.0 + 0.3 * j) * (1.0 + 0.05 * s);
}

}  // namespace

DEVICE_TEST(MaterialManager, RefusedCodesGetNoObjectAndLookupsFindTheRest) {
  MaterialManager manager;
  const int types[] = {2, 3, 0, 5, 1, 10, 11, 12, 6, 42};
  int id = 10;
  for (int t : types) manager.material_array.push_back(makeSteelRecord(t, id--));
  manager.buildMaterialIdMap();
  EXPECT_EQ(manager.material_array.front().id, 1);
  EXPECT_EQ(manager.findMaterialIndexById(4)->type, 11);
  EXPECT_EQ(manager.findMaterialIndexById(77), nullptr);

  testing::internal::CaptureStdout();
  manager.createMaterialNewArray();
  fflush(stdout);
  const std::string out = testing::internal::GetCapturedStdout();
  size_t messages = 0;
  for (size_t at = out.find("当前没有这种材料，请补充\n"); at != std::string::npos;
       at = out.find("当前没有这种材料，请补充\n", at + 1))
    ++messages;
  EXPECT_EQ(messages, 6u);  // codes 3, 5, 10, 11, 12, 42
  manager.buildMaterialNewIdMap();
  ASSERT_EQ(manager.material_num, 10);
  ASSERT_EQ(manager.materialNewArray.size(), 10u);
  EXPECT_EQ(manager.findMaterialNewIndexById(10)->type, MT_LINEAR_ELASTIC);
  EXPECT_EQ(manager.findMaterialNewIndexById(2)->type, MT_LINEAR_STIFFNESS_66);
  EXPECT_EQ(manager.findMaterialNewIndexById(3), nullptr);  // code 12
  EXPECT_EQ(manager.materialNewArray[2], nullptr);
  EXPECT_EQ(manager.findMaterialNewIndexById(99), nullptr);

  // Every later pass skips the empty slots, on the host and on the device.
  manager.materialNewArray[1]->matStatusNum = 0;
  manager.createStatusArraysCpu();
  manager.allocateAndCopyMaterialGpu();
  manager.copyStatusArraysToGpu(0);
  testing::internal::CaptureStdout();
  manager.allocateAndCopyMaterialNewGpu();
  manager.setMaterStatuPtrGpu(manager.materialNewArrayGpu_, 0);
  fflush(stdout);
  testing::internal::GetCapturedStdout();
  std::vector<MaterialNew*> device(10, nullptr);
  ASSERT_EQ(cudaMemcpy(device.data(), manager.materialNewArrayGpu_, sizeof(MaterialNew*) * 10, cudaMemcpyDeviceToHost),
            cudaSuccess);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(device[i] == nullptr, manager.materialNewArray[i] == nullptr) << i;
}

DEVICE_TEST(MaterialManager, DeviceObjectsAnswerLikeHostObjects) {
  MaterialManager manager;
  manager.material_array.push_back(makeSteelRecord(2, 1));
  Material bilinear = makeSteelRecord(4, 2);
  manager.material_array.push_back(bilinear);
  manager.material_array.push_back(makeSteelRecord(11, 3));  // no model
  manager.material_array.push_back(plasticTable(4));
  manager.buildMaterialIdMap();
  testing::internal::CaptureStdout();
  manager.createMaterialNewArray();
  manager.buildMaterialNewIdMap();
  const int materialNum = manager.material_num;

  // Two points per modelled material, numbered per material.
  std::vector<GaussPoint> hostPoints;
  std::vector<int> materialIndex;
  for (int m = 0; m < materialNum; ++m) {
    MaterialNew* object = manager.materialNewArray[m];
    for (int k = 0; k < kPointsPerMaterial; ++k) {
      GaussPoint gp;
      gp.matStatusIndex_ = k;
      hostPoints.push_back(gp);
      materialIndex.push_back(m);
      if (object != nullptr) object->matStatusNum += 1;
    }
  }
  manager.createStatusArraysCpu();
  const int n = static_cast<int>(hostPoints.size());
  std::vector<double> gradients(size_t(n) * kSteps * 9);
  for (int j = 0; j < n; ++j)
    for (int s = 0; s < kSteps; ++s)
      for (int a = 0; a < 9; ++a) gradients[(size_t(j) * kSteps + s) * 9 + a] = gradient(j, s, a);

  // Device side: records, state arrays, objects and state pointers, as the
  // GPU set-up does, before any host update changes the states.
  manager.allocateAndCopyMaterialGpu();
  manager.copyStatusArraysToGpu(0);
  manager.allocateAndCopyMaterialNewGpu();
  manager.setMaterStatuPtrGpu(manager.materialNewArrayGpu_, 0);
  fflush(stdout);
  testing::internal::GetCapturedStdout();

  GaussPoint* pointsGpu = nullptr;
  int* indexGpu = nullptr;
  double* gradientsGpu = nullptr;
  CUDA_CHECK(cudaMalloc(&pointsGpu, sizeof(GaussPoint) * n));
  CUDA_CHECK(cudaMalloc(&indexGpu, sizeof(int) * n));
  CUDA_CHECK(cudaMalloc(&gradientsGpu, sizeof(double) * gradients.size()));
  CUDA_CHECK(cudaMemcpy(pointsGpu, hostPoints.data(), sizeof(GaussPoint) * n, cudaMemcpyHostToDevice));
  CUDA_CHECK(cudaMemcpy(indexGpu, materialIndex.data(), sizeof(int) * n, cudaMemcpyHostToDevice));
  CUDA_CHECK(cudaMemcpy(gradientsGpu, gradients.data(), sizeof(double) * gradients.size(), cudaMemcpyHostToDevice));
  const double dt = 1.0;
  launch(RunDeviceUpdates, dim3((n + 31) / 32), dim3(32), n, manager.materialNewArrayGpu_, pointsGpu,
         static_cast<const int*>(indexGpu), static_cast<const double*>(gradientsGpu), kSteps, dt);
  CUDA_CHECK(cudaDeviceSynchronize());

  // Host side: the same links and updates with the host objects.
  for (int j = 0; j < n; ++j) {
    MaterialNew* object = manager.materialNewArray[materialIndex[j]];
    if (object == nullptr) continue;
    object->linkMatStatuToGaussPoint(&hostPoints[j], object->matStatusArrayCpu_);
    double S[3][3];
    for (int s = 0; s < kSteps; ++s) {
      double L[3][3];
      for (int a = 0; a < 9; ++a) L[a / 3][a % 3] = gradients[(size_t(j) * kSteps + s) * 9 + a];
      object->computeStressMatrix3D(&hostPoints[j], L, S, dt);
    }
  }

  bool anyPlastic = false;
  for (int m = 0; m < materialNum; ++m) {
    MaterialNew* object = manager.materialNewArray[m];
    if (object == nullptr) continue;
    if (object->type == MT_ELASTIC_PLASTIC) {
      std::vector<PlasticMaterialStatus> back(kPointsPerMaterial);
      CUDA_CHECK(cudaMemcpy(back.data(), object->matStatusArrayGpu_[0],
                            sizeof(PlasticMaterialStatus) * kPointsPerMaterial, cudaMemcpyDeviceToHost));
      const auto* host = static_cast<PlasticMaterialStatus*>(object->matStatusArrayCpu_);
      for (int k = 0; k < kPointsPerMaterial; ++k) {
        for (int c = 0; c < 6; ++c) {
          EXPECT_DOUBLE_EQ(back[k].stress[c], host[k].stress[c]) << "material " << m << " point " << k;
          EXPECT_DOUBLE_EQ(back[k].strain[c], host[k].strain[c]);
        }
        EXPECT_DOUBLE_EQ(back[k].k, host[k].k);
        EXPECT_DOUBLE_EQ(back[k].eps_p, host[k].eps_p);
        anyPlastic = anyPlastic || host[k].eps_p > 0.0;
      }
    } else {
      std::vector<ElasticMaterialStatus> back(kPointsPerMaterial);
      CUDA_CHECK(cudaMemcpy(back.data(), object->matStatusArrayGpu_[0],
                            sizeof(ElasticMaterialStatus) * kPointsPerMaterial, cudaMemcpyDeviceToHost));
      const auto* host = static_cast<ElasticMaterialStatus*>(object->matStatusArrayCpu_);
      for (int k = 0; k < kPointsPerMaterial; ++k)
        for (int c = 0; c < 6; ++c) {
          EXPECT_DOUBLE_EQ(back[k].stress[c], host[k].stress[c]);
          EXPECT_NE(host[k].stress[c], 0.0);
        }
    }
  }
  EXPECT_TRUE(anyPlastic);
  CUDA_CHECK(cudaFree(pointsGpu));
  CUDA_CHECK(cudaFree(indexGpu));
  CUDA_CHECK(cudaFree(gradientsGpu));
}

DEVICE_TEST(MaterialManager, RebuildingTheDeviceModelsReleasesTheEarlierOnes) {
  MaterialManager manager;
  manager.material_array.push_back(makeSteelRecord(2, 1));
  manager.buildMaterialIdMap();
  manager.createMaterialNewArray();
  manager.allocateAndCopyMaterialNewGpu();
  manager.material_array.push_back(makeSteelRecord(4, 2));
  manager.createMaterialNewArray();
  manager.allocateAndCopyMaterialNewGpu();  // more slots than before
  std::vector<MaterialNew*> device(2, nullptr);
  CUDA_CHECK(cudaMemcpy(device.data(), manager.materialNewArrayGpu_, sizeof(MaterialNew*) * 2, cudaMemcpyDeviceToHost));
  EXPECT_NE(device[0], nullptr);
  EXPECT_NE(device[1], nullptr);
}
