// Device side of the smoothed-FEM manager: upload of the records with their
// node arrays, and the kernels over the domains.
#include <cstddef>
#include <cstdio>

#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "elements/smoothFem/smoothFemKernels.h"
#include "elements/smoothFem/smoothFemManager.h"

__global__ void GpuLinkNodeForSmoothFem(int n, SmoothFEM* domains, NodeCuda* nodes) {
  const int i = blockDim.x * blockIdx.x + threadIdx.x;
  if (i < n) domains[i].bulidNodeLink(nodes);
}

// One domain per thread (grid-stride), each writing its own force shares.
// The domains give no time step: their part's elements do.
__global__ void _AllSmoothFemInterFor(MaterialNew** materials, Section* /*sections*/, HourglassControl* /*hourglass*/,
                                      SmoothFEM* domains, int n, double dt, double* forceShares) {
  const int stride = blockDim.x * gridDim.x;
  for (int i = blockDim.x * blockIdx.x + threadIdx.x; i < n; i += stride) {
    SmoothFEM& d = domains[i];
    if (d.material_id < 1) continue;
    const MaterialNew* material = materials[d.material_id - 1];
    if (material == nullptr) continue;
    if (material->id != d.material_id) printf("材料与属性调用错误\n");
    d.computeSmoothFemInterForceGpu(material, dt, forceShares);
  }
}

__global__ void GpuAccumulateSmoothElementStrToNode(int n, SmoothFEM* domains, Section* /*sections*/,
                                                    double* stressShares, double* weightShares) {
  const int i = blockDim.x * blockIdx.x + threadIdx.x;
  if (i < n) domains[i].computeSmoothFemNodeStressStrainGpu(stressShares, weightShares);
}

// The node's stress and strain lie side by side, so one slot of twelve
// shares adds into both.
static_assert(offsetof(NodeCuda, strain) == offsetof(NodeCuda, stress) + 6 * sizeof(double));

template <class Field>
std::vector<double*> SmoothFemManager::slotTargets(Field field) const {
  std::vector<double*> targets;
  for (const SmoothFEM& rec : smoothFemArrayCpu_)
    for (int j = 0; j < rec.node_num; ++j) targets.push_back(field(deviceNodes_ + (rec.nodeIdArray_[j] - 1)));
  return targets;
}

void SmoothFemManager::addForcesGpu(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                    double dt) {
  if (smoothFemNumber_ <= 0 || smoothFemArrayGpu_ == nullptr) return;
  launch(_AllSmoothFemInterFor, dim3((smoothFemNumber_ - 1) / 128 + 1), dim3(128), materials, sections, hourglass,
         smoothFemArrayGpu_, smoothFemNumber_, dt, forceShares_.shares());
  forceShares_.addIntoTargets();
}

void SmoothFemManager::addNodeStressStrainGpu(Section* sections) {
  if (smoothFemNumber_ <= 0 || smoothFemArrayGpu_ == nullptr) return;
  if (stressShares_.slotCount() == 0) {
    stressShares_.build(slotTargets([](NodeCuda* nd) { return nd->stress; }), 12);
    weightShares_.build(slotTargets([](NodeCuda* nd) { return &nd->stress_weight; }), 1);
  }
  launch(GpuAccumulateSmoothElementStrToNode, dim3((smoothFemNumber_ - 1) / 64 + 1), dim3(64), smoothFemNumber_,
         smoothFemArrayGpu_, sections, stressShares_.shares(), weightShares_.shares());
  stressShares_.addIntoTargets();
  weightShares_.addIntoTargets();
}

SmoothFemManager::~SmoothFemManager() {
  for (void* p : deviceStore_) CUDA_CHECK(cudaFree(p));
  freeDevice(smoothFemArrayGpu_);
}

void SmoothFemManager::allocateGpu() {
  if (smoothFemNumber_ <= 0 || smoothFemArrayGpu_ != nullptr) return;
  CUDA_CHECK(cudaMalloc(&smoothFemArrayGpu_, sizeof(SmoothFEM)*smoothFemNumber_));
}

void SmoothFemManager::copySmoothFemToGpu(NodeManager* nodeManager) {
  if (smoothFemNumber_ <= 0 || nodeManager == nullptr) return;
  if (smoothFemArrayGpu_ == nullptr) allocateGpu();
  int slots = 0;
  for (SmoothFEM& rec : smoothFemArrayCpu_) {
    rec.shareSlot = slots;
    slots += rec.node_num;
  }
  CUDA_CHECK(cudaMemcpy(smoothFemArrayGpu_, smoothFemArrayCpu_.data(), sizeof(SmoothFEM)*smoothFemNumber_, cudaMemcpyHostToDevice));
  for (int i = 0; i < smoothFemNumber_; ++i) {
    const SmoothFEM* smoothHost = &smoothFemArrayCpu_[i];
    SmoothFEM* smoothDevice = smoothFemArrayGpu_ + i;
    int* ndIdArray = nullptr;
    NodeCuda** ndArray = nullptr;
    CUDA_CHECK(cudaMalloc(&ndIdArray, sizeof(int)*smoothHost->node_num));
    deviceStore_.push_back(ndIdArray);
    CUDA_CHECK(cudaMalloc(&ndArray, sizeof(NodeCuda*)*smoothHost->node_num));
    deviceStore_.push_back(ndArray);
    CUDA_CHECK(cudaMemcpy(ndIdArray, smoothHost->nodeIdArray_, sizeof(int)*smoothHost->node_num, cudaMemcpyHostToDevice));
    CUDA_CHECK(cudaMemcpy(ndArray, smoothHost->nodeArray_, sizeof(NodeCuda*)*smoothHost->node_num, cudaMemcpyHostToDevice));
    CUDA_CHECK(cudaMemcpy(&smoothDevice->nodeIdArray_, &ndIdArray, sizeof(int*), cudaMemcpyHostToDevice));
    CUDA_CHECK(cudaMemcpy(&smoothDevice->nodeArray_, &ndArray, sizeof(NodeCuda**), cudaMemcpyHostToDevice));
  }
  launch(GpuLinkNodeForSmoothFem, dim3((smoothFemNumber_ - 1) / 64 + 1), dim3(64), smoothFemNumber_, smoothFemArrayGpu_,
         nodeManager->node_array_gpu);
  CUDA_CHECK(cudaGetLastError());
  deviceNodes_ = nodeManager->node_array_gpu;
  forceShares_.build(slotTargets([](NodeCuda* nd) { return nd->force; }));
}
