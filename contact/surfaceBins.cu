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

namespace {
__host__ __device__ inline bool sameBits(double a, double b) {
  unsigned long long x, y;
  memcpy(&x, &a, sizeof x);
  memcpy(&y, &b, sizeof y);
  return x == y;
}
}  // namespace

// Bits of a place's byte of the cycle.
constexpr unsigned char kPlaceMoved = 1;       // differs in some bit from the last cycle's
constexpr unsigned char kPlaceNotANumber = 2;  // a coordinate is not a number

// Each thread of the two refresh passes takes a run of kLaneWidth places or
// segments (one on the GPU): a run of the host build amortises the cost of
// a thread over several.
__host__ __device__ inline int runEnd(int first, int n) { return first + kLaneWidth < n ? first + kLaneWidth : n; }

// The place of this cycle of node j, and its byte (moved when `all`).
__host__ __device__ inline void placeNode(int j, int m, const NodeCuda* const* nodes, NodePlace* places,
                                          unsigned char* placeBits, int all) {
  // Each span whole: a record's fields need not start a cache line, and the
  // last of three values often lies on the next one.
  if (j + 8 < m && nodes[j + 8] != nullptr) {
    lanePrefetchSpan<3 * sizeof(double)>(nodes[j + 8]->coord);
    lanePrefetchSpan<3 * sizeof(double)>(nodes[j + 8]->step_disp);
  }
  const NodeCuda* node = nodes[j];
  NodePlace& p = places[j];
  double now[3], before[3];
  bool same = all == 0, number = true;
  for (int a = 0; a < 3; ++a) {
    now[a] = node != nullptr ? node->coord[a] : NAN;
    before[a] = node != nullptr ? now[a] - node->step_disp[a] : NAN;
    same = same && sameBits(now[a], p.now[a]) && sameBits(before[a], p.before[a]);
    number = number && now[a] == now[a] && before[a] == before[a];
  }
  placeBits[j] = static_cast<unsigned char>((same ? 0 : kPlaceMoved) | (number ? 0 : kPlaceNotANumber));
  if (same) return;
  for (int a = 0; a < 3; ++a) {
    p.now[a] = now[a];
    p.before[a] = before[a];
  }
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
// write, and the first run of each pass that is its.
struct SurfaceRefresh {
  int place_num, segment_num;
  const NodeCuda* const* place_node;
  NodePlace* places;
  unsigned char* place_bits;
  int all;  // every place counts as moved (the first refresh)
  SegmentCuda* segments;
  const SegmentCorners* corners;
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
    placeNode(j, s.place_num, s.place_node, s.places, s.place_bits, s.all);
}

__global__ void GpuRefreshSegments(const RefreshBatch* batch) {
  const RefreshBatch& b = *batch;
  const int run = gridStrideIndex();
  if (run >= b.segment_runs) return;
  const SurfaceRefresh& s = surfaceOfRun(b, run, &SurfaceRefresh::first_segment_run);
  const int first = (run - s.first_segment_run) * kLaneWidth;
  int left = 0, anchorsLeft[kAnchorWatchSlots] = {};
  for (int i = first; i < runEnd(first, s.segment_num); ++i)
    left += refreshSegmentAt(i, s.segment_num, s.segments, s.corners, s.places, s.place_bits, s.entries, s.binned,
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
  launch(GpuPlaceSurfaceNodes, dim3(b.place_runs / 32 + 1), dim3(32), batch);
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
    s = SurfaceRefresh{f.place_num,
                       f.segment_num,
                       f.place_node_gpu,
                       f.place_gpu,
                       f.place_bits_gpu,
                       f.places_known ? 0 : 1,
                       f.segment_array_gpu,
                       f.corners_gpu,
                       f.search_entry_gpu,
                       f.bins_filled ? f.binned_box_gpu : nullptr,
                       nullptr,
                       watches,
                       b.place_runs,
                       b.segment_runs};
    if (f.bin_flags_gpu != nullptr) s.outside = f.bin_flags_gpu + kBoxesOutside;
    f.places_known = true;
    b.place_runs += (f.place_num - 1) / kLaneWidth + 1;
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
