#include "contact/initialOverlap.h"
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <numeric>
#include <unordered_map>
#include "contact/contact.h"
#include "contact/contactgeom.h"
#include "contact/contactRecord.h"
#include "contact/contactnode.h"
#include "contact/subdomainmanager.h"
#include "contact/surface.h"
#include "solver/femdynamic.h"

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

// Outward normals of the nodes of a side's own faces (summed, by node id).
std::unordered_map<int, std::array<double, 3>> ownNormals(const Surface* side) {
  std::unordered_map<int, std::array<double, 3>> sums;
  if (side == nullptr) return sums;
  for (const SegmentCuda& seg : side->segment_array) {
    double n[3];
    if (!unitNormal(seg, n)) continue;
    for (int k = 0; k < seg.node_num; ++k) {
      std::array<double, 3>& s = sums[seg.node_id[k]];
      for (int a = 0; a < 3; ++a) s[a] += n[a];
    }
  }
  return sums;
}

// The master surface's segments binned by cell (of the mean segment size)
// over their boxes widened by their reach.
class SegmentCells {
 public:
  explicit SegmentCells(const Surface& s) {
    double sum = 0.0;
    for (const SegmentCuda& seg : s.segment_array) sum += segmentSize(&seg);
    cell_ = s.segment_array.empty() ? 1.0 : sum / static_cast<double>(s.segment_array.size());
    if (!(cell_ > 0.0)) cell_ = 1.0;
    for (std::size_t i = 0; i < s.segment_array.size(); ++i) {
      const SegmentCuda& seg = s.segment_array[i];
      const double reach = kOverlapReachShare * segmentSize(&seg);
      std::array<long long, 3> lo{}, hi{};
      for (int a = 0; a < 3; ++a) {
        double mn = nodeCoord(&seg, 0)[a], mx = mn;
        for (int k = 1; k < seg.node_num; ++k) {
          mn = std::min(mn, nodeCoord(&seg, k)[a]);
          mx = std::max(mx, nodeCoord(&seg, k)[a]);
        }
        lo[a] = cellOf(mn - reach);
        hi[a] = cellOf(mx + reach);
      }
      for (long long x = lo[0]; x <= hi[0]; ++x)
        for (long long y = lo[1]; y <= hi[1]; ++y)
          for (long long z = lo[2]; z <= hi[2]; ++z) cells_[{x, y, z}].push_back(i);
    }
  }
  const std::vector<std::size_t>* at(const double* x) const {
    const auto it = cells_.find({cellOf(x[0]), cellOf(x[1]), cellOf(x[2])});
    return it == cells_.end() ? nullptr : &it->second;
  }

 private:
  long long cellOf(double c) const { return static_cast<long long>(std::floor(c / cell_)); }
  double cell_ = 1.0;
  std::map<std::array<long long, 3>, std::vector<std::size_t>> cells_;
};

// The face of the master surface that faces the node and lies nearest to
// it, with the node's gap to it (negative behind it).
struct Nearest {
  const SegmentCuda* segment = nullptr;
  double gap = 0.0;
};

Nearest nearestFacingFace(const Surface& master, const SegmentCells& cells, Bodies& bodies, const NodeCuda& node,
                          const std::array<double, 3>* own) {
  Nearest best;
  const std::vector<std::size_t>* list = cells.at(node.coord);
  if (list == nullptr) return best;
  const int body = bodies.of(node.id);
  const double* x = node.coord;
  for (std::size_t i : *list) {
    const SegmentCuda& seg = master.segment_array[i];
    if (body != 0 && bodies.of(seg.node_id[0]) == body) continue;  // a face of the node's own body
    double n[3];
    if (!unitNormal(seg, n)) continue;
    bool inside = true;
    for (int k = 0; k < seg.node_num && inside; ++k) inside = !outsideEdge(&seg, k, n, x);
    if (!inside) continue;
    double v[3];
    sub3(x, nodeCoord(&seg, 0), v);
    double d = dot3(n, v);
    if (seg.node_num == 4) {
      sub3(x, nodeCoord(&seg, 1), v);
      d = std::min(d, dot3(n, v));
    }
    // A solid's face is touched from outside only; a shell from either side.
    const int side = seg.one_sided != 0 || d >= 0.0 ? 1 : -1;
    if (own != nullptr && side * dot3(n, own->data()) >= kFacingCos * norm3(own->data())) continue;
    const double gap = side * d - 0.5 * (seg.thickness + node.thickness);
    if (std::fabs(gap) > kOverlapReachShare * segmentSize(&seg)) continue;
    if (best.segment == nullptr || std::fabs(gap) < std::fabs(best.gap)) best = Nearest{&seg, gap};
  }
  return best;
}

}  // namespace

int findInitialOverlaps(std::vector<SubDomainManager>& searched) {
  int held = 0;
  std::map<const Surface*, std::pair<SegmentCells, Bodies>> masters;
  for (SubDomainManager& m : searched) {
    const Surface* master = m.masterSurface;
    if (master == nullptr || master->segment_array.empty() || m.contact == nullptr) continue;
    auto found = masters.find(master);
    if (found == masters.end()) found = masters.try_emplace(master, SegmentCells(*master), Bodies(*master)).first;
    auto& [cells, bodies] = found->second;
    const auto own = ownNormals(m.slaveSurface);
    for (ContactNodeCuda* cn : m.slave_contact_node_array_cpu) {
      if (cn == nullptr || cn->node == nullptr) continue;
      const auto it = own.find(cn->node_id);
      const Nearest face =
          nearestFacingFace(*master, cells, bodies, *cn->node, it == own.end() ? nullptr : &it->second);
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
    }
  }
  return held;
}

void reportInitialOverlaps(const std::vector<Contact>& contacts, const FEMDynamic& fem) {
  for (const Contact& c : contacts) {
    const ContactDepth& d = c.start_overlap;
    if (d.count == 0) continue;
    std::printf("%s: %d node(s) start inside the other side, the deepest by %s; each is held at the depth it "
                "starts at until it comes out\n",
                c.describeWithSides().c_str(), d.count, describeDepth(d, fem, false).c_str());
  }
}
