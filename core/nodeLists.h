// Per-node device lists, built once from the nodes' registration slots:
// entries offset[i] .. offset[i+1]-1 belong to node i, in the order of the
// node's slots.  The element forces and the scaled masses reach the nodes
// through such lists.
#pragma once
#include "core/deviceFree.h"
#include "core/node.h"

template <class Entry>
class NodeLists {
 public:
  // count(n, nodes, counts) writes each node's entry count; fill(n, nodes,
  // offset, entries) writes its entries from offset[i] on.
  using CountKernel = void (*)(int, NodeCuda*, int*);
  using FillKernel = void (*)(int, NodeCuda*, const int*, Entry*);

  NodeLists() = default;
  NodeLists(const NodeLists&) = delete;
  NodeLists& operator=(const NodeLists&) = delete;
  ~NodeLists() { release(); }

  // Builds the lists of the n device nodes (defined in core/nodeLists.cu
  // for the entry kinds in use).
  void build(NodeCuda* nodes, int n, CountKernel count, FillKernel fill);
  void release() {
    freeDevice(offset_);
    freeDevice(entries_);
    nodeNum_ = entryNum_ = 0;
  }
  bool built() const { return offset_ != nullptr; }
  int nodeNum() const { return nodeNum_; }
  int entryNum() const { return entryNum_; }
  const int* offset() const { return offset_; }
  const Entry* entries() const { return entries_; }

 private:
  int* offset_ = nullptr;     // device, nodeNum_ + 1 entries
  Entry* entries_ = nullptr;  // device, entryNum_ entries
  int nodeNum_ = 0;
  int entryNum_ = 0;
};
