// The compact gather of element forces into nodes: per node, the list of the
// force-block rows of its registered elements, built once from the node
// records' registration slots, so that the gather of a cycle reads a short
// contiguous list instead of the slot arrays of the 1.4 KB node record and
// the family code of every element.
#pragma once
#include <type_traits>
#include "core/node.h"
#include "core/nodeLists.h"
#include "core/nodeWork.h"

// One entry of a node's list: a row of an element's nodal force block.
struct NodeForceRow {
  const double* row;  // force x, y, z (then moment x, y, z when width is 6)
  int width;          // 3 or 6
};
static_assert(std::is_trivially_copyable_v<NodeForceRow>);

// Subtracts one row from a force and a moment (the moment only for a row of
// width 6).
__host__ __device__ inline void subtractForceRow(const NodeForceRow& r, double* f, double* m) {
  for (int j = 0; j < 3; ++j) f[j] -= r.row[j];
  if (r.width == 6)
    for (int j = 0; j < 3; ++j) m[j] -= r.row[3 + j];
}

// Subtracts the rows of a node's list from its force and moment, in list
// order, and clears components that are not finite.  The six sums are kept
// in registers (named, not an array the compiler would keep in memory);
// where their total is finite every one of them is.
__host__ __device__ inline void gatherNodeForceRows(NodeCuda& node, const NodeForceRow* rows, int count) {
  double f0 = node.force[0], f1 = node.force[1], f2 = node.force[2];
  double m0 = node.moment[0], m1 = node.moment[1], m2 = node.moment[2];
  for (int k = 0; k < count; ++k) {
    const double* r = rows[k].row;
    f0 -= r[0];
    f1 -= r[1];
    f2 -= r[2];
    if (rows[k].width == 6) {
      m0 -= r[3];
      m1 -= r[4];
      m2 -= r[5];
    }
  }
  if (nodeValueIsFinite(f0 + f1 + f2 + m0 + m1 + m2)) {
    node.force[0] = f0;
    node.force[1] = f1;
    node.force[2] = f2;
    node.moment[0] = m0;
    node.moment[1] = m1;
    node.moment[2] = m2;
    return;
  }
  reportNonFiniteNode(node.id, NONFINITE_FORCE);
  const double f[3] = {f0, f1, f2}, m[3] = {m0, m1, m2};
  for (int j = 0; j < 3; ++j) {
    node.force[j] = nodeValueIsFinite(f[j]) ? f[j] : 0.0;
    node.moment[j] = nodeValueIsFinite(m[j]) ? m[j] : 0.0;
  }
}

// The device lists of all nodes: entries offset[i] .. offset[i+1]-1 of rows
// belong to node i, in the order of the node's registration slots.
class NodeForceRowList {
 public:
  // Builds the lists of the n device nodes from their registration slots
  // (the kernels know the element families: elements/common/nodeGather.h).
  void build(NodeCuda* nodes, int n, NodeLists<NodeForceRow>::CountKernel count,
             NodeLists<NodeForceRow>::FillKernel fill) {
    lists_.build(nodes, n, count, fill);
  }
  void release() { lists_.release(); }
  bool built() const { return lists_.built(); }
  // Gathers the element forces of the n nodes the lists were built for;
  // with work (one record per node) each node's element force is kept there
  // too.
  void gather(NodeCuda* nodes, NodeWork* work) const;
  int rowNum() const { return lists_.entryNum(); }

 private:
  NodeLists<NodeForceRow> lists_;
};

__global__ void GatherNodeForceRows(int n, NodeCuda* nodes, const int* offset, const NodeForceRow* rows,
                                    NodeWork* work);
