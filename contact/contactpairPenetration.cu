// Penetration step of an active contact pair: contact normal, gap,
// interpolation weights and mass shares of the master entity, and the
// carried normal force of the previous cycle applied to slave and masters.
#include <cstdio>
#include "contact/contactGeom.h"
#include "contact/faceDepth.h"
#include "contact/contactnode.h"
#include "contact/contactpair.h"
#include "core/gridIndex.h"

using namespace contact_geom;

namespace {

// Weights of a point inside a triangle or quadrilateral from the doubled
// areas A_k of the triangles (point, edge k).  A degenerate segment (all
// areas zero) shares the point equally.
__host__ __device__ void segmentWeights(const double* A, int n, double* w) {
  w[3] = 0.0;
  if (n == 3) {
    const double s = A[0] + A[1] + A[2];
    if (!(s > 0.0)) {
      w[0] = w[1] = w[2] = 1.0 / 3.0;
      return;
    }
    w[0] = A[1] / s;
    w[2] = A[0] / s;
    w[1] = 1.0 - w[0] - w[2];
    return;
  }
  const double p = (A[0] + A[2]) * (A[1] + A[3]);
  if (!(p > 0.0)) {
    w[0] = w[1] = w[2] = w[3] = 0.25;
    return;
  }
  w[0] = A[1] * A[2] / p;
  w[1] = A[2] * A[3] / p;
  w[2] = A[3] * A[0] / p;
  w[3] = A[0] * A[1] / p;
}

// Neighbouring segments that meet at less than this angle (cosine of 30
// degrees) belong to one smooth surface: their normals are blended at the
// nodes they share.  Sharper edges (the edges of a block) keep each face's
// own normal.
constexpr double kSmoothCos = 0.8660254037844386;
// Segments visited around one node in either direction.
constexpr int kCornerWalkSteps = 16;

__host__ __device__ inline void addScaled(double* sum, const double* v, double scale) {
  for (int j = 0; j < 3; ++j) sum[j] += scale * v[j];
}

// Position of node P among the nodes of s, or -1.
__host__ __device__ int cornerOf(const SegmentCuda* s, const NodeCuda* P) {
  for (int i = 0; i < s->node_num; ++i) {
    if (s->node[i] == P) return i;
  }
  return -1;
}

// Adds to sum the unit normals (turned to s's orientation) of the segments
// met walking round node k of s across edge `first` and on, as long as each
// meets the one before it smoothly; true when the walk came back to s (a
// closed fan).
__host__ __device__ bool walkCorner(const SegmentCuda* s, int k, int first, double* sum) {
  const NodeCuda* P = s->node[k];
  const SegmentCuda* prev = s;
  const SegmentCuda* cur = s->neighbour[first];
  int factor = s->edge_orientation[first];
  int prevFactor = 1;
  for (int steps = 0; steps < kCornerWalkSteps && cur != nullptr && cur != prev; ++steps) {
    if (cur == s) return true;
    if (factor * prevFactor * dot3(cur->normal, prev->normal) < kSmoothCos) return false;
    addScaled(sum, cur->normal, factor);
    const int i = cornerOf(cur, P);
    if (i < 0) return false;
    const int ip = prevEdge(i, cur->node_num);
    const int next = cur->neighbour[i] == prev ? ip : i;  // the edge at P not crossed yet
    prevFactor = factor;
    factor *= cur->edge_orientation[next];
    prev = cur;
    cur = cur->neighbour[next];
  }
  return false;
}

}  // namespace

__host__ __device__ void cornerNormal(const SegmentCuda* s, int k, double* out) {
  double sum[3] = {s->normal[0], s->normal[1], s->normal[2]};
  if (!walkCorner(s, k, k, sum)) walkCorner(s, k, prevEdge(k, s->node_num), sum);
  const double len = norm3(sum);
  for (int j = 0; j < 3; ++j) out[j] = len > 0.0 ? sum[j] / len : s->normal[j];
}

namespace {

// A node inside the body goes to a face meeting its pair's face only when
// it lies behind that one less than this share of its depth behind its
// own: nearly as deep behind both, at a corner pressed in square, it stays
// where it is.
constexpr double kNearerFaceShare = 0.5;

// A node within this share of a face's size from it lies on it, neither in
// front nor behind: where two blocks' sides lie in one plane, a node of one
// pressed into the other's bottom face lies on the plane of its side face,
// and only the bottom face stops it.
constexpr double kOnFaceShare = 1e-6;

// The two segments have a node in common (they meet at an edge or a corner).
__host__ __device__ bool sharesNode(const SegmentCuda* a, const SegmentCuda* b) {
  for (int k = 0; k < a->node_num; ++k) {
    if (cornerOf(b, a->node[k]) >= 0) return true;
  }
  return false;
}

struct Point {
  double x[3];
};
// Where a node was before the last step, seen from a segment where it is
// now: the node's step, less the mean step of the segment's nodes, taken
// back.
__host__ __device__ Point positionBeforeStep(const NodeCuda* node, const SegmentCuda* s) {
  Point p;
  for (int a = 0; a < 3; ++a) {
    double mean = 0.0;
    for (int k = 0; k < s->node_num; ++k) mean += s->node[k]->step_disp[a];
    p.x[a] = node->coord[a] - (node->step_disp[a] - mean / s->node_num);
  }
  return p;
}

}  // namespace

__host__ __device__ void ContactPairCuda::smoothNormal(const double* cornerWeights) {
  const SegmentCuda* s = segment;
  double sum[3] = {0.0, 0.0, 0.0};
  for (int k = 0; k < s->node_num; ++k) {
    const double w = cornerWeights[k] < 0.0 ? 0.0 : cornerWeights[k];
    if (w == 0.0) continue;
    double c[3];
    cornerNormal(s, k, c);
    addScaled(sum, c, w);
  }
  const double len = norm3(sum);
  for (int j = 0; j < 3; ++j) normal[j] = side * (len > 0.0 ? sum[j] / len : s->normal[j]);
}

__host__ __device__ bool ContactPairCuda::beyondFreeBoundary(double* distance) const {
  if (segment == nullptr || owner == nullptr || owner->node == nullptr) return false;
  const SegmentCuda* s = segment;
  const double* xs = owner->node->coord;
  const int n = s->node_num;
  const int k = local_index;
  if (k < 0 || k >= n) return false;
  if (kind == NODE_TO_EDGE) {
    if (!isBoundaryEdge(s, k) || !clearlyOutsideEdge(s, k, s->normal, xs)) return false;
    *distance = distanceToLine(nodeCoord(s, k), nodeCoord(s, nextEdge(k, n)), xs);
    return true;
  }
  if (kind == NODE_TO_NODE) {
    const int p = prevEdge(k, n);
    const bool out = (isBoundaryEdge(s, k) && clearlyOutsideEdge(s, k, s->normal, xs)) ||
                     (isBoundaryEdge(s, p) && clearlyOutsideEdge(s, p, s->normal, xs));
    if (!out) return false;
    double d[3];
    sub3(xs, nodeCoord(s, k), d);
    *distance = norm3(d);
    return true;
  }
  return false;
}

__host__ __device__ int ContactPairCuda::masterNodes(NodeCuda* masters[4], double weights[4]) const {
  const SegmentCuda* s = segment;
  const int N = s->node_num;
  int count = 0;
  auto take = [&](NodeCuda* node, double w) {
    if (w == 0.0) return;
    masters[count] = node;
    weights[count] = w;
    ++count;
  };
  if (kind == NODE_TO_SEGMENT) {
    for (int k = 0; k < N; ++k) take(s->node[k], weight[k]);
  } else if (kind == NODE_TO_EDGE) {
    take(s->node[local_index], weight[0]);
    take(s->node[nextEdge(local_index, N)], weight[1]);
  } else {
    take(s->node[local_index], 1.0);
  }
  return count;
}

__host__ __device__ void ContactPairCuda::penetraCalDefenGpu(int masterSkip, int* /*unused*/) {
  if (kind == CONTACT_PAIR_EMPTY || segment == nullptr || owner == nullptr || owner->node == nullptr) return;
  if (side == 0) {
    printf("接触对的位置标示计算错误\n");
    side = 1;
  }
  double cornerWeights[4];
  measureGap(cornerWeights);
  SegmentCuda* face = segment;
  int faceSide = side;
  measureFaceGap(&face, &faceSide);
  if (moveToFace(face, faceSide)) {
    measureGap(cornerWeights);
    measureFaceGap(&face, &faceSide);
  }
  applyCarriedForce(cornerWeights, masterSkip);
}

__host__ __device__ void ContactPairCuda::measureGap(double* cornerWeights) {
  const SegmentCuda* seg = segment;
  for (int j = 0; j < 3; ++j) normal[j] = side * seg->normal[j];
  NodeCuda* slave = owner->node;
  const double* xs = slave->coord;
  const double ts = slave->thickness;
  const int N = seg->node_num;
  // The gap and the weights are measured from the segment's plane; the
  // normal the pair pushes along is then the segment's normal blended, by the
  // weights, with those of the segments that meet it smoothly at its nodes.
  for (int k = 0; k < 4; ++k) cornerWeights[k] = 0.0;

  if (kind == NODE_TO_SEGMENT) {
    double A[4] = {0.0, 0.0, 0.0, 0.0};
    double h = 10000.0, T = 0.0;
    for (int k = 0; k < N; ++k) {
      double e[3], c[3], d[3];
      sub3(nodeCoord(seg, nextEdge(k, N)), nodeCoord(seg, k), e);
      cross3(e, normal, c);
      sub3(xs, nodeCoord(seg, k), d);
      const double lc = norm3(c);
      if (lc == 0.0) continue;  // degenerate edge: no part in the area, gap or thickness
      A[k] = fabs(dot3(d, c) / lc) * norm3(e);
      const double hk = dot3(normal, d);
      if (hk < h) h = hk;
      T += seg->node[k]->thickness;
    }
    gap = h - 0.5 * (T / N + ts);
    segmentWeights(A, N, weight);
    for (int j = 0; j < 4; ++j) cornerWeights[j] = weight[j];
    return;
  }

  const int k = local_index;
  const int k2 = nextEdge(k, N);
  NodeCuda* a = seg->node[k];
  NodeCuda* b = seg->node[k2];
  double d[3], d2[3];
  sub3(xs, a->coord, d);
  sub3(xs, b->coord, d2);
  double h = dot3(normal, d);
  if (kind == NODE_TO_EDGE) {
    double e[3];
    sub3(b->coord, a->coord, e);
    const double ee = dot3(e, e);
    const double t = ee != 0.0 ? dot3(e, d) / ee : 0.0;
    if (h > 100000.0) h = 100000.0;
    if (N == 4 && dot3(normal, d2) < h) h = dot3(normal, d2);
    const double offset = 0.5 * (0.5 * (a->thickness + b->thickness) + ts);
    gap = h - offset;
    double edgeDistance = 0.0;
    if (beyondFreeBoundary(&edgeDistance)) gap = edgeDistance - offset;
    weight[0] = 1.0 - t;
    weight[1] = t;
    weight[2] = weight[3] = 0.0;
    cornerWeights[k] = t < 0.0 ? 1.0 : (t > 1.0 ? 0.0 : 1.0 - t);
    cornerWeights[k2] = 1.0 - cornerWeights[k];
    return;
  }

  // Node to node.
  if (N == 4 && dot3(normal, d2) < h) h = dot3(normal, d2);
  const double offset = 0.5 * (ts + a->thickness);
  gap = h - offset;
  double cornerDistance = 0.0;
  if (beyondFreeBoundary(&cornerDistance)) gap = cornerDistance - offset;
  cornerWeights[k] = 1.0;
}

__host__ __device__ void ContactPairCuda::measureFaceGap(SegmentCuda** face, int* faceSide) {
  face_gap = gap;
  face_segment = segment->local_id;
  if (!(gap < 0.0)) return;
  const double distance = face_depth::surfaceDistance(segment, side, owner->node->coord, face, faceSide);
  double t = 0.0;
  for (int k = 0; k < 4; ++k) t += (*face)->node[k]->thickness;
  face_gap = distance - 0.5 * (0.25 * t + owner->node->thickness);
  face_segment = (*face)->local_id;
}

__host__ __device__ bool ContactPairCuda::moveToFace(SegmentCuda* face, int faceSide) {
  if (force_steps != 0 || face == segment || !(gap < 0.0)) return false;
  if (segment->one_sided == 0 || face->one_sided == 0 || !sharesNode(segment, face)) return false;
  // Depths count from those the node started at.
  const ContactNodeCuda* o = owner;
  const double depth = gap + face_depth::startDepthAgainst(o->start_face, o->start_overlap, segment);
  const double faceDepth = face_gap + face_depth::startDepthAgainst(o->start_face, o->start_overlap, face);
  const double onFace = kOnFaceShare * segmentSize(face);
  const bool outside = faceDepth > onFace;
  const bool cameThrough = faceDepth < -onFace && faceDepth > kNearerFaceShare * depth &&
                           faceSide * face_depth::footOn(face, positionBeforeStep(owner->node, face).x).distance > 0.0;
  if (!outside && !cameThrough) return false;
  segment = face;
  segment_id = face->local_id;
  side = faceSide;
  kind = NODE_TO_SEGMENT;
  local_index = 0;
  return true;
}

__host__ __device__ void ContactPairCuda::applyCarriedForce(const double* cornerWeights, int masterSkip) {
  gap = owner->heldGap(gap);  // a node that started inside the body is held at that depth
  smoothNormal(cornerWeights);
  // The shift of the cycle before is taken back with it.
  double f[3];
  for (int j = 0; j < 3; ++j) f[j] = (carried_force - shift_force) * normal[j];
  shareOut(f, SHARE_FORCE | SHARE_PAIR_COUNT, masterSkip == 0);
}

__global__ void GpuPenetrateCalculation(ContactPairCuda** pairs, int n, int pass, int masterSkip, NodeVisit visit) {
  for (int j = gridStrideIndex(); j < n; j += gridStrideStep()) {
    const int i = visitedNode(visit, j);
    if (!visitsNode(visit.flags, i, NODE_MAY_PAIR) || pairs[i] == nullptr) continue;
    pairs[i]->openShares(pass);
    pairs[i]->penetraCalDefenGpu(masterSkip, nullptr);
  }
}
