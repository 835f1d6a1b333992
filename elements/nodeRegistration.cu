// Registration of the elements with their nodes (device, one thread per
// element): the node's slots take the element and the node's position in
// it, and the slots' order. The methods of the node record are defined
// here, beside the element families they take.
#include "core/node.h"
#include "elements/beamElementCuda.h"
#include "elements/discreteCuda.h"
#include "elements/shellElementCuda.h"
#include "elements/solidElementCuda.h"

namespace {
// Reading position, then local node number: the order of a node's slots.
__host__ __device__ inline bool slotBefore(const Element* a, int localA, const Element* b, int localB) {
  if (a == nullptr || b == nullptr) return a != nullptr;  // empty entries last
  if (a->store_id != b->store_id) return a->store_id < b->store_id;
  return localA < localB;
}
}  // namespace

__host__ __device__ void NodeCuda::orderRegisteredElements() {
  const int n = registeredElementNum();
  for (int k = 1; k < n; ++k) {
    Element* e = element[k];
    const int local = local_node_num[k];
    int j = k;
    for (; j > 0 && slotBefore(e, local, element[j - 1], local_node_num[j - 1]); --j) {
      element[j] = element[j - 1];
      local_node_num[j] = local_node_num[j - 1];
    }
    element[j] = e;
    local_node_num[j] = local;
  }
}

__device__ void NodeCuda::registerElement(Element* e, int localNo, const char* overflowMessage) {
  const int k = atomicAdd(&element_num, 1);
  if (k >= kNodeElementSlots) {
    printf(overflowMessage, id);
    return;
  }
  element[k] = e;
  local_node_num[k] = localNo;
}

__device__ void NodeCuda::buildShellIndexGpu(ShellElementCuda* e, int localNo) {
  registerElement(e, localNo, "壳单元节点 %d 索引信息超出\n");
}
__device__ void NodeCuda::buildBeamIndexGpu(BeamElementCuda* e, int localNo) {
  registerElement(e, localNo, "梁单元节点 %d 索引信息超出\n");
}
__device__ void NodeCuda::buildSolidIndexGpu(SolidElementCuda* e, int localNo) {
  registerElement(e, localNo, "实体单元节点 %d 索引信息超出\n");
}
__device__ void NodeCuda::buildDiscreteIndexGpu(DiscreteCuda* e, int localNo) {
  registerElement(e, localNo, "离散元节点 %d 索引超出\n");
}
__device__ void NodeCuda::buildElementIndexGpu(Element* e, int localNo) {
  registerElement(e, localNo, "单元节点 %d 索引信息超出\n");
}
