// The element side of the nodes' gathers: the row of each family's force
// block and its scaled-mass share for a node, the per-node lists built from
// the registration slots (held by NodeManager), and the launchers that
// gather element forces and scaled masses into the nodes.
#pragma once
#include "core/node.h"
#include "core/nodeForceRows.h"
#include "core/nodeManager.h"
#include "core/nodeMassShares.h"
#include "core/nodeWork.h"

struct Element;

// The row of element e's force block for the node at position r of the
// element: false for an entry the gather passes over (no element, a row
// outside the block, an element whose family carries no force block: this
// one is reported when `report` is set). Defined in elements/common/elementForceRow.cu.
__host__ __device__ bool elementForceRow(Element* e, int r, NodeForceRow* out, bool report);

// The shares of element e for the node at position r of the element, into
// out (at most two: a node that stands twice among the element's mass nodes
// while registered once takes its share twice); returns their count.
// Defined in elements/common/elementMassShare.cu.
__host__ __device__ int elementScaledMassShares(Element* e, int r, NodeMassShare out[2]);

// Gathers the internal forces of the node's registered elements through its
// registration slots (walked on every call).
__host__ __device__ void calIndexInterFor(NodeCuda& node);

// The element forces into the nodes: through the per-node lists of
// force-block rows (NodeManager::compact_gather; built at the first gather,
// after every element has registered), or through the registration slots.
void gpuAddNodeInterForce(NodeManager& nodes);
// The same, keeping each node's element force in its work record as well
// (an array of one per node; none: the plain gather).
void gpuAddNodeInterForceAndWork(NodeManager& nodes, NodeWork* work);
// Mass scaling: every node's mass and rotary inertia := the stored ones plus
// the shares its elements keep, summed in a fixed order; the equivalent mass
// follows.
void gpuGatherScaledMass(NodeManager& nodes);
// Puts every node's registration slots in reading order once (the first
// gather and the first mass-share build order them as well): the passes
// that read the slots, such as the nodal sums of the output points, then
// find them ordered.
void orderRegisteredSlots(NodeManager& nodes);
// The registration slots of n device nodes put in reading order.
void orderRegisteredSlotsOf(NodeCuda* nodes, int n);

// Kernels (one thread per node).
__global__ void CountNodeForceRows(int n, NodeCuda* nodes, int* counts);
__global__ void FillNodeForceRows(int n, NodeCuda* nodes, const int* offset, NodeForceRow* rows);
__global__ void CountNodeMassShares(int n, NodeCuda* nodes, int* counts);
__global__ void FillNodeMassShares(int n, NodeCuda* nodes, const int* offset, NodeMassShare* shares);
__global__ void GpuAddNodeInterForce(int n, NodeCuda* nodes, NodeWork* work);
__global__ void OrderRegisteredSlots(int n, NodeCuda* nodes);
