#include "solver/surfaceLoad.h"

#include <cstdio>

#include "contact/surface.h"
#include "contact/surfacemanager.h"
#include "solver/femdynamic.h"

namespace {
constexpr int kSurfaceLoadBlock = 64;
}  // namespace

__global__ void GpuApplyUniforLoadToSurface(int n, SegmentCuda* segments, double p) {
  const int k = static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x);
  if (k < n) segments[k].applyUniformNormLoadToNode(p);
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

void SurfaceLoad::init(FEMDynamic* fem) {
  if (is_set != 0) surface = fem->surfaceManager->findSurfaceById(id);
}

bool SurfaceLoad::typeApplies() const {
  static const char* const kMessages[] = {"面载荷类型设置错误\n",         "目前面上不支持施加集中载荷\n",
                                          nullptr,                        "目前面上不支持施加体载荷\n",
                                          "目前面上不支持施加重力载荷\n", "目前面上不支持施加转矩载荷\n",
                                          "目前面上不支持施加壳边载荷\n", "请补充这种面上载荷形式\n"};
  return onlyPressureApplies(kMessages);
}

void SurfaceLoad::applyGpu() {
  if (!typeApplies() || surface == nullptr || surface->segment_array_gpu == nullptr) return;
  const int n = surface->segment_num;
  if (n <= 0) return;
  launch(GpuApplyUniforLoadToSurface, dim3((n - 1) / kSurfaceLoadBlock + 1), dim3(kSurfaceLoadBlock), n,
         surface->segment_array_gpu, pressureAlongNormal());
}

void SurfaceLoad::applyCpu() {
  if (!typeApplies() || surface == nullptr) return;
  for (SegmentCuda& seg : surface->segment_array) seg.applyUniformNormLoadToNode(pressureAlongNormal());
}
