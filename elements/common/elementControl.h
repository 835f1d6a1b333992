// The GPU element driver: device arrays of element pointers per family, the
// per-cycle force kernels with the smallest stable step, the critical step of
// the first cycle, mass scaling with its report, and nodal stress gathering.
#pragma once
#include <vector>

#include "core/nodeMotions.h"
#include "elements/beam/beamElement2nd.h"
#include "elements/beam/beamElementCuda.h"
#include "elements/beam/discreteCuda.h"
#include "elements/common/elementFamily.h"
#include "elements/common/elementStep.h"
#include "elements/shell/shellElement2nd.h"
#include "elements/shell/shellElementCuda.h"
#include "elements/solid2nd/solidElement2nd.h"
#include "elements/solid1st/solidElementCuda.h"
#include "platform/gpuRuntime.h"

class Part;
class SmoothFemManager;
class MaterialNew;
struct Material;
struct Section;
struct HourglassControl;
struct SmoothFEM;
struct HexaLaneGroup;
struct ShellLaneGroup;

// Step written into every entry of the step array that no kernel fills, so
// that such an entry never becomes the time step.
constexpr double kElementDtSentinel = 1.0e30;
// Start value of the critical-step pass (and its result for an empty model).
constexpr double kCriticalDtStart = 1000.0;

class ElementControl {
 public:
  BeamElementCuda** beamArrayGpu = nullptr;
  SolidElementCuda** solidArrayGpu = nullptr;
  ShellElementCuda** shellArrayGpu = nullptr;
  DiscreteCuda** discreteArrayGpu = nullptr;
  BeamElement2nd** beam2ndArrayGpu_ = nullptr;
  ShellElement2nd** shell2ndArrayGpu_ = nullptr;
  SolidElement2nd** solid2ndArrayGpu_ = nullptr;
  SmoothFEM* smoothFemArray = nullptr;           // borrowed from the smoothed-FEM manager
  SmoothFemManager* smoothFemManager = nullptr;  // borrowed: launches the domains' kernels
  int beam_num = 0, solid_num = 0, shell_num = 0, discrete_num = 0;
  int totalLagrangianNum = 0;  // of the solids, the total-Lagrangian ones
  int beam2ndNum_ = 0, solid2ndNum_ = 0, shell2ndNum_ = 0;
  int smooth_num = 0;
  double* blockDtCpu = nullptr;  // host view of the mapped per-block minima
  double* blockDtGpu = nullptr;  // device view of the same buffer
  double* dtArray = nullptr;     // one step per element of the families with a step
  // The smallest step is taken by one parallel pass that folds chunks of the
  // step array (stepChunkMin: one entry per chunk); off, by the zeroing pass
  // and the serial search of cuBLAS.  Both give the same step.
  bool chunk_step_minimum = true;
  double* stepChunkMin = nullptr;        // device, stepChunkNum() entries
  std::vector<double> stepChunkMinHost;  // host copy of stepChunkMin, sized at set-up
  // One entry per full group of kLaneWidth solids: the addresses the group
  // kernel reads (hexa1stRGroup.h); made at the first force pass.
  HexaLaneGroup* hexaLaneGroups = nullptr;
  // Nodal stresses of the second-order solids at an output point
  // (kSolid2ndStressEntry doubles each); made at the first that asks.
  double* solid2ndNodalStress = nullptr;
  // The same for the first-order shells (btshellGroup.h).
  ShellLaneGroup* shellLaneGroups = nullptr;
  // Borrowed from the node manager: the nodes' motions the displacement
  // update writes, read by the solids' and shells' group kernels (null:
  // the records).
  NodeMotions* nodeMotions = nullptr;

  ElementControl() = default;
  ElementControl(const ElementControl&) = delete;
  ElementControl& operator=(const ElementControl&) = delete;
  ~ElementControl();

  // ---- set-up, in this order ----
  // Device pointer arrays over all parts with a deformable material model,
  // and the device buffers of additional variables.
  void allocateAndCopyElementPtr(std::vector<Part>& parts);
  void gpuVerifyElement();
  void gpuOperateAllElementAddMem(Section* sections);
  // Each pointer array by type code, then material id (Thrust, device).
  void sortElementPtrByType();
  void allocateBlockDtBuffer();
  void allocateDtArray();
  // Borrows the smoothed-FEM domains of the manager.
  void linkSmoothFem(SmoothFemManager* manager);
  // Borrows the node manager's motions, asking for the forms a group of
  // solids or shells can read.
  void linkNodeMotions(NodeMotions* motions);
  // The solids' group entries (once, after the points and states are linked).
  void buildHexaLaneGroups(MaterialNew** materials, HourglassControl* hourglass);
  void buildShellLaneGroups(MaterialNew** materials, Section* sections, HourglassControl* hourglass);

  // ---- run time ----
  // Smallest critical step of the model from the flat material records
  // (first cycle); kCriticalDtStart for an empty model.
  double gpuCalCriticalDt(Material* materials, Section* sections, double safeFactor);
  // Mass report after the first step (nothing when flag is 0).
  void gpuCountMass(int flag);
  // The physical and the scaled mass of every element (x, y).
  double2 gpuMassSums();
  // Internal forces of all elements; candidate receives the smallest element
  // step and is left unchanged when no element has a step.
  void gpuAllElementInterFor(MaterialNew** materials, Section* sections, HourglassControl* hourglass, double dt,
                             cublasHandle_t handle, double* candidate, double safeFactor);
  void gpuMassScale(double targetDt);
  // Nodal sums of the element stresses and strains (before they are
  // averaged): each of the n nodes sums what its registered elements give
  // it, in the order of its registration slots, from zero; then the
  // smoothed-FEM domains add theirs.  The same sums on any number of
  // threads once the slots are in reading order (orderRegisteredSlotsOf,
  // elements/common/nodeGather.h).
  void gpuAccumulateStrToNode(NodeCuda* nodes, int n, Section* sections);
  // The step of the step array with the smallest magnitude (the first of
  // equal ones; a step that is not finite counts as 0) into candidate, when
  // it is below the sentinel.
  void takeSmallestStep(cublasHandle_t handle, double* candidate);
  int stepChunkNum() const;
  // The element whose stored step is not finite, or else the smallest, over
  // the families that keep a step (read back from the device).
  ElementStep smallestElementStep();

  // Entries of the step array: the families with a step, in launch order.
  int dtArrayNum() const {
    int n = 0;
    forEachFamily([&n](auto tag, auto, int count) { n += decltype(tag)::row.keepsStep ? count : 0; });
    return n;
  }
  // Calls f(FamilyTag<code>{}, pointers, count) for each family's device
  // pointer array, in the order of kElementFamilies (elements/common/elementFamily.h).
  template <typename F>
  void forEachFamily(F&& f) const {
    f(FamilyTag<FAMILY_DISCRETE>{}, discreteArrayGpu, discrete_num);
    f(FamilyTag<FAMILY_BEAM>{}, beamArrayGpu, beam_num);
    f(FamilyTag<FAMILY_SHELL>{}, shellArrayGpu, shell_num);
    f(FamilyTag<FAMILY_SOLID>{}, solidArrayGpu, solid_num);
    f(FamilyTag<FAMILY_BEAM_2ND>{}, beam2ndArrayGpu_, beam2ndNum_);
    f(FamilyTag<FAMILY_SHELL_2ND>{}, shell2ndArrayGpu_, shell2ndNum_);
    f(FamilyTag<FAMILY_SOLID_2ND>{}, solid2ndArrayGpu_, solid2ndNum_);
  }
  // Length of the per-block buffer of the critical-step pass.
  int blockDtNum() const;
};

// ---- kernels ----
__global__ void _AllSolidElementInterFor(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                         SolidElementCuda** elements, const HexaLaneGroup* groups,
                                         NodeMotionView motions, int n, double dt, double* steps, double safeFactor);
__global__ void BuildHexaLaneGroups(MaterialNew** materials, HourglassControl* hourglass, SolidElementCuda** elements,
                                    int n, HexaLaneGroup* groups);
__global__ void BuildShellLaneGroups(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                     ShellElementCuda** elements, int n, ShellLaneGroup* groups);
// Entries of the step array that are not finite become 0, so that the
// smallest step (through cuBLAS, which passes over them) stops the run.
__global__ void ZeroNonFiniteSteps(int n, double* steps);
// Per chunk of the step array, the step of smallest magnitude (not finite
// counts as 0), the first of equal ones.
__global__ void StepChunkMinima(int n, const double* steps, double* chunkMin);
__global__ void AllSolidDt(double* blockMin, int n, SolidElementCuda** elements, Material* materials,
                           double safeFactor);
__global__ void _AllBeamElementInterFor(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                        BeamElementCuda** elements, int n, double dt, double* steps, double safeFactor);
__global__ void _AllDiscreteElementInterFor(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                            DiscreteCuda** elements, int n, double dt);
__global__ void beamDt(double* blockMin, int n, BeamElementCuda** elements, Material* materials, Section* sections,
                       double safeFactor);
__global__ void MassScaledForBeam(double targetDt, int n, BeamElementCuda** elements);
__global__ void _AllShellElementInterFor(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                         ShellElementCuda** elements, const ShellLaneGroup* groups,
                                         NodeMotionView motions, int n, double dt, double* steps, double safeFactor);
__global__ void ShellDt(double* blockMin, int n, ShellElementCuda** elements, Material* materials, double safeFactor);
__global__ void MassScaledForShell(double targetDt, int n, ShellElementCuda** elements);
__global__ void _AllSolid2ndInterFor(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                     SolidElement2nd** elements, int n, double dt, double* steps, double safeFactor);
__global__ void AllSolid2ndDtGpu(double* blockMin, int n, SolidElement2nd** elements, Material* materials,
                                 double safeFactor);
__global__ void MassScaledForSolid(double targetDt, int n, SolidElementCuda** elements);
__global__ void MassScaledForSolid2nd(double targetDt, int n, SolidElement2nd** elements);
__global__ void MassScaledForShell2nd(double targetDt, int n, ShellElement2nd** elements);
__global__ void MassScaledForBeam2nd(double targetDt, int n, BeamElement2nd** elements);
// Doubles of a second-order solid's entry in the nodal-stress scratch: a
// flag (1 when it gives values), then stress and strain at each node.
constexpr int kSolid2ndStressEntry = 1 + 12 * kSolid2ndStressNodes;
// Each second-order solid's nodal stresses and strains into its scratch
// entry (elementNodeStress.cu).
__global__ void GpuSolid2ndNodeStress(int n, SolidElement2nd** elements, const Section* sections, double* scratch);
// Per node, the sums of the stresses, strains and weights its registered
// elements give it, from zero, in slot order (elementNodeStress.cu); the
// slots are to be in reading order already (orderRegisteredSlots, nodeGather.h).
__global__ void GpuSumElementStressAtNodes(int n, NodeCuda* nodes, const Section* sections,
                                           const double* solid2ndScratch);
__global__ void verSolidElement(int n, SolidElementCuda** elements);
__global__ void verBeamElement(int n, BeamElementCuda** elements);
__global__ void verShellElement(int n, ShellElementCuda** elements);
__global__ void verDiscreteElement(int n, DiscreteCuda** elements);
__global__ void verSolid2ndElement(int n, SolidElement2nd** elements);
