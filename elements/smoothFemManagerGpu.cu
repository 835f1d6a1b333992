// Device side of the smoothed-FEM manager: upload of the records with their
// node arrays, and the kernels over the domains.
#include <cstdio>

#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "elements/smoothFemKernels.h"
#include "elements/smoothFemManager.h"

__global__ void GpuLinkNodeForSmoothFem(int n, SmoothFEM* domains, NodeCuda* nodes) {
  const int i = blockDim.x * blockIdx.x + threadIdx.x;
  if (i < n) domains[i].bulidNodeLink(nodes);
}

// One domain per thread (grid-stride).  The domains give no time step:
// their part's elements do.
__global__ void _AllSmoothFemInterFor(MaterialNew** materials, Section* /*sections*/, HourglassControl* /*hourglass*/,
                                      SmoothFEM* domains, int n, double dt, double* /*dtArray*/,
                                      double /*safeFactor*/) {
  const int stride = blockDim.x * gridDim.x;
  for (int i = blockDim.x * blockIdx.x + threadIdx.x; i < n; i += stride) {
    SmoothFEM& d = domains[i];
    if (d.material_id < 1) continue;
    const MaterialNew* material = materials[d.material_id - 1];
    if (material == nullptr) continue;
    if (material->id != d.material_id) printf("材料与属性调用错误\n");
    d.computeSmoothFemInterForceGpu(material, dt);
  }
}

__global__ void GpuAccumulateSmoothElementStrToNode(int n, SmoothFEM* domains, Section* /*sections*/) {
  const int i = blockDim.x * blockIdx.x + threadIdx.x;
  if (i < n) domains[i].computeSmoothFemNodeStressStrainGpu();
}

SmoothFemManager::~SmoothFemManager() {
  for (void* p : deviceStore_) CUDA_CHECK(cudaFree(p));
  if (smoothFemArrayGpu_ != nullptr) CUDA_CHECK(cudaFree(smoothFemArrayGpu_));
}

void SmoothFemManager::allocateGpu() {
  if (smoothFemNumber_ <= 0 || smoothFemArrayGpu_ != nullptr) return;
  CUDA_CHECK(cudaMalloc(&smoothFemArrayGpu_, sizeof(SmoothFEM)*smoothFemNumber_));
}

void SmoothFemManager::copySmoothFemToGpu(NodeManager* nodeManager) {
  if (smoothFemNumber_ <= 0 || nodeManager == nullptr) return;
  if (smoothFemArrayGpu_ == nullptr) allocateGpu();
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
}
