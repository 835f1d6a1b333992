#include "materials/materialmanager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/deviceFree.h"
#include "core/eror_test.h"
#include "core/logErrorPrint.h"
#include "materials/elasticplastic.h"
#include "materials/linearelastic.h"
#include "materials/lowdensityfoam.h"
#include "materials/mooneyrivlinmaterial.h"
#include "materials/nullmaterial.h"

namespace {

// Host objects are made with new and destroyed with delete (callable from
// the shared dispatcher; only host code uses it).
struct HostMaterialAlloc {
  template <typename Model>
  __host__ __device__ static MaterialNew* make(const Material* record) {
    return new Model(record);
  }
};

// Device objects live on the device heap; a failed allocation gives null.
struct DeviceMaterialAlloc {
  template <typename Model>
  __host__ __device__ static MaterialNew* make(const Material* record) {
    void* memory = malloc(sizeof(Model));
    return memory != nullptr ? new (memory) Model(record) : nullptr;
  }
};

// The model object of a record's type code; null after the message for a
// code without a model.
template <typename Alloc>
__host__ __device__ MaterialNew* makeMaterialNew(const Material* record) {
  switch (record->type) {
    case MT_NULL:
      return Alloc::template make<NullMaterial>(record);
    case MT_RIGID:
      return Alloc::template make<RigidMaterial>(record);
    case MT_LINEAR_ELASTIC:
      return Alloc::template make<LinearElasticMaterial>(record);
    case MT_ELASTIC_PLASTIC:
      return Alloc::template make<ElasticPlasticMaterial>(record);
    case MT_LINEAR_STIFFNESS_66:
      return Alloc::template make<LinearStiffnessMaterial66>(record);
    case MT_GENERAL_NONLINEAR:
      return Alloc::template make<GeneralNonlnearMaterial119>(record);
    case MT_MOONEY_RIVLIN:
      return Alloc::template make<MooneyRivlinMaterial>(record);
    case MT_LOW_DENSITY_FOAM:
      return Alloc::template make<LowDensityFoamAbaqusMaterial>(record);
    default:
      printf("当前没有这种材料，请补充\n");
      return nullptr;
  }
}

}  // namespace

__global__ void GpuCreateMaterialNewArrayData(int n, Material* records, MaterialNew** out) {
  const int i = blockDim.x * blockIdx.x + threadIdx.x;
  if (i >= n) return;
  const Material* record = records + i;
  if (!isMaterialTypeBuilt(record->type)) {
    printf("当前没有这种材料，请补充\n");
    return;
  }
  MaterialNew* object = makeMaterialNew<DeviceMaterialAlloc>(record);
  out[i] = object;
  if (object != nullptr && record->type == MT_ELASTIC_PLASTIC && object->id != record->id) {
    printf("cpu端建立新式材料错误\n");
  }
}

__global__ void GpuSetMaterStatuPtr(MaterialNew** array, MaterialStatus* states, int i) {
  if (blockDim.x * blockIdx.x + threadIdx.x != 0) return;
  MaterialNew* object = array[i];
  if (object != nullptr) object->matStatusArrayGpu_[0] = states;
}

__global__ void GpuDestroyMaterialNewArrayData(int n, MaterialNew** objects) {
  const int i = blockDim.x * blockIdx.x + threadIdx.x;
  if (i >= n) return;
  // Device objects own nothing: releasing their storage is enough.
  free(objects[i]);
  objects[i] = nullptr;
}

MaterialNew* MaterialManager::createMaterialNew(const Material* record) {
  return makeMaterialNew<HostMaterialAlloc>(record);
}

MaterialManager::~MaterialManager() {
  if (materialNewArrayGpu_ != nullptr) {
    // Surfaces a pending kernel failure here, before the frees.
    launch(globalTest, dim3(1), dim3(1));
    releaseMaterialNewGpu();
  }
  freeDevice(material_array_gpu);
  for (MaterialNew* object : materialNewArray) delete object;
}

void MaterialManager::releaseMaterialNewGpu() {
  if (materialNewArrayGpu_ == nullptr) return;
  const int n = materialNewGpuNum_;
  launch(GpuDestroyMaterialNewArrayData, dim3((n + 63) / 64), dim3(64), n, materialNewArrayGpu_);
  CUDA_CHECK(cudaDeviceSynchronize());
  CUDA_CHECK(cudaFree(materialNewArrayGpu_));
  materialNewArrayGpu_ = nullptr;
  materialNewGpuNum_ = 0;
}

void MaterialManager::buildMaterialIdMap() {
  std::stable_sort(material_array.begin(), material_array.end(),
                   [](const Material& a, const Material& b) { return a.id < b.id; });
  materialMap.clear();
  for (Material& m : material_array) materialMap.emplace(m.id, &m);
}

void MaterialManager::createMaterialNewArray() {
  for (MaterialNew* object : materialNewArray) delete object;
  material_num = static_cast<int>(material_array.size());
  materialNewArray.assign(material_num, nullptr);
  for (int i = 0; i < material_num; ++i) materialNewArray[i] = createMaterialNew(&material_array[i]);
}

void MaterialManager::buildMaterialNewIdMap() {
  // The objects were made from the records in id order, so position i stays
  // the object of record i (kernels index the device twins the same way).
  materialNewMap.clear();
  for (MaterialNew* object : materialNewArray) {
    if (object != nullptr) materialNewMap.emplace(object->id, object);
  }
}

void MaterialManager::createStatusArraysCpu() {
  for (MaterialNew* object : materialNewArray) {
    if (object != nullptr && object->matStatusNum > 0) object->createStatusArrayCpu();
  }
}

void MaterialManager::allocateAndCopyMaterialGpu() {
  if (material_array.empty()) return;
  freeDevice(material_array_gpu);
  CUDA_CHECK(cudaMalloc((void**)&material_array_gpu, sizeof(Material) * material_array.size()));
  CUDA_CHECK(cudaMemcpy(material_array_gpu, material_array.data(), sizeof(Material) * material_array.size(), cudaMemcpyHostToDevice));
  materialGpuNum_ = static_cast<int>(material_array.size());
}

void MaterialManager::copyStatusArraysToGpu(int gpu_id) {
  for (MaterialNew* object : materialNewArray) {
    if (object != nullptr && object->matStatusNum > 0) object->copyStatusArrayToGpu(gpu_id);
  }
}

void MaterialManager::allocateAndCopyMaterialNewGpu() {
  const int n = material_num;
  if (n < 1) return;
  // The kernel reads n records: upload them unless exactly these are there.
  if (material_array_gpu == nullptr || materialGpuNum_ != n) allocateAndCopyMaterialGpu();
  releaseMaterialNewGpu();  // built before: the earlier device objects go first
  CUDA_CHECK(cudaMalloc((void**)&materialNewArrayGpu_, sizeof(MaterialNew*) * n));
  materialNewGpuNum_ = n;
  // Slots of records without a model stay null.
  CUDA_CHECK(cudaMemset(materialNewArrayGpu_, 0, sizeof(MaterialNew*) * n));
  launch(GpuCreateMaterialNewArrayData, dim3((n - 1) / 64 + 1), dim3(64), n, material_array_gpu, materialNewArrayGpu_);
  CUDA_CHECK(cudaDeviceSynchronize());
}

void MaterialManager::setMaterStatuPtrGpu(MaterialNew** deviceArray, int gpu_id) {
  if (deviceArray == nullptr || gpu_id < 0 || gpu_id >= kMaxGpuNum) return;
  for (int i = 0; i < static_cast<int>(materialNewArray.size()); ++i) {
    MaterialNew* object = materialNewArray[i];
    if (object == nullptr || object->matStatusNum <= 0) continue;
    launch(GpuSetMaterStatuPtr, dim3(1), dim3(1), deviceArray, object->matStatusArrayGpu_[gpu_id], i);
  }
  CUDA_CHECK(cudaDeviceSynchronize());
}

Material* MaterialManager::findMaterialIndexById(int id) {
  const auto it = materialMap.find(id);
  return it == materialMap.end() ? nullptr : it->second;
}

MaterialNew* MaterialManager::findMaterialNewIndexById(int id) {
  const auto it = materialNewMap.find(id);
  return it == materialNewMap.end() ? nullptr : it->second;
}

std::string MaterialManager::cardOf(int id) const {
  const auto it = cards.find(id);
  return it == cards.end() ? "material " + std::to_string(id) : it->second;
}
