#include "solver/surfaceLoad.h"

#include <cstdio>

#include "contact/surface.h"
#include "contact/surfacemanager.h"
#include "core/nodeManager.h"
#include "solver/femdynamic.h"

namespace {
constexpr int kSurfaceLoadBlock = 64;
constexpr PressureLoad::TypeMessages kSegmentSetMessages = {
    "面载荷类型设置错误\n",         "目前面上不支持施加集中载荷\n", nullptr,
    "目前面上不支持施加体载荷\n",   "目前面上不支持施加重力载荷\n", "目前面上不支持施加转矩载荷\n",
    "目前面上不支持施加壳边载荷\n", "请补充这种面上载荷形式\n"};
}  // namespace

SurfaceLoad::SurfaceLoad() : PressureLoad(kSegmentSetMessages) {}

__global__ void GpuApplyUniforLoadToSurface(int n, SegmentCuda* segments, double p, double* shares) {
  const int k = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
  if (k >= n) return;
  if (shares == nullptr) {  // no share slots: the segments add at once
    segments[k].applyUniformNormLoadToNode(p);
    return;
  }
  double force[3] = {0.0, 0.0, 0.0};
  const int count = segments[k].pressureShare(p, force);
  for (int c = 0; c < 4; ++c) {
    for (int j = 0; j < 3; ++j) shares[3 * (4 * k + c) + j] = c < count ? force[j] : 0.0;
  }
}

// The surface id map is built after the loads are linked: the surface is
// checked here and bound in init.
bool SurfaceLoad::linkTarget(FEMDynamic* fem) {
  if (is_set == 0) return true;
  for (const Surface& s : fem->surfaceManager->surface_array) {
    if (s.id == id) return true;
  }
  std::fprintf(stderr, "%s: segment set %d is not in the model\n", cardName(), set_ref_id);
  return false;
}

// Four share slots per segment of the surface: each node of a segment adds
// into its node's force, the nodes shared by several segments in segment
// order.
void SurfaceLoad::init(FEMDynamic* fem) {
  if (is_set != 0) surface = fem->surfaceManager->findSurfaceById(id);
  NodeCuda* base = fem->nodeManager->node_array_gpu;
  if (surface == nullptr || base == nullptr) return;
  std::vector<double*> targets;
  for (const SegmentCuda& seg : surface->segment_array) {
    for (int c = 0; c < 4; ++c) {
      const NodeCuda* node = c < seg.node_num ? seg.node[c] : nullptr;
      targets.push_back(node != nullptr ? base[node->store_id].force : nullptr);
    }
  }
  shares_.build(targets);
}

void SurfaceLoad::applyGpu() {
  if (!typeApplies() || surface == nullptr || surface->segment_array_gpu == nullptr) return;
  const int n = surface->segment_num;
  if (n <= 0) return;
  const bool ordered = shares_.slotCount() == 4 * n;
  launch(GpuApplyUniforLoadToSurface, dim3((n - 1) / kSurfaceLoadBlock + 1), dim3(kSurfaceLoadBlock), n,
         surface->segment_array_gpu, pressureAlongNormal(), ordered ? shares_.shares() : nullptr);
  if (ordered) shares_.addIntoTargets();
}

void SurfaceLoad::applyCpu() {
  if (!typeApplies() || surface == nullptr) return;
  for (SegmentCuda& seg : surface->segment_array) seg.applyUniformNormLoadToNode(pressureAlongNormal());
}
