// Numbering of the integration points over all parts, their links to
// elements and material states on the host and on the device, and the
// device copies of the reference shape derivatives.
#include "elements/common/integratpointmanager.h"

#include <cstdio>
#include <type_traits>

#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "core/repeatedMessage.h"
#include "core/part.h"
#include "core/section.h"
#include "elements/common/element.h"
#include "elements/common/elementControl.h"
#include "elements/common/elmmanager.h"
#include "materials/materialmanager.h"
#include "materials/materialnew.h"

namespace {

// Parts whose elements take integration points: a material model that is
// neither null nor rigid and a section without a smoothed-FEM kind.  A part
// without a material model was already reported when its model was linked.
bool partTakesPoints(const Part& part) {
  if (part.elmManager == nullptr || part.materialNew == nullptr) return false;
  if (part.materialNew->type == MT_NULL || part.materialNew->type == MT_RIGID) return false;
  if (part.section == nullptr || part.section->sfem_kind != 0) return false;
  return true;
}

// Visits the part's elements in the numbering order: family by family in
// the order of their point rank (shells, solids, beams, discrete, second-order
// solids, shells, beams).
template <typename F>
void forEachNumberedElement(ElmManager& m, F&& f) {
  for (int rank = 0; rank < kElementFamilyNum; ++rank) {
    m.forEachFamily([&](auto tag, auto& records) {
      if (decltype(tag)::row.pointRank != rank) return;
      for (auto& e : records) f(static_cast<Element&>(e));
    });
  }
}

// Material object at position id-1 of the manager, or null.
MaterialNew* materialAt(MaterialManager* materials, int id) {
  if (materials == nullptr || id < 1 || id > static_cast<int>(materials->materialNewArray.size())) return nullptr;
  return materials->materialNewArray[id - 1];
}

template <typename T>
__host__ __device__ void linkElementPoints(int i, int n, GaussPoint* points, T** elements, Section* sections,
                                           MaterialNew** materials, int statusSlot) {
  if (i >= n) return;
  T* e = elements[i];
  // Elements that were not numbered on the host (null or rigid material,
  // no material model) carry no point pointer and own no points.
  if (e == nullptr || e->gaussPoint == nullptr || e->integratPointNum <= 0) return;
  const Section& section = sections[e->section_id - 1];
  if (section.sfem_kind != 0) return;
  MaterialNew* material = materials[e->material_id - 1];
  e->linkGaussPoint(points, e->type, e->integratPointNum);
  if (material != nullptr)
    e->linkMatStatusToGauss(e->integratPointNum, material->matStatusArrayGpu_[statusSlot], material);
}

template <typename T>
void launchLink(int n, GaussPoint* points, T** elements, Section* sections, MaterialNew** materials,
                void (*kernel)(int, GaussPoint*, T**, Section*, MaterialNew**, int)) {
  if (n <= 0 || elements == nullptr) return;
  launch(kernel, dim3((n - 1) / 16 + 1), dim3(16), n, points, elements, sections, materials, 0);
}

}  // namespace

template <typename T>
__global__ void GpuLinkGaussPointToElement(int n, GaussPoint* points, T** elements, Section* sections,
                                           MaterialNew** materials, int statusSlot) {
  linkElementPoints(blockDim.x * blockIdx.x + threadIdx.x, n, points, elements, sections, materials, statusSlot);
}

// Smoothed-FEM domain i (records of recordBytes bytes, each beginning with
// its element part) gets its one point and state record.
__global__ void GpuLinkGaussPointToSFEM(int n, GaussPoint* points, Element* records, int recordBytes,
                                        MaterialNew** materials, int statusSlot) {
  const int i = blockDim.x * blockIdx.x + threadIdx.x;
  if (i >= n) return;
  Element* rec = reinterpret_cast<Element*>(reinterpret_cast<char*>(records) + static_cast<long long>(i) * recordBytes);
  MaterialNew* material = materials[rec->material_id - 1];
  rec->linkGaussPoint(points, ET_NONE, 1);
  if (material != nullptr) rec->linkMatStatusToGauss(1, material->matStatusArrayGpu_[statusSlot], material);
}

__global__ void GpuVerTLBMatrix(int n, GaussPoint* points) {
  const int i = blockDim.x * blockIdx.x + threadIdx.x;
  if (i >= n) return;
  const GaussPoint& p = points[i];
  if (p.elementType_ != ET_TETRA_TL && p.elementType_ != ET_PYRAMID_TL && p.elementType_ != ET_HEXA_INCOMPATIBLE)
    return;
  if (p.shapePartialDx_ == nullptr || p.shapePartialDy_ == nullptr || p.shapePartialDz_ == nullptr)
    printf("TL格式下高斯点 B矩阵求解错误\n");
}

IntegratPointManager::~IntegratPointManager() {
  releaseDevicePartials();
  releaseHostPartials();
  freeDevice(gaussPointArrayGpu_);
}

void IntegratPointManager::releaseDevicePartials() {
  for (int i : devicePartialPoints_) {
    GaussPoint* gaussDevice = gaussPointArrayGpu_ + i;
    double* tmp_dx = nullptr;
    double* tmp_dy = nullptr;
    double* tmp_dz = nullptr;
    CUDA_CHECK(cudaMemcpy(&tmp_dx, &gaussDevice->shapePartialDx_, sizeof(double*), cudaMemcpyDeviceToHost));
    CUDA_CHECK(cudaMemcpy(&tmp_dy, &gaussDevice->shapePartialDy_, sizeof(double*), cudaMemcpyDeviceToHost));
    CUDA_CHECK(cudaMemcpy(&tmp_dz, &gaussDevice->shapePartialDz_, sizeof(double*), cudaMemcpyDeviceToHost));
    freeDevice(tmp_dx);
    freeDevice(tmp_dy);
    freeDevice(tmp_dz);
  }
  devicePartialPoints_.clear();
}

void IntegratPointManager::releaseHostPartials() {
  for (GaussPoint& p : gaussPointArrayCpu_) freeShapePartial(p);
}

void IntegratPointManager::numberGaussPoints(std::vector<Part>& parts, const std::vector<Element*>& smoothDomains,
                                             MaterialManager* materials) {
  gaussPointNum = 0;
  for (Part& part : parts) {
    if (!partTakesPoints(part)) continue;
    const int first = gaussPointNum;
    forEachNumberedElement(*part.elmManager, [&](Element& e) {
      e.gaussPointIndex = gaussPointNum;
      gaussPointNum += e.integratPointNum > 0 ? e.integratPointNum : 0;
    });
    part.materialNew->matStatusNum += gaussPointNum - first;
  }
  const int smoothNum = static_cast<int>(smoothDomains.size());
  for (int k = 0; k < smoothNum; ++k) {
    Element* rec = smoothDomains[k];
    rec->gaussPointIndex = gaussPointNum + k;
    MaterialNew* material = materialAt(materials, rec->material_id);
    if (material != nullptr)
      material->matStatusNum += 1;
    else
      printf("光滑域 %d 的材料 %d 不存在\n", rec->id, rec->material_id);
  }
  gaussPointNum += smoothNum;
  releaseHostPartials();
  gaussPointArrayCpu_.assign(gaussPointNum, GaussPoint());
}

void IntegratPointManager::createGaussPoints(std::vector<Part>& parts, const std::vector<Element*>& smoothDomains,
                                             MaterialManager* materials) {
  const int materialNum = materials != nullptr ? static_cast<int>(materials->materialNewArray.size()) : 0;
  std::vector<int> offset(materialNum, 0);
  GaussPoint* points = gaussPointArrayCpu_.data();
  const int pointNum = static_cast<int>(gaussPointArrayCpu_.size());

  auto link = [&](Element& e, MaterialNew* material, ElementNewType type, int n) {
    if (n <= 0) return;
    const int m = material->id - 1;
    if (m < 0 || m >= materialNum || e.gaussPointIndex < 0 || e.gaussPointIndex + n > pointNum) {
      noteRepeated(REPEATED_GAUSS_POINT_RANGE, e.id);
      return;
    }
    e.linkGaussPoint(points, type, n);
    e.setGaussPointIndex(n, offset[m]);
    e.linkMatStatusToGauss(n, material->matStatusArrayCpu_, material);
    offset[m] += n;
  };

  for (Part& part : parts) {
    if (!partTakesPoints(part)) continue;
    MaterialNew* material = part.materialNew;
    forEachNumberedElement(*part.elmManager, [&](Element& e) { link(e, material, e.type, e.integratPointNum); });
  }
  for (Element* rec : smoothDomains) {
    MaterialNew* material = materials != nullptr ? materials->findMaterialNewIndexById(rec->material_id) : nullptr;
    if (material == nullptr) continue;
    link(*rec, material, ET_NONE, 1);
  }
  for (int m = 0; m < materialNum; ++m) {
    MaterialNew* material = materials->materialNewArray[m];
    if (material != nullptr && material->matStatusNum != offset[m])
      printf("材料 %d 的材料状态与高斯点的连接错误\n", material->id);
  }
}

void IntegratPointManager::setNodeNumAndAllocateShapePartial() {
  for (GaussPoint& p : gaussPointArrayCpu_) ::setNodeNumAndAllocateShapePartial(p);
}

void IntegratPointManager::allocateGaussPointGpu() {
  if (gaussPointNum <= 0 || gaussPointArrayGpu_ != nullptr) return;
  CUDA_CHECK(cudaMalloc(&gaussPointArrayGpu_, sizeof(GaussPoint)*gaussPointNum));
}

void IntegratPointManager::copyGaussPointToGpu() {
  if (gaussPointNum <= 0) return;
  if (gaussPointArrayGpu_ == nullptr) {
    printf("存储积分点的显存尚未分配\n");
    allocateGaussPointGpu();
  }
  int copyNum = gaussPointNum;
  if (static_cast<int>(gaussPointArrayCpu_.size()) != gaussPointNum) {
    printf("积分点的统计出现错误\n");
    // Never read past the host vector nor write past the device array.
    if (static_cast<int>(gaussPointArrayCpu_.size()) < copyNum) copyNum = static_cast<int>(gaussPointArrayCpu_.size());
  }
  if (copyNum > 0)
    CUDA_CHECK(cudaMemcpy(gaussPointArrayGpu_, gaussPointArrayCpu_.data(), sizeof(GaussPoint)*copyNum, cudaMemcpyHostToDevice));
}

void IntegratPointManager::gpuLinkGaussPointToElement(ElementControl* elements, MaterialNew** materials,
                                                      Section* sections) {
  if (elements == nullptr || gaussPointArrayGpu_ == nullptr) return;
  GaussPoint* points = gaussPointArrayGpu_;
  elements->forEachFamily([&](auto, auto pointers, int count) {
    using Record = std::remove_pointer_t<std::remove_pointer_t<decltype(pointers)>>;
    launchLink(count, points, pointers, sections, materials, GpuLinkGaussPointToElement<Record>);
  });
  CUDA_CHECK(cudaGetLastError());
}

void IntegratPointManager::gpuLinkGaussPointToSFEM(Element* smoothRecords, int smoothNum, int recordBytes,
                                                   MaterialNew** materials) {
  if (smoothRecords == nullptr || smoothNum <= 0 || gaussPointArrayGpu_ == nullptr) return;
  launch(GpuLinkGaussPointToSFEM, dim3((smoothNum - 1) / 64 + 1), dim3(64), smoothNum, gaussPointArrayGpu_,
         smoothRecords, recordBytes, materials, 0);
  CUDA_CHECK(cudaGetLastError());
}

void IntegratPointManager::copyShapePartialToGpu() {
  if (gaussPointArrayGpu_ == nullptr) return;
  releaseDevicePartials();
  const int n = static_cast<int>(gaussPointArrayCpu_.size()) < gaussPointNum
                    ? static_cast<int>(gaussPointArrayCpu_.size())
                    : gaussPointNum;
  for (int i = 0; i < n; ++i) {
    GaussPoint* gaussHost = &gaussPointArrayCpu_[i];
    if (gaussHost->element_ == nullptr || gaussHost->element_->tlFlag != 1) continue;
    if (gaussHost->shapePartialDx_ == nullptr || gaussHost->nodeNumber_ <= 0) continue;
    GaussPoint* gaussDevice = gaussPointArrayGpu_ + i;
    double* tmp_dx = nullptr;
    double* tmp_dy = nullptr;
    double* tmp_dz = nullptr;
    CUDA_CHECK(cudaMalloc(&tmp_dx, sizeof(double)*gaussHost->nodeNumber_));
    CUDA_CHECK(cudaMalloc(&tmp_dy, sizeof(double)*gaussHost->nodeNumber_));
    CUDA_CHECK(cudaMalloc(&tmp_dz, sizeof(double)*gaussHost->nodeNumber_));
    CUDA_CHECK(cudaMemcpy(tmp_dx, gaussHost->shapePartialDx_, sizeof(double)*gaussHost->nodeNumber_, cudaMemcpyHostToDevice));
    CUDA_CHECK(cudaMemcpy(tmp_dy, gaussHost->shapePartialDy_, sizeof(double)*gaussHost->nodeNumber_, cudaMemcpyHostToDevice));
    CUDA_CHECK(cudaMemcpy(tmp_dz, gaussHost->shapePartialDz_, sizeof(double)*gaussHost->nodeNumber_, cudaMemcpyHostToDevice));
    CUDA_CHECK(cudaMemcpy(&gaussDevice->shapePartialDx_, &tmp_dx, sizeof(double*), cudaMemcpyHostToDevice));
    CUDA_CHECK(cudaMemcpy(&gaussDevice->shapePartialDy_, &tmp_dy, sizeof(double*), cudaMemcpyHostToDevice));
    CUDA_CHECK(cudaMemcpy(&gaussDevice->shapePartialDz_, &tmp_dz, sizeof(double*), cudaMemcpyHostToDevice));
    devicePartialPoints_.push_back(i);
  }
}

void IntegratPointManager::gpuVerTLBMatrix() {
  if (gaussPointNum <= 0 || gaussPointArrayGpu_ == nullptr) return;
  launch(GpuVerTLBMatrix, dim3((gaussPointNum - 1) / 64 + 1), dim3(64), gaussPointNum, gaussPointArrayGpu_);
  CUDA_CHECK(cudaGetLastError());
}
