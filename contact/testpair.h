// Candidate master segments of one contact node (at most 64), filled by the
// contact search and judged by pair production.
#pragma once
#include <type_traits>
#include "platform/gpu_runtime.h"

struct SegmentCuda;
struct ContactNodeCuda;

constexpr int kTestPairSlots = 64;

struct TestPairCuda {
  int next_check_cycle[kTestPairSlots];  // first cycle at which a candidate is judged again (host path)
  int side[kTestPairSlots];              // side the node started on: -1, 1, 0 = not known
  int side_now[kTestPairSlots];          // side found at the last judgement
  SegmentCuda* segment[kTestPairSlots];  // candidates; a null slot is empty
  int count;                             // number of candidates
  ContactNodeCuda* contactNode;          // owner
  int active_flag;                       // 1 when count is not 0

  __host__ __device__ void updateActiveFlag() { active_flag = count != 0 ? 1 : 0; }
};
static_assert(std::is_trivially_copyable_v<TestPairCuda>);

// Clean-up of every node's candidate list after pair production (one thread
// per test pair).
__global__ void GpuClearTestPair2(int n, TestPairCuda** pairs);
