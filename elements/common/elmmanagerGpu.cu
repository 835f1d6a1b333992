// Device side of the per-part element store: upload of the family the
// section selects, device node pointers, registration with the nodes,
// device id map and release of the device buffers.
#include <cstdio>

#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "core/section.h"
#include "elements/common/elmmanager.h"

namespace {

constexpr int kLinkBlock = 32;

dim3 linkGrid(int n) { return dim3(static_cast<unsigned>((n > 0 ? n : 0) / kLinkBlock + 1)); }

template <typename T>
__device__ void matchNodes(NodeCuda* nodes, int n, T* elements) {
  const int stride = blockDim.x * gridDim.x;
  for (int i = blockDim.x * blockIdx.x + threadIdx.x; i < n; i += stride) elements[i].bulidNodeMatch(nodes);
}

template <typename T>
__device__ void registerWithNodes(int n, T* elements) {
  const int stride = blockDim.x * gridDim.x;
  for (int i = blockDim.x * blockIdx.x + threadIdx.x; i < n; i += stride) elements[i].builNodeIndex();
}

// Frees the device buffer of additional variables of every device record of
// one family.  Records whose device pointer was never replaced (it still
// holds the host address) own no device buffer.
template <typename T>
void freeDeviceAddMemory(const std::vector<T>& host, T* device) {
  if (device == nullptr || host.empty() || host.front().additionalVariableNum == 0) return;
  for (size_t i = 0; i < host.size(); ++i) {
    T* el = device + i;
    double* tmp = nullptr;
    CUDA_CHECK(cudaMemcpy(&tmp, &el->additionalVariablePtr, sizeof(double*), cudaMemcpyDeviceToHost));
    if (tmp != nullptr && tmp != host[i].additionalVariablePtr) CUDA_CHECK(cudaFree(tmp));
  }
}

template <typename T>
void mapDevice(std::map<int, Element*>& map, const std::vector<T>& host, T* device) {
  if (device == nullptr) return;
  for (size_t i = 0; i < host.size(); ++i) map.emplace_hint(map.end(), host[i].id, device + i);
}

}  // namespace

__global__ void shellNodeMatch(NodeCuda* nodes, int n, ShellElementCuda* elements) { matchNodes(nodes, n, elements); }
__global__ void solidNodeMatch(NodeCuda* nodes, int n, SolidElementCuda* elements) { matchNodes(nodes, n, elements); }
__global__ void beamNodeMatch(NodeCuda* nodes, int n, BeamElementCuda* elements) { matchNodes(nodes, n, elements); }
__global__ void discreteNodeMatch(NodeCuda* nodes, int n, DiscreteCuda* elements) { matchNodes(nodes, n, elements); }
__global__ void shell2ndNodeMatch(NodeCuda* nodes, int n, ShellElement2nd* elements) { matchNodes(nodes, n, elements); }
__global__ void solid2ndNodeMatch(NodeCuda* nodes, int n, SolidElement2nd* elements) { matchNodes(nodes, n, elements); }
__global__ void beam2ndNodeMatch(NodeCuda* nodes, int n, BeamElement2nd* elements) { matchNodes(nodes, n, elements); }

__global__ void GpuBuildIndexNodeShell(int n, ShellElementCuda* elements) { registerWithNodes(n, elements); }
__global__ void GpuBuildIndexNodeBeam(int n, BeamElementCuda* elements) { registerWithNodes(n, elements); }
__global__ void GpuBuildIndexNodeSolid(int n, SolidElementCuda* elements) { registerWithNodes(n, elements); }
__global__ void GpuBuildIndexNodeDiscrete(int n, DiscreteCuda* elements) { registerWithNodes(n, elements); }
__global__ void GpuBuildIndexNodeSolid2nd(int n, SolidElement2nd* elements) { registerWithNodes(n, elements); }

void ElmManager::freeDeviceArrays() {
  freeDeviceAddMemory(discrete_element_array_cpu, discrete_element_array_gpu);
  freeDeviceAddMemory(beam_element_array_cpu, beam_element_array_gpu);
  freeDeviceAddMemory(shell_element_array_cpu, shell_element_array_gpu);
  freeDeviceAddMemory(solid_element_array_cpu, solid_element_array_gpu);
  freeDeviceAddMemory(beam2ndArrayCpu_, beam2ndArrayGpu_);
  freeDeviceAddMemory(shell2ndArrayCpu_, shell2ndArrayGpu_);
  freeDeviceAddMemory(solid2ndArrayCpu_, solid2ndArrayGpu_);
  freeDevice(discrete_element_array_gpu);
  freeDevice(beam_element_array_gpu);
  freeDevice(beam2ndArrayGpu_);
  freeDevice(shell_element_array_gpu);
  freeDevice(shell2ndArrayGpu_);
  freeDevice(solid_element_array_gpu);
  freeDevice(solid2ndArrayGpu_);
  element_gpu_id_map.clear();
}

// Uploads one family whole: elementAmount := its size, one device array and
// one copy, each checked with its own call text.
#define ELM_UPLOAD_FAMILY(hostVector, deviceArray, Record)                                                          \
  do {                                                                                                              \
    elementAmount = static_cast<int>(hostVector.size());                                                            \
    CUDA_CHECK(cudaMalloc(&deviceArray, elementAmount * sizeof(Record)));                                           \
    CUDA_CHECK(cudaMemcpy(deviceArray, hostVector.data(), elementAmount * sizeof(Record), cudaMemcpyHostToDevice)); \
  } while (0)

void ElmManager::allocateAndCopyGpu(const Section* section) {
  if (section == nullptr) return;
  switch (section->family_code) {
    case FAMILY_SHELL:
      if (!shell_element_array_cpu.empty())
        ELM_UPLOAD_FAMILY(shell_element_array_cpu, shell_element_array_gpu, ShellElementCuda);
      else if (!shell2ndArrayCpu_.empty())
        ELM_UPLOAD_FAMILY(shell2ndArrayCpu_, shell2ndArrayGpu_, ShellElement2nd);
      else
        printf("Gpu壳单元创建错误\n");
      break;
    case FAMILY_SOLID:
      if (!solid_element_array_cpu.empty())
        ELM_UPLOAD_FAMILY(solid_element_array_cpu, solid_element_array_gpu, SolidElementCuda);
      else if (!solid2ndArrayCpu_.empty())
        ELM_UPLOAD_FAMILY(solid2ndArrayCpu_, solid2ndArrayGpu_, SolidElement2nd);
      else
        printf("Gpu实体单元创建错误\n");
      break;
    case FAMILY_BEAM:
      if (!beam_element_array_cpu.empty())
        ELM_UPLOAD_FAMILY(beam_element_array_cpu, beam_element_array_gpu, BeamElementCuda);
      else if (!beam2ndArrayCpu_.empty())
        ELM_UPLOAD_FAMILY(beam2ndArrayCpu_, beam2ndArrayGpu_, BeamElement2nd);
      else
        printf("Gpu梁单元创建错误\n");
      break;
    case FAMILY_DISCRETE:
      // Uploaded whatever the count; an empty part allocates nothing.
      elementAmount = static_cast<int>(discrete_element_array_cpu.size());
      if (elementAmount > 0) ELM_UPLOAD_FAMILY(discrete_element_array_cpu, discrete_element_array_gpu, DiscreteCuda);
      break;
    default:
      break;
  }
}

#undef ELM_UPLOAD_FAMILY

void ElmManager::gpuNodeMatch(NodeManager* nodeManager, const Section* section) {
  if (nodeManager == nullptr || section == nullptr || nodeManager->node_array_gpu == nullptr) return;
  NodeCuda* nodes = nodeManager->node_array_gpu;
  const dim3 grid = linkGrid(elementAmount);
  const dim3 block(kLinkBlock);
  switch (section->family_code) {
    case FAMILY_SHELL:
      if (shell_element_array_gpu != nullptr)
        launch(shellNodeMatch, grid, block, nodes, elementAmount, shell_element_array_gpu);
      else if (shell2ndArrayGpu_ != nullptr)
        launch(shell2ndNodeMatch, grid, block, nodes, elementAmount, shell2ndArrayGpu_);
      break;
    case FAMILY_SOLID:
      if (solid_element_array_gpu != nullptr)
        launch(solidNodeMatch, grid, block, nodes, elementAmount, solid_element_array_gpu);
      else if (solid2ndArrayGpu_ != nullptr)
        launch(solid2ndNodeMatch, grid, block, nodes, elementAmount, solid2ndArrayGpu_);
      break;
    case FAMILY_BEAM:
      if (beam_element_array_gpu != nullptr)
        launch(beamNodeMatch, grid, block, nodes, elementAmount, beam_element_array_gpu);
      else if (beam2ndArrayGpu_ != nullptr)
        launch(beam2ndNodeMatch, grid, block, nodes, elementAmount, beam2ndArrayGpu_);
      break;
    case FAMILY_DISCRETE:
      if (discrete_element_array_gpu != nullptr)
        launch(discreteNodeMatch, grid, block, nodes, elementAmount, discrete_element_array_gpu);
      break;
    default:
      break;
  }
  CUDA_CHECK(cudaGetLastError());
}

void ElmManager::gpuBuildIndexNode() {
  const dim3 block(kLinkBlock);
  // Only an uploaded family has device records to register.
  if (shell_element_array_gpu != nullptr) {
    const int n = static_cast<int>(shell_element_array_cpu.size());
    launch(GpuBuildIndexNodeShell, linkGrid(n), block, n, shell_element_array_gpu);
  }
  if (beam_element_array_gpu != nullptr) {
    const int n = static_cast<int>(beam_element_array_cpu.size());
    launch(GpuBuildIndexNodeBeam, linkGrid(n), block, n, beam_element_array_gpu);
  }
  if (solid_element_array_gpu != nullptr) {
    const int n = static_cast<int>(solid_element_array_cpu.size());
    launch(GpuBuildIndexNodeSolid, linkGrid(n), block, n, solid_element_array_gpu);
  }
  if (discrete_element_array_gpu != nullptr) {
    const int n = static_cast<int>(discrete_element_array_cpu.size());
    launch(GpuBuildIndexNodeDiscrete, linkGrid(n), block, n, discrete_element_array_gpu);
  }
  if (solid2ndArrayGpu_ != nullptr) {
    const int n = static_cast<int>(solid2ndArrayCpu_.size());
    launch(GpuBuildIndexNodeSolid2nd, linkGrid(n), block, n, solid2ndArrayGpu_);
  }
  CUDA_CHECK(cudaGetLastError());
}

void ElmManager::buildElementGpuIdMap() {
  element_gpu_id_map.clear();
  mapDevice(element_gpu_id_map, solid_element_array_cpu, solid_element_array_gpu);
  mapDevice(element_gpu_id_map, shell_element_array_cpu, shell_element_array_gpu);
  mapDevice(element_gpu_id_map, beam_element_array_cpu, beam_element_array_gpu);
  mapDevice(element_gpu_id_map, solid2ndArrayCpu_, solid2ndArrayGpu_);
  mapDevice(element_gpu_id_map, shell2ndArrayCpu_, shell2ndArrayGpu_);
  mapDevice(element_gpu_id_map, beam2ndArrayCpu_, beam2ndArrayGpu_);
}

Element* ElmManager::findElementGpuById(int id) {
  if (element_gpu_id_map.empty()) buildElementGpuIdMap();
  auto it = element_gpu_id_map.find(id);
  return it == element_gpu_id_map.end() ? nullptr : it->second;
}
