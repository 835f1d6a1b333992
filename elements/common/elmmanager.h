// The per-part element store: the part's records of every family, their
// classification and counts, host and device node links, the upload of the
// family the section selects, registration with the nodes and id lookups.
#pragma once
#include <map>
#include <vector>

#include "elements/beam/beamElement2nd.h"
#include "elements/beam/beamElementCuda.h"
#include "elements/beam/discreteCuda.h"
#include "elements/common/elementFamily.h"
#include "elements/shell/shellElement2nd.h"
#include "elements/shell/shellElementCuda.h"
#include "elements/solid2nd/solidElement2nd.h"
#include "elements/solid1st/solidElementCuda.h"

class NodeManager;
class MaterialNew;
struct Material;
struct Section;
struct HourglassControl;

class ElmManager {
 public:
  std::vector<ShellElementCuda> shell_element_array_cpu;
  ShellElementCuda* shell_element_array_gpu = nullptr;
  std::vector<SolidElementCuda> solid_element_array_cpu;
  SolidElementCuda* solid_element_array_gpu = nullptr;
  std::vector<BeamElementCuda> beam_element_array_cpu;
  BeamElementCuda* beam_element_array_gpu = nullptr;
  std::vector<DiscreteCuda> discrete_element_array_cpu;
  DiscreteCuda* discrete_element_array_gpu = nullptr;
  std::vector<BeamElement2nd> beam2ndArrayCpu_;
  BeamElement2nd* beam2ndArrayGpu_ = nullptr;
  std::vector<ShellElement2nd> shell2ndArrayCpu_;
  ShellElement2nd* shell2ndArrayGpu_ = nullptr;
  std::vector<SolidElement2nd> solid2ndArrayCpu_;
  SolidElement2nd* solid2ndArrayGpu_ = nullptr;
  int elementAmount = 0;                       // records uploaded
  double totMass = 0.0;                        // sum of the part's element masses
  std::map<int, Element*> element_id_map;      // id -> host record
  std::map<int, Element*> element_gpu_id_map;  // id -> device record

  ElmManager() = default;
  // The readers copy stores before set-up; a store that owns device arrays
  // or host buffers is never copied.
  ElmManager(const ElmManager& other);
  ElmManager& operator=(const ElmManager& other);
  // Takes the records, device arrays and maps over (the records do not
  // move in memory); other is left empty.  The store vector of the solver
  // moves its stores when it grows.
  ElmManager(ElmManager&& other) noexcept;
  virtual ~ElmManager();

  // ---- model set-up after reading ----
  void setMaterialSectionId(int materialId, int sectionId);
  void setElementType(const Section* section);
  // Node pointers from node ids.  An element with a node id outside
  // 1..node count is reported and removed from the part.
  void linkNodes(NodeCuda* nodeArray, int nodeNum);
  void linkNodes(NodeManager* nodeManager);
  void setNodeThickness(const Section* section);
  void setDtScaleFactor(double factor);

  // ---- host set-up ----
  void setInternalParamNum();
  void setAdditionalVariableNum();
  void setElementNodeNum();
  void setTLFlag();
  void computeAddMemSize(const Section* section);
  void allocateAddMemory();
  void operatorOnAddMem(const Section* section);
  void setElementSectionType();
  void setGaussNodeNum();
  void setSFemFlag(const Section* section);
  void setIntegrationPointNum(const Section* section);
  void setIntegralDomainShape();
  // Total-Lagrangian point set-up of the part's solids (after the points exist).
  void setSolidIntegration(const Section* sectionArray);
  void buildElementIdMap();

  // ---- device set-up ----
  void allocateAndCopyGpu(const Section* section);
  void gpuNodeMatch(NodeManager* nodeManager, const Section* section);
  void buildElementGpuIdMap();
  void gpuBuildIndexNode();

  // ---- host element passes ----
  // Internal forces, characteristic lengths and critical steps of the
  // part's elements; candidate is lowered to the part's smallest step.
  void computeInterForceCpu(const MaterialNew* material, Section* section, HourglassControl* hourglass, double dt,
                            double& candidate, double safeFactor);
  // Element masses to the nodes; totMass := their sum.
  void calNodeMass(const Material* material, const Section* section);
  // Lowers length to the smallest characteristic length of the part.
  void calMinCharactLength(double* length);
  // Smallest first-cycle step of the part's beams, springs and trusses
  // for the bar wave speed c (kBeamNoStepLimit when none limits it).
  double minBeamCriticalStep(double c, double safeFactor);
  // Host mass scaling of every element for the target step.
  void massScaleCpu(double targetDt);

  // ---- lookups ----
  Element* findElementById(int id);
  Element* findElementGpuById(int id);

  // Calls f(FamilyTag<code>{}, records) for the host records of each family,
  // in the order of kElementFamilies (elements/common/elementFamily.h).
  template <typename F>
  void forEachFamily(F&& f) {
    walkFamilies(*this, f);
  }
  template <typename F>
  void forEachFamily(F&& f) const {
    walkFamilies(*this, f);
  }
  // Applies f to every host record of all families, family by family.
  template <typename F>
  void forEachElement(F&& f) {
    forEachFamily([&f](auto, auto& records) {
      for (auto& e : records) f(static_cast<Element&>(e));
    });
  }
  // Number of host records of all seven families.
  int hostElementNum() const;

 private:
  void freeDeviceArrays();
  // The one place that lists the store's families.
  template <typename Self, typename F>
  static void walkFamilies(Self& m, F& f) {
    f(FamilyTag<FAMILY_DISCRETE>{}, m.discrete_element_array_cpu);
    f(FamilyTag<FAMILY_BEAM>{}, m.beam_element_array_cpu);
    f(FamilyTag<FAMILY_SHELL>{}, m.shell_element_array_cpu);
    f(FamilyTag<FAMILY_SOLID>{}, m.solid_element_array_cpu);
    f(FamilyTag<FAMILY_BEAM_2ND>{}, m.beam2ndArrayCpu_);
    f(FamilyTag<FAMILY_SHELL_2ND>{}, m.shell2ndArrayCpu_);
    f(FamilyTag<FAMILY_SOLID_2ND>{}, m.solid2ndArrayCpu_);
  }
};

// Device node-pointer fix-up, one thread per element.
__global__ void shellNodeMatch(NodeCuda* nodes, int n, ShellElementCuda* elements);
__global__ void solidNodeMatch(NodeCuda* nodes, int n, SolidElementCuda* elements);
__global__ void beamNodeMatch(NodeCuda* nodes, int n, BeamElementCuda* elements);
__global__ void discreteNodeMatch(NodeCuda* nodes, int n, DiscreteCuda* elements);
__global__ void shell2ndNodeMatch(NodeCuda* nodes, int n, ShellElement2nd* elements);
__global__ void solid2ndNodeMatch(NodeCuda* nodes, int n, SolidElement2nd* elements);
__global__ void beam2ndNodeMatch(NodeCuda* nodes, int n, BeamElement2nd* elements);
// Registration of the elements with their nodes, one thread per element.
__global__ void GpuBuildIndexNodeShell(int n, ShellElementCuda* elements);
__global__ void GpuBuildIndexNodeBeam(int n, BeamElementCuda* elements);
__global__ void GpuBuildIndexNodeSolid(int n, SolidElementCuda* elements);
__global__ void GpuBuildIndexNodeDiscrete(int n, DiscreteCuda* elements);
__global__ void GpuBuildIndexNodeSolid2nd(int n, SolidElement2nd* elements);
