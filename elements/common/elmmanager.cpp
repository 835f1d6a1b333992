// Host side of the per-part element store: classification, counts, node
// links, thicknesses, buffers of additional variables and id maps.
#include "elements/common/elmmanager.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "core/repeatedMessage.h"
#include "core/section.h"
#include "platform/hostParallel.h"

namespace {

template <typename T>
void copyHostBuffers(std::vector<T>& records) {
  for (T& e : records) {
    Element& base = e;
    if (base.additionalVariablePtr == nullptr) continue;
    if (base.additionalVariableNum <= 0) {
      base.additionalVariablePtr = nullptr;
      continue;
    }
    double* copy = new double[base.additionalVariableNum];
    std::copy(base.additionalVariablePtr, base.additionalVariablePtr + base.additionalVariableNum, copy);
    base.additionalVariablePtr = copy;
  }
}

// Number of leading non-zero ids: the nodes in use of a record whose node
// count is not fixed by its type.
template <int N>
int leadingIdCount(const int (&ids)[N]) {
  int n = 0;
  while (n < N && ids[n] != 0) ++n;
  return n;
}

// Node pointer k := base + (id k - 1) for the first count slots.  Ids 0 in
// optional slots (a beam without orientation node, unused slots of
// second-order records) give null.  Returns the first offending id, or 0.
template <int N>
int linkIds(const int (&ids)[N], NodeCuda* (&nodes)[N], int count, int optionalFrom, NodeCuda* base, int nodeNum) {
  for (int k = 0; k < count; ++k) {
    if (ids[k] == 0 && k >= optionalFrom) continue;
    if (ids[k] < 1 || ids[k] > nodeNum) return ids[k] == 0 ? -1 : ids[k];
  }
  for (int k = 0; k < N; ++k) nodes[k] = (k < count && ids[k] >= 1) ? base + (ids[k] - 1) : nullptr;
  return 0;
}

// Links every record of one family, in parallel; records with a node id
// outside the node array are then reported in record order and removed from
// the part (the records move only when one is removed).
template <typename T, typename Count>
void linkFamily(std::vector<T>& records, NodeCuda* base, int nodeNum, int optionalFrom, Count count) {
  std::vector<int> bad(records.size(), 0);
  fem_parallel::parallelFor(records.size(), 2048, [&](std::size_t i) {
    T& e = records[i];
    bad[i] = linkIds(e.node_id, e.node, count(e), optionalFrom, base, nodeNum);
  });
  if (std::find_if(bad.begin(), bad.end(), [](int b) { return b != 0; }) == bad.end()) return;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    T& e = records[i];
    if (bad[i] != 0) {
      if (countRepeated(REPEATED_ELEMENT_NODE_ID, e.id)) {
        printf("单元 %d 的节点编号 %d 不在 1 到 %d 之间，该单元不参与计算\n", e.id, bad[i] < 0 ? 0 : bad[i], nodeNum);
      }
      Element& head = e;
      head.freeAddMemory();
      continue;
    }
    if (kept != i) records[kept] = records[i];
    ++kept;
  }
  records.erase(records.begin() + static_cast<std::ptrdiff_t>(kept), records.end());
}

// A 4- or 6-node solid written without repeated ids is completed the way
// the 8-node form writes a tetrahedron or a pentahedron (the pentahedron in
// its classified node order, type 20).  Returns 4 or 6 for a completed
// solid, else 0.  Node pointers move with their ids.
int completeShortSolid(SolidElementCuda& e) {
  int* id = e.node_id;
  if (id[3] != 0 && id[4] == 0 && id[5] == 0 && id[6] == 0 && id[7] == 0) {
    for (int k = 4; k < 8; ++k) {
      id[k] = id[3];
      e.node[k] = e.node[3];
    }
    return 4;
  }
  if (id[5] != 0 && id[6] == 0 && id[7] == 0) {
    id[6] = id[7] = id[5];
    e.node[6] = e.node[7] = e.node[5];
    e.type = ET_PENTA;
    return 6;
  }
  return 0;
}

int pointCountOrDefault(const Section* section) {
  const int P = section != nullptr ? section->point_count : 0;
  return P == 0 ? 5 : P;
}

// Points through the thickness of a shell section: the line rule holds 1 to
// 7 points, so a count beyond it would give points without weight (a shell
// without stiffness) and a negative one no points at all; both are said and
// replaced by the nearest usable count.
int shellThicknessPoints(const Section* section, int P) {
  if (P >= 1 && P <= 7) return P;
  const int used = P > 7 ? 7 : 5;
  printf("shell section %d: %d points through the thickness cannot be integrated (1 to 7); its shells take %d\n",
         section != nullptr ? section->id : 0, P, used);
  return used;
}

}  // namespace

ElmManager::ElmManager(const ElmManager& other)
    : shell_element_array_cpu(other.shell_element_array_cpu),
      solid_element_array_cpu(other.solid_element_array_cpu),
      beam_element_array_cpu(other.beam_element_array_cpu),
      discrete_element_array_cpu(other.discrete_element_array_cpu),
      beam2ndArrayCpu_(other.beam2ndArrayCpu_),
      shell2ndArrayCpu_(other.shell2ndArrayCpu_),
      solid2ndArrayCpu_(other.solid2ndArrayCpu_),
      totMass(other.totMass) {
  copyHostBuffers(shell_element_array_cpu);
  copyHostBuffers(solid_element_array_cpu);
  copyHostBuffers(beam_element_array_cpu);
  copyHostBuffers(discrete_element_array_cpu);
  copyHostBuffers(beam2ndArrayCpu_);
  copyHostBuffers(shell2ndArrayCpu_);
  copyHostBuffers(solid2ndArrayCpu_);
}

ElmManager::ElmManager(ElmManager&& other) noexcept
    : shell_element_array_cpu(std::move(other.shell_element_array_cpu)),
      shell_element_array_gpu(std::exchange(other.shell_element_array_gpu, nullptr)),
      solid_element_array_cpu(std::move(other.solid_element_array_cpu)),
      solid_element_array_gpu(std::exchange(other.solid_element_array_gpu, nullptr)),
      beam_element_array_cpu(std::move(other.beam_element_array_cpu)),
      beam_element_array_gpu(std::exchange(other.beam_element_array_gpu, nullptr)),
      discrete_element_array_cpu(std::move(other.discrete_element_array_cpu)),
      discrete_element_array_gpu(std::exchange(other.discrete_element_array_gpu, nullptr)),
      beam2ndArrayCpu_(std::move(other.beam2ndArrayCpu_)),
      beam2ndArrayGpu_(std::exchange(other.beam2ndArrayGpu_, nullptr)),
      shell2ndArrayCpu_(std::move(other.shell2ndArrayCpu_)),
      shell2ndArrayGpu_(std::exchange(other.shell2ndArrayGpu_, nullptr)),
      solid2ndArrayCpu_(std::move(other.solid2ndArrayCpu_)),
      solid2ndArrayGpu_(std::exchange(other.solid2ndArrayGpu_, nullptr)),
      elementAmount(std::exchange(other.elementAmount, 0)),
      totMass(other.totMass),
      element_id_map(std::move(other.element_id_map)),
      element_gpu_id_map(std::move(other.element_gpu_id_map)) {
  other.shell_element_array_cpu.clear();
  other.solid_element_array_cpu.clear();
  other.beam_element_array_cpu.clear();
  other.discrete_element_array_cpu.clear();
  other.beam2ndArrayCpu_.clear();
  other.shell2ndArrayCpu_.clear();
  other.solid2ndArrayCpu_.clear();
  other.element_id_map.clear();
  other.element_gpu_id_map.clear();
}

ElmManager& ElmManager::operator=(const ElmManager& other) {
  if (this == &other) return *this;
  ElmManager copy(other);
  freeDeviceArrays();
  forEachElement([](Element& e) { e.freeAddMemory(); });
  shell_element_array_cpu.swap(copy.shell_element_array_cpu);
  solid_element_array_cpu.swap(copy.solid_element_array_cpu);
  beam_element_array_cpu.swap(copy.beam_element_array_cpu);
  discrete_element_array_cpu.swap(copy.discrete_element_array_cpu);
  beam2ndArrayCpu_.swap(copy.beam2ndArrayCpu_);
  shell2ndArrayCpu_.swap(copy.shell2ndArrayCpu_);
  solid2ndArrayCpu_.swap(copy.solid2ndArrayCpu_);
  totMass = other.totMass;
  elementAmount = 0;
  element_id_map.clear();
  element_gpu_id_map.clear();
  return *this;
}

ElmManager::~ElmManager() {
  // Device buffers first: a device record whose pointer still holds its
  // host record's address owns no device buffer.
  freeDeviceArrays();
  forEachElement([](Element& e) { e.freeAddMemory(); });
}

int ElmManager::hostElementNum() const {
  std::size_t n = 0;
  forEachFamily([&n](auto, const auto& records) { n += records.size(); });
  return static_cast<int>(n);
}

void ElmManager::setMaterialSectionId(int materialId, int sectionId) {
  forEachElement([&](Element& e) {
    e.material_id = materialId;
    e.section_id = sectionId;
  });
}

void ElmManager::setElementType(const Section* section) {
  if (section == nullptr) {
    printf("单元类型判定缺少截面属性\n");
    return;
  }
  const int F = section->element_formulation;
  const ElementNewType sectionType = static_cast<ElementNewType>(F);
  for (auto& e : beam_element_array_cpu) e.type = sectionType;
  for (auto& e : discrete_element_array_cpu) e.type = sectionType;
  for (auto& e : beam2ndArrayCpu_) e.type = sectionType;
  for (auto& e : shell2ndArrayCpu_) e.type = sectionType;
  for (auto& e : solid2ndArrayCpu_) e.type = sectionType;

  for (auto& e : shell_element_array_cpu) {
    const bool triangle = e.node_id[2] == e.node_id[3];
    if (F == ET_BT_SHELL || F == ET_BT_TRI_SHELL)
      e.type = triangle ? ET_BT_TRI_SHELL : ET_BT_SHELL;
    else if (F == ET_HL_SHELL)
      e.type = triangle ? ET_BT_TRI_SHELL : ET_HL_SHELL;
    else if (F == ET_MEMBRANE3 || F == ET_MEMBRANE4)
      e.type = triangle ? ET_MEMBRANE3 : ET_MEMBRANE4;
  }
  // Hughes-Liu shells have no formulation of their own: they take the
  // Belytschko-Tsay force, which the user is told once per part.
  for (const auto& e : shell_element_array_cpu)
    if (e.type == ET_HL_SHELL) {
      printf("part %d: Hughes-Liu shells (type 10) are computed with the Belytschko-Tsay formulation\n", e.part_id);
      break;
    }

  // The pyramid (apex in slot 1) and the one-point pentahedron (in the slots
  // of a hexahedron collapsed along two edges) cannot be told from their node
  // ids: a section of that formulation gives them its type.
  const bool typeFromSection = F == ET_PYRAMID_TL || F == ET_PENTA_REDUCED;
  for (auto& e : solid_element_array_cpu) {
    int* id = e.node_id;
    if (typeFromSection) {
      e.type = sectionType;
      continue;
    }
    if (completeShortSolid(e) == 6) continue;
    // An element already classified as a wedge keeps its reordered ids.
    if (e.type == ET_PENTA && id[5] == id[6] && id[6] == id[7] && id[4] != id[5]) continue;
    e.type = F == ET_HEXA_FULL ? ET_HEXA_FULL : ET_HEXA_REDUCED;
    if (id[3] != id[4] && id[4] == id[5] && id[5] != id[6] && id[6] == id[7]) {
      // A hexahedron collapsed along two edges: triangles (1, 5, 2) and
      // (4, 7, 3).  The node pointers move with their ids.
      static constexpr int order[8] = {0, 4, 1, 3, 6, 2, 2, 2};
      int ids[8];
      NodeCuda* nodes[8];
      for (int k = 0; k < 8; ++k) {
        ids[k] = id[order[k]];
        nodes[k] = e.node[order[k]];
      }
      for (int k = 0; k < 8; ++k) {
        id[k] = ids[k];
        e.node[k] = nodes[k];
      }
      e.type = ET_PENTA;
    }
    if (id[3] == id[4] && id[4] == id[5] && id[5] == id[6] && id[6] == id[7]) e.type = ET_TETRA_TL;
  }
}

void ElmManager::linkNodes(NodeCuda* nodeArray, int nodeNum) {
  if (nodeArray == nullptr) nodeNum = 0;
  linkFamily(shell_element_array_cpu, nodeArray, nodeNum, 4, [](const ShellElementCuda&) { return 4; });
  linkFamily(beam_element_array_cpu, nodeArray, nodeNum, 2, [](const BeamElementCuda&) { return 3; });
  fem_parallel::parallelFor(solid_element_array_cpu.size(), 4096,
                            [this](std::size_t i) { completeShortSolid(solid_element_array_cpu[i]); });
  linkFamily(solid_element_array_cpu, nodeArray, nodeNum, 8, [](const SolidElementCuda&) { return 8; });
  linkFamily(discrete_element_array_cpu, nodeArray, nodeNum, 2, [](const DiscreteCuda&) { return 2; });
  // Second-order records: every slot in use (leading non-zero ids).
  linkFamily(solid2ndArrayCpu_, nodeArray, nodeNum, kSolid2ndNodeMax,
             [](const SolidElement2nd& e) { return leadingIdCount(e.node_id); });
  linkFamily(shell2ndArrayCpu_, nodeArray, nodeNum, kShell2ndNodeMax,
             [](const ShellElement2nd& e) { return leadingIdCount(e.node_id); });
  linkFamily(beam2ndArrayCpu_, nodeArray, nodeNum, kBeam2ndNodeMax,
             [](const BeamElement2nd& e) { return leadingIdCount(e.node_id); });
  element_id_map.clear();
}

void ElmManager::linkNodes(NodeManager* nodeManager) {
  if (nodeManager == nullptr) return;
  linkNodes(nodeManager->node_array_cpu.data(), static_cast<int>(nodeManager->node_array_cpu.size()));
}

void ElmManager::setNodeThickness(const Section* section) {
  if (section == nullptr) return;
  if (section->family_code == FAMILY_BEAM) {
    for (auto& e : beam_element_array_cpu) {
      if (e.node[0] != nullptr) e.node[0]->thickness = section->outer_diameter[0];
      if (e.node[1] != nullptr) e.node[1]->thickness = section->outer_diameter[1];
    }
  } else if (section->family_code == FAMILY_SHELL) {
    const double* t = section->thickness;
    for (auto& e : shell_element_array_cpu) {
      for (int k = 0; k < 4; ++k)
        if (e.node[k] != nullptr) e.node[k]->thickness = t[k];
      e.setThick(section);
    }
    for (auto& e : shell2ndArrayCpu_) {
      for (NodeCuda* n : e.node)
        if (n != nullptr) n->thickness = t[0];
      e.thick = t[0];
      e.thickCurrent = t[0];
    }
  }
}

void ElmManager::setDtScaleFactor(double factor) {
  for (auto& e : shell_element_array_cpu) e.dtScaleFactor = factor;
  for (auto& e : solid_element_array_cpu) e.dtScaleFactor = factor;
  for (auto& e : beam_element_array_cpu) e.dtScaleFactor = factor;
  for (auto& e : discrete_element_array_cpu) e.dtScaleFactor = factor;
  for (auto& e : beam2ndArrayCpu_) e.dtScaleFactor = factor;
  for (auto& e : shell2ndArrayCpu_) e.dtScaleFactor = factor;
  for (auto& e : solid2ndArrayCpu_) e.dtScaleFactor = factor;
}

namespace {

// Enhanced or incompatible-mode parameters of a first-order solid type and
// the size its additional-variable buffer asks for.
struct SolidInternals {
  int params = 0;
  int seed = 0;
};

SolidInternals solidInternals(int type) {
  switch (type) {
    case ET_HEXA_INCOMPATIBLE:
      return {9, 10};
    case ET_SOLID_SHELL6:
      return {1, 2};
    case ET_SOLID_SHELL8:
      return {3, 4};
    default:
      return {};
  }
}

}  // namespace

void ElmManager::setInternalParamNum() {
  forEachElement([](Element& e) { e.internalParamNum = 0; });
  for (auto& e : solid_element_array_cpu) e.internalParamNum = solidInternals(e.type).params;
}

void ElmManager::setAdditionalVariableNum() {
  forEachElement([](Element& e) { e.additionalSeed = 0; });
  for (auto& e : solid_element_array_cpu) e.additionalSeed = solidInternals(e.type).seed;
}

void ElmManager::setTLFlag() {
  forEachElement([](Element& e) { e.tlFlag = 0; });
  for (auto& e : solid_element_array_cpu) e.tlFlag = (e.type == ET_TETRA_TL || e.type == ET_PYRAMID_TL) ? 1 : 0;
}

void ElmManager::setElementNodeNum() {
  for (auto& e : shell_element_array_cpu) {
    switch (e.type) {
      case ET_MEMBRANE3:
      case ET_CB_TRI_SHELL:
      case ET_BT_TRI_SHELL:
        e.node_num = 3;
        break;
      case ET_MEMBRANE4:
      case ET_BT_SHELL:
      case ET_HL_SHELL:
      case ET_SHELL4_11:
      case ET_SHELL4_12:
        e.node_num = 4;
        break;
      default:
        e.node_num = 0;
        printf("请补充这种壳单元的节点数\n");
    }
  }
  for (auto& e : solid_element_array_cpu) {
    e.node_num = solidTypeNodeNum(e.type);
    if (e.node_num == 0) printf("补充这种实体单元的节点数\n");
  }
  for (auto& e : beam_element_array_cpu) e.node_num = 2;
  for (auto& e : discrete_element_array_cpu) e.node_num = 2;
  // Second-order records: the corner and mid-side nodes of their type, or
  // the nodes in use when the type does not fix them.
  for (auto& e : solid2ndArrayCpu_) {
    e.node_num = solidTypeNodeNum(e.type);
    if (e.node_num < 10) e.node_num = leadingIdCount(e.node_id);
  }
  for (auto& e : shell2ndArrayCpu_) e.node_num = leadingIdCount(e.node_id);
  for (auto& e : beam2ndArrayCpu_) e.node_num = leadingIdCount(e.node_id);
}

void ElmManager::computeAddMemSize(const Section* section) {
  forEachElement([&](Element& e) { e.computeAddMemSize(section); });
}

void ElmManager::allocateAddMemory() {
  forEachElement([](Element& e) { e.allocateAddMemory(); });
}

void ElmManager::operatorOnAddMem(const Section* section) {
  forEachElement([&](Element& e) { e.operatorOnAddMem(section); });
}

void ElmManager::setElementSectionType() {
  for (auto& e : shell_element_array_cpu) e.setElementSectionType();
  for (auto& e : solid_element_array_cpu) e.setElementSectionType();
  for (auto& e : beam_element_array_cpu) e.setElementSectionType();
  for (auto& e : discrete_element_array_cpu) e.setElementSectionType();
  for (auto& e : beam2ndArrayCpu_) e.setElementSectionType();
  for (auto& e : shell2ndArrayCpu_) e.setElementSectionType();
  for (auto& e : solid2ndArrayCpu_) e.setElementSectionType();
}

void ElmManager::setGaussNodeNum() {
  forEachElement([](Element& e) { e.setGaussNodeNum(); });
}

void ElmManager::setSFemFlag(const Section* section) {
  if (section == nullptr || section->sfem_kind == 0) return;
  for (auto& e : solid_element_array_cpu) e.setSFemFlag(static_cast<SmoothFEMType>(section->sfem_kind));
}

void ElmManager::setIntegrationPointNum(const Section* section) {
  const int P = pointCountOrDefault(section);
  forEachElement([](Element& e) { e.integratPointNum = 0; });
  const int shellP = shell_element_array_cpu.empty() ? P : shellThicknessPoints(section, P);
  for (auto& e : shell_element_array_cpu) {
    switch (e.type) {
      case ET_MEMBRANE3:
      case ET_MEMBRANE4:
        e.thickPointNum = 1;
        e.planePointNum = 1;
        break;
      case ET_BT_SHELL:
      case ET_HL_SHELL:
      case ET_BT_TRI_SHELL:
        e.planePointNum = 1;
        e.thickPointNum = shellP;
        break;
      case ET_CB_TRI_SHELL:
        e.planePointNum = 1;
        if (e.thickPointNum == 0) e.thickPointNum = 5;
        break;
      case ET_SHELL4_11:
      case ET_SHELL4_12:
        printf("请补充该种单元的积分点个数\\n");
        break;
      default:
        break;
    }
    if (e.integratPointNum == 0) e.integratPointNum = e.thickPointNum * e.planePointNum;
  }
  auto solidPoints = [](Element& e) {
    switch (e.type) {
      case ET_TETRA_TL:
      case ET_HEXA_REDUCED:
      case ET_PENTA_REDUCED:
        e.integratPointNum = 1;
        break;
      case ET_PYRAMID_TL:
      case ET_TETRA10:
      case ET_TETRA10_M:
        e.integratPointNum = 4;
        break;
      case ET_HEXA_FULL:
      case ET_HEXA_INCOMPATIBLE:
      case ET_SOLID_SHELL8:
        e.integratPointNum = 8;
        break;
      case ET_PENTA:
        e.thickPointNum = 2;
        e.planePointNum = 1;
        break;
      case ET_SOLID_SHELL6:
        e.integratPointNum = 2;
        break;
      case ET_PENTA15:
      case ET_HEXA20:
        printf("请补充该种单元的积分点个数\\n");
        break;
      default:
        break;
    }
    if (e.integratPointNum == 0) e.integratPointNum = e.thickPointNum * e.planePointNum;
  };
  for (auto& e : solid_element_array_cpu) solidPoints(e);
  // Second-order solids take the counts of their type; second-order shells
  // and beams have no formulation and no points.
  for (auto& e : solid2ndArrayCpu_) solidPoints(e);
}

namespace {

int solidDomainShape(int type) {
  switch (type) {
    case ET_TETRA_TL:
    case ET_TETRA10:
    case ET_TETRA10_M:
      return DOMAIN_TETRA;
    case ET_PYRAMID_TL:
      return DOMAIN_NONE;
    case ET_HEXA_FULL:
    case ET_HEXA_REDUCED:
    case ET_HEXA_INCOMPATIBLE:
    case ET_SOLID_SHELL8:
    case ET_HEXA20:
      return DOMAIN_HEXA;
    case ET_PENTA:
    case ET_PENTA_REDUCED:
    case ET_SOLID_SHELL6:
    case ET_PENTA15:
      return DOMAIN_WEDGE;
    default:
      return -1;
  }
}

}  // namespace

void ElmManager::setIntegralDomainShape() {
  for (auto& e : beam_element_array_cpu) e.integralDomainShape = DOMAIN_NONE;
  for (auto& e : discrete_element_array_cpu) e.integralDomainShape = DOMAIN_NONE;
  for (auto& e : shell_element_array_cpu) {
    switch (e.type) {
      case ET_MEMBRANE3:
      case ET_MEMBRANE4:
      case ET_SHELL4_11:
        e.integralDomainShape = DOMAIN_NONE;
        break;
      case ET_BT_SHELL:
      case ET_HL_SHELL:
      case ET_CB_TRI_SHELL:
      case ET_BT_TRI_SHELL:
        e.integralDomainShape = DOMAIN_LINE;
        break;
      default:
        break;
    }
  }
  auto solidShape = [](Element& e) {
    const int shape = solidDomainShape(e.type);
    if (shape < 0)
      printf("当前单元无法指定积分域形状，请补充\n");
    else
      e.integralDomainShape = shape;
  };
  for (auto& e : solid_element_array_cpu) solidShape(e);
  for (auto& e : solid2ndArrayCpu_) solidShape(e);
  for (auto& e : shell2ndArrayCpu_) e.integralDomainShape = DOMAIN_NONE;
  for (auto& e : beam2ndArrayCpu_) e.integralDomainShape = DOMAIN_NONE;
}

// Ids mostly come in order: each then goes in at the end at constant cost.
void ElmManager::buildElementIdMap() {
  element_id_map.clear();
  for (auto& e : solid_element_array_cpu) element_id_map.emplace_hint(element_id_map.end(), e.id, &e);
  for (auto& e : shell_element_array_cpu) element_id_map.emplace_hint(element_id_map.end(), e.id, &e);
  for (auto& e : beam_element_array_cpu) element_id_map.emplace_hint(element_id_map.end(), e.id, &e);
  for (auto& e : solid2ndArrayCpu_) element_id_map.emplace_hint(element_id_map.end(), e.id, &e);
  for (auto& e : shell2ndArrayCpu_) element_id_map.emplace_hint(element_id_map.end(), e.id, &e);
  for (auto& e : beam2ndArrayCpu_) element_id_map.emplace_hint(element_id_map.end(), e.id, &e);
}

Element* ElmManager::findElementById(int id) {
  if (element_id_map.empty()) buildElementIdMap();
  auto it = element_id_map.find(id);
  return it == element_id_map.end() ? nullptr : it->second;
}

void ElmManager::setSolidIntegration(const Section* sectionArray) {
  if (solid_element_array_cpu.empty() || sectionArray == nullptr) return;
  const SolidElementCuda& first = solid_element_array_cpu.front();
  if (first.section_id < 1) return;
  if (sectionArray[first.section_id - 1].sfem_kind != 0) return;
  // Parts of null or rigid material have no points, so their solids skip the
  // set-up by themselves; a rigid-body flag on a node says nothing about the
  // part's own material and does not stop it.
  for (auto& e : solid_element_array_cpu) e.setSolidTLIntegration(e.integratPointNum);
}
