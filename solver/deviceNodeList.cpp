#include "solver/deviceNodeList.h"

#include <utility>

#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "platform/gpu_runtime.h"

NodeCuda* nodeByNumber(NodeManager* nodeManager, int number) {
  std::vector<NodeCuda>& nodes = nodeManager->node_array_cpu;
  if (number < 1 || number > static_cast<int>(nodes.size())) return nullptr;
  return &nodes[static_cast<std::size_t>(number - 1)];
}

DeviceNodeList& DeviceNodeList::operator=(const DeviceNodeList& other) {
  if (this != &other) release();
  return *this;
}

DeviceNodeList::DeviceNodeList(DeviceNodeList&& other) noexcept
    : array_(std::exchange(other.array_, nullptr)), count_(std::exchange(other.count_, 0)) {}

DeviceNodeList& DeviceNodeList::operator=(DeviceNodeList&& other) noexcept {
  if (this != &other) {
    release();
    array_ = std::exchange(other.array_, nullptr);
    count_ = std::exchange(other.count_, 0);
  }
  return *this;
}

DeviceNodeList::~DeviceNodeList() { release(); }

void DeviceNodeList::release() {
  if (array_ != nullptr) CUDA_CHECK(cudaFree(array_));
  array_ = nullptr;
  count_ = 0;
}

void DeviceNodeList::build(const std::vector<NodeCuda*>& hostNodes, const NodeManager* nodeManager) {
  release();
  NodeCuda* base = nodeManager != nullptr ? nodeManager->node_array_gpu : nullptr;
  if (hostNodes.empty() || base == nullptr) return;
  std::vector<NodeCuda*> slots(hostNodes.size(), nullptr);
  for (std::size_t k = 0; k < hostNodes.size(); ++k) {
    if (hostNodes[k] != nullptr) slots[k] = base + hostNodes[k]->store_id;
  }
  CUDA_CHECK(cudaMalloc(reinterpret_cast<void**>(&array_), sizeof(NodeCuda*) * slots.size()));
  CUDA_CHECK(cudaMemcpy(array_, slots.data(), sizeof(NodeCuda*) * slots.size(), cudaMemcpyHostToDevice));
  count_ = static_cast<int>(slots.size());
}

DeviceDoubleBuffer& DeviceDoubleBuffer::operator=(const DeviceDoubleBuffer& other) {
  if (this != &other) release();
  return *this;
}

DeviceDoubleBuffer::DeviceDoubleBuffer(DeviceDoubleBuffer&& other) noexcept
    : array_(std::exchange(other.array_, nullptr)), count_(std::exchange(other.count_, 0)) {}

DeviceDoubleBuffer& DeviceDoubleBuffer::operator=(DeviceDoubleBuffer&& other) noexcept {
  if (this != &other) {
    release();
    array_ = std::exchange(other.array_, nullptr);
    count_ = std::exchange(other.count_, 0);
  }
  return *this;
}

DeviceDoubleBuffer::~DeviceDoubleBuffer() { release(); }

void DeviceDoubleBuffer::release() {
  if (array_ != nullptr) CUDA_CHECK(cudaFree(array_));
  array_ = nullptr;
  count_ = 0;
}

void DeviceDoubleBuffer::allocate(int n) {
  release();
  if (n <= 0) return;
  CUDA_CHECK(cudaMalloc(reinterpret_cast<void**>(&array_), sizeof(double) * static_cast<std::size_t>(n)));
  CUDA_CHECK(cudaMemset(array_, 0, sizeof(double) * static_cast<std::size_t>(n)));
  count_ = n;
}

void DeviceDoubleBuffer::copyToHost(double* host) const {
  if (array_ == nullptr) return;
  CUDA_CHECK(cudaMemcpy(host, array_, sizeof(double) * static_cast<std::size_t>(count_), cudaMemcpyDeviceToHost));
}
