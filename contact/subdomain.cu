// Binning of master segments and slave contact nodes into the buckets of a
// search grid, and the clearing and pointer kernels of the grid.
#include "contact/subdomain.h"
#include <cstdio>
#include "contact/contactnode.h"
#include "contact/listSlot.h"
#include "contact/surface.h"
#include "core/gridIndex.h"
#include "core/segment.h"

__global__ void SubDomainClear(int m, SubDomain* subdomains) {
  const int i = gridStrideIndex();
  if (i >= m) return;
  subdomains[i].node_num = 0;
  subdomains[i].segment_num = 0;
}

__global__ void GpuCopySubDomainPtr(int m, SubDomain* subdomains, SubDomain** ptrs) {
  const int i = gridStrideIndex();
  if (i < m) ptrs[i] = subdomains + i;
}

__global__ void SegmentCudaFull(const SegmentCuda* segments, int n, double3 cell, double3 origin, SubDomain* subdomains,
                                int3 dims, int total, double margin, BinnedBox* binned, int* overflow) {
  const int i = gridStrideIndex();
  if (i >= n) return;
  const SegmentCuda& seg = segments[i];
  BinnedBox box;
  for (int a = 0; a < 3; ++a) {
    box.lo[a] = seg.box_min[a] - margin;
    box.hi[a] = seg.box_max[a] + margin;
  }
  int lo[3], hi[3];
  binnedCells(box, cell, origin, dims, lo, hi);
  if (binned != nullptr) binned[i] = box;
  for (int ix = lo[0]; ix <= hi[0]; ++ix) {
    for (int iy = lo[1]; iy <= hi[1]; ++iy) {
      for (int iz = lo[2]; iz <= hi[2]; ++iz) {
        const int idx = (ix * dims.y + iy) * dims.z + iz;
        if (idx < 0 || idx >= total) continue;
        SubDomain& sd = subdomains[idx];
        const int slot = reserveListSlot(&sd.segment_num, kSubDomainAccepted, overflow);
        if (slot >= 0) sd.segment_list[slot] = const_cast<SegmentCuda*>(&seg);
      }
    }
  }
}

__global__ void SubDomainSortSegments(int m, SubDomain* subdomains) {
  const int i = gridStrideIndex();
  if (i >= m) return;
  SubDomain& sd = subdomains[i];
  // Insertion sort: one thread binning in order leaves the list sorted.
  const int count = sd.segmentCount();
  for (int j = 1; j < count; ++j) {
    SegmentCuda* s = sd.segment_list[j];
    int k = j;
    for (; k > 0 && sd.segment_list[k - 1] > s; --k) sd.segment_list[k] = sd.segment_list[k - 1];
    sd.segment_list[k] = s;
  }
}

void Surface::clearSubDomainsGpu() {
  const int m = subDomainNum_;
  if (subDomainArrayGpu_ == nullptr || m <= 0) return;
  launch(SubDomainClear, dim3((m - 1) / 64 + 1), dim3(64), m, subDomainArrayGpu_);
}
