// The segments of a master surface in the buckets of its search grid, kept
// over several cycles.
//
// Each segment is binned with its extended box widened by a margin, into
// every bucket that widened box reaches, and the widened box is kept. Every
// cycle the segments' boxes are refreshed and checked against the boxes they
// were binned with. While every box stays inside its binned box, a node that
// lies in a segment's box lies in its binned box, so the node's bucket is one
// the segment was binned into: the buckets still list every segment whose box
// holds a node of their cells, whichever way the nodes have moved. The grid
// box holds all the binned boxes, so a node outside the grid lies in no
// segment's box. A segment whose box leaves its binned box (its nodes moved
// by more than the margin since the binning) has the buckets filled anew
// before they are used in that cycle.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <type_traits>
#include <utility>
#include <vector>
#include "contact/contactGeom.h"
#include "contact/subDomainManager.h"
#include "contact/subdomain.h"
#include "contact/surface.h"
#include "core/deviceFree.h"
#include "core/gridIndex.h"
#include "core/logErrorPrint.h"
#include "core/node.h"
#include "platform/simdLane.h"

namespace {
// Entries of the surface's device flag block.
constexpr int kBoxesOutside = 0;    // segments whose box left its binned box
constexpr int kEntriesRefused = 1;  // bucket entries refused while binning widened boxes
constexpr int kBinFlagCount = 2;

int readFlag(const int* flags, int which) {
  int value = 0;
  CUDA_CHECK(cudaMemcpy(&value, flags + which, sizeof(int), cudaMemcpyDeviceToHost));
  return value;
}

void clearFlags(int* flags) { CUDA_CHECK(cudaMemset(flags, 0, sizeof(int) * kBinFlagCount)); }
}  // namespace

// Each thread of the two refresh passes takes a run of kLaneWidth places or
// segments (one on the GPU): a run of the host build amortises the cost of
// a thread over several.
__host__ __device__ inline int runEnd(int first, int n) { return first + kLaneWidth < n ? first + kLaneWidth : n; }

// The fields of a node record a place is taken from.
constexpr LaneRun kCoordSpan = nodeFieldRun(offsetof(NodeCuda, coord), offsetof(NodeCuda, coord), 3 * sizeof(double));
constexpr LaneRun kStepSpan =
    nodeFieldRun(offsetof(NodeCuda, step_disp), offsetof(NodeCuda, step_disp), 3 * sizeof(double));

// Where the places of a surface's nodes come from: the places the node
// passes keep (by store position), or else the node records.
struct PlaceSource {
  const NodeCuda* const* nodes;
  const NodePlace* kept;  // null: the records are read
  const int* store;       // store position of each place's node in `kept`
};

// Node j's coordinates now and before its last step (not numbers for a
// missing node).
__host__ __device__ inline void nodePlaceNow(int j, int m, const PlaceSource& from, NodePlace& out) {
  if (from.kept != nullptr) {
    out = from.kept[from.store[j]];
    return;
  }
  // Each span whole: a record's fields need not start a cache line, and the
  // last of three values often lies on the next one.
  lanePrefetchAheadOf<8>(from.nodes, j, m, kCoordSpan, kStepSpan);
  const NodeCuda* node = from.nodes[j];
  if (node != nullptr) {
    takeNodePlace(*node, out);
    return;
  }
  for (int a = 0; a < 3; ++a) out.now[a] = out.before[a] = NAN;
}

// The place of this cycle of node j, and its byte (moved when `all`).
__host__ __device__ inline void placeNode(int j, int m, const PlaceSource& from, NodePlace* places,
                                          unsigned char* placeBits, int all) {
  NodePlace now;
  nodePlaceNow(j, m, from, now);
  placeBits[j] = notePlace(now, places[j], all);
}

// Segment boxes and normals of this cycle, the boxes copied into the search
// entries, from the segments' corners and their nodes' places; a segment
// whose box has left the box it was binned with counts itself in *outside,
// and one that has left the anchors of a watching grid in that grid's count.
// A segment none of whose nodes has moved keeps what it has: the same
// places give the same box and normal, and its box is still inside the box
// it was binned with (a segment outside has the buckets filled anew in the
// cycle it leaves) and inside the anchors (checked in the last cycle).
namespace {
// Segment i of the refresh; true when its box has left its binned box.
__host__ __device__ inline bool refreshSegmentAt(int i, int n, SegmentCuda* segments, const SegmentCorners* corners,
                                                 const NodePlace* places, const unsigned char* placeBits,
                                                 SegmentSearchEntry* entries, const BinnedBox* binned,
                                                 const AnchorWatches& watches, int* anchorsLeft) {
  // The lines the refresh writes, each span whole (the box's last value
  // mostly lies on a line of its own).
  if (i + 8 < n) {
    lanePrefetchSpan<3 * sizeof(double)>(segments[i + 8].normal);
    lanePrefetchSpan<6 * sizeof(double)>(segments[i + 8].box_min);
  }
  const SegmentCorners& c = corners[i];
  const unsigned bits = placeBits[c.place[0]] | placeBits[c.place[1]] | placeBits[c.place[2]] | placeBits[c.place[3]];
  if ((bits & kPlaceMoved) == 0) return false;
  const bool plain = (bits & kPlaceNotANumber) == 0 && c.territory > 0.0 && c.territory < HUGE_VAL;
  const NodePlace* const p[4] = {places + c.place[0], places + c.place[1], places + c.place[2], places + c.place[3]};
  SegmentCuda& seg = segments[i];
  SegmentSearchEntry& e = entries[i];
  bool inside = true;
  for (int a = 0; a < 3; ++a) {
    const double now[4] = {p[0]->now[a], p[1]->now[a], p[2]->now[a], p[3]->now[a]};
    const double before[4] = {p[0]->before[a], p[1]->before[a], p[2]->before[a], p[3]->before[a]};
    double lo, hi;
    if (plain) {
      contact_geom::plainBoxAxis(now, before, c.territory, lo, hi);
    } else {
      contact_geom::extendedBoxAxis(now, before, c.territory, lo, hi);
    }
    seg.box_min[a] = lo;
    seg.box_max[a] = hi;
    e.bound[a] = lo;
    e.bound[3 + a] = -hi;
    if (binned != nullptr) inside = inside && !(lo < binned[i].lo[a] || hi > binned[i].hi[a]);
  }
  const double* const x[4] = {p[0]->now, p[1]->now, p[2]->now, p[3]->now};
  SegmentCuda::unitNormalOf(c.node_num, x, seg.normal);
  for (int w = 0; w < watches.count; ++w) anchorsLeft[w] += leftAnchor(e, watches.anchors[w][i]) ? 1 : 0;
  return !inside;
}
}  // namespace

// One surface's part of a refresh of several: what its two passes read and
// write, and the first run of each pass that is its.  A surface that reads
// the places the node passes keep has no place pass (no places): its
// segment pass reads those places and bytes, by store position.
struct SurfaceRefresh {
  int place_num, segment_num;
  PlaceSource place_from;
  NodePlace* places;
  unsigned char* place_bits;
  int all;                         // every place counts as moved (the first refresh)
  const NodePlace* read_places;    // what the segment pass reads: `places`, or the kept ones
  const unsigned char* read_bits;  // their bytes
  SegmentCuda* segments;
  const SegmentCorners* corners;  // their corners index read_places
  SegmentSearchEntry* entries;
  const BinnedBox* binned;
  int* outside;
  AnchorWatches watches;
  int first_place_run, first_segment_run;
};
constexpr int kRefreshBatch = 4;  // surfaces refreshed in one launch
struct RefreshBatch {
  int count, place_runs, segment_runs;
  SurfaceRefresh surface[kRefreshBatch];
};
static_assert(std::is_trivially_copyable_v<RefreshBatch>);

namespace {
// The surface of the batch whose runs hold `run` (the first run of each
// surface given by `first`).
__host__ __device__ inline const SurfaceRefresh& surfaceOfRun(const RefreshBatch& b, int run,
                                                              int SurfaceRefresh::*first) {
  int k = 0;
  while (k + 1 < b.count && run >= b.surface[k + 1].*first) ++k;
  return b.surface[k];
}
}  // namespace

// The places of this cycle of the surfaces' nodes, each node's two lines
// read once however many segments share it (a missing node has no place),
// and their bytes (every place moved when `all`).
__global__ void GpuPlaceSurfaceNodes(const RefreshBatch* batch) {
  const RefreshBatch& b = *batch;
  const int run = gridStrideIndex();
  if (run >= b.place_runs) return;
  const SurfaceRefresh& s = surfaceOfRun(b, run, &SurfaceRefresh::first_place_run);
  const int first = (run - s.first_place_run) * kLaneWidth;
  for (int j = first; j < runEnd(first, s.place_num); ++j)
    placeNode(j, s.place_num, s.place_from, s.places, s.place_bits, s.all);
}

__global__ void GpuRefreshSegments(const RefreshBatch* batch) {
  const RefreshBatch& b = *batch;
  const int run = gridStrideIndex();
  if (run >= b.segment_runs) return;
  const SurfaceRefresh& s = surfaceOfRun(b, run, &SurfaceRefresh::first_segment_run);
  const int first = (run - s.first_segment_run) * kLaneWidth;
  int left = 0, anchorsLeft[kAnchorWatchSlots] = {};
  for (int i = first; i < runEnd(first, s.segment_num); ++i)
    left += refreshSegmentAt(i, s.segment_num, s.segments, s.corners, s.read_places, s.read_bits, s.entries, s.binned,
                             s.watches, anchorsLeft)
                ? 1
                : 0;
  if (left > 0) atomicAddAnywhere(s.outside, left);
  for (int w = 0; w < s.watches.count; ++w) {
    if (anchorsLeft[w] > 0) atomicAddAnywhere(s.watches.left[w], anchorsLeft[w]);
  }
}

// What the refresh reads of the segments that stays: their corners and, in
// the search entries, their node ids.
__global__ void GpuTakeSegmentCorners(int n, const SegmentCuda* segments, SegmentCorners* corners,
                                      SegmentSearchEntry* entries) {
  const int i = gridStrideIndex();
  if (i >= n) return;
  const SegmentCuda& seg = segments[i];
  corners[i].node_num = seg.node_num;
  corners[i].territory = seg.territory;
  for (int k = 0; k < 4; ++k) entries[i].node_id[k] = seg.node[k] != nullptr ? seg.node_id[k] : 0;
}

// The node of each place: node k of segment s for slot 4 s + k.
__global__ void GpuTakePlaceNodes(int m, const SegmentCuda* segments, const int* slot, const NodeCuda** nodes) {
  const int j = gridStrideIndex();
  if (j < m) nodes[j] = segments[slot[j] / 4].node[slot[j] % 4];
}

void Surface::makeRefreshCopyGpu() {
  // Places by node id, in the order of the ids (that of the node records).
  std::vector<int> ids;
  for (const SegmentCuda& seg : segment_array) ids.insert(ids.end(), seg.node_id, seg.node_id + 4);
  std::vector<int> distinct = ids;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  place_num = static_cast<int>(distinct.size());
  std::vector<SegmentCorners> corners(static_cast<std::size_t>(segment_num));
  std::vector<int> slot(distinct.size());
  for (std::size_t q = ids.size(); q-- > 0;) {
    const auto at = std::lower_bound(distinct.begin(), distinct.end(), ids[q]) - distinct.begin();
    corners[q / 4].place[q % 4] = static_cast<int>(at);
    slot[static_cast<std::size_t>(at)] = static_cast<int>(q);
  }
  CUDA_CHECK(cudaMalloc(&corners_gpu, sizeof(SegmentCorners) * segment_num));
  CUDA_CHECK(cudaMemcpy(corners_gpu, corners.data(), sizeof(SegmentCorners) * segment_num, cudaMemcpyHostToDevice));
  launch(GpuTakeSegmentCorners, dim3(segment_num / 32 + 1), dim3(32), segment_num,
         static_cast<const SegmentCuda*>(segment_array_gpu), corners_gpu, search_entry_gpu);
  int* slotGpu = nullptr;
  CUDA_CHECK(cudaMalloc(&slotGpu, sizeof(int) * place_num));
  CUDA_CHECK(cudaMemcpy(slotGpu, slot.data(), sizeof(int) * place_num, cudaMemcpyHostToDevice));
  CUDA_CHECK(cudaMalloc(&place_node_gpu, sizeof(NodeCuda*) * place_num));
  CUDA_CHECK(cudaMalloc(&place_gpu, sizeof(NodePlace) * place_num));
  CUDA_CHECK(cudaMalloc(&place_bits_gpu, sizeof(unsigned char) * place_num));
  places_known = false;
  launch(GpuTakePlaceNodes, dim3(place_num / 32 + 1), dim3(32), place_num,
         static_cast<const SegmentCuda*>(segment_array_gpu), static_cast<const int*>(slotGpu), place_node_gpu);
  freeDevice(slotGpu);
  keepNodePlaces();
}

void Surface::keepNodePlaces() {
  if (node_places == nullptr || node_base_gpu == nullptr || place_num <= 0) return;
  std::vector<const NodeCuda*> nodes(static_cast<std::size_t>(place_num));
  CUDA_CHECK(cudaMemcpy(nodes.data(), place_node_gpu, sizeof(NodeCuda*) * nodes.size(), cudaMemcpyDeviceToHost));
  const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(node_base_gpu);
  std::vector<int> store(nodes.size());
  for (std::size_t j = 0; j < nodes.size(); ++j) {
    // A missing node, or one outside the node array: the records are read.
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(nodes[j]);
    if (at < base || (at - base) % sizeof(NodeCuda) != 0 || (at - base) / sizeof(NodeCuda) >= std::size_t(node_count))
      return;
    store[j] = static_cast<int>((at - base) / sizeof(NodeCuda));
  }
  node_places->keep(store, node_count);
  std::vector<SegmentCorners> corners(static_cast<std::size_t>(segment_num));
  CUDA_CHECK(cudaMemcpy(corners.data(), corners_gpu, sizeof(SegmentCorners) * corners.size(), cudaMemcpyDeviceToHost));
  for (SegmentCorners& c : corners) {
    for (int& k : c.place) k = store[static_cast<std::size_t>(k)];
  }
  CUDA_CHECK(cudaMalloc(&corners_store_gpu, sizeof(SegmentCorners) * corners.size()));
  CUDA_CHECK(cudaMemcpy(corners_store_gpu, corners.data(), sizeof(SegmentCorners) * corners.size(),
                        cudaMemcpyHostToDevice));
  CUDA_CHECK(cudaMalloc(&place_store_gpu, sizeof(int) * store.size()));
  CUDA_CHECK(cudaMemcpy(place_store_gpu, store.data(), sizeof(int) * store.size(), cudaMemcpyHostToDevice));
  place_store = std::move(store);
}

SurfaceRefresh Surface::refreshOfCycle(const AnchorWatches& watches, int firstPlaceRun, int firstSegmentRun) {
  const NodePlace* kept =
      node_places != nullptr && place_store_gpu != nullptr ? node_places->current(node_count) : nullptr;
  // The kept places' bytes say what moved since the pass before the last:
  // they serve a surface refreshed after that pass, once (its segments
  // then hold what those places give).
  const long long pass = node_places != nullptr ? node_places->passes() : 0;
  const bool keptBytes = kept != nullptr && places_known && refreshed_pass == pass - 1;
  refreshed_pass = pass;
  SurfaceRefresh s{place_num,
                   segment_num,
                   PlaceSource{place_node_gpu, kept, place_store_gpu},
                   place_gpu,
                   place_bits_gpu,
                   places_known && !places_stale ? 0 : 1,
                   place_gpu,
                   place_bits_gpu,
                   segment_array_gpu,
                   corners_gpu,
                   search_entry_gpu,
                   bins_filled ? binned_box_gpu : nullptr,
                   bin_flags_gpu != nullptr ? bin_flags_gpu + kBoxesOutside : nullptr,
                   watches,
                   firstPlaceRun,
                   firstSegmentRun};
  places_known = true;
  cycle_places = place_gpu;
  cycle_by_store = keptBytes;
  places_stale = keptBytes;  // its own places are not kept up meanwhile
  if (keptBytes) {
    s.place_num = 0;
    s.read_places = cycle_places = kept;
    s.read_bits = node_places->bits(node_count);
    s.corners = corners_store_gpu;
  }
  return s;
}

bool Surface::readyForRefreshGpu() {
  ++refreshes;
  // Only a surface with a search grid is refreshed: the search reads the
  // segments of master surfaces alone.
  if (subDomainArrayGpu_ == nullptr || segment_num <= 0) return false;
  if (search_entry_gpu == nullptr) CUDA_CHECK(cudaMalloc(&search_entry_gpu, sizeof(SegmentSearchEntry) * segment_num));
  if (corners_gpu == nullptr) makeRefreshCopyGpu();
  return true;
}

SurfaceRefresher::~SurfaceRefresher() { freeDevice(batch_gpu_); }

void SurfaceRefresher::launchBatch(const RefreshBatch& b) {
  if (b.count == 0) return;
  if (batch_gpu_ == nullptr) CUDA_CHECK(cudaMalloc(&batch_gpu_, sizeof(RefreshBatch)));
  CUDA_CHECK(cudaMemcpy(batch_gpu_, &b, sizeof(RefreshBatch), cudaMemcpyHostToDevice));
  const RefreshBatch* batch = batch_gpu_;
  if (b.place_runs > 0) launch(GpuPlaceSurfaceNodes, dim3(b.place_runs / 32 + 1), dim3(32), batch);
  launch(GpuRefreshSegments, dim3(b.segment_runs / 32 + 1), dim3(32), batch);
}

void SurfaceRefresher::refresh(const std::vector<std::pair<Surface*, AnchorWatches>>& surfaces) {
  RefreshBatch b{};
  for (const auto& [surface, watches] : surfaces) {
    Surface& f = *surface;
    if (!f.readyForRefreshGpu()) continue;
    if (b.count == kRefreshBatch) {
      launchBatch(b);
      b = RefreshBatch{};
    }
    SurfaceRefresh& s = b.surface[b.count++];
    s = f.refreshOfCycle(watches, b.place_runs, b.segment_runs);
    b.place_runs += s.place_num > 0 ? (s.place_num - 1) / kLaneWidth + 1 : 0;
    b.segment_runs += (f.segment_num - 1) / kLaneWidth + 1;
  }
  launchBatch(b);
}

// Segments listed by bucket b (its usable slots that hold one) into
// range[b].y, and the position of its first one in the segment array into
// range[b].x (INT_MAX when it holds none).
__global__ void GpuCountBucketMembers(int m, const SubDomain* subdomains, const SegmentCuda* segments, int2* range) {
  const int b = gridStrideIndex();
  if (b >= m) return;
  const SubDomain& sd = subdomains[b];
  int count = 0, lead = INT_MAX;
  for (int q = 0; q < sd.segmentCount(); ++q) {
    const SegmentCuda* s = sd.segment_list[q];
    if (s == nullptr) continue;
    if (count++ == 0) lead = static_cast<int>(s - segments);
  }
  range[b] = make_int2(lead, count);
}

// Bucket b's segments, as positions in the segment array, from range[b].x on.
__global__ void GpuListBucketMembers(int m, const SubDomain* subdomains, const SegmentCuda* segments, const int2* range,
                                     int* member) {
  const int b = gridStrideIndex();
  if (b >= m) return;
  const SubDomain& sd = subdomains[b];
  int at = range[b].x;
  for (int q = 0; q < sd.segmentCount(); ++q) {
    if (sd.segment_list[q] != nullptr) member[at++] = static_cast<int>(sd.segment_list[q] - segments);
  }
}

void Surface::listBucketMembersGpu() {
  const int m = subDomainNum_;
  BucketMembers& bm = bucket_members;
  if (bm.range == nullptr) CUDA_CHECK(cudaMalloc(&bm.range, sizeof(int2) * m));
  const SegmentCuda* segments = segment_array_gpu;
  const SubDomain* buckets = subDomainArrayGpu_;
  launch(GpuCountBucketMembers, dim3((m - 1) / 64 + 1), dim3(64), m, buckets, segments, bm.range);
  std::vector<int2> range(static_cast<std::size_t>(m));
  CUDA_CHECK(cudaMemcpy(range.data(), bm.range, sizeof(int2) * m, cudaMemcpyDeviceToHost));
  // Runs in the order of the buckets' first segments (then of the buckets).
  std::vector<std::pair<int, int>> order(static_cast<std::size_t>(m));
  for (int k = 0; k < m; ++k) order[static_cast<std::size_t>(k)] = {range[static_cast<std::size_t>(k)].x, k};
  std::sort(order.begin(), order.end());
  int total = 0;
  for (const auto& [lead, k] : order) {
    int2& r = range[static_cast<std::size_t>(k)];
    r.x = total;
    total += r.y;
  }
  CUDA_CHECK(cudaMemcpy(bm.range, range.data(), sizeof(int2) * m, cudaMemcpyHostToDevice));
  if (total > bm.capacity || bm.member == nullptr) {
    freeDevice(bm.member);
    bm.capacity = std::max(total, 1);
    CUDA_CHECK(cudaMalloc(&bm.member, sizeof(int) * bm.capacity));
  }
  launch(GpuListBucketMembers, dim3((m - 1) / 64 + 1), dim3(64), m, buckets, segments,
         static_cast<const int2*>(bm.range), bm.member);
}

bool Surface::binsHoldSegmentsGpu() {
  return bins_filled && bin_flags_gpu != nullptr && readFlag(bin_flags_gpu, kBoxesOutside) == 0;
}

void Surface::rebinSegmentsGpu(bool widen, int* overflow) {
  if (subDomainArrayGpu_ == nullptr || segment_num <= 0 || max_gpu == nullptr) return;
  if (binned_box_gpu == nullptr) {
    CUDA_CHECK(cudaMalloc(&binned_box_gpu, sizeof(BinnedBox) * segment_num));
    CUDA_CHECK(cudaMalloc(&bin_flags_gpu, sizeof(int) * kBinFlagCount));
    bin_margin = searchMargin();
  }
  const int3 dims{grid_dims[0], grid_dims[1], grid_dims[2]};
  auto bin = [&](double margin, int* refused) {
    clearFlags(bin_flags_gpu);
    calExtendAreaImproveGpu(margin);
    clearSubDomainsGpu();
    const double3 cell{cell_size[0], cell_size[1], cell_size[2]};
    const double3 origin{box_min[0], box_min[1], box_min[2]};
    launch(SegmentCudaFull, dim3(segment_num / 32 + 1), dim3(32), static_cast<const SegmentCuda*>(segment_array_gpu),
           segment_num, cell, origin, subDomainArrayGpu_, dims, subDomainNum_, margin, binned_box_gpu, refused);
  };
  const double margin = widen ? bin_margin : 0.0;
  if (margin > 0.0) {
    // Widened boxes reach more buckets: if one runs full, the segments are
    // binned as they are, and from then on every cycle that moves them.
    bin(margin, bin_flags_gpu + kEntriesRefused);
    if (readFlag(bin_flags_gpu, kEntriesRefused) != 0) {
      bin_margin = 0.0;
      bin(0.0, overflow);
    }
  } else {
    bin(0.0, overflow);
  }
  const int cells = subDomainNum_;
  launch(SubDomainSortSegments, dim3((cells - 1) / 64 + 1), dim3(64), cells, subDomainArrayGpu_);
  listBucketMembersGpu();
  bins_filled = true;
  ++bin_fills;
}
