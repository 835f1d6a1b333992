// Active contact pairs counted by kind on the device, for the progress log.
#pragma once
#include "platform/reportCell.h"

class PairManager;
struct ContactPairCuda;

struct PairKindCounts {
  unsigned int nodeToSegment;
  unsigned int nodeToEdge;
  unsigned int nodeToNode;
};
FEM_DECLARE_REPORT_CELL(PairKindCounts, pairKindCell)

// Counts the pairs of every pair slot by kind (the device is idle
// before and after).
PairKindCounts countPairKinds(const PairManager* pairs);

// Counts the active contact pairs by kind into the counters of the cell.
__global__ void GetNumOfContactPair(int n, ContactPairCuda** pairs);
