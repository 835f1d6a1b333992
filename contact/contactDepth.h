// The deepest node of a contact at one moment, for the run record.
#pragma once
#include <cstddef>

// How many of its deepest starting nodes a contact names at set-up.
inline constexpr std::size_t kReportedStartOverlaps = 5;

// Depth (positive into the other body), the node number, the node numbers
// of the segment it lies behind and that segment's size (its longer
// diagonal), the time, and how many nodes were counted.
struct ContactDepth {
  double depth = 0.0;
  int node_id = 0;
  int segment_node_id[4] = {0, 0, 0, 0};
  double segment_size = 0.0;
  double time = 0.0;
  int count = 0;
  // Counts a node that deep; keeps it when it is the deepest so far.
  void take(double d, int nodeId, const int* segmentNodeIds, double size, double t) {
    ++count;
    if (count > 1 && !(d > depth)) return;
    depth = d;
    node_id = nodeId;
    for (int k = 0; k < 4; ++k) segment_node_id[k] = segmentNodeIds[k];
    segment_size = size;
    time = t;
  }
};
