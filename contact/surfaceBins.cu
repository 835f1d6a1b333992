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
#include <cstdio>
#include <utility>
#include <vector>
#include "contact/contactGeom.h"
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

__host__ __device__ inline bool insideBinnedBox(const SegmentCuda& seg, const BinnedBox& binned) {
  for (int a = 0; a < 3; ++a) {
    if (seg.box_min[a] < binned.lo[a] || seg.box_max[a] > binned.hi[a]) return false;
  }
  return true;
}

int readFlag(const int* flags, int which) {
  int value = 0;
  CUDA_CHECK(cudaMemcpy(&value, flags + which, sizeof(int), cudaMemcpyDeviceToHost));
  return value;
}

void clearFlags(int* flags) { CUDA_CHECK(cudaMemset(flags, 0, sizeof(int) * kBinFlagCount)); }
}  // namespace

// Segment boxes and normals of this cycle, copied into the search entries; a
// segment whose box has left the box it was binned with counts itself in
// *outside. Each thread asks for the record of a segment a few places ahead
// and for its nodes' coordinates and steps, which the host build would otherwise wait
// for one after the other.
__global__ void GpuRefreshSegments(int n, SegmentCuda* segments, SegmentSearchEntry* entries, const BinnedBox* binned,
                                   int* outside) {
  const int i = gridStrideIndex();
  if (i >= n) return;
  if (i + 8 < n) {
    lanePrefetch(&segments[i + 8].node[0]);
    lanePrefetch(&segments[i + 8].box_min[0]);
  }
  if (i + 4 < n) {
    for (const NodeCuda* node : segments[i + 4].node) {
      if (node == nullptr) continue;
      lanePrefetch(node->coord);
      lanePrefetch(node->step_disp);
    }
  }
  SegmentCuda& seg = segments[i];
  contact_geom::refreshSegment(seg);
  SegmentSearchEntry& e = entries[i];
  for (int a = 0; a < 3; ++a) {
    e.bound[a] = seg.box_min[a];
    e.bound[3 + a] = -seg.box_max[a];
  }
  for (int k = 0; k < 4; ++k) e.node_id[k] = seg.node[k] != nullptr ? seg.node_id[k] : 0;
  if (binned != nullptr && !insideBinnedBox(seg, binned[i])) atomicAddAnywhere(outside, 1);
}

void Surface::refreshSegmentsGpu() {
  // Only a surface with a search grid is refreshed: the search reads the
  // segments of master surfaces alone.
  if (subDomainArrayGpu_ == nullptr || segment_num <= 0) return;
  if (search_entry_gpu == nullptr) CUDA_CHECK(cudaMalloc(&search_entry_gpu, sizeof(SegmentSearchEntry) * segment_num));
  const BinnedBox* binned = bins_filled ? binned_box_gpu : nullptr;
  int* outside = bin_flags_gpu != nullptr ? bin_flags_gpu + kBoxesOutside : nullptr;
  launch(GpuRefreshSegments, dim3(segment_num / 32 + 1), dim3(32), segment_num, segment_array_gpu, search_entry_gpu,
         binned, outside);
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
