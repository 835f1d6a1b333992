#include "contact/globalContactSearch.h"
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <functional>
#include <set>
#include "contact/contactGeom.h"
#include "contact/contactnode.h"
#include "contact/pairmanager.h"
#include "contact/surface.h"
#include "contact/unified_contact.h"

namespace {

double axis(const double3& v, int a) { return a == 0 ? v.x : (a == 1 ? v.y : v.z); }
double3 coordOf(const NodeCuda* n) { return make_double3(n->coord[0], n->coord[1], n->coord[2]); }

SearchExtent emptyExtent() {
  return SearchExtent{make_double3(-DBL_MAX, -DBL_MAX, -DBL_MAX), make_double3(DBL_MAX, DBL_MAX, DBL_MAX), 0.0, true};
}

void grow(SearchExtent& e, const double* lo, const double* hi) {
  e.box_min = make_double3(std::min(e.box_min.x, lo[0]), std::min(e.box_min.y, lo[1]), std::min(e.box_min.z, lo[2]));
  e.box_max = make_double3(std::max(e.box_max.x, hi[0]), std::max(e.box_max.y, hi[1]), std::max(e.box_max.z, hi[2]));
  e.empty = false;
}

double speed2(const NodeCuda* n) { return n->vel[0] * n->vel[0] + n->vel[1] * n->vel[1] + n->vel[2] * n->vel[2]; }

// Master side: the union of its segments' extended boxes.
SearchExtent masterExtent(const Surface& s) {
  SearchExtent e = emptyExtent();
  for (const SegmentCuda& seg : s.segment_array) grow(e, seg.box_min, seg.box_max);
  for (const NodeCuda* n : s.node_array) e.max_speed2 = std::max(e.max_speed2, speed2(n));
  return e;
}

// Slave side: the box of its nodes' paths over the last step.
SearchExtent slaveExtent(const std::vector<ContactNodeCuda*>& nodes) {
  SearchExtent e = emptyExtent();
  for (const ContactNodeCuda* cn : nodes) {
    if (cn == nullptr || cn->node == nullptr) continue;
    double lo[3], hi[3];
    cn->pathBox(lo, hi);
    grow(e, lo, hi);
    e.max_speed2 = std::max(e.max_speed2, speed2(cn->node));
  }
  return e;
}

// Segment boxes and normals of this cycle, as the device search refreshes
// them before binning.
void refreshSurface(Surface& s) {
  for (SegmentCuda& seg : s.segment_array) contact_geom::refreshSegment(seg);
  s.flags[BOX_KNOWN] = 1;
  s.flags[BOX_EXTENDED] = 1;
}

double distance(const double3& a, const double* b) {
  const double d[3] = {a.x - b[0], a.y - b[1], a.z - b[2]};
  return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

// Largest distance any node of either side has moved since the last sweep.
double travelSinceSweep(const SurfacePairRecord& r) {
  double slave = 0.0, master = 0.0;
  for (std::size_t i = 0; i < r.node_list.size() && i < r.slave_at_sweep.size(); ++i) {
    const ContactNodeCuda* cn = r.node_list[i];
    if (cn != nullptr && cn->node != nullptr) slave = std::max(slave, distance(r.slave_at_sweep[i], cn->node->coord));
  }
  const std::vector<NodeCuda*>& nodes = r.master->node_array;
  for (std::size_t i = 0; i < nodes.size() && i < r.master_at_sweep.size(); ++i) {
    master = std::max(master, distance(r.master_at_sweep[i], nodes[i]->coord));
  }
  return slave + master;
}

// The node's path over the last step (pathLo..pathHi) meets the box lo..hi
// widened by m.
bool meetsWidened(const double* pathLo, const double* pathHi, const double* lo, const double* hi, double m) {
  for (int a = 0; a < 3; ++a) {
    if (pathHi[a] < lo[a] - m || pathLo[a] > hi[a] + m) return false;
  }
  return true;
}

bool isSegmentNode(const SegmentCuda* s, const NodeCuda* n) {
  return s->node[0] == n || s->node[1] == n || s->node[2] == n || s->node[3] == n;
}

// Cycles until the next sweep: the slowest approach that can close a fifth
// of a segment's free territory (beyond where the thickest of the nodes,
// or one as thick as the segment, touches it), with the slave's and the
// master's speed together, capped.
int searchInterval(const std::vector<SegmentCuda*>& segments, double thickestNode, double incre) {
  if (!(incre > 0.0)) return kMaxSearchInterval;
  double cycles = kMaxSearchInterval;
  for (const SegmentCuda* s : segments) {
    const double touch = 0.5 * (s->thickness + std::max(s->thickness, thickestNode));
    cycles = std::min(cycles, (s->territory - touch) * 0.2 / incre);
  }
  return std::clamp(static_cast<int>(std::max(cycles, 1.0)), 1, kMaxSearchInterval);
}

// Sort keys of the sweep: segments by the low x of their extended box,
// contact nodes by the low x of their path over the last step.
bool segmentMinXLess(const SegmentCuda* a, const SegmentCuda* b) { return a->box_min[0] < b->box_min[0]; }
struct SweptNode {
  ContactNodeCuda* node;
  double lo[3];
  double hi[3];
};
bool sweptNodeXLess(const SweptNode& a, const SweptNode& b) { return a.lo[0] < b.lo[0]; }

// Rebuilds the near list of a record whose sides' boxes overlap: segments
// sorted by the low x of their widened boxes, nodes by x, each segment
// scanning the nodes from where the previous scan started.
void sweep(SurfacePairRecord& r, double incre) {
  const double m = r.margin;
  const double lo[3] = {r.overlap_min.x, r.overlap_min.y, r.overlap_min.z};
  const double hi[3] = {r.overlap_max.x, r.overlap_max.y, r.overlap_max.z};
  std::vector<SegmentCuda*> segments;
  for (SegmentCuda& s : r.master->segment_array) {
    bool overlaps = true;
    for (int a = 0; a < 3 && overlaps; ++a) overlaps = s.box_min[a] - m <= hi[a] && s.box_max[a] + m >= lo[a];
    if (overlaps) segments.push_back(&s);
  }
  std::vector<SweptNode> nodes;
  double longest = 0.0;  // longest path along x
  double thickest = 0.0;
  for (ContactNodeCuda* cn : r.node_list) {
    if (cn == nullptr || cn->node == nullptr) continue;
    thickest = std::max(thickest, cn->node->thickness);
    SweptNode n{cn, {}, {}};
    cn->pathBox(n.lo, n.hi);
    if (!meetsWidened(n.lo, n.hi, lo, hi, 0.0)) continue;
    longest = std::max(longest, n.hi[0] - n.lo[0]);
    nodes.push_back(n);
  }
  std::stable_sort(segments.begin(), segments.end(), segmentMinXLess);
  std::stable_sort(nodes.begin(), nodes.end(), sweptNodeXLess);
  r.near_list.clear();
  std::size_t start = 0;
  for (SegmentCuda* s : segments) {
    while (start < nodes.size() && nodes[start].lo[0] + longest < s->box_min[0] - m) ++start;
    for (std::size_t j = start; j < nodes.size(); ++j) {
      const SweptNode& n = nodes[j];
      if (n.lo[0] > s->box_max[0] + m) break;
      if (meetsWidened(n.lo, n.hi, s->box_min, s->box_max, m) && !isSegmentNode(s, n.node->node)) {
        r.near_list.push_back(NearCandidate{n.node, s});
      }
    }
  }
  // Each node offers its segments in surface order, as a bucket lists them.
  std::sort(r.near_list.begin(), r.near_list.end(), [](const NearCandidate& a, const NearCandidate& b) {
    if (a.node != b.node) return std::less<const ContactNodeCuda*>()(a.node, b.node);
    return std::less<const SegmentCuda*>()(a.segment, b.segment);
  });
  r.slave_at_sweep.clear();
  for (const ContactNodeCuda* cn : r.node_list) {
    r.slave_at_sweep.push_back(cn != nullptr && cn->node != nullptr ? coordOf(cn->node) : make_double3(0.0, 0.0, 0.0));
  }
  r.master_at_sweep.clear();
  for (const NodeCuda* n : r.master->node_array) r.master_at_sweep.push_back(coordOf(n));
  r.search_interval = searchInterval(segments, thickest, incre);
  r.cycle_counter = 0;
}

// Overlap of the two sides' boxes, each axis widened by the margin; false
// when they are apart on some axis.
bool overlapBox(SurfacePairRecord& r, const SearchExtent& master, const SearchExtent& slave) {
  if (master.empty || slave.empty) return false;
  double lo[3], hi[3];
  for (int a = 0; a < 3; ++a) {
    lo[a] = std::max(axis(master.box_min, a), axis(slave.box_min, a)) - r.margin;
    hi[a] = std::min(axis(master.box_max, a), axis(slave.box_max, a)) + r.margin;
    if (lo[a] > hi[a]) return false;
  }
  r.overlap_min = make_double3(lo[0], lo[1], lo[2]);
  r.overlap_max = make_double3(hi[0], hi[1], hi[2]);
  return true;
}

void searchRecord(SurfacePairRecord& r, double dt, int* overflow) {
  if (r.master == nullptr) return;
  r.cycle_counter += 1;
  const bool due = r.active == 0 || r.cycle_counter >= r.search_interval || travelSinceSweep(r) > r.margin;
  if (due) {
    const SearchExtent master = masterExtent(*r.master);
    const SearchExtent slave = slaveExtent(r.node_list);
    r.active = overlapBox(r, master, slave) ? 1 : 0;
    if (r.active == 0) {
      r.near_list.clear();
      r.search_interval = 0;
      r.cycle_counter = 0;
      return;
    }
    sweep(r, (std::sqrt(master.max_speed2) + std::sqrt(slave.max_speed2)) * dt);
  }
  for (const NearCandidate& c : r.near_list) c.node->offerCandidate(c.segment, overflow);
}

}  // namespace

void buildGlobalSearchRecord(const UnifiedContact& uc, GlobalSearchRecord& record) {
  record = GlobalSearchRecord{};
  record.face_normals_needed = uc.face_normals_needed;
  std::set<Surface*> seen;
  auto list = [&](Surface* s) {
    if (s != nullptr && seen.insert(s).second) record.surface_list.push_back(s);
  };
  for (const SubDomainManager& m : uc.subDomainManagerArray) {
    if (m.masterSurface == nullptr) continue;
    SurfacePairRecord r;
    r.master = m.masterSurface;
    r.slave = m.slaveSurface;
    r.node_list = m.slave_contact_node_array_cpu;
    // A node the sweep leaves out needs that much travel to reach any
    // segment's box.
    r.margin = r.master->searchMargin();
    record.pair_array.push_back(std::move(r));
    list(m.masterSurface);
  }
}

void globalContactSearchCpu(GlobalSearchRecord* record, double dt, PairManager* pm) {
  if (pm == nullptr) return;
  if (record == nullptr || record->pair_array.empty()) {
    if (pm->test_pair_num_cpu != nullptr) *pm->test_pair_num_cpu = 0;
    return;
  }
  pm->reportOverflowOnce();
  const bool faceNormals = record->face_normals_needed;
  for (TestPairCuda* tp : pm->test_pair_array_cpu) {
    if (faceNormals && tp != nullptr && tp->contactNode != nullptr) tp->contactNode->clearFaceNormals();
  }
  for (Surface* s : record->surface_list) {
    refreshSurface(*s);
    if (!faceNormals) continue;
    for (const SegmentCuda& seg : s->segment_array) gatherFaceNormal(seg);
  }
  for (TestPairCuda* tp : pm->test_pair_array_cpu) tp->cleanBeforeSearch();
  int* overflow = pm->overflow_cpu != nullptr ? &pm->overflow_cpu->candidates : nullptr;
  for (SurfacePairRecord& r : record->pair_array) searchRecord(r, dt, overflow);
  int active = 0;
  for (TestPairCuda* tp : pm->test_pair_array_cpu) active += tp->updateActiveFlag() ? 1 : 0;
  if (pm->test_pair_num_cpu != nullptr) *pm->test_pair_num_cpu = active;
}
