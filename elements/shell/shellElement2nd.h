// Second-order shell record: node ids, node pointers and section data only
// (no force, mass or step is computed for it).
#pragma once
#include <type_traits>

#include "core/node.h"
#include "elements/common/element.h"

constexpr int kShell2ndNodeMax = 8;

struct ShellElement2nd : Element {
  int node_id[kShell2ndNodeMax] = {};     // nodes in use first, unused slots 0
  NodeCuda* node[kShell2ndNodeMax] = {};  // one per integration-point node, in order
  double dtScaleFactor = 0.0;             // time-step multiplier (1.0 after set-up)
  double thick = 0.0;                     // both set from the section's first nodal thickness
  double thickCurrent = 0.0;

  __host__ __device__ void setElementSectionType() { sectionType = FAMILY_SHELL_2ND; }
  // Node pointers of the first gaussNodeNum ids; slots beyond them and ids
  // below 1 give null.
  __host__ __device__ void bulidNodeMatch(NodeCuda* nodes) {
    for (int k = 0; k < kShell2ndNodeMax; ++k)
      node[k] = (k < gaussNodeNum && node_id[k] >= 1) ? nodes + (node_id[k] - 1) : nullptr;
  }
  // Not registered with its nodes: it has no forces to gather.
  __host__ __device__ void builNodeIndex() {}
};

static_assert(std::is_trivially_copyable_v<ShellElement2nd>);
