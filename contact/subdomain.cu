// Binning of master segments and slave contact nodes into the buckets of a
// search grid, and the clearing and pointer kernels of the grid.
#include "contact/subdomain.h"
#include <cstdio>
#include "contact/contactnode.h"
#include "contact/surface.h"
#include "core/gridIndex.h"
#include "core/segment.h"

namespace {
__host__ __device__ inline double axisOf(const double3& v, int a) { return a == 0 ? v.x : (a == 1 ? v.y : v.z); }
__host__ __device__ inline int axisOf(const int3& v, int a) { return a == 0 ? v.x : (a == 1 ? v.y : v.z); }
}  // namespace

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

__global__ void SegmentCudaFull(const SegmentCuda* segments, int n, double3 cell, double3 origin,
                                SubDomain* subdomains, int3 dims, int total, int* overflow) {
  const int i = gridStrideIndex();
  if (i >= n) return;
  const SegmentCuda& seg = segments[i];
  int lo[3], hi[3];
  for (int a = 0; a < 3; ++a) {
    lo[a] = static_cast<int>((seg.box_min[a] - axisOf(origin, a)) / axisOf(cell, a));
    hi[a] = static_cast<int>((seg.box_max[a] - axisOf(origin, a)) / axisOf(cell, a));
    if (lo[a] < 0) lo[a] = 0;
    if (hi[a] > axisOf(dims, a) - 1) hi[a] = axisOf(dims, a) - 1;
  }
  for (int ix = lo[0]; ix <= hi[0]; ++ix) {
    for (int iy = lo[1]; iy <= hi[1]; ++iy) {
      for (int iz = lo[2]; iz <= hi[2]; ++iz) {
        const int idx = (ix * dims.y + iy) * dims.z + iz;
        if (idx < 0 || idx >= total) continue;
        SubDomain& sd = subdomains[idx];
        const int slot = reserveSubDomainSlot(&sd.segment_num, overflow);
        if (slot >= 0) sd.segment_list[slot] = const_cast<SegmentCuda*>(&seg);
      }
    }
  }
}

__global__ void contactNodeFull(ContactNodeCuda** nodes, int n, double3 cell, double3 origin, SubDomain* subdomains,
                                int3 dims, int total, int* overflow) {
  const int i = gridStrideIndex();
  if (i >= n) return;
  ContactNodeCuda* cn = nodes[i];
  if (cn == nullptr || cn->node == nullptr) {
    printf("接触点填充子域错误,offset=%d\n", i);
    return;
  }
  cn->subdomain = nullptr;
  int cellIndex[3];
  for (int a = 0; a < 3; ++a) {
    const double f = (cn->node->coord[a] - axisOf(origin, a)) / axisOf(cell, a);
    if (!(f >= 0.0) || f >= axisOf(dims, a)) return;  // outside the grid (or not a number)
    cellIndex[a] = static_cast<int>(f);
  }
  const int idx = (cellIndex[0] * dims.y + cellIndex[1]) * dims.z + cellIndex[2];
  if (idx < 0 || idx >= total) return;
  SubDomain& sd = subdomains[idx];
  if (sd.segment_num == 0) return;
  const int slot = reserveSubDomainSlot(&sd.node_num, overflow);
  if (slot < 0) return;
  sd.node_list[slot] = cn;
  cn->subdomain = &sd;
}

__global__ void AllDataVerBasicOnNode(int n, ContactNodeCuda** nodes, int* /*unused*/) {
  const int i = gridStrideIndex();
  if (i >= n || nodes[i] == nullptr) return;
  ContactNodeCuda* cn = nodes[i];
  SubDomain* sd = cn->subdomain;
  if (sd == nullptr) return;
  if (sd->segment_num == 0) {
    cn->subdomain = nullptr;
  } else if (sd->segment_num > kSubDomainSlots) {
    printf("子域 %d 接触块统计错误,数目为%d\n", sd->index, sd->segment_num);
  }
}

void Surface::clearSubDomainsGpu() {
  const int m = subDomainNum_;
  if (subDomainArrayGpu_ == nullptr || m <= 0) return;
  launch(SubDomainClear, dim3((m - 1) / 64 + 1), dim3(64), m, subDomainArrayGpu_);
}
