// Second-order beam record: node ids, node pointers and section data only
// (no force, mass or step is computed for it).
#pragma once
#include <type_traits>

#include "core/node.h"
#include "elements/common/element.h"

constexpr int kBeam2ndNodeMax = 3;

struct BeamElement2nd : Element {
  int node_id[kBeam2ndNodeMax] = {};  // end 1, end 2, mid node
  NodeCuda* node[kBeam2ndNodeMax] = {};
  double dtScaleFactor = 0.0;  // time-step multiplier (1.0 after set-up)

  __host__ __device__ void setElementSectionType() { sectionType = FAMILY_BEAM_2ND; }
  // Node pointers of the first gaussNodeNum ids; slots beyond them and ids
  // below 1 give null.
  __host__ __device__ void bulidNodeMatch(NodeCuda* nodes) {
    for (int k = 0; k < kBeam2ndNodeMax; ++k)
      node[k] = (k < gaussNodeNum && node_id[k] >= 1) ? nodes + (node_id[k] - 1) : nullptr;
  }
  // Not registered with its nodes: it has no forces to gather.
  __host__ __device__ void builNodeIndex() {}
};

static_assert(std::is_trivially_copyable_v<BeamElement2nd>);
