// The GPU element driver.  The pointer arrays point into the per-part device
// element arrays; the driver owns only the pointer arrays, the per-block
// buffer and the step array.
#include "elements/common/elementControl.h"

#include <cstdio>
#include <vector>

#include "core/allocZeroMem.h"
#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "core/part.h"
#include "core/repeatedMessage.h"
#include "core/section.h"
#include "elements/common/elmmanager.h"
#include "elements/shell/btshellGroup.h"
#include "elements/solid1st/hexa1stRGroup.h"
#include "elements/common/hourglasscontrol.h"
#include "elements/common/partSelection.h"
#include "elements/shell/shell1st.h"
#include "elements/smoothFem/smoothFemManager.h"
#include "elements/solid1st/solid1st.h"
#include "materials/material.h"
#include "materials/materialnew.h"
#include "platform/blockReduce.h"
#include "platform/simdLane.h"
#include "core/pendingFeature.h"

namespace {

constexpr int kForceBlock = 128;  // threads per block of the force kernels
constexpr int kSmallBlock = 32;   // critical step, mass scaling, verification
constexpr int kAddMemBlock = 64;  // additional memory and nodal stresses

__device__ inline int globalThreadIndex() { return blockIdx.x * blockDim.x + threadIdx.x; }

// Grid-stride start and stride over 2-D grids of 1-D blocks.
__device__ inline int gridStrideStart() {
  return ((blockDim.y * blockIdx.y + threadIdx.y) * gridDim.x + blockIdx.x) * blockDim.x + threadIdx.x;
}
__device__ inline int gridStride() { return blockDim.x * blockDim.y * gridDim.x * gridDim.y; }

// Host pointers of one family: device array base + index, appended for a part.
template <typename T>
void appendDevicePointers(std::vector<T*>& out, T* deviceBase, size_t count) {
  for (size_t j = 0; j < count; ++j) out.push_back(deviceBase + j);
}

template <typename T>
T** uploadPointerArray(const std::vector<T*>& ptrs) {
  T** array = nullptr;
  if (ptrs.empty()) return nullptr;
  CUDA_CHECK(cudaMalloc(&array, sizeof(T*) * ptrs.size()));
  CUDA_CHECK(cudaMemcpy(array, ptrs.data(), sizeof(T*) * ptrs.size(), cudaMemcpyHostToDevice));
  return array;
}

// Device buffer of count doubles written into the device record's pointer
// field at fieldOnDevice.
void attachDeviceBuffer(double** fieldOnDevice, int count) {
  double* buffer = nullptr;
  CUDA_CHECK(cudaMalloc(&buffer, sizeof(double) * count));
  CUDA_CHECK(cudaMemset(buffer, 0, sizeof(double) * count));
  CUDA_CHECK(cudaMemcpy(fieldOnDevice, &buffer, sizeof(double*), cudaMemcpyHostToDevice));
}

// Additional-variable buffers of the Element part of one family.
template <typename T>
void attachElementBuffers(const std::vector<T>& host, T* device) {
  if (device == nullptr) return;
  for (size_t j = 0; j < host.size(); ++j)
    if (host[j].Element::additionalVariableNum > 0)
      attachDeviceBuffer(&static_cast<Element*>(device + j)->additionalVariablePtr,
                         host[j].Element::additionalVariableNum);
}

// Solids carry their own buffer pair; the Element part's pointer of the
// device record is pointed at the same buffer, or cleared when there is
// none, so that no host address is ever used on the device.
void attachSolidBuffers(const std::vector<SolidElementCuda>& host, SolidElementCuda* device) {
  if (device == nullptr) return;
  for (size_t j = 0; j < host.size(); ++j) {
    SolidElementCuda* rec = device + j;
    double** basePtr = &static_cast<Element*>(rec)->additionalVariablePtr;
    if (host[j].additionalVariableNum > 0) {
      attachDeviceBuffer(&rec->additionalVariablePtr, host[j].additionalVariableNum);
      double* buffer = nullptr;
      CUDA_CHECK(cudaMemcpy(&buffer, &rec->additionalVariablePtr, sizeof(double*), cudaMemcpyDeviceToHost));
      CUDA_CHECK(cudaMemcpy(basePtr, &buffer, sizeof(double*), cudaMemcpyHostToDevice));
    } else if (host[j].Element::additionalVariablePtr != nullptr) {
      double* none = nullptr;
      CUDA_CHECK(cudaMemcpy(basePtr, &none, sizeof(double*), cudaMemcpyHostToDevice));
    }
  }
}

inline dim3 blocksFor(int n, int block) { return dim3(static_cast<unsigned>((n - 1) / block + 1)); }
inline dim3 smallBlocksFor(int n) { return dim3(static_cast<unsigned>(n / kSmallBlock + 1)); }

// Material record or model of an element: entry (material id - 1).
template <typename M>
__device__ inline M* materialOf(M* const* materials, const Element* e) {
  return e->material_id >= 1 ? materials[e->material_id - 1] : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Kernels.

namespace {
// Element loop of the solid force kernels: each element with a material
// model gets step(e, material, section) as its step, one without keeps the
// sentinel.  A material object whose id differs from the element's is
// reported and used all the same.
template <typename T, typename Step>
__device__ inline void solidForceOne(MaterialNew** materials, Section* sections, T* e, double* out, Step step) {
  const MaterialNew* material = materialOf(materials, e);
  if (material == nullptr) {
    *out = kElementDtSentinel;
    return;
  }
  if (material->id != e->material_id) printf("材料与属性调用错误\n");
  Section* section = e->section_id >= 1 ? sections + (e->section_id - 1) : nullptr;
  *out = step(e, material, section);
}

template <typename T, typename Step>
__device__ inline void solidForceLoop(MaterialNew** materials, Section* sections, T** elements, int n, double* steps,
                                      Step step) {
  for (int i = gridStrideStart(); i < n; i += gridStride())
    solidForceOne(materials, sections, elements[i], steps + i, step);
}

// Threads of the first-order solid and shell kernels: one per group of
// kLaneWidth elements (a qualifying group is computed in lanes).
__host__ __device__ inline int laneGroups(int n) { return (n + kLaneWidth - 1) / kLaneWidth; }
}  // namespace

__global__ void BuildHexaLaneGroups(MaterialNew** materials, HourglassControl* hourglass, SolidElementCuda** elements,
                                    int n, HexaLaneGroup* groups) {
  for (int g = gridStrideStart(); g < n / kLaneWidth; g += gridStride())
    fillHexaLaneGroup(materials, hourglass, elements + g * kLaneWidth,
                      g > 0 ? elements + (g - 1) * kLaneWidth : nullptr, groups[g]);
}

__global__ void _AllSolidElementInterFor(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                         SolidElementCuda** elements, const HexaLaneGroup* groups,
                                         NodeMotionView motions, int n, double dt, double* steps, double safeFactor) {
  const auto step = [&](SolidElementCuda* e, const MaterialNew* material, Section* section) {
    e->computeSolidInterForceGpu(material, section, hourglassOfPart(hourglass, e->part_id), dt, motions);
    e->lengthAfterForce();
    return e->computeSolidTimeStep(material, safeFactor);
  };
  const int full = n / kLaneWidth;  // groups with an entry
  for (int g = gridStrideStart(); g < laneGroups(n); g += gridStride()) {
    const int first = g * kLaneWidth, last = min(first + kLaneWidth, n);
    if (g < full && groups != nullptr &&
        onePointHexaLanes(materials, hourglass, elements + first, groups + g, full - 1 - g, motions, dt, safeFactor,
                          steps + first))
      continue;
    for (int i = first; i < last; ++i) solidForceOne(materials, sections, elements[i], steps + i, step);
  }
}

__global__ void _AllSolid2ndInterFor(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                     SolidElement2nd** elements, int n, double dt, double* steps, double safeFactor) {
  solidForceLoop(materials, sections, elements, n, steps,
                 [&](SolidElement2nd* e, const MaterialNew* material, Section* section) {
                   e->computeSolid2ndInterForceGpu(material, section, hourglassOfPart(hourglass, e->part_id), dt);
                   e->computeSolid2ndCharactLength();
                   return e->computeSolidTimeStep(material->waveSpeed[0], safeFactor);
                 });
}

namespace {
// Minimum over the block of every thread's stepOf() (its critical step, or
// kCriticalDtStart when it has none) into the block's entry of blockMin.
template <typename StepOf>
__device__ void blockMinimumStep(double* blockMin, StepOf stepOf) {
  __shared__ double slot[kSmallBlock];
  blockTreeReduce([&](unsigned t) { slot[t] = stepOf(); },
                  [&](unsigned t, unsigned u) {
                    if (slot[u] < slot[t]) slot[t] = slot[u];
                  },
                  [&] { blockMin[blockIdx.y * gridDim.x + blockIdx.x] = slot[0]; });
}

// Critical step of one solid of either order (length(e) x safe factor, at
// most the bound's share of solid1stFormulation.h, / the solid wave speed of
// its flat material record) into the block's slot; a step that is not
// finite never becomes the block minimum, and the loop stops on it when it
// reaches the model's step.
template <typename T, typename Length>
__device__ inline void solidCriticalStep(double* blockMin, int n, T** elements, const Material* materials,
                                         double safeFactor, Length length) {
  blockMinimumStep(blockMin, [&] {
    const int i = globalThreadIndex();
    if (i >= n) return kCriticalDtStart;
    T* e = elements[i];
    const double c = e->material_id >= 1 ? materials[e->material_id - 1].wave_speed[0] : 0.0;
    const double step = length(e) * solid1st::boundScaleFactor(safeFactor) / c;
    e->assignTimeStep(step);
    return nodeValueIsFinite(step) ? step : kCriticalDtStart;
  });
}
}  // namespace

__global__ void AllSolidDt(double* blockMin, int n, SolidElementCuda** elements, Material* materials,
                           double safeFactor) {
  solidCriticalStep(blockMin, n, elements, materials, safeFactor,
                    [](SolidElementCuda* e) { return e->computeSolidCharactLength(); });
}

__global__ void AllSolid2ndDtGpu(double* blockMin, int n, SolidElement2nd** elements, Material* materials,
                                 double safeFactor) {
  solidCriticalStep(blockMin, n, elements, materials, safeFactor,
                    [](SolidElement2nd* e) { return e->computeSolid2ndCharactLength(); });
}

__global__ void _AllBeamElementInterFor(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                        BeamElementCuda** elements, int n, double dt, double* steps,
                                        double safeFactor) {
  for (int i = gridStrideStart(); i < n; i += gridStride()) {
    BeamElementCuda* e = elements[i];
    const MaterialNew* material = materialOf(materials, e);
    Section* section = e->section_id >= 1 ? sections + (e->section_id - 1) : nullptr;
    if (material == nullptr || section == nullptr) {
      steps[i] = kElementDtSentinel;
      continue;
    }
    if (material->id != e->material_id || section->id != e->section_id) printf("材料与属性调用错误\n");
    e->computeBeamInterForceGpu(material, section, hourglass, dt);
    e->computeBeamCharactLength();
    steps[i] = e->computeBeamTimeStep(material, safeFactor);
  }
}

__global__ void _AllDiscreteElementInterFor(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                            DiscreteCuda** elements, int n, double dt) {
  for (int i = gridStrideStart(); i < n; i += gridStride()) {
    DiscreteCuda* e = elements[i];
    const MaterialNew* material = materialOf(materials, e);
    const Section* section = e->section_id >= 1 ? sections + (e->section_id - 1) : nullptr;
    if (material == nullptr || material->id != e->material_id) printf("离散元材料调用错误\n");
    if (section == nullptr || section->id != e->section_id) printf("离散元属性调用错误\n");
    e->computeDiscreteInterForceGpu(material, section, hourglass, dt);
  }
}

__global__ void beamDt(double* blockMin, int n, BeamElementCuda** elements, Material* materials, Section* /*sections*/,
                       double safeFactor) {
  blockMinimumStep(blockMin, [&] {
    const int i = globalThreadIndex();
    if (i >= n) return kCriticalDtStart;
    BeamElementCuda* e = elements[i];
    const double c = e->material_id >= 1 ? materials[e->material_id - 1].wave_speed[2] : 0.0;
    const double step = e->criticalStep(c, safeFactor);
    e->assignTimeStep(step);
    return step < kCriticalDtStart ? step : kCriticalDtStart;
  });
}

__global__ void MassScaledForBeam(double targetDt, int n, BeamElementCuda** elements) {
  const int i = globalThreadIndex();
  if (i < n) elements[i]->computeBeamMassScaleGpu(targetDt);
}

__global__ void BuildShellLaneGroups(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                     ShellElementCuda** elements, int n, ShellLaneGroup* groups) {
  for (int g = gridStrideStart(); g < n / kLaneWidth; g += gridStride())
    fillShellLaneGroup(materials, sections, hourglass, elements + g * kLaneWidth, groups[g]);
}

__global__ void _AllShellElementInterFor(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                         ShellElementCuda** elements, const ShellLaneGroup* groups,
                                         NodeMotionView motions, int n, double dt, double* steps, double safeFactor) {
  const int full = n / kLaneWidth;  // groups with an entry
  for (int g = gridStrideStart(); g < laneGroups(n); g += gridStride()) {
    const int first = g * kLaneWidth, last = min(first + kLaneWidth, n);
    if (g < full && groups != nullptr &&
        btShellLanes(materials, sections, hourglass, elements + first, groups + g, full - 1 - g, motions, dt,
                     safeFactor, steps + first))
      continue;
    if (last - first == kLaneWidth &&
        btShellLaneGroup(materials, sections, hourglass, elements + first, n - first, dt, safeFactor, steps + first))
      continue;
    for (int i = first; i < last; ++i) {
      ShellElementCuda* e = elements[i];
      const MaterialNew* material = materialOf(materials, e);
      if (material == nullptr) {
        steps[i] = kElementDtSentinel;
        continue;
      }
      Section* section = e->section_id >= 1 ? sections + (e->section_id - 1) : nullptr;
      if (material->id != e->material_id || (section != nullptr && section->id != e->section_id))
        printf("材料与属性调用错误\n");
      e->computeShellInterForceGpu(material, section, hourglassOfPart(hourglass, e->part_id), dt);
      e->computeShellCharactLength();
      steps[i] = e->computeShellTimeStep(material, safeFactor);
    }
  }
}

// Critical step of the shells from the plate wave speed of the flat records.
__global__ void ShellDt(double* blockMin, int n, ShellElementCuda** elements, Material* materials, double safeFactor) {
  blockMinimumStep(blockMin, [&] {
    const int i = globalThreadIndex();
    if (i >= n) return kCriticalDtStart;
    ShellElementCuda* e = elements[i];
    const double c = e->material_id >= 1 ? materials[e->material_id - 1].wave_speed[1] : 0.0;
    const double step = e->computeShellCharactLength() * safeFactor / c;
    e->assignTimeStep(step);
    return nodeValueIsFinite(step) && step < kCriticalDtStart ? step : kCriticalDtStart;
  });
}

__global__ void MassScaledForShell(double targetDt, int n, ShellElementCuda** elements) {
  const int i = globalThreadIndex();
  if (i < n) elements[i]->computeShellMassScaleGpu(targetDt);
}

__global__ void MassScaledForSolid(double targetDt, int n, SolidElementCuda** elements) {
  const int i = globalThreadIndex();
  if (i < n) elements[i]->computeSolidMassScaleGpu(targetDt);
}

__global__ void MassScaledForSolid2nd(double targetDt, int n, SolidElement2nd** elements) {
  const int i = globalThreadIndex();
  if (i < n) elements[i]->computeSolid2ndMassScaleGpu(targetDt);
}

__global__ void MassScaledForShell2nd(double /*targetDt*/, int n, ShellElement2nd** /*elements*/) {
  if (globalThreadIndex() < n) printf("请补充二阶壳单元的质量缩放算法\n");
}

__global__ void MassScaledForBeam2nd(double /*targetDt*/, int n, BeamElement2nd** /*elements*/) {
  if (globalThreadIndex() < n) printf("请补充二阶梁单元的质量缩放算法\n");
}

// Mass pairs (element mass, element mass x multiplier^2) of one family.
template <typename T>
__global__ void _CountMass(int n, T** elements, double2* out) {
  for (int i = gridStrideStart(); i < n; i += gridStride()) {
    const T* e = elements[i];
    out[i] = make_double2(e->mass, e->mass * e->dtScaleFactor * e->dtScaleFactor);
  }
}

// Second-order shells and beams carry no mass of their own.
template <typename T>
__global__ void _CountZeroMass(int n, T** /*elements*/, double2* out) {
  for (int i = gridStrideStart(); i < n; i += gridStride()) out[i] = make_double2(0.0, 0.0);
}

template <typename T>
__global__ void GpuOperateAllElementAddMem(int n, T** elements, Section* sections) {
  const int i = globalThreadIndex();
  if (i >= n) return;
  T* e = elements[i];
  e->operatorOnAddMem(e->section_id >= 1 ? sections + (e->section_id - 1) : nullptr);
}

// ---- verification ----

namespace {
__device__ inline void verifyMultiplier(const Element* e, double multiplier) {
  if (multiplier != 1.0) noteRepeated(REPEATED_MASS_SCALE_FACTOR, e->id);
}

template <typename Solid>
__device__ void verifySolid(int n, Solid** elements) {
  const int i = globalThreadIndex();
  if (i >= n) return;
  const Solid* e = elements[i];
  verifyMultiplier(e, e->dtScaleFactor);
  const int required = solidTypeNodeNum(e->type);
  if (required > 0 && e->node_num != required) noteRepeated(REPEATED_SOLID_NODE_COUNT, e->id);
}
}  // namespace

__global__ void verSolidElement(int n, SolidElementCuda** elements) { verifySolid(n, elements); }

__global__ void verBeamElement(int n, BeamElementCuda** elements) {
  const int i = globalThreadIndex();
  if (i >= n) return;
  const BeamElementCuda* e = elements[i];
  verifyMultiplier(e, e->dtScaleFactor);
  if (e->node_num != 2) noteRepeated(REPEATED_BEAM_NODE_COUNT, e->id);
}

__global__ void verShellElement(int n, ShellElementCuda** elements) {
  const int i = globalThreadIndex();
  if (i >= n) return;
  const ShellElementCuda* e = elements[i];
  verifyMultiplier(e, e->dtScaleFactor);
  switch (e->type) {
    case ET_MEMBRANE3:
    case ET_CB_TRI_SHELL:
    case ET_BT_TRI_SHELL:
      if (e->node_num != 3) noteRepeated(REPEATED_TRI_SHELL_NODE_COUNT, e->id);
      break;
    case ET_MEMBRANE4:
    case ET_BT_SHELL:
    case ET_HL_SHELL:
      if (e->node_num != 4) noteRepeated(REPEATED_QUAD_SHELL_NODE_COUNT, e->id);
      break;
    default:
      break;
  }
}

__global__ void verDiscreteElement(int n, DiscreteCuda** elements) {
  const int i = globalThreadIndex();
  if (i >= n) return;
  verifyMultiplier(elements[i], elements[i]->dtScaleFactor);
}

__global__ void verSolid2ndElement(int n, SolidElement2nd** elements) { verifySolid(n, elements); }

// ---------------------------------------------------------------------------
// Set-up.

ElementControl::~ElementControl() {
  freeDevice(beamArrayGpu);
  freeDevice(solidArrayGpu);
  freeDevice(shellArrayGpu);
  freeDevice(discreteArrayGpu);
  freeDevice(beam2ndArrayGpu_);
  freeDevice(shell2ndArrayGpu_);
  freeDevice(solid2ndArrayGpu_);
  freeDevice(dtArray);
  freeDevice(stepChunkMin);
  freeDevice(hexaLaneGroups);
  freeDevice(solid2ndNodalStress);
  freeDevice(shellLaneGroups);
  if (blockDtCpu != nullptr) CUDA_CHECK(cudaFreeHost(blockDtCpu));
  blockDtCpu = blockDtGpu = nullptr;
  smoothFemArray = nullptr;
  smoothFemManager = nullptr;
  beam_num = solid_num = shell_num = discrete_num = 0;
  beam2ndNum_ = solid2ndNum_ = shell2ndNum_ = smooth_num = 0;
}

namespace {
// Solids of the total-Lagrangian types (they read the nodes' displacements).
int countTotalLagrangian(const std::vector<SolidElementCuda>& solids) {
  int n = 0;
  for (const SolidElementCuda& e : solids) n += e.type == ET_TETRA_TL || e.type == ET_PYRAMID_TL ? 1 : 0;
  return n;
}
}  // namespace

void ElementControl::allocateAndCopyElementPtr(std::vector<Part>& parts) {
  totalLagrangianNum = 0;
  std::vector<BeamElementCuda*> beams;
  std::vector<ShellElementCuda*> shells;
  std::vector<SolidElementCuda*> solids;
  std::vector<DiscreteCuda*> discretes;
  std::vector<BeamElement2nd*> beams2nd;
  std::vector<ShellElement2nd*> shells2nd;
  std::vector<SolidElement2nd*> solids2nd;
  // Only the family a part uploaded has a device array; the others add no
  // pointers (their host records never reach the device).
  for (Part& part : parts) {
    if (!partTakesPart(part)) continue;
    ElmManager& m = *part.elmManager;
    if (m.beam_element_array_gpu)
      appendDevicePointers(beams, m.beam_element_array_gpu, m.beam_element_array_cpu.size());
    if (m.shell_element_array_gpu)
      appendDevicePointers(shells, m.shell_element_array_gpu, m.shell_element_array_cpu.size());
    if (m.solid_element_array_gpu) {
      appendDevicePointers(solids, m.solid_element_array_gpu, m.solid_element_array_cpu.size());
      totalLagrangianNum += countTotalLagrangian(m.solid_element_array_cpu);
    }
    if (m.discrete_element_array_gpu)
      appendDevicePointers(discretes, m.discrete_element_array_gpu, m.discrete_element_array_cpu.size());
    if (m.beam2ndArrayGpu_) appendDevicePointers(beams2nd, m.beam2ndArrayGpu_, m.beam2ndArrayCpu_.size());
    if (m.shell2ndArrayGpu_) appendDevicePointers(shells2nd, m.shell2ndArrayGpu_, m.shell2ndArrayCpu_.size());
    if (m.solid2ndArrayGpu_) appendDevicePointers(solids2nd, m.solid2ndArrayGpu_, m.solid2ndArrayCpu_.size());
    attachElementBuffers(m.beam_element_array_cpu, m.beam_element_array_gpu);
    attachElementBuffers(m.shell_element_array_cpu, m.shell_element_array_gpu);
    attachSolidBuffers(m.solid_element_array_cpu, m.solid_element_array_gpu);
    attachElementBuffers(m.discrete_element_array_cpu, m.discrete_element_array_gpu);
    attachElementBuffers(m.beam2ndArrayCpu_, m.beam2ndArrayGpu_);
    attachElementBuffers(m.shell2ndArrayCpu_, m.shell2ndArrayGpu_);
    attachElementBuffers(m.solid2ndArrayCpu_, m.solid2ndArrayGpu_);
  }
  beam_num = static_cast<int>(beams.size());
  shell_num = static_cast<int>(shells.size());
  solid_num = static_cast<int>(solids.size());
  discrete_num = static_cast<int>(discretes.size());
  beam2ndNum_ = static_cast<int>(beams2nd.size());
  shell2ndNum_ = static_cast<int>(shells2nd.size());
  solid2ndNum_ = static_cast<int>(solids2nd.size());
  beamArrayGpu = uploadPointerArray(beams);
  shellArrayGpu = uploadPointerArray(shells);
  solidArrayGpu = uploadPointerArray(solids);
  discreteArrayGpu = uploadPointerArray(discretes);
  beam2ndArrayGpu_ = uploadPointerArray(beams2nd);
  shell2ndArrayGpu_ = uploadPointerArray(shells2nd);
  solid2ndArrayGpu_ = uploadPointerArray(solids2nd);
}

void ElementControl::gpuVerifyElement() {
  if (solid_num > 0) launch(verSolidElement, smallBlocksFor(solid_num), dim3(kSmallBlock), solid_num, solidArrayGpu);
  if (beam_num > 0) launch(verBeamElement, smallBlocksFor(beam_num), dim3(kSmallBlock), beam_num, beamArrayGpu);
  if (shell_num > 0) launch(verShellElement, smallBlocksFor(shell_num), dim3(kSmallBlock), shell_num, shellArrayGpu);
  if (discrete_num > 0)
    launch(verDiscreteElement, smallBlocksFor(discrete_num), dim3(kSmallBlock), discrete_num, discreteArrayGpu);
  if (solid2ndNum_ > 0)
    launch(verSolid2ndElement, smallBlocksFor(solid2ndNum_), dim3(kSmallBlock), solid2ndNum_, solid2ndArrayGpu_);
}

namespace {
template <typename T>
void operateAddMem(int n, T** elements, Section* sections) {
  if (n > 0)
    launch(GpuOperateAllElementAddMem<T>, blocksFor(n, kAddMemBlock), dim3(kAddMemBlock), n, elements, sections);
}
}  // namespace

void ElementControl::gpuOperateAllElementAddMem(Section* sections) {
  operateAddMem(solid_num, solidArrayGpu, sections);
  operateAddMem(shell_num, shellArrayGpu, sections);
  operateAddMem(beam_num, beamArrayGpu, sections);
  operateAddMem(discrete_num, discreteArrayGpu, sections);
  operateAddMem(solid2ndNum_, solid2ndArrayGpu_, sections);
  operateAddMem(shell2ndNum_, shell2ndArrayGpu_, sections);
  operateAddMem(beam2ndNum_, beam2ndArrayGpu_, sections);
}

int ElementControl::blockDtNum() const {
  int m = beam_num;
  for (int c : {solid_num, shell_num, beam2ndNum_, solid2ndNum_, shell2ndNum_})
    if (c > m) m = c;
  return m / kSmallBlock + 1;
}

void ElementControl::allocateBlockDtBuffer() {
  if (blockDtCpu != nullptr) CUDA_CHECK(cudaFreeHost(blockDtCpu));
  allocZeroMem(&blockDtGpu, &blockDtCpu, blockDtNum());
}

// Every entry starts at the sentinel: the entries of families without a
// step kernel keep it and never become the time step.
void ElementControl::allocateDtArray() {
  freeDevice(dtArray);
  freeDevice(stepChunkMin);
  const int total = dtArrayNum();
  if (total == 0) return;
  const std::vector<double> fill(static_cast<size_t>(total), kElementDtSentinel);
  CUDA_CHECK(cudaMalloc(&dtArray, sizeof(double) * total));
  CUDA_CHECK(cudaMemcpy(dtArray, fill.data(), sizeof(double) * total, cudaMemcpyHostToDevice));
  CUDA_CHECK(cudaMalloc(&stepChunkMin, sizeof(double) * stepChunkNum()));
  stepChunkMinHost.assign(static_cast<size_t>(stepChunkNum()), 0.0);
}

// The points and states are linked after the pointer arrays are sorted:
// the entries are made at the first force pass, once.
void ElementControl::buildHexaLaneGroups(MaterialNew** materials, HourglassControl* hourglass) {
  const int groups = solid_num / kLaneWidth;
  if (hexaLaneGroups != nullptr || groups == 0) return;
  CUDA_CHECK(cudaMalloc(&hexaLaneGroups, sizeof(HexaLaneGroup) * groups));
  launch(BuildHexaLaneGroups, blocksFor(groups, kForceBlock), dim3(kForceBlock), materials, hourglass, solidArrayGpu,
         solid_num, hexaLaneGroups);
}

// The shells' entries, likewise.
void ElementControl::buildShellLaneGroups(MaterialNew** materials, Section* sections, HourglassControl* hourglass) {
  const int groups = shell_num / kLaneWidth;
  if (shellLaneGroups != nullptr || groups == 0) return;
  CUDA_CHECK(cudaMalloc(&shellLaneGroups, sizeof(ShellLaneGroup) * groups));
  launch(BuildShellLaneGroups, blocksFor(groups, kForceBlock), dim3(kForceBlock), materials, sections, hourglass,
         shellArrayGpu, shell_num, shellLaneGroups);
}

void ElementControl::linkNodeMotions(NodeMotions* motions) {
  nodeMotions = motions;
  if (motions == nullptr) return;
  if (solid_num - totalLagrangianNum >= kLaneWidth) motions->want();
  if (totalLagrangianNum > 0) motions->wantDisplacements();
  if (shell_num >= kLaneWidth) motions->wantTurning();
}

void ElementControl::linkSmoothFem(SmoothFemManager* manager) {
  smoothFemManager = manager;
  smoothFemArray = manager != nullptr ? manager->smoothFemArrayGpu_ : nullptr;
  smooth_num = smoothFemArray != nullptr ? manager->smoothFemNumber_ : 0;
}

// ---------------------------------------------------------------------------
// Run time.

void ElementControl::gpuAllElementInterFor(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                           double dt, cublasHandle_t handle, double* candidate, double safeFactor) {
  // Runs of the step array in launch order: beams, shells, solids, then the
  // second-order beams, shells and solids.
  // The nodes' motions serve this pass alone: the passes after it may move the nodes.
  const NodeMotionView motions = nodeMotions != nullptr ? nodeMotions->take() : NodeMotionView{};
  if (beam_num > 0)
    launch(_AllBeamElementInterFor, blocksFor(beam_num, kForceBlock), dim3(kForceBlock), materials, sections, hourglass,
           beamArrayGpu, beam_num, dt, dtArray, safeFactor);
  if (shell_num > 0) {
    buildShellLaneGroups(materials, sections, hourglass);
    launch(_AllShellElementInterFor, blocksFor(laneGroups(shell_num), kForceBlock), dim3(kForceBlock), materials,
           sections, hourglass, shellArrayGpu, static_cast<const ShellLaneGroup*>(shellLaneGroups), motions, shell_num,
           dt, dtArray + beam_num, safeFactor);
  }
  double* solidSteps = dtArray + beam_num + shell_num;
  if (solid_num > 0) {
    buildHexaLaneGroups(materials, hourglass);
    launch(_AllSolidElementInterFor, blocksFor(laneGroups(solid_num), kForceBlock), dim3(kForceBlock), materials,
           sections, hourglass, solidArrayGpu, static_cast<const HexaLaneGroup*>(hexaLaneGroups), motions, solid_num,
           dt, solidSteps, safeFactor);
  }
  if (discrete_num > 0)
    launch(_AllDiscreteElementInterFor, blocksFor(discrete_num, kForceBlock), dim3(kForceBlock), materials, sections,
           hourglass, discreteArrayGpu, discrete_num, dt);
  if (smooth_num > 0) smoothFemManager->addForcesGpu(materials, sections, hourglass, dt);
  // Second-order beams and shells have no formulation and keep the sentinel.
  double* solid2ndSteps = solidSteps + solid_num + beam2ndNum_ + shell2ndNum_;
  if (solid2ndNum_ > 0)
    launch(_AllSolid2ndInterFor, blocksFor(solid2ndNum_, kForceBlock), dim3(kForceBlock), materials, sections,
           hourglass, solid2ndArrayGpu_, solid2ndNum_, dt, solid2ndSteps, safeFactor);
  takeSmallestStep(handle, candidate);
}

namespace {
// Lowers m to the per-block minima of one family's critical-step pass.
void lowerToBlockMinima(const double* blockDtCpu, int n, double& m) {
  CUDA_CHECK(cudaDeviceSynchronize());
  const int blocks = n / kSmallBlock + 1;
  for (int b = 0; b < blocks; ++b)
    if (nodeValueIsFinite(blockDtCpu[b]) && blockDtCpu[b] < m) m = blockDtCpu[b];
}
}  // namespace

double ElementControl::gpuCalCriticalDt(Material* materials, Section* sections, double safeFactor) {
  double m = kCriticalDtStart;
  if (blockDtGpu == nullptr) return m;
  if (solid_num > 0) {
    launch(AllSolidDt, smallBlocksFor(solid_num), dim3(kSmallBlock), blockDtGpu, solid_num, solidArrayGpu, materials,
           safeFactor);
    lowerToBlockMinima(blockDtCpu, solid_num, m);
  }
  if (beam_num > 0) {
    launch(beamDt, smallBlocksFor(beam_num), dim3(kSmallBlock), blockDtGpu, beam_num, beamArrayGpu, materials, sections,
           safeFactor);
    lowerToBlockMinima(blockDtCpu, beam_num, m);
  }
  if (shell_num > 0) {
    launch(ShellDt, smallBlocksFor(shell_num), dim3(kSmallBlock), blockDtGpu, shell_num, shellArrayGpu, materials,
           safeFactor);
    lowerToBlockMinima(blockDtCpu, shell_num, m);
  }
  if (solid2ndNum_ > 0) {
    launch(AllSolid2ndDtGpu, smallBlocksFor(solid2ndNum_), dim3(kSmallBlock), blockDtGpu, solid2ndNum_,
           solid2ndArrayGpu_, materials, safeFactor);
    lowerToBlockMinima(blockDtCpu, solid2ndNum_, m);
  }
  return m;
}

void ElementControl::gpuMassScale(double targetDt) {
  if (solid_num > 0)
    launch(MassScaledForSolid, smallBlocksFor(solid_num), dim3(kSmallBlock), targetDt, solid_num, solidArrayGpu);
  if (shell_num > 0)
    launch(MassScaledForShell, smallBlocksFor(shell_num), dim3(kSmallBlock), targetDt, shell_num, shellArrayGpu);
  if (beam_num > 0)
    launch(MassScaledForBeam, smallBlocksFor(beam_num), dim3(kSmallBlock), targetDt, beam_num, beamArrayGpu);
  if (solid2ndNum_ > 0)
    launch(MassScaledForSolid2nd, smallBlocksFor(solid2ndNum_), dim3(kSmallBlock), targetDt, solid2ndNum_,
           solid2ndArrayGpu_);
  if (shell2ndNum_ > 0)
    launch(MassScaledForShell2nd, smallBlocksFor(shell2ndNum_), dim3(kSmallBlock), targetDt, shell2ndNum_,
           shell2ndArrayGpu_);
  if (beam2ndNum_ > 0)
    launch(MassScaledForBeam2nd, smallBlocksFor(beam2ndNum_), dim3(kSmallBlock), targetDt, beam2ndNum_,
           beam2ndArrayGpu_);
}

namespace {
// Launches one family's mass kernel over its run of the pair array and moves
// the run pointer past it.
template <typename T>
void countMass(void (*kernel)(int, T**, double2*), int n, T** elements, double2*& out) {
  if (n > 0) launch(kernel, smallBlocksFor(n), dim3(kSmallBlock), n, elements, out);
  out += n;
}
}  // namespace

void ElementControl::gpuCountMass(int flag) {
  if (flag == 0) return;
  const double2 sums = gpuMassSums();
  const double physical = sums.x, scaled = sums.y;
  const double added = scaled - physical;
  // A model without mass has no meaningful ratio: report 0 rather than NaN.
  const double ratio = physical != 0.0 ? added * 100.0 / physical : 0.0;
  printf("\ncalculation with mass scaling for minimum dt\n");
  printf("added mass = %.9lf\n", added);
  printf("physical mass= %.9lf\n", physical);
  printf("ratio = %lf%%\n", ratio);
  g_runRecord << "calculation with mass scaling for minimum dt" << std::endl;
  g_runRecord << "added mass =\t" << added << std::endl;
  g_runRecord << "physical mass=\t" << physical << std::endl;
  g_runRecord << "ratio =\t" << ratio << "%" << std::endl;
}

double2 ElementControl::gpuMassSums() {
  const int total = dtArrayNum();
  std::vector<double2> massHost(static_cast<size_t>(total));
  if (total > 0) {
    const DeviceBuffer<double2> massDevice(total);
    double2* out = massDevice.get();
    countMass(_CountMass<BeamElementCuda>, beam_num, beamArrayGpu, out);
    countMass(_CountMass<ShellElementCuda>, shell_num, shellArrayGpu, out);
    countMass(_CountMass<SolidElementCuda>, solid_num, solidArrayGpu, out);
    countMass(_CountZeroMass<BeamElement2nd>, beam2ndNum_, beam2ndArrayGpu_, out);
    countMass(_CountZeroMass<ShellElement2nd>, shell2ndNum_, shell2ndArrayGpu_, out);
    countMass(_CountMass<SolidElement2nd>, solid2ndNum_, solid2ndArrayGpu_, out);
    CUDA_CHECK(cudaMemcpy(massHost.data(), massDevice.get(), sizeof(double2) * total, cudaMemcpyDeviceToHost));
  }
  double2 sums = make_double2(0.0, 0.0);
  for (const double2& p : massHost) {
    sums.x += p.x;
    sums.y += p.y;
  }
  return sums;
}

void ElementControl::gpuAccumulateStrToNode(NodeCuda* nodes, int n, Section* sections) {
  if (solid2ndNum_ > 0) {
    if (solid2ndNodalStress == nullptr)
      CUDA_CHECK(cudaMalloc(&solid2ndNodalStress, sizeof(double) * kSolid2ndStressEntry * solid2ndNum_));
    launch(GpuSolid2ndNodeStress, blocksFor(solid2ndNum_, kAddMemBlock), dim3(kAddMemBlock), solid2ndNum_,
           solid2ndArrayGpu_, static_cast<const Section*>(sections), solid2ndNodalStress);
  }
  if (n > 0)
    launch(GpuSumElementStressAtNodes, blocksFor(n, kAddMemBlock), dim3(kAddMemBlock), n, nodes,
           static_cast<const Section*>(sections), static_cast<const double*>(solid2ndNodalStress));
  if (smooth_num > 0) smoothFemManager->addNodeStressStrainGpu(sections);
}
