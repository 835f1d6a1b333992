#include "solver/load.h"

#include <cmath>
#include <cstdio>

#include "core/linkEvery.h"
#include "core/curve.h"
#include "core/curvemanager.h"
#include "core/nodeManager.h"
#include "core/set.h"
#include "core/setManager.h"
#include "elements/common/elementType.h"
#include "elements/common/elmmanager.h"
#include "elements/shell/shellElementCuda.h"
#include "solver/femdynamic.h"
#include "solver/constrainedNodes.h"

namespace {
constexpr int kLoadBlock = 64;

dim3 loadGrid(int n) { return dim3(static_cast<unsigned>((n - 1) / kLoadBlock + 1)); }

__host__ __device__ inline void addToComponent(NodeCuda& node, int i, double v) {
  if (i < 3) {
    node.force[i] += v;
  } else {
    node.moment[i - 3] += v;
  }
}

// The node list of a node load: its set's nodes or its one node.
std::vector<NodeCuda*> nodeTargets(Set* set, NodeCuda* node) {
  if (set != nullptr) return set->node_array_cpu;
  return node != nullptr ? std::vector<NodeCuda*>{node} : std::vector<NodeCuda*>{};
}
}  // namespace

__host__ __device__ int shellPressureShare(const ShellElementCuda& shell, double p, double share[3]) {
  const bool triangle = shell.node_id[3] == shell.node_id[2] || shell.node_id[3] == 0 || shell.node[3] == nullptr;
  const int count = triangle ? 3 : 4;
  for (int k = 0; k < count; ++k) {
    if (shell.node[k] == nullptr) return 0;
  }
  const double* x1 = shell.node[0]->coord;
  const double* x2 = shell.node[1]->coord;
  const double* x3 = shell.node[2]->coord;
  double a[3], b[3];
  for (int j = 0; j < 3; ++j) {
    if (triangle) {
      a[j] = x2[j] - x1[j];
      b[j] = x3[j] - x2[j];
    } else {
      a[j] = x3[j] - x1[j];
      b[j] = shell.node[3]->coord[j] - x2[j];
    }
  }
  // |a x b| / 2 is the area of the triangle and of a flat quadrilateral
  // (half the cross product of its diagonals).
  const double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  const double length = sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (!(length > 0.0)) return 0;
  const double area = 0.5 * length;
  for (int j = 0; j < 3; ++j) share[j] = p * area * (n[j] / length) / count;
  return count;
}

__host__ __device__ void applyUniformNormLoadToShell(ShellElementCuda& shell, double p) {
  double share[3];
  const int count = shellPressureShare(shell, p, share);
  for (int k = 0; k < count; ++k) {
    for (int j = 0; j < 3; ++j) atomicAddAnywhere(&shell.node[k]->force[j], share[j]);
  }
}

__global__ void GpuApplyNodeLoad(int n, NodeCuda** nodes, int i, double v) {
  const int k = blockIdx.x * kLoadBlock + threadIdx.x;
  if (k < n && nodes[k] != nullptr) addToComponent(*nodes[k], i, v);
}

__global__ void GpuApplyGlobalLoad(int n, NodeCuda* nodes, double g, int i) {
  const int k = blockIdx.x * kLoadBlock + threadIdx.x;
  if (k < n) nodes[k].force[i] += massBeforeTransfer(nodes[k]) * g;
}

__global__ void GpuApplyUniforLoadToElement(int n, Element** elements, double p) {
  const int k = blockIdx.x * kLoadBlock + threadIdx.x;
  if (k < n && elements[k] != nullptr && elements[k]->sectionType == FAMILY_SHELL) {
    applyUniformNormLoadToShell(*static_cast<ShellElementCuda*>(elements[k]), p);
  }
}

__global__ void GpuShellPressureShares(int n, Element** elements, double p, double* shares) {
  const int k = blockIdx.x * kLoadBlock + threadIdx.x;
  if (k >= n) return;
  double share[3] = {0.0, 0.0, 0.0};
  int count = 0;
  if (elements[k] != nullptr && elements[k]->sectionType == FAMILY_SHELL) {
    count = shellPressureShare(*static_cast<ShellElementCuda*>(elements[k]), p, share);
  }
  for (int c = 0; c < 4; ++c) {
    for (int j = 0; j < 3; ++j) shares[3 * (4 * k + c) + j] = c < count ? share[j] : 0.0;
  }
}

bool BasicLoad::linkCurve(CurveManager* curveManager) { return curveManager->linkCurve(curve_id, curve, cardName()); }

void BasicLoad::computeFactor(double t) { factor = curve != nullptr ? curve->returnValue(t) : 1.0; }

bool NodeLoad::linkTarget(FEMDynamic* fem) {
  set = nullptr;
  node = nullptr;
  if (is_set != 0) {
    set = fem->setManager->findSet(id, SET_NODE);
    if (set == nullptr) std::fprintf(stderr, "%s: node set %d is not in the model\n", cardName(), id);
  } else {
    node = nodeByNumber(fem->nodeManager, id);
    if (node == nullptr) std::fprintf(stderr, "%s: node %d is not in the model\n", cardName(), id);
  }
  targets_ = nodeTargets(set, node);
  return set != nullptr || node != nullptr;
}

void NodeLoad::init(FEMDynamic* fem) { nodeGpu_.build(targets_, fem->nodeManager); }

// A node load is a concentrated load whatever its type.
void NodeLoad::applyGpu() {
  const int n = nodeGpu_.size();
  if (n <= 0) return;
  for (int i = 0; i < 6; ++i) {
    if (direction[i] == 0.0) continue;
    launch(GpuApplyNodeLoad, loadGrid(n), dim3(kLoadBlock), n, nodeGpu_.data(), i, scale_factor * factor);
  }
}

void NodeLoad::applyCpu() {
  for (int i = 0; i < 6; ++i) {
    if (direction[i] == 0.0) continue;
    for (NodeCuda* target : targets_) {
      if (target != nullptr) addToComponent(*target, i, scale_factor * factor);
    }
  }
}

bool NodeLoad::momentTargetsRotate(const FEMDynamic& fem) const {
  int axis = -1;
  for (int i = 3; i < 6 && axis < 0; ++i) {
    if (direction[i] != 0.0) axis = i - 3;
  }
  if (axis < 0) return true;
  for (const NodeCuda* target : targets_) {
    if (target == nullptr || target->rigid_flag != 0 || target->rot_inertia[axis] > kNodeMassTolerance) continue;
    std::fprintf(stderr,
                 "%s: node %d carries no rotation (no shell, beam or rigid body holds it); the moment about %c "
                 "cannot act on it\n",
                 cardName(), deckNodeId(fem, target->id), "xyz"[axis]);
    return false;
  }
  return true;
}

bool ElementLoad::linkTarget(FEMDynamic* fem) {
  set = fem->setManager->findSet(id, SET_ELEMENT);
  if (set == nullptr) {
    std::fprintf(stderr, "%s: shell element set %d is not in the model\n", cardName(), id);
    return false;
  }
  return true;
}

bool PressureLoad::typeApplies() const {
  if (load_type == LOAD_PRESSURE) return true;
  std::printf("%s", (*messages_)[load_type >= 0 && load_type <= LOAD_SHELL_EDGE ? load_type : LOAD_SHELL_EDGE + 1]);
  return false;
}

namespace {
constexpr PressureLoad::TypeMessages kShellSetMessages = {
    "单元载荷类型设置错误\n",         "目前单元上不支持施加集中载荷\n", nullptr,
    "目前单元上不支持施加体载荷\n",   "目前单元上不支持施加重力载荷\n", "目前单元上不支持施加转矩载荷\n",
    "目前单元上不支持施加壳边载荷\n", "请补充这种单元上载荷形式\n"};
}  // namespace

ElementLoad::ElementLoad() : PressureLoad(kShellSetMessages) {}

// Four share slots per element of the set, in the order of its device list
// (one per id): each corner of a shell adds into its node's force.
void ElementLoad::init(FEMDynamic* fem) {
  NodeCuda* base = fem->nodeManager->node_array_gpu;
  if (set == nullptr || base == nullptr) return;
  std::vector<double*> targets;
  for (int id : set->id_array) {
    Element* e = nullptr;
    for (ElmManager& elements : fem->elm_manager_array) {
      if (e == nullptr) e = elements.findElementById(id);
    }
    const auto* shell = e != nullptr && e->sectionType == FAMILY_SHELL ? static_cast<ShellElementCuda*>(e) : nullptr;
    for (int c = 0; c < 4; ++c) {
      const NodeCuda* node = shell != nullptr ? shell->node[c] : nullptr;
      const bool repeated =
          c == 3 && shell != nullptr && (shell->node_id[3] == shell->node_id[2] || shell->node_id[3] == 0);
      targets.push_back(node != nullptr && !repeated ? base[node->store_id].force : nullptr);
    }
  }
  shares_.build(targets);
}

// The shells write their corners' shares; each node adds them in the set's
// order.
void ElementLoad::applyGpu() {
  if (!typeApplies() || set == nullptr) return;
  const int n = set->element_array_gpu_num;
  if (n <= 0 || set->element_array_gpu == nullptr) return;
  if (shares_.slotCount() != 4 * n) {  // not set up: the shells add at once
    launch(GpuApplyUniforLoadToElement, loadGrid(n), dim3(kLoadBlock), n, set->element_array_gpu,
           pressureAlongNormal());
    return;
  }
  launch(GpuShellPressureShares, loadGrid(n), dim3(kLoadBlock), n, set->element_array_gpu, pressureAlongNormal(),
         shares_.shares());
  shares_.addIntoTargets();
}

void ElementLoad::applyCpu() {
  if (!typeApplies() || set == nullptr) return;
  for (Element* e : set->element_array_cpu) {
    if (e != nullptr && e->sectionType == FAMILY_SHELL) {
      applyUniformNormLoadToShell(*static_cast<ShellElementCuda*>(e), pressureAlongNormal());
    }
  }
}

bool GlobalLoad::linkTarget(FEMDynamic* fem) {
  nodeManager = fem->nodeManager;
  return true;
}

bool GlobalLoad::typeApplies() const {
  static const char* const kMessages[] = {"完整模型载荷类型设置错误\n",
                                          "目前整个模型上不支持施加集中载荷\n",
                                          "目前整个模型上不支持施加压力载荷\n",
                                          "目前整个模型上不支持施加体力载荷\n",
                                          nullptr,
                                          "目前整个模型上不支持施加转矩载荷\n",
                                          "目前整个模型上不支持施加壳边载荷\n"};
  if (load_type == LOAD_GRAVITY) return true;
  if (load_type >= 0 && load_type <= LOAD_SHELL_EDGE) std::printf("%s", kMessages[load_type]);
  return false;
}

void GlobalLoad::applyGpu() {
  if (!typeApplies() || nodeManager == nullptr || nodeManager->node_array_gpu == nullptr) return;
  const int n = nodeManager->totNodeNum;
  if (n <= 0) return;
  for (int i = 0; i < 3; ++i) {
    if (direction[i] == 0.0) continue;
    launch(GpuApplyGlobalLoad, loadGrid(n), dim3(kLoadBlock), n, nodeManager->node_array_gpu,
           scale_factor * factor * direction[i], i);
  }
}

void GlobalLoad::applyCpu() {
  if (!typeApplies() || nodeManager == nullptr) return;
  for (int i = 0; i < 3; ++i) {
    if (direction[i] == 0.0) continue;
    for (NodeCuda& node : nodeManager->node_array_cpu)
      node.force[i] += massBeforeTransfer(node) * scale_factor * factor * direction[i];
  }
}

void LoadManager::addLoad(BasicLoad* load) {
  if (load != nullptr) load_array.emplace_back(load);
}

bool LoadManager::linkAllTargets(FEMDynamic* fem) {
  return linkEvery(load_array, [fem](auto& load) { return load->linkTarget(fem); });
}

bool LoadManager::linkAllCurves(CurveManager* curveManager) {
  return linkEvery(load_array, [curveManager](auto& load) { return load->linkCurve(curveManager); });
}

bool LoadManager::momentTargetsRotate(const FEMDynamic& fem) const {
  bool turn = true;
  for (const auto& load : load_array) {
    const auto* nodeLoad = dynamic_cast<const NodeLoad*>(load.get());
    if (nodeLoad != nullptr) turn = nodeLoad->momentTargetsRotate(fem) && turn;
  }
  return turn;
}

void LoadManager::initAll(FEMDynamic* fem) {
  for (auto& load : load_array) load->init(fem);
}

void LoadManager::computeAllFactors(double time) {
  for (auto& load : load_array) load->computeFactor(time);
}

void LoadManager::applyAllGpu() {
  for (auto& load : load_array) load->applyGpu();
}

void LoadManager::applyAllCpu() {
  for (auto& load : load_array) load->applyCpu();
}
