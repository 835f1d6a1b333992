// One bucket of the contact search grid: the slave contact nodes and master
// segments binned into it this cycle, and the kernels that fill and clear
// the buckets.
#pragma once
#include <type_traits>
#include "platform/gpuRuntime.h"

struct ContactNodeCuda;
struct NodeCuda;
struct SegmentCuda;

constexpr int kSubDomainSlots = 150;
// Entries a bucket list accepts (an append is made while the count read
// before it is at most 148); the last slot stays spare.
constexpr int kSubDomainAccepted = 149;

struct SubDomain {
  ContactNodeCuda* node_list[kSubDomainSlots];
  SegmentCuda* segment_list[kSubDomainSlots];
  int node_num;     // filled slots of node_list
  int segment_num;  // filled slots of segment_list
  int index_x;
  int index_y;
  int index_z;
  int index;      // (index_x * ny + index_y) * nz + index_z, its position in the array
  int sort_flag;  // key of SubDomainSortCmp; 0 in this system

  // Usable entries of the two lists.
  __host__ __device__ int nodeCount() const { return node_num < kSubDomainAccepted ? node_num : kSubDomainAccepted; }
  __host__ __device__ int segmentCount() const {
    return segment_num < kSubDomainAccepted ? segment_num : kSubDomainAccepted;
  }
};
static_assert(std::is_trivially_copyable_v<SubDomain>);

// The box a segment was binned with: its extended box at the binning,
// widened by the grid's margin. The buckets stay good for the segment as
// long as its extended box stays inside this one.
struct BinnedBox {
  double lo[3];
  double hi[3];
};
static_assert(std::is_trivially_copyable_v<BinnedBox>);

// The buckets a binned box is listed in: per axis, first and last cell
// (clamped to the grid; first above last on an axis it does not reach).
__host__ __device__ inline void binnedCells(const BinnedBox& box, double3 cell, double3 origin, int3 dims, int* first,
                                            int* last) {
  const double o[3] = {origin.x, origin.y, origin.z};
  const double c[3] = {cell.x, cell.y, cell.z};
  const int d[3] = {dims.x, dims.y, dims.z};
  for (int a = 0; a < 3; ++a) {
    first[a] = static_cast<int>((box.lo[a] - o[a]) / c[a]);
    last[a] = static_cast<int>((box.hi[a] - o[a]) / c[a]);
    if (first[a] < 0) first[a] = 0;
    if (last[a] > d[a] - 1) last[a] = d[a] - 1;
  }
}

// What the candidate test reads of a master segment besides its normal:
// its extended box and the ids of its nodes, copied out of the segment
// record when the box is refreshed, one cache line a segment, so that the
// test of a bucket's segments reads a few adjacent lines instead of two
// lines of each segment's record. The box is kept as six lower bounds: the
// minimum, then the maximum negated (x <= max as -x >= -max), so that one
// comparison of six values tests a path box against it. (A segment's node k
// and a contact node's node are the node array's entry of their id, so
// equal ids are equal nodes.)
struct SegmentSearchEntry {
  double bound[6];
  int node_id[4];
};
static_assert(std::is_trivially_copyable_v<SegmentSearchEntry>);
static_assert(sizeof(SegmentSearchEntry) == 64);

// What the candidate test reads of a slave contact node, from its records,
// once for the consecutive grids that share its slave list: the box of its node's path over the last
// displacement step as six upper bounds (the maximum, then the minimum
// negated, as SegmentSearchEntry keeps its lower bounds), the axes on which
// the node now lies at the path's minimum (bit a), its current contact
// segment (null while it has no pair) and its node's id (0 for a missing
// contact node or node).
struct SlaveSearchEntry {
  double upper[6];
  const SegmentCuda* current;
  int node_id;
  int now_low;
};
static_assert(std::is_trivially_copyable_v<SlaveSearchEntry>);
static_assert(sizeof(SlaveSearchEntry) == 64);

// The segments of every bucket of a grid as one index array (positions in
// the master surface's segment array, in the order of the bucket's list):
// bucket b holds member[range[b].x] .. member[range[b].x + range[b].y - 1].
// The buckets' runs follow each other in the order of their first segment,
// so that a search that visits the buckets in that order reads the runs
// one after the other and the segments' entries mostly in the order of the
// segment array. Made with each filling of the buckets.
struct BucketMembers {
  int2* range = nullptr;  // owned, one per bucket: first position and count
  int* member = nullptr;  // owned
  int capacity = 0;       // entries member has room for
};

// Counters of list entries refused for lack of room, in one mapped block.
struct ContactOverflowCounters {
  int subdomain_entries;  // nodes and segments refused by full buckets
  int candidates;         // candidates that displaced slot 0 of a full test pair
};

__global__ void SubDomainClear(int m, SubDomain* subdomains);
__global__ void GpuCopySubDomainPtr(int m, SubDomain* subdomains, SubDomain** ptrs);
// Bins each segment into every bucket its extended box, widened by
// `margin`, reaches (clamped to the grid), and keeps that widened box in
// binned[i] when binned is given.
__global__ void SegmentCudaFull(const SegmentCuda* segments, int n, double3 cell, double3 origin, SubDomain* subdomains,
                                int3 dims, int total, double margin, BinnedBox* binned, int* overflow);
// Puts every bucket's segments in the order of the surface's segment array,
// whichever order the threads binned them in.
__global__ void SubDomainSortSegments(int m, SubDomain* subdomains);
// The bucket of a point, or null when the point lies outside the grid
// (inline: the candidate search asks for it twice per node).
__host__ __device__ inline SubDomain* subDomainOfPoint(const double* x, double3 cell, double3 origin,
                                                       SubDomain* subdomains, int3 dims, int total) {
  const double o[3] = {origin.x, origin.y, origin.z};
  const double c[3] = {cell.x, cell.y, cell.z};
  const int d[3] = {dims.x, dims.y, dims.z};
  int cellIndex[3];
  for (int a = 0; a < 3; ++a) {
    const double f = (x[a] - o[a]) / c[a];
    if (!(f >= 0.0) || f >= d[a]) return nullptr;  // outside the grid (or not a number)
    cellIndex[a] = static_cast<int>(f);
  }
  const int idx = (cellIndex[0] * dims.y + cellIndex[1]) * dims.z + cellIndex[2];
  return idx >= 0 && idx < total ? subdomains + idx : nullptr;
}
