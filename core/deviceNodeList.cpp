#include "core/deviceNodeList.h"

#include "core/nodeManager.h"

NodeCuda* nodeByNumber(NodeManager* nodeManager, int number) {
  std::vector<NodeCuda>& nodes = nodeManager->node_array_cpu;
  if (number < 1 || number > static_cast<int>(nodes.size())) return nullptr;
  return &nodes[static_cast<std::size_t>(number - 1)];
}

void DeviceNodeList::build(const std::vector<NodeCuda*>& hostNodes, const NodeManager* nodeManager) {
  release();
  NodeCuda* base = nodeManager != nullptr ? nodeManager->node_array_gpu : nullptr;
  if (hostNodes.empty() || base == nullptr) return;
  std::vector<NodeCuda*> slots(hostNodes.size(), nullptr);
  for (std::size_t k = 0; k < hostNodes.size(); ++k) {
    if (hostNodes[k] != nullptr) slots[k] = base + hostNodes[k]->store_id;
  }
  assign(slots.data(), static_cast<int>(slots.size()));
}
