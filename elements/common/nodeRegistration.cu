// Registration of the elements with their nodes (device, one thread per
// element): the node's slots take the element and the node's position in
// it, and the slots' order, beside the element families they take.
#include "elements/common/nodeRegistration.h"

#include "elements/beam/beamElementCuda.h"
#include "elements/beam/discreteCuda.h"
#include "elements/shell/shellElementCuda.h"
#include "elements/solid1st/solidElementCuda.h"

namespace {
// Reading position, then local node number: the order of a node's slots.
__host__ __device__ inline bool slotBefore(const Element* a, int localA, const Element* b, int localB) {
  if (a == nullptr || b == nullptr) return a != nullptr;  // empty entries last
  if (a->store_id != b->store_id) return a->store_id < b->store_id;
  return localA < localB;
}
}  // namespace

__host__ __device__ void orderRegisteredElements(NodeCuda& node) {
  const int n = node.registeredElementNum();
  for (int k = 1; k < n; ++k) {
    Element* e = node.element[k];
    const int local = node.local_node_num[k];
    int j = k;
    for (; j > 0 && slotBefore(e, local, node.element[j - 1], node.local_node_num[j - 1]); --j) {
      node.element[j] = node.element[j - 1];
      node.local_node_num[j] = node.local_node_num[j - 1];
    }
    node.element[j] = e;
    node.local_node_num[j] = local;
  }
}

namespace {
__device__ void registerElement(NodeCuda& node, Element* e, int localNo, const char* overflowMessage) {
  const int k = atomicAdd(&node.element_num, 1);
  if (k >= kNodeElementSlots) {
    printf(overflowMessage, node.id);
    return;
  }
  node.element[k] = e;
  node.local_node_num[k] = localNo;
}
}  // namespace

__device__ void buildShellIndexGpu(NodeCuda& node, ShellElementCuda* e, int localNo) {
  registerElement(node, e, localNo, "壳单元节点 %d 索引信息超出\n");
}
__device__ void buildBeamIndexGpu(NodeCuda& node, BeamElementCuda* e, int localNo) {
  registerElement(node, e, localNo, "梁单元节点 %d 索引信息超出\n");
}
__device__ void buildSolidIndexGpu(NodeCuda& node, SolidElementCuda* e, int localNo) {
  registerElement(node, e, localNo, "实体单元节点 %d 索引信息超出\n");
}
__device__ void buildDiscreteIndexGpu(NodeCuda& node, DiscreteCuda* e, int localNo) {
  registerElement(node, e, localNo, "离散元节点 %d 索引超出\n");
}
__device__ void buildElementIndexGpu(NodeCuda& node, Element* e, int localNo) {
  registerElement(node, e, localNo, "单元节点 %d 索引信息超出\n");
}
