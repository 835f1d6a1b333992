// The records of the groups after the present one in a lane kernel's list of
// element pointers, asked for ahead in three steps so that no step waits on
// a record that is not there yet: the element records three groups on, the
// integration points of the group two on (their address is in its element
// records, asked for one group earlier), the points' material states and
// the node lines of the next group (addresses in its element and point
// records, asked for one and two groups earlier).  A group thus finds its
// element, point, state and node records in cache.
#pragma once
#include "elements/common/gausspoint.h"
#include "platform/simdLane.h"

// Lines of a state record asked for: the stress and the first history
// values of every model.
constexpr int kStateAheadBytes = 128;

// elements: the present group's first pointer; remaining: the pointers from
// there to the end of the list.  nodeLines(node) asks for the lines of a
// node that the kernel reads.
template <typename Record, typename NodeLines>
__host__ __device__ inline void prefetchGroupsAhead(Record* const* elements, int remaining, NodeLines nodeLines) {
  const int W = kLaneWidth;
  for (int l = 3 * W; l < 4 * W && l < remaining; ++l) lanePrefetchBytes(elements[l], sizeof(Record));
  for (int l = 2 * W; l < 3 * W && l < remaining; ++l)
    if (const GaussPoint* gp = elements[l]->gaussPoint)
      lanePrefetchBytes(gp, static_cast<int>(sizeof(GaussPoint)) * elements[l]->integratPointNum);
  for (int l = W; l < 2 * W && l < remaining; ++l) {
    const Record& e = *elements[l];
    if (e.gaussPoint != nullptr)
      for (int p = 0; p < e.integratPointNum; ++p)
        if (const void* state = e.gaussPoint[p].matStatus_) lanePrefetchBytes(state, kStateAheadBytes);
    for (const NodeCuda* nd : e.node)
      if (nd != nullptr) nodeLines(*nd);
  }
}
