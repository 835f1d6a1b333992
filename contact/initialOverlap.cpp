#include "contact/initialOverlap.h"
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <numeric>
#include <unordered_map>
#include "contact/contact.h"
#include "contact/contactGeom.h"
#include "contact/contactRecord.h"
#include "contact/contactnode.h"
#include "contact/subDomainManager.h"
#include "contact/surface.h"
#include "contact/contactModel.h"

using namespace contact_geom;

namespace {

// A face counts for a node's overlap within this share of its size (its
// longer diagonal); a node deeper behind it lies nearer to another face of
// the body, or is no slight overlap.
constexpr double kOverlapReachShare = 0.5;
// A face faces a node when its normal turned to the node's side meets the
// outward normal of the node's own faces at more than 120 degrees: the top
// face of a block under the bottom face of another, not its side faces, which
// a node on the block's edge lies on.
constexpr double kFacingCos = -0.5;
// A shell has no outward side: it reaches half its thickness both ways, and
// round its edge.  A face faces a node of shells alone when it lies within 60
// degrees of the shells' plane, from either side, or when the shells run
// from the node away from the face (a plate's edge standing on another: the
// way to its shells' centres, summed, has a tenth of their length along the
// face's normal, also for shells ten times longer than high), not when they
// run over the face's edge into the body behind it (a sheet ending on a
// block's edge, beside the block's side face) or along it (a sheet over the
// block's edge).
constexpr double kShellFacingCos = 0.5;
constexpr double kShellEdgeShare = 0.1;

// Body of every node of a surface: the nodes joined through its segments
// (union-find over node ids).
class Bodies {
 public:
  explicit Bodies(const Surface& s) {
    for (const SegmentCuda& seg : s.segment_array) {
      for (int k = 1; k < seg.node_num; ++k) join(seg.node_id[0], seg.node_id[k]);
    }
  }
  // Body of a node id, or 0 when the surface does not hold it.
  int of(int id) {
    if (parent_.find(id) == parent_.end()) return 0;
    return root(id);
  }

 private:
  int root(int id) {
    auto it = parent_.try_emplace(id, id).first;
    while (it->second != id) {
      const int up = it->second;
      auto upIt = parent_.find(up);
      it->second = upIt->second;  // halves the path
      id = up;
      it = upIt;
    }
    return id;
  }
  void join(int a, int b) {
    const int ra = root(a), rb = root(b);
    if (ra != rb) parent_[std::max(ra, rb)] = std::min(ra, rb);
  }
  std::unordered_map<int, int> parent_;
};

// Unit normal of a segment from its current coordinates; false for a facet
// of no area.
bool unitNormal(const SegmentCuda& seg, double* n) {
  SegmentCuda copy = seg;
  if (!copy.solveNormVec()) return false;
  for (int a = 0; a < 3; ++a) n[a] = copy.normal[a];
  return norm3(n) > 0.5;
}

// What a node's own faces on its side say of the faces that face it: the
// outward normals of its faces of solids, or, for a node of shells alone, the
// normals of its shells (each turned to agree with the sum) and the ways from
// the node to their centres; each summed, and the lengths of those ways.
struct OwnFaces {
  std::array<double, 3> outward{}, axis{}, inward{};
  double spread = 0.0;
  bool solid = false;
  // True when the unit normal n, turned to the node's side, faces the node.
  bool facedBy(const double* n) const {
    if (solid) return dot3(n, outward.data()) < kFacingCos * norm3(outward.data());
    return std::fabs(dot3(n, axis.data())) >= kShellFacingCos * norm3(axis.data()) ||
           dot3(n, inward.data()) > kShellEdgeShare * spread;
  }
};

std::unordered_map<int, OwnFaces> ownFaces(const Surface* side) {
  std::unordered_map<int, OwnFaces> faces;
  if (side == nullptr) return faces;
  for (const SegmentCuda& seg : side->segment_array) {
    double n[3], centre[3] = {0.0, 0.0, 0.0};
    if (!unitNormal(seg, n)) continue;
    for (int k = 0; k < seg.node_num; ++k)
      for (int a = 0; a < 3; ++a) centre[a] += nodeCoord(&seg, k)[a] / seg.node_num;
    for (int k = 0; k < seg.node_num; ++k) {
      OwnFaces& f = faces[seg.node_id[k]];
      f.solid = f.solid || seg.one_sided != 0;
      const double turn = dot3(n, f.axis.data()) < 0.0 ? -1.0 : 1.0;
      double way[3];
      sub3(centre, nodeCoord(&seg, k), way);
      if (seg.one_sided == 0) f.spread += norm3(way);
      for (int a = 0; a < 3; ++a) {
        (seg.one_sided != 0 ? f.outward[a] : f.axis[a]) += (seg.one_sided != 0 ? 1.0 : turn) * n[a];
        if (seg.one_sided == 0) f.inward[a] += way[a];
      }
    }
  }
  return faces;
}

// The master surface's segments in a tree of boxes (each segment's box
// widened by its reach and half its thickness; each tree node's box holds
// its children's), split at the median along the longer extent of the
// boxes' centres: built in n log n, asked for a point in log n plus the
// boxes that hold it, whatever the segments' sizes (cells of one size would
// number billions under one far-stretched segment beside small ones).  A
// segment whose box is not finite holds no point.
class SegmentBoxes {
 public:
  explicit SegmentBoxes(const Surface& s) {
    for (std::size_t i = 0; i < s.segment_array.size(); ++i) {
      const SegmentCuda& seg = s.segment_array[i];
      const double reach = kOverlapReachShare * segmentSize(&seg) + 0.5 * seg.thickness;
      Box b;
      for (int a = 0; a < 3; ++a) {
        b.lo[a] = b.hi[a] = nodeCoord(&seg, 0)[a];
        for (int k = 1; k < seg.node_num; ++k) {
          b.lo[a] = std::min(b.lo[a], nodeCoord(&seg, k)[a]);
          b.hi[a] = std::max(b.hi[a], nodeCoord(&seg, k)[a]);
        }
        b.lo[a] -= reach;
        b.hi[a] += reach;
      }
      if (!b.finite()) continue;
      boxes_.push_back(b);
      segments_.push_back(i);
    }
    if (boxes_.empty()) return;
    tree_.resize(1);
    split(0, 0, boxes_.size());
  }
  // Calls visit(segment index) for every segment whose box, widened by
  // margin, holds x.
  template <class Visit>
  void visit(const double* x, double margin, Visit&& visit) const {
    if (tree_.empty()) return;
    std::vector<std::size_t> stack{0};
    while (!stack.empty()) {
      const TreeNode& t = tree_[stack.back()];
      stack.pop_back();
      if (!t.box.holds(x, margin)) continue;
      if (t.left == 0) {
        for (std::size_t i = t.first; i < t.first + t.count; ++i)
          if (boxes_[i].holds(x, margin)) visit(segments_[i]);
        continue;
      }
      stack.push_back(t.left);
      stack.push_back(t.left + 1);
    }
  }

 private:
  static constexpr std::size_t kLeafSize = 4;
  struct Box {
    double lo[3], hi[3];
    bool finite() const {
      for (int a = 0; a < 3; ++a)
        if (!std::isfinite(lo[a]) || !std::isfinite(hi[a])) return false;
      return true;
    }
    bool holds(const double* x, double margin) const {
      for (int a = 0; a < 3; ++a)
        if (!(x[a] >= lo[a] - margin && x[a] <= hi[a] + margin)) return false;
      return true;
    }
    double centre(int a) const { return 0.5 * lo[a] + 0.5 * hi[a]; }
  };
  // Boxes first .. first + count - 1; left: index of the first of the two
  // children (the second follows it), 0 for a leaf.
  struct TreeNode {
    Box box;
    std::size_t first, count, left;
  };
  // Fills tree node `at` with the given boxes and, unless they are few,
  // makes its two children (side by side) of either half.
  void split(std::size_t at, std::size_t first, std::size_t count) {
    Box around = boxes_[first];
    double lo[3], hi[3];
    for (int a = 0; a < 3; ++a) lo[a] = hi[a] = around.centre(a);
    for (std::size_t i = first; i < first + count; ++i) {
      for (int a = 0; a < 3; ++a) {
        around.lo[a] = std::min(around.lo[a], boxes_[i].lo[a]);
        around.hi[a] = std::max(around.hi[a], boxes_[i].hi[a]);
        lo[a] = std::min(lo[a], boxes_[i].centre(a));
        hi[a] = std::max(hi[a], boxes_[i].centre(a));
      }
    }
    tree_[at] = TreeNode{around, first, count, 0};
    if (count <= kLeafSize) return;
    int axis = 0;
    for (int a = 1; a < 3; ++a)
      if (hi[a] - lo[a] > hi[axis] - lo[axis]) axis = a;
    sortHalves(first, count, axis);
    const std::size_t left = tree_.size();
    tree_.resize(left + 2);
    tree_[at].left = left;
    split(left, first, count / 2);
    split(left + 1, first + count / 2, count - count / 2);
  }
  // Puts the boxes first .. first + count - 1 with the lower centres along
  // the axis into the first half.
  void sortHalves(std::size_t first, std::size_t count, int axis) {
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), first);
    const auto mid = order.begin() + static_cast<std::ptrdiff_t>(count / 2);
    std::nth_element(order.begin(), mid, order.end(), [this, axis](std::size_t a, std::size_t b) {
      return boxes_[a].centre(axis) < boxes_[b].centre(axis);
    });
    std::vector<Box> boxes(count);
    std::vector<std::size_t> segments(count);
    for (std::size_t i = 0; i < count; ++i) {
      boxes[i] = boxes_[order[i]];
      segments[i] = segments_[order[i]];
    }
    std::copy(boxes.begin(), boxes.end(), boxes_.begin() + static_cast<std::ptrdiff_t>(first));
    std::copy(segments.begin(), segments.end(), segments_.begin() + static_cast<std::ptrdiff_t>(first));
  }
  std::vector<Box> boxes_;
  std::vector<std::size_t> segments_;
  std::vector<TreeNode> tree_;
};

// The face of the master surface that faces the node and lies nearest to
// it, with the node's gap to it (negative behind it).
struct Nearest {
  const SegmentCuda* segment = nullptr;
  double gap = 0.0;
};

// Of two faces at the same distance the first in the surface's order.
Nearest nearestFacingFace(const Surface& master, const SegmentBoxes& boxes, Bodies& bodies, const NodeCuda& node,
                          const OwnFaces* own) {
  Nearest best;
  const int body = bodies.of(node.id);
  const double* x = node.coord;
  boxes.visit(x, 0.5 * node.thickness, [&](std::size_t i) {
    const SegmentCuda& seg = master.segment_array[i];
    if (body != 0 && bodies.of(seg.node_id[0]) == body) return;  // a face of the node's own body
    double n[3];
    if (!unitNormal(seg, n)) return;
    bool inside = true;
    for (int k = 0; k < seg.node_num && inside; ++k) inside = !outsideEdge(&seg, k, n, x);
    if (!inside) return;
    double v[3];
    sub3(x, nodeCoord(&seg, 0), v);
    double d = dot3(n, v);
    if (seg.node_num == 4) {
      sub3(x, nodeCoord(&seg, 1), v);
      d = std::min(d, dot3(n, v));
    }
    // A solid's face is touched from outside only; a shell from either side.
    const int side = seg.one_sided != 0 || d >= 0.0 ? 1 : -1;
    const double facing[3] = {side * n[0], side * n[1], side * n[2]};
    if (own != nullptr && !own->facedBy(facing)) return;
    const double gap = side * d - 0.5 * (seg.thickness + node.thickness);
    if (std::fabs(gap) > kOverlapReachShare * segmentSize(&seg)) return;
    const bool nearer = best.segment == nullptr || std::fabs(gap) < std::fabs(best.gap) ||
                        (std::fabs(gap) == std::fabs(best.gap) && &seg < best.segment);
    if (nearer) best = Nearest{&seg, gap};
  });
  return best;
}

}  // namespace

namespace {

// Keeps each contact's deepest starting nodes, each node once at its
// deepest, deepest first (of equal depths the lower node id).
void keepWorstStartOverlaps(Contact& contact, const std::map<int, ContactDepth>& byNode) {
  std::vector<ContactDepth>& worst = contact.start_overlap_worst;
  worst.clear();
  for (const auto& [id, d] : byNode) worst.push_back(d);
  std::sort(worst.begin(), worst.end(), [](const ContactDepth& a, const ContactDepth& b) {
    return a.depth > b.depth || (a.depth == b.depth && a.node_id < b.node_id);
  });
  if (worst.size() > kReportedStartOverlaps) worst.resize(kReportedStartOverlaps);
}

}  // namespace

int findInitialOverlaps(std::vector<SubDomainManager>& searched) {
  int held = 0;
  std::map<Contact*, std::map<int, ContactDepth>> deepestByNode;
  std::map<const Surface*, std::pair<SegmentBoxes, Bodies>> masters;
  for (SubDomainManager& m : searched) {
    const Surface* master = m.masterSurface;
    if (master == nullptr || master->segment_array.empty() || m.contact == nullptr) continue;
    auto found = masters.find(master);
    if (found == masters.end()) found = masters.try_emplace(master, SegmentBoxes(*master), Bodies(*master)).first;
    auto& [boxes, bodies] = found->second;
    const auto own = ownFaces(m.slaveSurface);
    for (ContactNodeCuda* cn : m.slave_contact_node_array_cpu) {
      if (cn == nullptr || cn->node == nullptr) continue;
      const auto it = own.find(cn->node_id);
      const Nearest face =
          nearestFacingFace(*master, boxes, bodies, *cn->node, it == own.end() ? nullptr : &it->second);
      if (face.segment == nullptr || !(face.gap < -onPlaneTolerance(face.segment))) continue;
      if (cn->start_overlap == 0.0) ++held;
      if (-face.gap > cn->start_overlap) {
        cn->start_overlap = -face.gap;
        cn->deepest_gap = face.gap;
        cn->start_face = face.segment;
        cn->deepest_segment = face.segment->local_id;
        cn->deepest_time = 0.0;
      }
      m.contact->start_overlap.take(-face.gap, cn->node_id, face.segment->node_id, segmentSize(face.segment), 0.0);
      ContactDepth& ofNode = deepestByNode[m.contact][cn->node_id];
      if (ofNode.count == 0 || -face.gap > ofNode.depth) {
        ofNode = ContactDepth{};
        ofNode.take(-face.gap, cn->node_id, face.segment->node_id, segmentSize(face.segment), 0.0);
      }
    }
  }
  for (auto& [contact, byNode] : deepestByNode) keepWorstStartOverlaps(*contact, byNode);
  return held;
}

void reportInitialOverlaps(const std::vector<Contact>& contacts, const ContactModel& fem) {
  for (const Contact& c : contacts) {
    const ContactDepth& d = c.start_overlap;
    if (d.count == 0) continue;
    std::printf(
        "%s: %d node(s) start inside the other side, the deepest by %s; each is held at the depth it "
        "starts at until it comes out\n",
        c.describeWithSides().c_str(), d.count, describeDepth(d, fem, false).c_str());
    if (c.start_overlap_worst.size() < 2) continue;
    std::printf("  the %zu deepest:\n", c.start_overlap_worst.size());
    for (const ContactDepth& w : c.start_overlap_worst) std::printf("    %s\n", describeDepth(w, fem, false).c_str());
  }
}
