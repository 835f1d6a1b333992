// Search after contact: a sliding slave node of an active pair is followed
// from its segment to an edge, across the edge to the neighbouring segment,
// to a node, and around that node, without releasing the pair.
#include <cstdio>
#include "contact/contactGeom.h"
#include "contact/contactnode.h"
#include "contact/contactpair.h"
#include "core/gridIndex.h"

using namespace contact_geom;

namespace {

// Outside test of edge k of s measured from node `from` (a node on the
// edge's line); a value that is not a number counts as outside.
__host__ __device__ bool outsideEdgeFrom(const SegmentCuda* s, int k, const double* c, const double* x,
                                         const double* from) {
  const int n = s->node_num;
  double e[3], o[3], d[3];
  sub3(nodeCoord(s, nextEdge(k, n)), nodeCoord(s, k), e);
  cross3(e, c, o);
  sub3(x, from, d);
  const double v = dot3(d, o);
  return v > edgeOutsideMargin(s, k, c) || notANumber(v);
}

// The pair has a segment, a slave node and a local index within the
// segment, so it can be searched.
__host__ __device__ bool searchable(const ContactPairCuda& p) {
  return p.segment != nullptr && p.owner != nullptr && p.owner->node != nullptr && p.local_index >= 0 &&
         p.local_index < p.segment->node_num;
}

// First position among the nodes of s that holds `node`, or -1.
__host__ __device__ int nodePosition(const SegmentCuda* s, const NodeCuda* node) {
  for (int i = 0; i < s->node_num; ++i) {
    if (s->node[i] == node) return i;
  }
  return -1;
}

// The edge of t that joins a and b, tested in the fixed order of the
// search after contact; -1 when t has no such edge.
__host__ __device__ int sharedEdge(const SegmentCuda* t, const NodeCuda* a, const NodeCuda* b) {
  const int n = t->node_num;
  for (int i = 0; i < n; ++i) {
    const NodeCuda* ni = t->node[i];
    const NodeCuda* next = t->node[nextEdge(i, n)];
    const NodeCuda* prev = t->node[prevEdge(i, n)];
    if (ni == a && next == b) return i;
    if (ni == a && prev == b) return prevEdge(i, n);
    if (ni == b && next == a) return i;
    if (ni == b && prev == a) return prevEdge(i, n);
  }
  return -1;
}

}  // namespace

__host__ __device__ void ContactPairCuda::nodeToSegmentCudaPostSearch() {
  if (!searchable(*this)) return;
  const SegmentCuda* s = segment;
  const double* x = owner->node->coord;
  double c[3];
  rawNormal(s, c);
  for (int k = 0; k < s->node_num; ++k) {
    if (leftOverEdge(s, k, c, x)) {
      local_index = k;
      kind = NODE_TO_EDGE;
      return;
    }
  }
}

__host__ __device__ void ContactPairCuda::nodeToEdgePostSearch() {
  if (!searchable(*this)) return;
  SegmentCuda* S = segment;
  const double* x = owner->node->coord;
  const int N = S->node_num;
  const int k = local_index;
  const int k2 = nextEdge(k, N);
  NodeCuda* a = S->node[k];
  NodeCuda* b = S->node[k2];
  double c[3];
  rawNormal(S, c);
  if (!leftOverEdge(S, k, c, x)) {
    // Back over S: a node of the edge, or S itself.
    if (outsideEdge(S, k2, c, x)) {
      kind = NODE_TO_NODE;
      local_index = k2;
    } else if (outsideEdgeFrom(S, prevEdge(k, N), c, x, a->coord)) {
      kind = NODE_TO_NODE;
      local_index = k;
    } else {
      kind = NODE_TO_SEGMENT;
      local_index = 0;
    }
    return;
  }
  // Beyond edge k: try the neighbour across it.
  const ContactPairCuda saved = *this;
  SegmentCuda* T = S->neighbour[k];
  if (T == nullptr) return;
  const int j = sharedEdge(T, a, b);
  if (j < 0) return;
  const int NT = T->node_num;
  const int j2 = nextEdge(j, NT);
  segment = T;
  local_index = j;
  side *= S->edge_orientation[k];
  double cT[3];
  rawNormal(T, cT);
  const NodeCuda* nodeResult = nullptr;
  if (outsideEdge(T, j, cT, x)) {
    double e[3], d[3];
    sub3(nodeCoord(T, j2), nodeCoord(T, j), e);
    sub3(x, nodeCoord(T, j), d);
    const double ed = dot3(e, d);
    const double ee = dot3(e, e);
    if (ed < 0.0) {
      nodeResult = T->node[j];
    } else if (ed > ee) {
      nodeResult = T->node[j2];
    } else {
      *this = saved;  // foot on the shared edge: the edge pair stays
      return;
    }
  } else if (outsideEdge(T, j2, cT, x)) {
    nodeResult = T->node[j2];
  } else if (outsideEdgeFrom(T, prevEdge(j, NT), cT, x, nodeCoord(T, j))) {
    nodeResult = T->node[j];
  } else {
    kind = NODE_TO_SEGMENT;  // over T: the pair moves to T
    return;
  }
  *this = saved;
  kind = NODE_TO_NODE;
  local_index = nodePosition(S, nodeResult);
  if (local_index < 0) local_index = k;
}

__host__ __device__ void ContactPairCuda::nodeToNodePostSearch() {
  if (!searchable(*this)) return;
  SegmentCuda* S = segment;
  const double* x = owner->node->coord;
  const int N = S->node_num;
  const int k = local_index;
  const int p = prevEdge(k, N);
  const NodeCuda* P = S->node[k];
  double c[3];
  rawNormal(S, c);
  SegmentCuda* cur = nullptr;
  const NodeCuda* other = nullptr;
  int factor = 1;
  if (onOrOutsideEdge(S, k, c, x)) {
    cur = S->neighbour[k];
    other = S->node[nextEdge(k, N)];
    factor = S->edge_orientation[k];
  } else if (clearlyOutsideEdge(S, p, c, x)) {
    cur = S->neighbour[p];
    other = S->node[p];
    factor = S->edge_orientation[p];
  } else {
    kind = NODE_TO_SEGMENT;
    local_index = 0;
    return;
  }
  // Walk around P; the side follows the orientation of every edge crossed.
  const SegmentCuda* prev = nullptr;
  for (int moves = 0; moves < kNodeWalkMaxMoves && cur != nullptr; ++moves) {
    if (prev == S) return;
    const int js = sharedEdge(cur, P, other);
    if (js < 0) {
      printf("接触后搜寻：相邻接触块搜寻错误\n");
      return;
    }
    const int Nc = cur->node_num;
    const int js2 = nextEdge(js, Nc);
    const int jo = cur->node[js] == P ? prevEdge(js, Nc) : js2;
    const NodeCuda* far = cur->node[js] == P ? cur->node[jo] : cur->node[nextEdge(jo, Nc)];
    double cc[3];
    rawNormal(cur, cc);
    const bool sharedInside = !clearlyOutsideEdge(cur, js, cc, x);
    const bool otherInside = !clearlyOutsideEdge(cur, jo, cc, x);
    if (sharedInside && otherInside) {
      kind = NODE_TO_SEGMENT;
      segment = cur;
      local_index = 0;
      side *= factor;
      return;
    }
    if (!sharedInside) {
      double e[3], d[3];
      sub3(nodeCoord(cur, js2), nodeCoord(cur, js), e);
      sub3(x, nodeCoord(cur, js), d);
      const double ed = dot3(e, d);
      if (ed >= 0.0 && ed <= dot3(e, e)) {
        kind = NODE_TO_EDGE;
        if (cur->neighbour[js] == S) {
          for (int q = 0; q < N; ++q) {
            if (S->neighbour[q] == cur) local_index = q;
          }
        } else {
          segment = cur;
          local_index = js;
          side *= factor;
        }
        return;
      }
    }
    factor *= cur->edge_orientation[jo];
    other = far;
    prev = cur;
    cur = cur->neighbour[jo];
  }
}

__host__ __device__ void ContactPairCuda::searchAfterContact() {
  if (kind == NODE_TO_SEGMENT) nodeToSegmentCudaPostSearch();
  if (kind == NODE_TO_EDGE) nodeToEdgePostSearch();
  if (kind == NODE_TO_NODE) nodeToNodePostSearch();
}

__host__ __device__ void ContactNodeCuda::notePairDepth(double time) {
  const ContactPairCuda& p = contact_pair;
  if (p.kind != CONTACT_PAIR_EMPTY && p.segment != nullptr) noteDepth(p.face_gap, p.face_segment, time);
}

__host__ __device__ void ContactNodeCuda::leaveStartOverlap() {
  const SegmentCuda* s = start_face;
  if (!(start_overlap > 0.0) || s == nullptr || contact_pair.kind != CONTACT_PAIR_EMPTY || node == nullptr) return;
  // The face's normal from its nodes (its stored one is refreshed only by
  // the search that follows).
  double n[3], v[3];
  rawNormal(s, n);
  const double length = norm3(n);
  if (!(length > 0.0)) return;
  sub3(node->coord, nodeCoord(s, 0), v);
  double d = dot3(n, v) / length;
  if (s->node_num == 4) {
    sub3(node->coord, nodeCoord(s, 1), v);
    d = fmin(d, dot3(n, v) / length);
  }
  // A solid's face is left to the front, a shell's to either side.
  const double offset =
      0.25 * (s->node[0]->thickness + s->node[1]->thickness + s->node[2]->thickness + s->node[3]->thickness);
  start_face_gap = (s->one_sided != 0 ? d : fabs(d)) - 0.5 * (offset + node->thickness);
  if (start_face_gap >= 0.0) start_overlap = 0.0;
}

__global__ void GpuSearchAfterContact(ContactPairCuda** pairs, int n, double lastStepTime, NodeVisit visit) {
  const int j = gridStrideIndex();
  if (j >= n) return;
  const int i = visitedNode(visit, j);
  unsigned char* flags = visit.flags;
  if (!visitsNode(flags, i, NODE_MAY_PAIR | NODE_START_OVERLAP) || pairs[i] == nullptr) return;
  if (ContactNodeCuda* owner = pairs[i]->owner) {
    owner->leaveStartOverlap();
    owner->notePairDepth(lastStepTime);
    // Once given up, the starting depth never comes back.
    if (flags != nullptr && !(owner->start_overlap > 0.0 && owner->start_face != nullptr && owner->node != nullptr))
      flags[i] = static_cast<unsigned char>(flags[i] & ~NODE_START_OVERLAP);
  }
  pairs[i]->searchAfterContact();
}
