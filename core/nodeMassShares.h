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

struct Element;

// One entry of a node's list: a share an element keeps for the node.
struct NodeMassShare {
  const double* share;  // mass, then rotary inertia x, y, z when width is 4
  int width;            // 1 or 4
};
static_assert(std::is_trivially_copyable_v<NodeMassShare>);

// The shares of element e for the node at position r of the element, into
// out (at most two: a node that stands twice among the element's mass nodes
// while registered once takes its share twice); returns their count.
// Defined with the element families (elements/elementMassShare.cu): core
// knows no family's record.
__host__ __device__ int elementScaledMassShares(Element* e, int r, NodeMassShare out[2]);

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
  // Builds the lists of the n device nodes from their registration slots.
  void build(NodeCuda* nodes, int n);
  void release() { lists_.release(); }
  bool built() const { return lists_.built(); }
  // Sets the masses of the n nodes the lists were built for.
  void gather(NodeCuda* nodes) const;

 private:
  NodeLists<NodeMassShare> lists_;
};

__global__ void CountNodeMassShares(int n, NodeCuda* nodes, int* counts);
__global__ void FillNodeMassShares(int n, NodeCuda* nodes, const int* offset, NodeMassShare* shares);
__global__ void GatherNodeMassShares(int n, NodeCuda* nodes, const int* offset, const NodeMassShare* shares);
