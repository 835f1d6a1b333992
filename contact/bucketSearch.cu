// Bucket search of one GPU cycle: the master segments in the sub-domains of
// each master surface's grid (binned anew only when they have moved too far
// since the last binning), and each slave node's candidate list extended by
// the segments of its bucket whose extended box holds it.
#include <cstddef>
#include <cstdio>
#include <utility>
#include <vector>
#include "contact/contactnode.h"
#include "contact/contactnodemanager.h"
#include "contact/pairmanager.h"
#include "contact/surface.h"
#include "contact/unified_contact.h"
#include "core/gridIndex.h"
#include "core/segment.h"
#include "platform/simdLane.h"

namespace {
// The node's path over the last step (box pathLo..pathHi).
struct NodePath {
  double lo[3];
  double hi[3];
};
// The path meets the box lo..hi. One branch for the six comparisons: most
// segments of a bucket do not hold the node, on an axis that cannot be
// foreseen.
__host__ __device__ inline bool pathMeets(const NodePath& p, const double* lo, const double* hi) {
  const bool outside = (p.hi[0] < lo[0]) | (p.lo[0] > hi[0]) | (p.hi[1] < lo[1]) | (p.lo[1] > hi[1]) |
                       (p.hi[2] < lo[2]) | (p.lo[2] > hi[2]);
  return !outside;
}
// The candidate rule: segment s is offered to the node unless it is the
// node's current contact segment, its extended box does not meet the
// node's path or the node is one of its own.
__host__ __device__ inline bool offeredTo(const SegmentCuda* s, const SegmentCuda* current, const NodeCuda* node,
                                          const NodePath& p) {
  if (s == nullptr || s == current || !pathMeets(p, s->box_min, s->box_max)) return false;
  for (const NodeCuda* own : s->node) {
    if (own == node) return false;
  }
  return true;
}
__host__ __device__ inline const SegmentCuda* currentSegment(const ContactNodeCuda& cn) {
  return cn.in_contact != 0 ? cn.contact_pair.segment : nullptr;
}
// The same rule over the segments of one bucket (positions m .. end - 1 of
// the master's segment array), their boxes and nodes read from their search
// entries and the node's from its gathered entry: a box meets the path when
// none of the path's upper bounds lies below the box's lower bound.
__host__ __device__ inline void offerBucketMembers(ContactNodeCuda* cn, const SlaveSearchEntry& v, const int* m,
                                                   const int* end, const CandidateGrid& g, int* overflow,
                                                   unsigned char* flag) {
  for (; m != end; ++m) {
    const SegmentSearchEntry& e = g.entries[*m];
    if (!laneNoneLess6(v.upper, e.bound)) continue;
    SegmentCuda* s = g.segments + *m;
    const int id = v.node_id;
    const bool own = e.node_id[0] == id || e.node_id[1] == id || e.node_id[2] == id || e.node_id[3] == id;
    if (s == v.current || own) continue;
    cn->test_pair.addCandidate(s, overflow);
    if (flag != nullptr) *flag |= NODE_HAS_CANDIDATES;
  }
}
// Range of buckets (per axis, first and last) that a box reaches, clamped
// to the grid; false when it lies outside the grid. The box is given by its
// six upper bounds (SlaveSearchEntry).
__host__ __device__ inline bool bucketRange(const double* upper, double3 cell, double3 origin, int3 dims, int* first,
                                            int* last) {
  const double o[3] = {origin.x, origin.y, origin.z};
  const double c[3] = {cell.x, cell.y, cell.z};
  const int d[3] = {dims.x, dims.y, dims.z};
  for (int a = 0; a < 3; ++a) {
    const double lo = (-upper[3 + a] - o[a]) / c[a], hi = (upper[a] - o[a]) / c[a];
    if (!(hi >= 0.0) || !(lo < d[a])) return false;  // outside the grid (or not a number)
    first[a] = lo > 0.0 ? static_cast<int>(lo) : 0;
    last[a] = hi < d[a] - 1 ? static_cast<int>(hi) : d[a] - 1;
  }
  return true;
}

// The node's path lies inside the reach of its near list (a value that is
// not a number does not).
__host__ __device__ inline bool insideReach(const double* upper, const double* reach) {
  bool inside = true;
  for (int k = 0; k < 6; ++k) inside &= upper[k] <= reach[k];
  return inside;
}
// Adds segment m to the near list when its anchor meets the reach and
// it is not the node's own nor listed; false when the list is full.
__host__ __device__ inline bool listNear(const SlaveSearchEntry& v, NearSegments& near, int* list, int m,
                                         const CandidateGrid& g) {
  if (!laneNoneLess6(near.reach, g.anchors[m].bound)) return true;
  const int* id = g.entries[m].node_id;
  if (id[0] == v.node_id || id[1] == v.node_id || id[2] == v.node_id || id[3] == v.node_id) return true;
  for (int j = 0; j < near.count; ++j) {
    if (list[j] == m) return true;
  }
  if (near.count == kNearSlots) return false;
  list[near.count++] = m;
  return true;
}
// The segments of the buckets the reach touches; false when they do not
// fit or a bucket is full (it may have refused a segment).
__host__ __device__ inline bool listNearBuckets(const SlaveSearchEntry& v, NearSegments& near, int* list,
                                                const CandidateGrid& g) {
  int first[3], last[3];
  if (!bucketRange(near.reach, g.cell, g.origin, g.dims, first, last)) return true;
  for (int ix = first[0]; ix <= last[0]; ++ix)
    for (int iy = first[1]; iy <= last[1]; ++iy)
      for (int iz = first[2]; iz <= last[2]; ++iz) {
        const int idx = (ix * g.dims.y + iy) * g.dims.z + iz;
        if (idx < 0 || idx >= g.total) continue;
        const int2 run = g.range[idx];
        if (run.y >= kSubDomainAccepted) return false;
        for (int q = run.x; q < run.x + run.y; ++q) {
          if (!listNear(v, near, list, g.member[q], g)) return false;
        }
      }
  return true;
}
// Every point of the reach lies in the same bucket, or outside the grid, as
// subDomainOfPoint finds them.
__host__ __device__ inline bool reachInOneBucket(const double* reach, const CandidateGrid& g) {
  const double o[3] = {g.origin.x, g.origin.y, g.origin.z};
  const double c[3] = {g.cell.x, g.cell.y, g.cell.z};
  const int d[3] = {g.dims.x, g.dims.y, g.dims.z};
  bool one = true;
  for (int a = 0; a < 3; ++a) {
    const double lo = (-reach[3 + a] - o[a]) / c[a], hi = (reach[a] - o[a]) / c[a];
    if (hi < 0.0 || lo >= d[a]) return true;  // outside the grid on this axis
    one &= lo >= 0.0 && hi < d[a] && static_cast<int>(lo) == static_cast<int>(hi);
  }
  return one;
}
// Makes the node's near list anew around its path.
__host__ __device__ inline void makeNearList(const SlaveSearchEntry& v, NearSegments& near, int* list,
                                             const CandidateGrid& g) {
  bool finite = true;
  for (int k = 0; k < 6; ++k) {
    near.reach[k] = v.upper[k] + g.reach;
    finite &= near.reach[k] - near.reach[k] == 0.0;
  }
  near.count = 0;
  if (finite && !listNearBuckets(v, near, list, g)) near.count = -1;
  near.epoch = finite ? g.epoch : -1;
  near.steady = finite && reachInOneBucket(near.reach, g) ? 1 : 0;
}
// The near segments whose box the path meets, offered in the order the
// search of the path's buckets gives them: by the first of those buckets
// that lists them (the lowest corner of the two cell ranges), then by their
// place in the segment array, which is their order in a bucket.
__host__ __device__ inline void offerNearSegments(ContactNodeCuda* cn, const SlaveSearchEntry& v,
                                                  const NearSegments& near, const int* list, const CandidateGrid& g,
                                                  int* overflow, unsigned char* flag) {
  int met[kNearSlots];
  int n = 0;
  for (int j = 0; j < near.count; ++j) {
    const int m = list[j];
    if (laneNoneLess6(v.upper, g.entries[m].bound) && g.segments + m != v.current) met[n++] = m;
  }
  if (n == 0) return;
  int first[3], last[3];
  if (!bucketRange(v.upper, g.cell, g.origin, g.dims, first, last)) return;
  int order[kNearSlots], cellOf[kNearSlots];
  int kept = 0;
  for (int j = 0; j < n; ++j) {
    int lo[3], hi[3];
    binnedCells(g.binned[met[j]], g.cell, g.origin, g.dims, lo, hi);
    int c[3];
    bool shared = true;
    for (int a = 0; a < 3; ++a) {
      c[a] = lo[a] > first[a] ? lo[a] : first[a];
      shared &= c[a] <= (hi[a] < last[a] ? hi[a] : last[a]);
    }
    const int idx = (c[0] * g.dims.y + c[1]) * g.dims.z + c[2];
    if (!shared || idx < 0 || idx >= g.total) continue;
    int at = kept++;
    for (; at > 0 && (cellOf[at - 1] > idx || (cellOf[at - 1] == idx && order[at - 1] > met[j])); --at) {
      cellOf[at] = cellOf[at - 1];
      order[at] = order[at - 1];
    }
    cellOf[at] = idx;
    order[at] = met[j];
  }
  for (int j = 0; j < kept; ++j) {
    cn->test_pair.addCandidate(g.segments + order[j], overflow);
    if (flag != nullptr) *flag |= NODE_HAS_CANDIDATES;
  }
}
}  // namespace

__host__ __device__ void ContactNodeCuda::offerCandidate(SegmentCuda* s, int* overflow) {
  if (s == nullptr || node == nullptr) return;
  NodePath path;
  pathBox(path.lo, path.hi);
  if (offeredTo(s, currentSegment(*this), node, path)) test_pair.addCandidate(s, overflow);
}

__host__ __device__ void gatherFaceNormal(const SegmentCuda& s) {
  for (int k = 0; k < s.node_num && k < 4; ++k) {
    ContactNodeCuda* cn = s.node[k] != nullptr ? s.node[k]->contact_node : nullptr;
    if (cn == nullptr) continue;
    for (int j = 0; j < 3; ++j) atomicAddAnywhere(&cn->face_normal_sum[j], s.normal[j]);
    atomicAddAnywhere(&cn->face_count, 1);
  }
}

__host__ __device__ void faceNormalShares(const SegmentCuda& s, double* shares) {
  for (int k = 0; k < 4; ++k) {
    ContactNodeCuda* cn = k < s.node_num && s.node[k] != nullptr ? s.node[k]->contact_node : nullptr;
    for (int j = 0; j < 3; ++j) shares[3 * k + j] = cn != nullptr ? s.normal[j] : 0.0;
    if (cn != nullptr) atomicAddAnywhere(&cn->face_count, 1);
  }
}

__global__ void GpuClearFaceNormals(int n, TestPairCuda** pairs) {
  const int i = gridStrideIndex();
  if (i < n && pairs[i] != nullptr && pairs[i]->contactNode != nullptr) pairs[i]->contactNode->clearFaceNormals();
}

__global__ void GpuFaceNormalShares(int n, const SegmentCuda* segments, double* shares) {
  const int i = gridStrideIndex();
  if (i < n) faceNormalShares(segments[i], shares + 12 * i);
}

namespace {
// The node of a contact node, from the lookup or from its record.
__host__ __device__ inline const NodeCuda* nodeOf(const ContactNodeCuda* cn, const ContactNodeLookup& look) {
  if (cn == nullptr) return nullptr;
  return look.base != nullptr ? look.node[cn - look.base] : cn->node;
}
// Its node's lines of a slave node a few places ahead (and without the
// lookup its record, further ahead), asked for before they are needed.
__host__ __device__ inline void prefetchSlaveAhead(int i, int n, ContactNodeCuda* const* nodes,
                                                   const ContactNodeLookup& look) {
  if (look.base == nullptr && i + 8 < n) lanePrefetch(nodes[i + 8]);
  const NodeCuda* ahead = i + 4 < n ? nodeOf(nodes[i + 4], look) : nullptr;
  if (ahead == nullptr) return;
  lanePrefetch(ahead->coord);
  lanePrefetch(ahead->step_disp);
}
}  // namespace

namespace {
// What the candidate test reads of slave node cn; false when it has no
// record or no node.
__host__ __device__ inline bool gatherSlave(int i, const ContactNodeCuda* cn, const ContactNodeLookup& look,
                                            const SlavePlaces& places, SlaveSearchEntry& e) {
  const NodeCuda* at = nodeOf(cn, look);
  if (at == nullptr) return false;
  // The path box as ContactNodeCuda::pathBox gives it, from the node's
  // place of this cycle (the same values) when there is one.
  const NodePlace* place = places.places != nullptr ? places.places + places.place_of[i] : nullptr;
  int low = 0;
  for (int a = 0; a < 3; ++a) {
    const double now = place != nullptr ? place->now[a] : at->coord[a];
    const double before = place != nullptr ? place->before[a] : now - at->step_disp[a];
    const bool down = now < before;  // it came down: it is the minimum
    e.upper[a] = down ? before : now;
    e.upper[3 + a] = -(down ? now : before);
    low |= down ? 1 << a : 0;
  }
  if (look.base == nullptr) {
    e.current = currentSegment(*cn);
    e.node_id = cn->node_id;
  } else {
    const std::ptrdiff_t k = cn - look.base;
    e.current = (look.flags[k] & NODE_MAY_PAIR) != 0 ? currentSegment(*cn) : nullptr;
    e.node_id = look.node_id[k];
  }
  e.now_low = low;
  return true;
}
}  // namespace

namespace {
// The bucket link of a slave node: the bucket it lies in when that lists a
// segment. Written into the record only where it changes, and only by the
// last grid of the search that bins the node (whose link is the one that
// stays).
__host__ __device__ inline void linkBucket(const SlaveSearchEntry& v, ContactNodeCuda* cn, int& state,
                                           const CandidateGrid& g) {
  if (state == kLinkLeft) return;
  double at[3];
  for (int a = 0; a < 3; ++a) at[a] = (v.now_low >> a & 1) != 0 ? -v.upper[3 + a] : v.upper[a];
  const SubDomain* sd = subDomainOfPoint(at, g.cell, g.origin, g.subdomains, g.dims, g.total);
  const int b = sd != nullptr ? static_cast<int>(sd - g.subdomains) : -1;
  const int link = b >= 0 && g.range[b].y > 0 ? b + 1 : 0;
  if (state == link) return;
  state = link;
  cn->subdomain = link > 0 ? g.subdomains + (link - 1) : nullptr;
}
}  // namespace

namespace {
// One grid's part of the candidate test of slave node i.
__host__ __device__ inline void offerGridCandidates(int i, ContactNodeCuda* cn, const SlaveSearchEntry& v,
                                                    unsigned char* flag, const GridSearch& s, int* overflow) {
  const CandidateGrid& grid = s.grid;
  int& link = s.link_state[i];
  // The node's near segments while its path stays within their reach and
  // the anchors and buckets are those they were listed with; its bucket
  // link while the reach lies in one bucket.
  if (s.near != nullptr) {
    NearSegments& near = s.near[i];
    int* list = s.near_member + static_cast<std::ptrdiff_t>(i) * kNearSlots;
    const bool kept = near.epoch == grid.epoch && insideReach(v.upper, near.reach);
    if (!kept) makeNearList(v, near, list, grid);
    if (!kept || near.steady == 0 || link == kLinkUnknown) linkBucket(v, cn, link, grid);
    if (near.count >= 0) {
      offerNearSegments(cn, v, near, list, grid, overflow, flag);
      return;
    }
  } else {
    linkBucket(v, cn, link, grid);
  }
  // Every bucket the node's path over the step reaches (mostly the one it
  // lies in): a segment it crossed is binned where the path met it.
  int first[3], last[3];
  if (!bucketRange(v.upper, grid.cell, grid.origin, grid.dims, first, last)) return;
  for (int ix = first[0]; ix <= last[0]; ++ix)
    for (int iy = first[1]; iy <= last[1]; ++iy)
      for (int iz = first[2]; iz <= last[2]; ++iz) {
        const int idx = (ix * grid.dims.y + iy) * grid.dims.z + iz;
        if (idx < 0 || idx >= grid.total) continue;
        const int2 run = grid.range[idx];
        offerBucketMembers(cn, v, grid.member + run.x, grid.member + run.x + run.y, grid, overflow, flag);
      }
}
}  // namespace

__global__ void GpuSegmentsLeftAnchors(int n, const SegmentSearchEntry* entries, const SegmentAnchor* anchors,
                                       int* left) {
  const int i = gridStrideIndex();
  if (i < n && leftAnchor(entries[i], anchors[i])) atomicAddAnywhere(left, 1);
}

__global__ void GpuAnchorSegments(int n, const SegmentSearchEntry* entries, SegmentAnchor* anchors, double reach,
                                  int* outside) {
  const int i = gridStrideIndex();
  if (i >= n) return;
  for (int k = 0; k < 6; ++k) anchors[i].bound[k] = entries[i].bound[k] - reach;
  if (leftAnchor(entries[i], anchors[i])) atomicAddAnywhere(outside, 1);
}

namespace {
// The candidate test of slave node i over the grids.
__host__ __device__ inline void testSlaveNode(int i, int n, ContactNodeCuda* const* nodes,
                                              const ContactNodeLookup& look, const SlavePlaces& places,
                                              const GridSearch* grids, int count, int* overflow) {
  if (places.places == nullptr) prefetchSlaveAhead(i, n, nodes, look);
  ContactNodeCuda* cn = nodes[i];
  SlaveSearchEntry v;
  if (!gatherSlave(i, cn, look, places, v)) {
    for (int g = 0; g < count; ++g) printf("接触点填充子域错误,offset=%d\n", i);
    return;
  }
  unsigned char* flag = look.flags != nullptr ? look.flags + (cn - look.base) : nullptr;
  for (int g = 0; g < count; ++g) offerGridCandidates(i, cn, v, flag, grids[g], overflow);
}
}  // namespace

// Each thread tests a run of kLaneWidth slave nodes (one on the GPU): most
// nodes keep their near list and cost less than a thread of the host build.
__global__ void testPairProduceAccorContactNode(int n, ContactNodeCuda* const* nodes, ContactNodeLookup look,
                                                SlavePlaces places, const GridSearch* grids, int count, int* overflow) {
  const int first = gridStrideIndex() * kLaneWidth;
  const int end = first + kLaneWidth < n ? first + kLaneWidth : n;
  for (int i = first; i < end; ++i) testSlaveNode(i, n, nodes, look, places, grids, count, overflow);
}

__global__ void GpuSlaveNodes(int n, ContactNodeCuda* const* nodes, ContactNodeLookup look, NodeCuda** out) {
  const int i = gridStrideIndex();
  if (i < n) out[i] = const_cast<NodeCuda*>(nodeOf(nodes[i], look));
}

void PairManager::gatherFaceNormalsGpu(const Surface& master) {
  OrderedShares& shares = face_normal_shares_[&master];
  const int n = master.segment_num;
  if (shares.slotCount() != 4 * n) {
    // Slot 4 s + k: node k of segment s into its contact node's face normal
    // (found by node id: the host nodes' links may hold device addresses
    // once the nodes have been copied back for output).
    if (contact_nodes_ == nullptr || contact_nodes_->contact_node_array_gpu == nullptr) return;
    const std::map<int, int>& index = contact_nodes_->contact_node_id_map;
    std::vector<double*> targets;
    for (const SegmentCuda& s : master.segment_array) {
      for (int k = 0; k < 4; ++k) {
        const auto it = k < s.node_num ? index.find(s.node_id[k]) : index.end();
        targets.push_back(it != index.end() ? contact_nodes_->contact_node_array_gpu[it->second].face_normal_sum
                                            : nullptr);
      }
    }
    shares.build(targets);
  }
  if (shares.slotCount() != 4 * n) return;
  launch(GpuFaceNormalShares, dim3(n / 32 + 1), dim3(32), n, static_cast<const SegmentCuda*>(master.segment_array_gpu),
         shares.shares());
  shares.addIntoTargets();
}

void PairManager::unifiedSearchGpu(UnifiedContact* uc) {
  if (uc == nullptr || uc->subDomainManagerArray.empty()) return;
  reportOverflowOnce();
  int* bucketOverflow = overflow_gpu != nullptr ? &overflow_gpu->subdomain_entries : nullptr;
  int* candidateOverflow = overflow_gpu != nullptr ? &overflow_gpu->candidates : nullptr;
  const int n = contact_node_num;
  // Segment boxes and normals of this cycle, once per master surface, and
  // the normals of their faces at the contact nodes when a face of a solid
  // may read them.
  const bool faceNormals = uc->face_normals_needed;
  if (faceNormals && n > 0 && test_pair_array_gpu != nullptr) {
    launch(GpuClearFaceNormals, dim3(n / 32 + 1), dim3(32), n, test_pair_array_gpu);
  }
  std::vector<std::pair<Surface*, AnchorWatches>> refreshed;
  for (SubDomainManager& m : uc->subDomainManagerArray) {
    Surface* master = m.masterSurface;
    if (master == nullptr || master->flags[BOX_EXTENDED] != 0) continue;
    AnchorWatches watches{};
    for (SubDomainManager& w : uc->subDomainManagerArray) {
      if (w.masterSurface == master) w.watchAnchors(watches);
    }
    refreshed.emplace_back(master, watches);
    master->flags[BOX_EXTENDED] = 1;
  }
  refresher_.refresh(refreshed);
  for (const auto& [master, watches] : refreshed) {
    if (faceNormals && master->segment_num > 0 && master->segment_array_gpu != nullptr &&
        master->subDomainArrayGpu_ != nullptr) {
      gatherFaceNormalsGpu(*master);
    }
  }
  // Buckets filled anew where a segment has moved out of the box it was
  // binned with (every cycle when they are not kept).
  for (SubDomainManager& m : uc->subDomainManagerArray)
    m.fillSegmentsGpu(m.masterSurface, bucketOverflow, uc->keep_buckets);
  if (n > 0 && test_pair_array_gpu != nullptr) {
    const int count = visitCount();
    launch(GpuClearTestPair, dim3(count / 32 + 1), dim3(32), count, test_pair_array_gpu, nodeVisit());
  }
  for (SubDomainManager& m : uc->subDomainManagerArray) {
    if (m.masterSurface != nullptr) m.takeMasterBoxGpu();
  }
  // The flags exist only with the contact nodes' device records.
  ContactNodeLookup look{nullptr, nullptr, nullptr, nullptr};
  if (node_flags_gpu != nullptr && contact_nodes_->contact_node_nodes_gpu != nullptr &&
      contact_nodes_->contact_node_ids_gpu != nullptr) {
    look = ContactNodeLookup{contact_nodes_->contact_node_array_gpu, contact_nodes_->contact_node_nodes_gpu,
                             contact_nodes_->contact_node_ids_gpu, node_flags_gpu};
  }
  uc->offerCandidatesGpu(candidateOverflow, look);
  listVisitedNodesGpu();
}
