// Which per-cycle passes over all contact nodes must visit a node: one byte
// per contact node, in contact-node order, in the pair manager's work
// array. Few nodes have a candidate, a pair or a starting depth at a time,
// and the passes read these bytes instead of a line of every node's record.
// A bit is set before the state it stands for can arise, and cleared only by
// a pass that has read the record: a set bit may be stale, a clear one
// never is.
#pragma once
#include "platform/gpuRuntime.h"

enum ContactNodeFlag : unsigned char {
  NODE_HAS_CANDIDATES = 1,  // its candidate list may hold a segment
  NODE_MAY_PAIR = 2,        // its contact pair may be active
  NODE_START_OVERLAP = 4,   // it may still hold the depth it started at
};
// Every bit: each pass visits the node (the state before the first cycle).
constexpr unsigned char kEveryNodeFlag = NODE_HAS_CANDIDATES | NODE_MAY_PAIR | NODE_START_OVERLAP;

// A pass over the nodes visits node i when there are no flags or one of
// `bits` is set.
__host__ __device__ inline bool visitsNode(const unsigned char* flags, int i, unsigned bits) {
  return flags == nullptr || (flags[i] & bits) != 0;
}

// The nodes a pass launched over `count` threads looks at: list[0 ..
// count-1], the nodes with a flag at the last listing (without a list,
// nodes 0 .. count-1), of which it visits those whose flags have its bits.
struct NodeVisit {
  const int* list;
  unsigned char* flags;
};
__host__ __device__ inline int visitedNode(const NodeVisit& v, int j) { return v.list != nullptr ? v.list[j] : j; }
