// Small vector routines of the contact kernels (host and device) and the
// edge geometry of a segment that the pair production, the penetration and
// the search after contact share.
#pragma once
#include <cmath>
#include "core/segment.h"
#include "core/simpleMath.h"
#include "platform/gpuRuntime.h"

namespace contact_geom {

__host__ __device__ inline void sub3(const double* a, const double* b, double* out) {
  for (int i = 0; i < 3; ++i) out[i] = a[i] - b[i];
}
using ::cross3;
using ::dot3;
__host__ __device__ inline double norm3(const double* a) { return sqrt(dot3(a, a)); }
// True for NaN.
__host__ __device__ inline bool notANumber(double x) { return x != x; }

// Number of the edge after edge k, and before it, in a segment of n nodes.
__host__ __device__ inline int nextEdge(int k, int n) { return (k + 1) % n; }
__host__ __device__ inline int prevEdge(int k, int n) { return (k + n - 1) % n; }

__host__ __device__ inline const double* nodeCoord(const SegmentCuda* s, int k) { return s->node[k]->coord; }

// Unnormalised normal of a segment from its first three nodes.
__host__ __device__ inline void rawNormal(const SegmentCuda* s, double* c) {
  double a[3], b[3];
  sub3(nodeCoord(s, 1), nodeCoord(s, 0), a);
  sub3(nodeCoord(s, 2), nodeCoord(s, 1), b);
  cross3(a, b, c);
}

// (x - x_k) . (e_k x c): positive when x lies outside edge k of the segment
// whose normal is c (edge k runs from node k to node k+1).
__host__ __device__ inline double edgeOutsideValue(const SegmentCuda* s, int k, const double* c, const double* x) {
  const int n = s->node_num;
  double e[3], o[3], d[3];
  sub3(nodeCoord(s, nextEdge(k, n)), nodeCoord(s, k), e);
  cross3(e, c, o);
  sub3(x, nodeCoord(s, k), d);
  return dot3(d, o);
}
// A point counts as beyond an edge line only when it lies farther out than
// this share of the edge's length: points on the line up to round-off (the
// perimeter nodes of two faces that meet exactly) stay inside.
constexpr double kEdgeMarginRatio = 1e-9;

// The margin of edgeOutsideValue for edge k of a segment with normal c.
__host__ __device__ inline double edgeOutsideMargin(const SegmentCuda* s, int k, const double* c) {
  double e[3];
  sub3(nodeCoord(s, nextEdge(k, s->node_num)), nodeCoord(s, k), e);
  return kEdgeMarginRatio * dot3(e, e) * norm3(c);
}
// Outside edge k (beyond the margin); a value that is not a number counts as
// outside.
__host__ __device__ inline bool outsideEdge(const SegmentCuda* s, int k, const double* c, const double* x) {
  const double v = edgeOutsideValue(s, k, c, x);
  return v > edgeOutsideMargin(s, k, c) || notANumber(v);
}
// On or beyond the line of edge k (within the margin counts as on it).
__host__ __device__ inline bool onOrOutsideEdge(const SegmentCuda* s, int k, const double* c, const double* x) {
  return edgeOutsideValue(s, k, c, x) >= -edgeOutsideMargin(s, k, c);
}
// Beyond edge k by more than the margin, a value that is not a number not
// counting.
__host__ __device__ inline bool clearlyOutsideEdge(const SegmentCuda* s, int k, const double* c, const double* x) {
  return edgeOutsideValue(s, k, c, x) > edgeOutsideMargin(s, k, c);
}

// A node in contact leaves its segment over edge k only when it lies beyond
// the edge's line by more than this share of the edge's length.  Where two
// blocks meet edge on edge, both bulging sideways under the load, a node
// pressed on one block's face drifts a little past the face's edge; it
// stays on the face that holds it instead of passing to the side face
// beyond the edge.
constexpr double kLeaveEdgeRatio = 1e-3;
__host__ __device__ inline bool leftOverEdge(const SegmentCuda* s, int k, const double* c, const double* x) {
  const double v = edgeOutsideValue(s, k, c, x);
  return v > (kLeaveEdgeRatio / kEdgeMarginRatio) * edgeOutsideMargin(s, k, c) || notANumber(v);
}

// Edge k of a segment lies on the surface's free boundary.
__host__ __device__ inline bool isBoundaryEdge(const SegmentCuda* s, int k) {
  return s->neighbour[k] == s || s->boundary_edge[k] != 0;
}

// Length scale of a segment: its longer diagonal (the edge of a triangle).
__host__ __device__ inline double segmentSize(const SegmentCuda* s) {
  double a[3], b[3];
  sub3(nodeCoord(s, 2), nodeCoord(s, 0), a);
  sub3(nodeCoord(s, s->node_num == 4 ? 3 : 1), nodeCoord(s, s->node_num == 4 ? 1 : 0), b);
  return fmax(norm3(a), norm3(b));
}
// Distances from a segment's plane below this share of the length scale
// (segment size plus the distance from the origin) are round-off: a node
// that close lies on the plane.
constexpr double kOnPlaneRatio = 1e-12;
__host__ __device__ inline double onPlaneTolerance(const SegmentCuda* s) {
  const double* p = nodeCoord(s, 0);
  return kOnPlaneRatio * (segmentSize(s) + fmax(fabs(p[0]), fmax(fabs(p[1]), fabs(p[2]))));
}

// The smaller and the larger of x and y as fmin and fmax give them (a value
// that is not a number gives way to the other; of two equal ones, y),
// written out: the host build would call them as library functions.
__host__ __device__ inline double smallerOf(double x, double y) {
  if (notANumber(y)) return x;
  if (notANumber(x)) return y;
  return x < y ? x : y;
}
__host__ __device__ inline double largerOf(double x, double y) {
  if (notANumber(y)) return x;
  if (notANumber(x)) return y;
  return x > y ? x : y;
}

// One axis of a segment's extended box from its four nodes' coordinates now
// and before the last displacement step: the box of the coordinates now
// widened by the territory t, then widened over where the nodes were, so
// that a segment that passes a node within one step still holds it in its
// box.
__host__ __device__ inline void extendedBoxAxis(const double* now, const double* before, double t, double& boxMin,
                                                double& boxMax) {
  double lo = HUGE_VAL, hi = -HUGE_VAL;
  for (int k = 0; k < 4; ++k) {
    lo = now[k] < lo ? now[k] : lo;
    hi = now[k] > hi ? now[k] : hi;
  }
  if (lo > hi) lo = hi = NAN;  // no coordinate is a number
  boxMin = lo - t;
  boxMax = hi + t;
  for (int k = 0; k < 4; ++k) {
    boxMin = smallerOf(boxMin, before[k] - t);
    boxMax = largerOf(boxMax, before[k] + t);
  }
}

// The same axis where no coordinate is a number that is not one and the
// territory is finite and above zero: the least and the largest of the eight
// coordinates, then moved by t once. Rounding keeps the order of values, so
// x - t is least where x is, and neither x - t nor x + t is a negative zero:
// the bits are those of extendedBoxAxis, in far fewer operations.
__host__ __device__ inline void plainBoxAxis(const double* now, const double* before, double t, double& boxMin,
                                             double& boxMax) {
  double lo = now[0], hi = now[0];
  for (int k = 0; k < 4; ++k) {
    lo = now[k] < lo ? now[k] : lo;
    hi = now[k] > hi ? now[k] : hi;
    lo = before[k] < lo ? before[k] : lo;
    hi = before[k] > hi ? before[k] : hi;
  }
  boxMin = lo - t;
  boxMax = hi + t;
}

// A segment's extended box (extendedBoxAxis) and normal of this cycle. Each
// node is read once and the box kept in registers.
__host__ __device__ inline void refreshSegment(SegmentCuda& s) {
  const NodeCuda* const n[4] = {s.node[0], s.node[1], s.node[2], s.node[3]};
  for (int a = 0; a < 3; ++a) {
    double now[4], before[4];
    for (int k = 0; k < 4; ++k) {
      now[k] = n[k]->coord[a];
      before[k] = now[k] - n[k]->step_disp[a];
    }
    extendedBoxAxis(now, before, s.territory, s.box_min[a], s.box_max[a]);
  }
  s.solveNormVec();
}

// Distance of x from the line through a and b (0 for a degenerate edge).
__host__ __device__ inline double distanceToLine(const double* a, const double* b, const double* x) {
  double e[3], v[3];
  sub3(b, a, e);
  sub3(x, a, v);
  const double ee = dot3(e, e);
  const double ev = dot3(e, v);
  double r2 = dot3(v, v) - (ee > 0.0 ? ev * ev / ee : 0.0);
  if (r2 < 0.0) r2 = 0.0;
  return sqrt(r2);
}

}  // namespace contact_geom
