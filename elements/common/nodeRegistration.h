// Registration of the elements with their nodes (device, one thread per
// element): the node's slots take the element and the node's position in
// it, and the slots' order.
#pragma once
#include "core/node.h"

struct Element;
struct ShellElementCuda;
struct BeamElementCuda;
struct SolidElementCuda;
struct DiscreteCuda;

// Registration of an element with the node. A registration beyond the
// slots prints the family's message and is dropped.
__device__ void buildShellIndexGpu(NodeCuda& node, ShellElementCuda* e, int localNo);
__device__ void buildBeamIndexGpu(NodeCuda& node, BeamElementCuda* e, int localNo);
__device__ void buildSolidIndexGpu(NodeCuda& node, SolidElementCuda* e, int localNo);
__device__ void buildDiscreteIndexGpu(NodeCuda& node, DiscreteCuda* e, int localNo);
__device__ void buildElementIndexGpu(NodeCuda& node, Element* e, int localNo);
// Puts the node's registration slots in reading order of their elements
// (then by the node's place in the element), whatever order the threads of
// the registration took: sums over the slots then run in one fixed order
// from run to run.
__host__ __device__ void orderRegisteredElements(NodeCuda& node);
