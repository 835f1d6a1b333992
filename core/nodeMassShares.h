// The fixed-order gather of scaled mass into nodes: each element keeps the
// mass (and rotary inertia) that mass scaling adds to each of its nodes, and
// every node adds its elements' shares in the order of its registration
// slots.  Additions from several threads into one node mass would round
// differently from run to run; this way a run gives the same bits on any
// number of threads.
#pragma once
#include <type_traits>
#include "core/node.h"
#include "core/nodeLists.h"

// One entry of a node's list: a share an element keeps for the node.
struct NodeMassShare {
  const double* share;  // mass, then rotary inertia x, y, z when width is 4
  int width;            // 1 or 4
};
static_assert(std::is_trivially_copyable_v<NodeMassShare>);

// The node's mass and rotary inertia := the stored ones plus the shares of
// its list in list order; its equivalent mass follows.
__host__ __device__ inline void gatherNodeScaledMass(NodeCuda& node, const NodeMassShare* shares, int count) {
  node.massReduction();
  for (int k = 0; k < count; ++k) node.addMassShare(shares[k].share, shares[k].width);
  node.storeEquivalentMass();
}

// The device lists of all nodes: entries offset[i] .. offset[i+1]-1 belong
// to node i, in the order of the node's registration slots.
class NodeMassShareList {
 public:
  // Builds the lists of the n device nodes from their registration slots
  // (the kernels know the element families: elements/common/nodeGather.h).
  void build(NodeCuda* nodes, int n, NodeLists<NodeMassShare>::CountKernel count,
             NodeLists<NodeMassShare>::FillKernel fill) {
    lists_.build(nodes, n, count, fill);
  }
  void release() { lists_.release(); }
  bool built() const { return lists_.built(); }
  // Sets the masses of the n nodes the lists were built for.
  void gather(NodeCuda* nodes) const;

 private:
  NodeLists<NodeMassShare> lists_;
};

__global__ void GatherNodeMassShares(int n, NodeCuda* nodes, const int* offset, const NodeMassShare* shares);
