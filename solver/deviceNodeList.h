// A device array of pointers to device node records, built from host node
// pointers: the list that the boundary, load, rigid-body and rigid-wall
// kernels walk, and a device buffer of doubles. Each owns its device array;
// a copy starts empty (records are copied before the upload), a move takes
// the array along.
#pragma once
#include <vector>

struct NodeCuda;
class NodeManager;

// The host node of a node number (1-based position in the sorted node
// array), or null when no node has that number.
NodeCuda* nodeByNumber(NodeManager* nodeManager, int number);

class DeviceNodeList {
 public:
  DeviceNodeList() = default;
  DeviceNodeList(const DeviceNodeList&) {}
  DeviceNodeList& operator=(const DeviceNodeList& other);
  DeviceNodeList(DeviceNodeList&& other) noexcept;
  DeviceNodeList& operator=(DeviceNodeList&& other) noexcept;
  ~DeviceNodeList();

  // Replaces the array by the device addresses of the given host nodes
  // (entry k = device node array + store position of node k; a null host
  // pointer stays null). Nothing is allocated for an empty list or when
  // the nodes are not on the device.
  void build(const std::vector<NodeCuda*>& hostNodes, const NodeManager* nodeManager);
  void release();

  NodeCuda** data() const { return array_; }
  int size() const { return count_; }

 private:
  NodeCuda** array_ = nullptr;
  int count_ = 0;
};

class DeviceDoubleBuffer {
 public:
  DeviceDoubleBuffer() = default;
  DeviceDoubleBuffer(const DeviceDoubleBuffer&) {}
  DeviceDoubleBuffer& operator=(const DeviceDoubleBuffer& other);
  DeviceDoubleBuffer(DeviceDoubleBuffer&& other) noexcept;
  DeviceDoubleBuffer& operator=(DeviceDoubleBuffer&& other) noexcept;
  ~DeviceDoubleBuffer();

  // Replaces the buffer by n zeroed doubles (none for n <= 0).
  void allocate(int n);
  void release();
  // Copies the whole buffer to the host.
  void copyToHost(double* host) const;

  double* data() const { return array_; }
  int size() const { return count_; }

 private:
  double* array_ = nullptr;
  int count_ = 0;
};
