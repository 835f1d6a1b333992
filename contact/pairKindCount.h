// Active contact pairs counted by kind on the device, for the progress log.
#pragma once
#include "platform/gpu_runtime.h"

class PairManager;
struct ContactPairCuda;

struct PairKindCounts {
  unsigned int nodeToSegment = 0;
  unsigned int nodeToEdge = 0;
  unsigned int nodeToNode = 0;
};

// Counts the pairs of every pair slot by kind (the device is idle
// before and after).
PairKindCounts countPairKinds(const PairManager* pairs);

// Counts the active contact pairs by kind into the three managed counters.
__global__ void GetNumOfContactPair(int n, ContactPairCuda** pairs);
