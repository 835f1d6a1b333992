// Sorting of the element driver's pointer arrays by type code, then
// material id, on the device (kept in its own file: Thrust compiles slowly).
#include "elements/common/elementControl.h"
#include "core/deviceFree.h"
#include "platform/deviceSort.h"

namespace {
struct ElementPtrSortTypeCmp {
  template <typename T>
  __host__ __device__ bool operator()(const T* a, const T* b) const {
    return a->type < b->type || (a->type == b->type && a->material_id < b->material_id);
  }
};
}  // namespace

void ElementControl::sortElementPtrByType() {
  forEachFamily([](auto, auto pointers, int count) { deviceSortPointers(pointers, count, ElementPtrSortTypeCmp{}); });
  // The shells' and solids' group entries follow their order: made again at the next pass.
  if (shellLaneGroups != nullptr) CUDA_CHECK(cudaFree(shellLaneGroups));
  shellLaneGroups = nullptr;
  freeDevice(hexaLaneGroups);
}
