// One 3- or 4-node surface facet: the unit of contact surfaces, ties and
// surface loads. The same plain record lives in a surface's host vector and
// in its device array, so the facet operations have host and device twins.
#pragma once
#include <cmath>
#include <type_traits>
#include "core/node.h"
#include "core/simpleMath.h"
#include "platform/gpuRuntime.h"

// Slots of a segment's list of its own and its neighbours' node ids.
constexpr int kNearNodeSlots = 20;

struct SegmentCuda {
  double attributes[4];                // the four values of a segment-set line; 0 for built segments
  int node_id[4];                      // node ids; a triangle repeats its third id as the fourth
  NodeCuda* node[4];                   // host pointers on the host copy, device pointers on the device copy
  int surface_id;                      // owning surface
  int local_id;                        // number over all surfaces, from 0
  int local_index;                     // position in the owning surface's segment vector
  int node_num;                        // 3 or 4
  double thickness;                    // contact thickness
  double* max_disp_incre;              // device address of the owning surface's value
  SegmentCuda* neighbour[4];           // segment across edge k (itself on a boundary edge)
  int neighbour_index[4];              // local_index of those neighbours
  int edge_orientation[4];             // 1: neighbour runs the shared edge the other way (or none); -1: same way
  double normal[3];                    // current unit normal
  double initial_normal[3];            // unit normal of the initial configuration
  double penalty_stiffness;            // contact penalty stiffness, set at set-up
  double mass;                         // mass attributed to the segment, set at set-up
  int near_node_list[kNearNodeSlots];  // own node ids, then the neighbours' ids
  double box_min[3];                   // extended bounding box
  double box_max[3];
  double territory;      // widening of the box (search territory)
  int boundary_edge[4];  // 1 when edge k belongs to this segment only
  // 1 for a face of a solid element: its normal points out of the body, and
  // only its outer side can be touched.
  int one_sided;

  // node_k := base + (node_id_k - 1) (host). Ids must lie within the node
  // array (see nodeIdsWithin).
  void linkNodePtr(NodeCuda* base) {
    for (int k = 0; k < 4; ++k) node[k] = node_id[k] > 0 ? base + (node_id[k] - 1) : nullptr;
  }
  // True when every node id names one of nodeCount nodes (1..nodeCount).
  bool nodeIdsWithin(int nodeCount) const {
    for (int k = 0; k < 4; ++k) {
      if (node_id[k] < 1 || node_id[k] > nodeCount) return false;
    }
    return true;
  }
  // Node count: 3 when the fourth id repeats the third, else 4.
  void setNodeNum() { node_num = node_id[3] == node_id[2] ? 3 : 4; }
  // Stores the two numbers: the second argument is the number over all
  // surfaces, the first the position in the surface.
  __host__ __device__ void defineLocalId(int index, int id) {
    local_id = id;
    local_index = index;
  }

  // thickness := mean of the four nodes' contact thickness (a triangle
  // counts its third node twice).
  __host__ __device__ void maxThickSet() {
    double sum = 0.0;
    for (int k = 0; k < 4; ++k) sum += node[k]->thickness;
    thickness = 0.25 * sum;
  }

  // initial_normal := unit((X2 - X1) x (X3 - X2)) over the initial
  // coordinates. A facet of zero area gets a zero normal; false then.
  bool solveIniNorVec() {
    double a[3], b[3];
    for (int i = 0; i < 3; ++i) {
      a[i] = node[1]->ini_coord[i] - node[0]->ini_coord[i];
      b[i] = node[2]->ini_coord[i] - node[1]->ini_coord[i];
    }
    return unitCross(a, b, initial_normal);
  }

  // normal := unit(a x b) over the current coordinates: the edges
  // (x2 - x1, x3 - x2) of a triangle, the diagonals (x3 - x1, x4 - x2) of a
  // quadrilateral. Another node count is reported and leaves the normal.
  __host__ __device__ bool solveNormVec() {
    const double* x[4];
    nodeCoords(x);
    return unitNormalOf(node_num, x, normal);
  }
  // The same normal of a facet of nodeNum nodes whose coordinates are given
  // apart from the nodes (x[k] those of node k), into out.
  __host__ __device__ static bool unitNormalOf(int nodeNum, const double* const* x, double* out) {
    double a[3], b[3];
    if (!normalSpanOf(nodeNum, x, a, b)) {
      printf("目前没有这种节点数目的接触块\n");
      return false;
    }
    return unitCross(a, b, out);
  }

  // Box of the four nodes' current coordinates widened by the territory. A
  // coordinate that is not a number is passed over, as fmin and fmax do (the
  // host build would call them as library functions for every coordinate).
  __host__ __device__ void calExtTerritory() {
    for (int i = 0; i < 3; ++i) {
      double lo = HUGE_VAL, hi = -HUGE_VAL;
      for (int k = 0; k < 4; ++k) {
        const double c = node[k]->coord[i];
        lo = c < lo ? c : lo;
        hi = c > hi ? c : hi;
      }
      if (lo > hi) lo = hi = NAN;  // no coordinate is a number
      box_min[i] = lo - territory;
      box_max[i] = hi + territory;
    }
  }

  // Uniform normal pressure p: each node gets p A n / (node count), n the
  // unit normal of the node order (right-hand rule), A the current area.
  // The force of one node goes to `force`; returns the number of nodes that
  // take it (0 for a segment without a normal).
  __host__ __device__ int pressureShare(double p, double force[3]) const {
    double a[3], b[3], n[3];
    if (!normalSpan(a, b) || !unitCross(a, b, n)) return 0;
    double area = 0.0;
    if (node_num == 3) {
      computeTriangleArea(node[0]->coord, node[1]->coord, node[2]->coord, area);
    } else {
      computeQuadrilaArea(node[0]->coord, node[1]->coord, node[2]->coord, node[3]->coord, area);
    }
    const double share = p * area / node_num;
    for (int i = 0; i < 3; ++i) force[i] = share * n[i];
    return node_num;
  }
  // The same added into the nodes' forces (atomic additions: shared nodes
  // of several segments).
  __host__ __device__ void applyUniformNormLoadToNode(double p) {
    double force[3];
    const int count = pressureShare(p, force);
    for (int k = 0; k < count; ++k) {
      for (int i = 0; i < 3; ++i) atomicAddAnywhere(&node[k]->force[i], force[i]);
    }
  }

 private:
  // The current coordinates of the four nodes (null for a missing node).
  __host__ __device__ void nodeCoords(const double** x) const {
    for (int k = 0; k < 4; ++k) x[k] = node[k] != nullptr ? node[k]->coord : nullptr;
  }
  __host__ __device__ bool normalSpan(double* a, double* b) const {
    const double* x[4];
    nodeCoords(x);
    return normalSpanOf(node_num, x, a, b);
  }
  // The two vectors whose cross product gives the current normal of a facet
  // of nodeNum nodes at x; false for a node count other than 3 and 4.
  __host__ __device__ static bool normalSpanOf(int nodeNum, const double* const* x, double* a, double* b) {
    const int i0 = nodeNum == 4 ? 2 : 1;  // quadrilateral: diagonals
    const int j0 = nodeNum == 4 ? 3 : 2;
    if (nodeNum != 3 && nodeNum != 4) return false;
    // Written out: the compiler keeps a loop here, whose element-wise stores
    // the cross product reads back in pairs, waiting on every store.
    const double *p = x[0], *q = x[1], *u = x[i0], *v = x[j0];
    a[0] = u[0] - p[0];
    a[1] = u[1] - p[1];
    a[2] = u[2] - p[2];
    b[0] = v[0] - q[0];
    b[1] = v[1] - q[1];
    b[2] = v[2] - q[2];
    return true;
  }
  // out := unit(a x b); a zero product gives a zero vector and false.
  __host__ __device__ static bool unitCross(const double* a, const double* b, double* out) {
    vector_outer_product(a, b, out);
    const double len = sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
    if (!(len > 0.0)) {
      out[0] = out[1] = out[2] = 0.0;
      return false;
    }
    for (int i = 0; i < 3; ++i) out[i] /= len;
    return true;
  }
};
static_assert(std::is_trivially_copyable_v<SegmentCuda>);
