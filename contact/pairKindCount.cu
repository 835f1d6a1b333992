#include "contact/pairKindCount.h"
#include "contact/contactpair.h"
#include "contact/pairmanager.h"
#include "core/gridIndex.h"
#include "core/logErrorPrint.h"

FEM_DEFINE_REPORT_CELL(PairKindCounts, pairKindCell, PairKindCounts{})

__global__ void GetNumOfContactPair(int n, ContactPairCuda** pairs) {
  const int i = gridStrideIndex();
  if (i >= n || pairs[i] == nullptr) return;
  const int kind = pairs[i]->kind;
  PairKindCounts& counts = pairKindCell();
  if (kind == NODE_TO_SEGMENT) atomicAdd(&counts.nodeToSegment, 1u);
  if (kind == NODE_TO_EDGE) atomicAdd(&counts.nodeToEdge, 1u);
  if (kind == NODE_TO_NODE) atomicAdd(&counts.nodeToNode, 1u);
}

PairKindCounts countPairKinds(const PairManager* pairs) {
  FEM_RESET_REPORT_CELL(pairKindCell, PairKindCounts{});
  const int n = pairs != nullptr ? pairs->contact_node_num : 0;
  if (n > 0 && pairs->contact_pair_array_gpu != nullptr) {
    launch(GetNumOfContactPair, dim3(static_cast<unsigned>((n - 1) / 64 + 1)), dim3(64), n,
           pairs->contact_pair_array_gpu);
  }
  syncDeviceForReports();
  return reportCellsOnDevice() ? FEM_REPORT_CELL_DEVICE_COPY(pairKindCell, PairKindCounts{}) : pairKindCellOnHost;
}
