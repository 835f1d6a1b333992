// Owned device arrays: the list of pointers to device node records that the
// boundary, load, rigid-body and rigid-wall kernels walk, and plain buffers.
// A copy starts empty (records are copied before the upload), a move takes
// the array along.
#pragma once
#include <cstddef>
#include <utility>
#include <vector>

#include "core/logErrorPrint.h"
#include "platform/gpuRuntime.h"

struct NodeCuda;
class NodeManager;

// The host node of a node number (1-based position in the sorted node
// array), or null when no node has that number.
NodeCuda* nodeByNumber(NodeManager* nodeManager, int number);

template <class T>
class DeviceArray {
 public:
  DeviceArray() = default;
  DeviceArray(const DeviceArray&) {}
  DeviceArray& operator=(const DeviceArray& other) {
    if (this != &other) release();
    return *this;
  }
  DeviceArray(DeviceArray&& other) noexcept
      : array_(std::exchange(other.array_, nullptr)), count_(std::exchange(other.count_, 0)) {}
  DeviceArray& operator=(DeviceArray&& other) noexcept {
    if (this != &other) {
      release();
      array_ = std::exchange(other.array_, nullptr);
      count_ = std::exchange(other.count_, 0);
    }
    return *this;
  }
  ~DeviceArray() { release(); }

  // Replaces the array by a device copy of n host values (none for n <= 0);
  // a null host pointer gives n zeroed values.
  void assign(const T* host, int n) {
    release();
    if (n <= 0) return;
    const std::size_t bytes = sizeof(T) * static_cast<std::size_t>(n);
    CUDA_CHECK(cudaMalloc(reinterpret_cast<void**>(&array_), bytes));
    count_ = n;
    if (host != nullptr) {
      CUDA_CHECK(cudaMemcpy(array_, host, bytes, cudaMemcpyHostToDevice));
    } else {
      CUDA_CHECK(cudaMemset(array_, 0, bytes));
    }
  }
  void copyToHost(T* host) const {
    if (array_ != nullptr) {
      CUDA_CHECK(cudaMemcpy(host, array_, sizeof(T) * static_cast<std::size_t>(count_), cudaMemcpyDeviceToHost));
    }
  }
  void release() {
    if (array_ != nullptr) CUDA_CHECK(cudaFree(array_));
    array_ = nullptr;
    count_ = 0;
  }

  T* data() const { return array_; }
  int size() const { return count_; }

 private:
  T* array_ = nullptr;
  int count_ = 0;
};

class DeviceNodeList : public DeviceArray<NodeCuda*> {
 public:
  // Replaces the array by the device addresses of the given host nodes
  // (entry k = device node array + store position of node k; a null host
  // pointer stays null). Nothing is allocated for an empty list or when
  // the nodes are not on the device.
  void build(const std::vector<NodeCuda*>& hostNodes, const NodeManager* nodeManager);
};

using DeviceDoubleBuffer = DeviceArray<double>;
