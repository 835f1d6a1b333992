// Sorting of the element driver's pointer arrays by type code, then
// material id, on the device (kept in its own file: Thrust compiles slowly).
#include "elements/elementControl.h"
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
  deviceSortPointers(beamArrayGpu, beam_num, ElementPtrSortTypeCmp{});
  deviceSortPointers(shellArrayGpu, shell_num, ElementPtrSortTypeCmp{});
  if (shellLaneGroups != nullptr) CUDA_CHECK(cudaFree(shellLaneGroups));
  shellLaneGroups = nullptr;
  deviceSortPointers(solidArrayGpu, solid_num, ElementPtrSortTypeCmp{});
  // The solids' group entries follow their order: made again at the next pass.
  freeDevice(hexaLaneGroups);
  deviceSortPointers(discreteArrayGpu, discrete_num, ElementPtrSortTypeCmp{});
  deviceSortPointers(solid2ndArrayGpu_, solid2ndNum_, ElementPtrSortTypeCmp{});
  deviceSortPointers(shell2ndArrayGpu_, shell2ndNum_, ElementPtrSortTypeCmp{});
  deviceSortPointers(beam2ndArrayGpu_, beam2ndNum_, ElementPtrSortTypeCmp{});
}
