// One 3- or 4-node surface facet: the unit of contact surfaces, ties and
// surface loads. The same plain record lives in a surface's host vector and
// in its device array.
#pragma once
#include <type_traits>
#include "core/node.h"

struct SegmentCuda {
  double attributes[4];  // the four values of a segment-set line; 0 for built segments
  int node_id[4];        // node ids; a triangle repeats its third id as the fourth
  NodeCuda* node[4];     // host pointers on the host copy, device pointers on the device copy
  int surface_id;        // owning surface
  int local_id;          // number over all surfaces, from 0
  int local_index;       // position in the owning surface's segment vector
  int node_num;          // 3 or 4
  double thickness;      // contact thickness
  double* max_disp_incre;  // device address of the owning surface's value
  SegmentCuda* neighbour[4];  // segment across edge k (itself on a boundary edge)
  int neighbour_index[4];
  int edge_orientation[4];
  double normal[3];
  double initial_normal[3];
  double penalty_stiffness;  // contact penalty stiffness, set at set-up
  double mass;               // mass attributed to the segment, set at set-up
  int near_node_list[20];
  double box_min[3];
  double box_max[3];
  double territory;
  int boundary_edge[4];

  // node_k := base + (node_id_k - 1) (host).
  void linkNodePtr(NodeCuda* base) {
    for (int k = 0; k < 4; ++k) node[k] = node_id[k] > 0 ? base + (node_id[k] - 1) : nullptr;
  }
  // Node count: 3 when the fourth id repeats the third, else 4.
  void setNodeNum() { node_num = node_id[3] == node_id[2] ? 3 : 4; }
  // Stores the two numbers: the second argument is the number over all
  // surfaces, the first the position in the surface.
  __host__ __device__ void defineLocalId(int index, int id) {
    local_id = id;
    local_index = index;
  }
};
static_assert(std::is_trivially_copyable_v<SegmentCuda>);
