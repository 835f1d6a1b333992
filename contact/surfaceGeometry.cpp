// Set-up geometry of a surface's segments: thickness, initial normals, the
// segments across every edge, territories and extended boxes, and the
// surface's edge and territory statistics.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

#include "contact/surface.h"

namespace {

// Territory rule: the box of a segment is widened by half its thickness
// plus a share of its longest edge (long, middle or short against t).
constexpr double kThicknessFloor = 0.001;
constexpr double kLongEdgeRatio = 100.0;
constexpr double kMiddleEdgeRatio = 10.0;
constexpr double kLongEdgeFactor = 0.15;
constexpr double kMiddleEdgeFactor = 0.3;
constexpr double kShortEdgeFactor = 0.6;
constexpr double kThicknessShare = 0.5;
constexpr double kNoEdgeYet = 1000.0;

double territoryOf(double thickness, double longestEdge) {
  const double t = thickness > 0.0 ? thickness : kThicknessFloor;
  const double L = longestEdge;
  double e = kShortEdgeFactor * std::min(L, t);
  if (L > kLongEdgeRatio * t) {
    e = kLongEdgeFactor * L;
  } else if (L > kMiddleEdgeRatio * t) {
    e = kMiddleEdgeFactor * L;
  }
  return kThicknessShare * t + e;
}

double distance(const NodeCuda* a, const NodeCuda* b) {
  double sum = 0.0;
  for (int i = 0; i < 3; ++i) sum += (b->coord[i] - a->coord[i]) * (b->coord[i] - a->coord[i]);
  return std::sqrt(sum);
}

using EdgeKey = std::pair<int, int>;           // the two node ids, smaller first
using EdgeUse = std::pair<SegmentCuda*, int>;  // segment, edge number (0-based)

int edgeStart(const SegmentCuda& s, int k) { return s.node_id[k]; }
int edgeEnd(const SegmentCuda& s, int k) { return s.node_id[(k + 1) % s.node_num]; }

// Appends the node ids of `from` to the free slots of `to`; false when the
// list is full before all ids are written.
bool appendNearNodes(SegmentCuda& to, const SegmentCuda& from) {
  int slot = 0;
  for (int k = 0; k < from.node_num; ++k) {
    while (slot < kNearNodeSlots && to.near_node_list[slot] != 0) ++slot;
    if (slot == kNearNodeSlots) return false;
    to.near_node_list[slot] = from.node_id[k];
  }
  return true;
}

// Links two segments that share one edge; false when a near-node list
// overflowed.
bool linkAcross(const EdgeUse& a, const EdgeUse& b) {
  SegmentCuda& A = *a.first;
  SegmentCuda& B = *b.first;
  A.neighbour[a.second] = &B;
  A.neighbour_index[a.second] = B.local_index;
  B.neighbour[b.second] = &A;
  B.neighbour_index[b.second] = A.local_index;
  A.node[a.second]->owner_segment = &A;
  B.node[b.second]->owner_segment = &B;
  const int o = edgeStart(A, a.second) == edgeStart(B, b.second) ? -1 : 1;
  A.edge_orientation[a.second] = o;
  B.edge_orientation[b.second] = o;
  const bool fitA = appendNearNodes(A, B);
  const bool fitB = appendNearNodes(B, A);
  return fitA && fitB;
}

void markBoundaryEdge(const EdgeUse& a) {
  SegmentCuda& A = *a.first;
  const int k = a.second;
  A.boundary_edge[k] = 1;
  A.neighbour[k] = &A;
  A.neighbour_index[k] = A.local_index;
  A.edge_orientation[k] = 1;
  NodeCuda* ends[2] = {A.node[k], A.node[(k + 1) % A.node_num]};
  for (NodeCuda* n : ends) {
    n->boundary_edge_flag = 1;
    n->owner_segment = &A;
  }
}

}  // namespace

void Surface::setSegmentThickness() {
  for (SegmentCuda& seg : segment_array) seg.maxThickSet();
}

void Surface::solveSegmentNormals() {
  for (SegmentCuda& seg : segment_array) seg.solveIniNorVec();
  // A segment of zero area has a zero normal: it is left out of the search.
  dropSegments(
      [](const SegmentCuda& seg) {
        return seg.initial_normal[0] != 0.0 || seg.initial_normal[1] != 0.0 || seg.initial_normal[2] != 0.0;
      },
      "has zero area and no normal; it is left out of the contact search");
}

void Surface::calSegmentTerritory(double thickestNode) {
  min_edge_length = kNoEdgeYet;
  double edgeSum = 0.0;
  int edgeCount = 0;
  std::map<EdgeKey, std::vector<EdgeUse>> edges;
  for (SegmentCuda& s : segment_array) {
    s.surface_id = id;
    double longest = 0.0;
    for (int k = 0; k < 4; ++k) s.boundary_edge[k] = 0;
    for (int k = 0; k < s.node_num; ++k) {
      s.near_node_list[k] = s.node_id[k];
      const double L = distance(s.node[k], s.node[(k + 1) % s.node_num]);
      min_edge_length = std::min(min_edge_length, L);
      longest = std::max(longest, L);
      edgeSum += L;
      ++edgeCount;
      edges[std::minmax(edgeStart(s, k), edgeEnd(s, k))].emplace_back(&s, k);
    }
    if (s.node_num == 3) {
      s.edge_orientation[3] = 1;
      s.neighbour[3] = &s;
      s.neighbour_index[3] = s.local_index;
    }
    // A node thicker than the segment touches it from further out by half
    // the difference: its box reaches that much further, so that the node is
    // a candidate before it touches.
    s.territory = territoryOf(s.thickness, longest) + 0.5 * std::max(0.0, thickestNode - s.thickness);
  }
  // An empty surface has no edges: its mean edge stays 0.
  mean_edge_length = edgeCount > 0 ? edgeSum / edgeCount : 0.0;
  if (min_edge_length == kNoEdgeYet) printf("面的最小边计算错误\n");

  int overflows = 0;
  for (auto& [key, uses] : edges) {
    if (uses.size() == 1) {
      markBoundaryEdge(uses[0]);
      continue;
    }
    if (uses.size() > 2) printf("此边为T型边(%d)\n", static_cast<int>(uses.size()));
    for (std::size_t i = 0; i < uses.size(); ++i) {
      for (std::size_t j = i + 1; j < uses.size(); ++j) {
        if (!linkAcross(uses[i], uses[j])) ++overflows;
      }
    }
  }
  if (overflows > 0) {
    fprintf(stderr,
            "Surface %d: where many segments meet at an edge, the near-node lists hold %d node ids; %d list(s) "
            "kept only the first %d\n",
            id, kNearNodeSlots, overflows, kNearNodeSlots);
  }
}

void Surface::calSegmentBoundingBoxes() {
  for (SegmentCuda& seg : segment_array) seg.calExtTerritory();
}

void Surface::calAverageTerritorySize() {
  double sum = 0.0;
  for (const SegmentCuda& seg : segment_array) sum += seg.territory;
  mean_territory = segment_array.empty() ? 0.0 : sum / static_cast<double>(segment_array.size());
}

double Surface::searchMargin() const {
  double m = DBL_MAX;
  for (const SegmentCuda& s : segment_array) m = std::min(m, s.territory);
  if (!(m > 0.0) || m == DBL_MAX) m = mean_edge_length;
  return m > 0.0 ? m : 0.0;
}
