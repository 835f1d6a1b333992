#include "solver/boundary.h"

#include <cstdio>
#include <utility>

#include "core/linkEvery.h"
#include "core/curve.h"
#include "core/curvemanager.h"
#include "core/nodeManager.h"
#include "core/set.h"
#include "core/setManager.h"
#include "solver/femdynamic.h"
#include "solver/prescribedNodes.h"
#include "solver/rigidmanager.h"

namespace {
constexpr int kBoundaryBlock = 64;

dim3 boundaryGrid(int n) { return dim3(static_cast<unsigned>((n - 1) / kBoundaryBlock + 1)); }

const char* cardOf(const BasicBoundary& b) { return b.card.empty() ? "boundary" : b.card.c_str(); }

__host__ __device__ inline void imposeOnNodeList(int kind, double dt, double dtPrev, double v, int i, int n,
                                                 NodeCuda** nodes, int k) {
  if (k < n && nodes[k] != nullptr) imposeBoundaryComponent(*nodes[k], kind, i, v, dt, dtPrev);
}
}  // namespace

__global__ void GpuBoundaryDispImpose(double dt, double dtPrev, double v, int i, int n, NodeCuda** nodes) {
  imposeOnNodeList(BOUNDARY_DISPLACEMENT, dt, dtPrev, v, i, n, nodes, blockIdx.x * kBoundaryBlock + threadIdx.x);
}
__global__ void GpuBoundaryVeloImpose(double dt, double dtPrev, double v, int i, int n, NodeCuda** nodes) {
  imposeOnNodeList(BOUNDARY_VELOCITY, dt, dtPrev, v, i, n, nodes, blockIdx.x * kBoundaryBlock + threadIdx.x);
}
__global__ void GpuBoundaryAcceImpose(double dt, double dtPrev, double v, int i, int n, NodeCuda** nodes) {
  imposeOnNodeList(BOUNDARY_ACCELERATION, dt, dtPrev, v, i, n, nodes, blockIdx.x * kBoundaryBlock + threadIdx.x);
}

bool BasicBoundary::linkCurve(CurveManager* curveManager) {
  return curveManager->linkCurve(curve_id, curve, cardOf(*this));
}

void BasicBoundary::computeFactor(double t) { factor = curve != nullptr ? curve->returnValue(t) : 1.0; }

void BasicBoundary::imposeOnHost(const std::vector<NodeCuda*>& nodes, DofRange dofs, double dt, double dtPrev) const {
  for (int i = dofs.first; i < dofs.last; ++i) {
    if (dof_flag[i] == 0) continue;
    if (type == BOUNDARY_NONE) {
      std::printf("边界条件类型设置错误\n");
      continue;
    }
    for (NodeCuda* node : nodes) {
      if (node != nullptr) imposeBoundaryComponent(*node, type, i, factor * dof_value[i], dt, dtPrev);
    }
  }
}

void BasicBoundary::imposeOnDevice(const DeviceNodeList& list, DofRange dofs, double dt, double dtPrev) const {
  NodeCuda** nodes = list.data();
  const int n = list.size();
  if (nodes == nullptr || n <= 0) return;
  for (int i = dofs.first; i < dofs.last; ++i) {
    if (dof_flag[i] == 0) continue;
    const double v = factor * dof_value[i];
    switch (type) {
      case BOUNDARY_NONE:
        std::printf("边界条件类型设置错误\n");
        break;
      case BOUNDARY_DISPLACEMENT:
        launch(GpuBoundaryDispImpose, boundaryGrid(n), dim3(kBoundaryBlock), dt, dtPrev, v, i, n, nodes);
        break;
      case BOUNDARY_VELOCITY:
        launch(GpuBoundaryVeloImpose, boundaryGrid(n), dim3(kBoundaryBlock), dt, dtPrev, v, i, n, nodes);
        break;
      case BOUNDARY_ACCELERATION:
      case BOUNDARY_ACCELERATION_ALT:
        launch(GpuBoundaryAcceImpose, boundaryGrid(n), dim3(kBoundaryBlock), dt, dtPrev, v, i, n, nodes);
        break;
      default:
        break;
    }
  }
}

bool NodeBoundary::linkTarget(FEMDynamic* fem) {
  targets_.clear();
  set = nullptr;
  node = nullptr;
  if (is_set != 0) {
    set = fem->setManager->findSet(id, SET_NODE);
    if (set == nullptr) {
      std::fprintf(stderr, "%s: node set %d is not in the model\n", cardOf(*this), id);
      return false;
    }
    targets_ = set->node_array_cpu;
    return true;
  }
  node = nodeByNumber(fem->nodeManager, id);
  if (node == nullptr) {
    std::fprintf(stderr, "%s: node %d is not in the model\n", cardOf(*this), id);
    return false;
  }
  targets_.push_back(node);
  return true;
}

void NodeBoundary::init(FEMDynamic* fem) {
  PrescribedNodes carriers = prescribedNodes(targets_, *fem->constrainedManager, *fem->tieManager);
  translated_ = std::move(carriers.translation);
  rotated_ = std::move(carriers.rotation);
  translatedGpu_.build(translated_, fem->nodeManager);
  rotatedGpu_.build(rotated_, fem->nodeManager);
}

void NodeBoundary::applyGpu(double dt, double dtPrev) {
  imposeOnDevice(translatedGpu_, kTranslations, dt, dtPrev);
  imposeOnDevice(rotatedGpu_, kRotations, dt, dtPrev);
}

void NodeBoundary::applyCpu(double dt, double dtPrev) {
  imposeOnHost(translated_, kTranslations, dt, dtPrev);
  imposeOnHost(rotated_, kRotations, dt, dtPrev);
}

bool RigidBoundary::linkTarget(FEMDynamic* fem) {
  rigid = fem->rigidManager->findRigidByPart(id);
  if (rigid == nullptr) {
    std::fprintf(stderr, "%s: part %d is not a rigid body of the model\n", cardOf(*this), id);
    return false;
  }
  return true;
}

void BoundaryManager::addBoundary(BasicBoundary* boundary) {
  if (boundary != nullptr) boundary_array.emplace_back(boundary);
}

bool BoundaryManager::linkAllTargets(FEMDynamic* fem) {
  return linkEvery(boundary_array, [fem](auto& b) { return b->linkTarget(fem); });
}

bool BoundaryManager::linkAllCurves(CurveManager* curveManager) {
  return linkEvery(boundary_array, [curveManager](auto& b) { return b->linkCurve(curveManager); });
}

void BoundaryManager::initAll(FEMDynamic* fem) {
  for (auto& b : boundary_array) b->init(fem);
}

void BoundaryManager::computeAllFactors(double time, double reachedTime) {
  for (auto& b : boundary_array) b->computeFactor(b->type == BOUNDARY_DISPLACEMENT ? reachedTime : time);
}

void BoundaryManager::applyAllGpu(double time, double dt, double prevDt) {
  for (auto& b : boundary_array) {
    if (b->activeAt(time)) b->applyGpu(dt, prevDt);
  }
}

void BoundaryManager::applyAllCpu(double time, double dt, double prevDt) {
  for (auto& b : boundary_array) {
    if (b->activeAt(time)) b->applyCpu(dt, prevDt);
  }
}
