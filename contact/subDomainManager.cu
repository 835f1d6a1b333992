// Search grid of one slave side and master surface: sizing at set-up, the
// bucket array shared through the master surface, the device buffers, and
// the per-cycle steps of the bucket search.
#include "contact/subDomainManager.h"
#include <algorithm>
#include <array>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>
#include "contact/contactnode.h"
#include "contact/pairmanager.h"
#include "contact/surface.h"
#include "contact/unified_contact.h"
#include "core/deviceFree.h"
#include "core/gridIndex.h"
#include "core/logErrorPrint.h"
#include "platform/blockReduce.h"

namespace {

// Largest count of sub-domains on one axis before the memory cap.
constexpr int kMaxAxisCount = 1 << 20;

// The device count at `count`.
int readCount(const int* count) {
  int value = 0;
  CUDA_CHECK(cudaMemcpy(&value, count, sizeof(int), cudaMemcpyDeviceToHost));
  return value;
}

__host__ __device__ inline double& axisRef(double3& v, int a) { return a == 0 ? v.x : (a == 1 ? v.y : v.z); }
__host__ __device__ inline double axisOf(const double3& v, int a) { return a == 0 ? v.x : (a == 1 ? v.y : v.z); }
inline int& axisRef(int3& v, int a) { return a == 0 ? v.x : (a == 1 ? v.y : v.z); }
inline int axisOf(const int3& v, int a) { return a == 0 ? v.x : (a == 1 ? v.y : v.z); }

// Truncation towards zero of a non-negative count; not a number gives 0 and
// values beyond the axis limit give the limit.
int toCount(double v) {
  if (!(v >= 0.0)) return 0;
  if (v >= kMaxAxisCount) return kMaxAxisCount;
  return static_cast<int>(v);
}

__host__ __device__ inline double3 lowestBox() { return double3{-DBL_MAX, -DBL_MAX, -DBL_MAX}; }
__host__ __device__ inline double3 highestBox() { return double3{DBL_MAX, DBL_MAX, DBL_MAX}; }

// Box of one block of items in shared memory: itemBox(mx, mn) widens the
// calling thread's box (given as the empty box) by its item, a tree
// reduction folds the boxes, thread 0 writes the block's partial box.
template <typename ItemBox>
__device__ void reduceBlockBox(ItemBox itemBox, double3* maxPartial, double3* minPartial) {
  __shared__ double3 smax[64];
  __shared__ double3 smin[64];
  blockTreeReduce(
      [&](unsigned lane) {
        double3 mx = lowestBox(), mn = highestBox();
        itemBox(mx, mn);
        smax[lane] = mx;
        smin[lane] = mn;
      },
      [&](unsigned lane, unsigned other) {
        for (int a = 0; a < 3; ++a) {
          if (axisOf(smax[other], a) > axisOf(smax[lane], a)) axisRef(smax[lane], a) = axisOf(smax[other], a);
          if (axisOf(smin[other], a) < axisOf(smin[lane], a)) axisRef(smin[lane], a) = axisOf(smin[other], a);
        }
      },
      [&] {
        maxPartial[blockIdx.x] = smax[0];
        minPartial[blockIdx.x] = smin[0];
      });
}

// Runs a box reduction over `count` items into temporary device buffers
// (launchInto(blocks, maxGpu, minGpu) launches the kernel) and folds the
// partial boxes on the host.
template <typename LaunchInto>
void reduceBox(int count, double3& mx, double3& mn, LaunchInto launchInto) {
  const int blocks = count / 32 + 1;
  const DeviceBuffer<double3> maxGpu(blocks);
  const DeviceBuffer<double3> minGpu(blocks);
  launchInto(blocks, maxGpu.get(), minGpu.get());
  std::vector<double3> maxCpu(blocks), minCpu(blocks);
  CUDA_CHECK(cudaMemcpy(maxCpu.data(), maxGpu.get(), sizeof(double3) * blocks, cudaMemcpyDeviceToHost));
  CUDA_CHECK(cudaMemcpy(minCpu.data(), minGpu.get(), sizeof(double3) * blocks, cudaMemcpyDeviceToHost));
  mx = lowestBox();
  mn = highestBox();
  foldPartialBoxes(maxCpu.data(), minCpu.data(), blocks, mx, mn);
}

void reduceSegmentBoxes(int count, const SegmentCuda* segments, double3& mx, double3& mn) {
  reduceBox(count, mx, mn, [&](int blocks, double3* maxGpu, double3* minGpu) {
    launch(minMaxSegmentCudaArray, dim3(blocks), dim3(32), count, segments, maxGpu, minGpu);
  });
}

}  // namespace

__global__ void minMaxNodeArray(int n, ContactNodeCuda** nodes, double3* maxPartial, double3* minPartial, double ext) {
  reduceBlockBox(
      [&](double3& mx, double3& mn) {
        const int i = gridStrideIndex();
        if (i < n && nodes[i] != nullptr && nodes[i]->node != nullptr) {
          const double* x = nodes[i]->node->coord;
          mx = double3{x[0] + ext, x[1] + ext, x[2] + ext};
          mn = double3{x[0] - ext, x[1] - ext, x[2] - ext};
        }
      },
      maxPartial, minPartial);
}

__global__ void minMaxSegmentCudaArray(int n, const SegmentCuda* segments, double3* maxPartial, double3* minPartial) {
  reduceBlockBox(
      [&](double3& mx, double3& mn) {
        const int i = gridStrideIndex();
        if (i < n) {
          mx = double3{segments[i].box_max[0], segments[i].box_max[1], segments[i].box_max[2]};
          mn = double3{segments[i].box_min[0], segments[i].box_min[1], segments[i].box_min[2]};
        }
      },
      maxPartial, minPartial);
}

void foldPartialBoxes(const double3* maxPartial, const double3* minPartial, int count, double3& mx, double3& mn) {
  for (int b = 0; b < count; ++b) {
    for (int a = 0; a < 3; ++a) {
      if (axisOf(maxPartial[b], a) > axisOf(mx, a)) axisRef(mx, a) = axisOf(maxPartial[b], a);
      if (axisOf(minPartial[b], a) < axisOf(mn, a)) axisRef(mn, a) = axisOf(minPartial[b], a);
    }
  }
}

// ---- smallest spacing -----------------------------------------------------

namespace {

using Point3 = std::array<double, 3>;

double distanceOf(const Point3& a, const Point3& b) {
  const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Smallest distance between two points in the same or in neighbouring
// cells of edge s (cells counted from the corner lo); DBL_MAX when no cell
// and no neighbour holds a second point.
double closestInCells(const std::vector<Point3>& points, const Point3& lo, double s) {
  auto cellOf = [&](const Point3& p, int a) { return static_cast<std::int64_t>(std::floor((p[a] - lo[a]) / s)); };
  // 21 bits an index, shifted by one so that the neighbours below cell 0
  // have their own keys (beyond 2^21 cells on an axis keys may meet, which
  // only adds comparisons).
  auto key = [](std::int64_t i, std::int64_t j, std::int64_t k) {
    constexpr std::uint64_t kMask = (1u << 21) - 1;
    return ((static_cast<std::uint64_t>(i + 1) & kMask) << 42) | ((static_cast<std::uint64_t>(j + 1) & kMask) << 21) |
           (static_cast<std::uint64_t>(k + 1) & kMask);
  };
  // The points sorted by cell, and each cell's run of them.
  std::vector<std::pair<std::uint64_t, int>> keyed(points.size());
  for (std::size_t n = 0; n < points.size(); ++n) {
    keyed[n] = {key(cellOf(points[n], 0), cellOf(points[n], 1), cellOf(points[n], 2)), static_cast<int>(n)};
  }
  std::sort(keyed.begin(), keyed.end());
  std::unordered_map<std::uint64_t, std::pair<std::size_t, std::size_t>> runs;  // cell -> [first, last)
  runs.reserve(points.size());
  for (std::size_t r = 0; r < keyed.size();) {
    std::size_t e = r + 1;
    while (e < keyed.size() && keyed[e].first == keyed[r].first) ++e;
    runs.emplace(keyed[r].first, std::make_pair(r, e));
    r = e;
  }
  double best = DBL_MAX;
  for (std::size_t n = 0; n < points.size(); ++n) {
    const std::int64_t c[3] = {cellOf(points[n], 0), cellOf(points[n], 1), cellOf(points[n], 2)};
    for (int d = 0; d < 27; ++d) {
      const auto it = runs.find(key(c[0] + d / 9 - 1, c[1] + d / 3 % 3 - 1, c[2] + d % 3 - 1));
      if (it == runs.end()) continue;
      for (std::size_t r = it->second.first; r < it->second.second; ++r) {
        const auto m = static_cast<std::size_t>(keyed[r].second);
        if (m > n) best = std::min(best, distanceOf(points[n], points[m]));
      }
    }
  }
  return best;
}

}  // namespace

double smallestSpacing(std::vector<std::array<double, 3>> points) {
  if (points.size() < 2) return 1e6;
  // Two nodes at one place: nothing is closer.
  std::sort(points.begin(), points.end());
  if (std::adjacent_find(points.begin(), points.end()) != points.end()) return 0.0;
  Point3 lo = points.front(), hi = points.front();
  for (const Point3& p : points) {
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], p[a]);
      hi[a] = std::max(hi[a], p[a]);
    }
  }
  // Cells grow from a size below the spacing of the nodes until a pair no
  // farther apart than the cell edge turns up: every pair that close lies in
  // neighbouring cells, so that pair is the closest, and since the cells of
  // the pass before held no such pair they are less than twice the smallest
  // spacing, so each cell holds few nodes and every pass is linear. The
  // first size: a quarter of the closest neighbours in sorted order (on a
  // mesh about a quarter of its edge), at least the box over the count.
  double neighbours = DBL_MAX;
  for (std::size_t n = 1; n < points.size(); ++n)
    neighbours = std::min(neighbours, distanceOf(points[n - 1], points[n]));
  double s = std::max(0.25 * neighbours, distanceOf(lo, hi) / static_cast<double>(points.size()));
  while (true) {
    const double best = closestInCells(points, lo, s);
    if (best <= s) return best;
    s *= 2.0;
  }
}

// ---- sizing ----------------------------------------------------------------

int3 subDomainCountsFor(double count, const double3& L) {
  const double third = 0.3333333333333333;
  int3 n{toCount(std::pow(count * L.x * L.x / (L.y * L.z), third)),
         toCount(std::pow(count * L.y * L.y / (L.x * L.z), third)),
         toCount(std::pow(count * L.z * L.z / (L.x * L.y), third))};
  if (n.x < 2) {
    n.x = 1;
    n.y = toCount(std::sqrt(count * L.y / L.z));
    n.z = toCount(std::sqrt(count * L.z / L.y));
  } else if (n.y < 2) {
    n.y = 1;
    n.x = toCount(std::sqrt(count * L.x / L.z));
    n.z = toCount(std::sqrt(count * L.z / L.x));
  } else if (n.z < 2) {
    n.z = 1;
    n.x = toCount(std::sqrt(count * L.x / L.y));
    n.y = toCount(std::sqrt(count * L.y / L.x));
  }
  return n;
}

namespace {
// The grid as sized: dims with the spare layer, and whether the memory cap
// cut it down.
struct SizedGrid {
  int3 dims;
  bool capped;
};

SizedGrid sizeGrid(const int3& n, const int3& m, const int3& k) {
  long long d[3];
  for (int a = 0; a < 3; ++a) d[a] = static_cast<long long>(axisOf(m, a)) * axisOf(k, a);
  const auto below10 = [](int a, int b, int c) {
    return static_cast<unsigned>(a) < 10u * static_cast<unsigned>(b) &&
           static_cast<unsigned>(a) < 10u * static_cast<unsigned>(c);
  };
  if (below10(n.x, n.y, n.z)) {
    if (below10(m.x, m.y, m.z)) d[0] = m.x;
  } else if (below10(n.y, n.x, n.z)) {
    if (below10(m.y, m.x, m.z)) d[1] = m.y;
  } else if (below10(n.z, n.y, n.x) && below10(m.z, m.y, m.x)) {
    d[2] = m.z;
  }
  for (long long& v : d) v = (v < 1 ? 1 : v) + 1;
  bool capped = false;
  while (d[0] * d[1] * d[2] > kMaxSubDomainNum) {
    int largest = 0;
    for (int a = 1; a < 3; ++a) {
      if (d[a] > d[largest]) largest = a;
    }
    d[largest] = d[largest] * 3 / 4 < 2 ? 2 : d[largest] * 3 / 4;
    capped = true;
  }
  return SizedGrid{int3{static_cast<int>(d[0]), static_cast<int>(d[1]), static_cast<int>(d[2])}, capped};
}
}  // namespace

int3 subDomainDimsFor(const int3& n, const int3& m, const int3& k) { return sizeGrid(n, m, k).dims; }

// ---- life cycle ------------------------------------------------------------

SubDomainManager::SubDomainManager(SubDomainManager&& other) noexcept { moveFrom(other); }

SubDomainManager& SubDomainManager::operator=(SubDomainManager&& other) noexcept {
  if (this != &other) {
    freeOwned();
    moveFrom(other);
  }
  return *this;
}

SubDomainManager::~SubDomainManager() { freeOwned(); }

void SubDomainManager::moveFrom(SubDomainManager& other) noexcept {
  subdomain_array_cpu = other.subdomain_array_cpu;
  subdomain_array_gpu = other.subdomain_array_gpu;
  sub_domain_ptr_array_gpu = std::exchange(other.sub_domain_ptr_array_gpu, nullptr);
  sub_domian_num = other.sub_domian_num;
  subdomain_dims = other.subdomain_dims;
  box_max = other.box_max;
  box_min = other.box_min;
  cell_size = other.cell_size;
  contact = other.contact;
  masterSurface = other.masterSurface;
  slaveSurface = other.slaveSurface;
  slave_contact_node_array_cpu = std::move(other.slave_contact_node_array_cpu);
  slave_contact_node_array_gpu = std::exchange(other.slave_contact_node_array_gpu, nullptr);
  link_state_gpu = std::exchange(other.link_state_gpu, nullptr);
  near_gpu = std::exchange(other.near_gpu, nullptr);
  near_member_gpu = std::exchange(other.near_member_gpu, nullptr);
  anchor_gpu = std::exchange(other.anchor_gpu, nullptr);
  anchors_left_gpu = std::exchange(other.anchors_left_gpu, nullptr);
  anchor_fills = other.anchor_fills;
  anchor_refresh = other.anchor_refresh;
  watched_refresh = other.watched_refresh;
  anchors_stuck = other.anchors_stuck;
  near_epoch = other.near_epoch;
  slave_side = other.slave_side;
  owner = other.owner;
}

void SubDomainManager::freeOwned() {
  freeDevice(slave_contact_node_array_gpu);
  freeDevice(sub_domain_ptr_array_gpu);
  freeDevice(link_state_gpu);
  freeDevice(near_gpu);
  freeDevice(near_member_gpu);
  freeDevice(anchor_gpu);
  freeDevice(anchors_left_gpu);
}

void SubDomainManager::copySlaveNodeArrayGpu(ContactNodeCuda** source) {
  const std::size_t memSize = sizeof(ContactNodeCuda*) * slave_contact_node_array_cpu.size();
  if (memSize == 0 || source == nullptr) return;
  CUDA_CHECK(cudaMalloc(&slave_contact_node_array_gpu, memSize));
  CUDA_CHECK(cudaMemcpy(slave_contact_node_array_gpu, source, memSize, cudaMemcpyDeviceToDevice));
}

// ---- set-up ----------------------------------------------------------------

bool SubDomainManager::slaveExtent(double3& mx, double3& mn) const {
  if (slaveSurface != nullptr && slaveSurface->segment_num > 0 && slaveSurface->segment_array_gpu != nullptr) {
    reduceSegmentBoxes(slaveSurface->segment_num, slaveSurface->segment_array_gpu, mx, mn);
    return true;
  }
  const int k = slaveNodeNum();
  if (k == 0 || slave_contact_node_array_gpu == nullptr) return false;
  ContactNodeCuda** nodes = slave_contact_node_array_gpu;
  reduceBox(k, mx, mn, [&](int blocks, double3* maxGpu, double3* minGpu) {
    launch(minMaxNodeArray, dim3(blocks), dim3(32), k, nodes, maxGpu, minGpu, 0.0);
  });
  // Widened by the smallest spacing of the slave nodes.
  std::vector<std::array<double, 3>> points;
  points.reserve(static_cast<std::size_t>(k));
  for (const ContactNodeCuda* cn : slave_contact_node_array_cpu) {
    if (cn != nullptr && cn->node != nullptr)
      points.push_back({cn->node->coord[0], cn->node->coord[1], cn->node->coord[2]});
  }
  const double spacing = smallestSpacing(points);
  for (int a = 0; a < 3; ++a) {
    axisRef(mx, a) += spacing;
    axisRef(mn, a) -= spacing;
  }
  return true;
}

void SubDomainManager::buildSubDomainGrid() {
  if (masterSurface == nullptr) return;
  double3 smax, smin;
  if (!slaveExtent(smax, smin)) return;  // no slave segments or nodes: no grid
  const double3 L{smax.x + 1e-6 - smin.x, smax.y + 1e-6 - smin.y, smax.z + 1e-6 - smin.z};
  const int3 n = subDomainCountsFor(slaveNodeNum() * 0.5, L);
  for (int a = 0; a < 3; ++a) axisRef(cell_size, a) = axisOf(L, a) / (axisOf(n, a) > 0 ? axisOf(n, a) : 1);
  box_max = smax;
  box_min = smin;
  const int s = masterSurface->segment_num;
  if (s <= 0 || masterSurface->segment_array_gpu == nullptr) return;

  double3 mmax, mmin;
  reduceSegmentBoxes(s, masterSurface->segment_array_gpu, mmax, mmin);
  const double3 M{mmax.x - mmin.x, mmax.y - mmin.y, mmax.z - mmin.z};
  const int3 m = subDomainCountsFor(s * 0.5, M);
  int3 k{1, 1, 1};
  for (int a = 0; a < 3; ++a) {
    const int ma = axisOf(m, a) > 0 ? axisOf(m, a) : 1;
    int ka = toCount((axisOf(M, a) / ma) / axisOf(cell_size, a));
    if (ka >= 3) ka /= 2;
    axisRef(k, a) = ka < 1 ? 1 : ka;
  }
  const SizedGrid grid = sizeGrid(n, m, k);
  subdomain_dims = grid.dims;
  sub_domian_num = grid.dims.x * grid.dims.y * grid.dims.z;
  if (grid.capped) {
    printf("Contact search grid of surface %d capped at %d x %d x %d sub-domains to fit in memory\n", masterSurface->id,
           grid.dims.x, grid.dims.y, grid.dims.z);
  }
  if (grid.dims.x == 0 || grid.dims.y == 0 || grid.dims.z == 0) printf("子域刻度划分出错\n");
  box_max = mmax;
  box_min = mmin;
  giveMasterSurfaceGrid();
}

void SubDomainManager::giveMasterSurfaceGrid() {
  Surface* ms = masterSurface;
  if (ms->subDomainArrayCpu_ == nullptr || sub_domian_num < ms->subDomainNum_) {
    SubDomain* grid = new SubDomain[sub_domian_num]();
    int index = 0;
    for (int ix = 0; ix < subdomain_dims.x; ++ix) {
      for (int iy = 0; iy < subdomain_dims.y; ++iy) {
        for (int iz = 0; iz < subdomain_dims.z; ++iz, ++index) {
          grid[index].index_x = ix;
          grid[index].index_y = iy;
          grid[index].index_z = iz;
          grid[index].index = (ix * subdomain_dims.y + iy) * subdomain_dims.z + iz;
        }
      }
    }
    if (owner != nullptr) owner->adoptHostGrid(ms->subDomainArrayCpu_, grid);
    ms->subDomainArrayCpu_ = grid;
    ms->subDomainNum_ = sub_domian_num;
    ms->grid_dims[0] = subdomain_dims.x;
    ms->grid_dims[1] = subdomain_dims.y;
    ms->grid_dims[2] = subdomain_dims.z;
  }
  subdomain_dims = int3{ms->grid_dims[0], ms->grid_dims[1], ms->grid_dims[2]};
  subdomain_array_cpu = ms->subDomainArrayCpu_;
  sub_domian_num = ms->subDomainNum_;
}

void SubDomainManager::takeGridFromMasterSurface(int /*count*/, int /*index*/, SubDomainManager* /*all*/) {
  if (masterSurface == nullptr || masterSurface->subDomainArrayCpu_ == nullptr) return;
  subdomain_dims = int3{masterSurface->grid_dims[0], masterSurface->grid_dims[1], masterSurface->grid_dims[2]};
  subdomain_array_cpu = masterSurface->subDomainArrayCpu_;
  sub_domian_num = masterSurface->subDomainNum_;
  if (subdomain_dims.x == 0 || subdomain_dims.y == 0 || subdomain_dims.z == 0) printf("子域刻度划分出错\n");
}

void SubDomainManager::allocateAndCopySubDomainsGpu() {
  if (masterSurface == nullptr || subdomain_array_cpu == nullptr || sub_domian_num <= 0) return;
  if (masterSurface->subDomainArrayGpu_ == nullptr) {
    CUDA_CHECK(cudaMalloc(&masterSurface->subDomainArrayGpu_, sub_domian_num * sizeof(SubDomain)));
    CUDA_CHECK(cudaMemcpy(masterSurface->subDomainArrayGpu_, subdomain_array_cpu, sub_domian_num * sizeof(SubDomain),
                          cudaMemcpyHostToDevice));
  }
  subdomain_array_gpu = masterSurface->subDomainArrayGpu_;
}

void SubDomainManager::allocateSubDomainPtrArrayGpu() {
  const int m = sub_domian_num;
  if (m <= 0 || subdomain_array_gpu == nullptr || sub_domain_ptr_array_gpu != nullptr) return;
  CUDA_CHECK(cudaMalloc(&sub_domain_ptr_array_gpu, sizeof(SubDomain*) * sub_domian_num));
  launch(GpuCopySubDomainPtr, dim3((m - 1) / 64 + 1), dim3(64), m, subdomain_array_gpu, sub_domain_ptr_array_gpu);
}

// ---- per cycle -------------------------------------------------------------

void SubDomainManager::takeMasterBoxGpu() {
  if (masterSurface == nullptr || masterSurface->segment_num < 1) return;
  box_max = double3{masterSurface->box_max[0], masterSurface->box_max[1], masterSurface->box_max[2]};
  box_min = double3{masterSurface->box_min[0], masterSurface->box_min[1], masterSurface->box_min[2]};
  cell_size = double3{masterSurface->cell_size[0], masterSurface->cell_size[1], masterSurface->cell_size[2]};
}

void SubDomainManager::fillSegmentsGpu(Surface* master, int* overflow, bool keep) {
  if (master == nullptr || master->segment_num < 1 || master->flags[SEGMENTS_BINNED] != 0) return;
  if (subdomain_array_gpu == nullptr || sub_domian_num <= 0) return;
  master->flags[SEGMENTS_BINNED] = 1;
  if (keep && master->binsHoldSegmentsGpu()) return;
  master->rebinSegmentsGpu(keep, overflow);
}

bool SubDomainManager::offersCandidates() const {
  return slaveNodeNum() > 0 && slave_contact_node_array_gpu != nullptr && subdomain_array_gpu != nullptr &&
         sub_domian_num > 0 && masterSurface != nullptr && masterSurface->bins_filled &&
         masterSurface->search_entry_gpu != nullptr && masterSurface->bucket_members.member != nullptr;
}

GridSearch SubDomainManager::candidateSearchGpu() {
  const Surface& master = *masterSurface;
  const double reach = 0.25 * master.bin_margin;
  const bool near = owner != nullptr && owner->keep_buckets && reach > 0.0 && master.binned_box_gpu != nullptr;
  if (near) anchorNearLists(reach);
  const BucketMembers& bm = master.bucket_members;
  const CandidateGrid grid{cell_size,
                           box_min,
                           subdomain_dims,
                           sub_domian_num,
                           subdomain_array_gpu,
                           bm.range,
                           bm.member,
                           master.segment_array_gpu,
                           master.search_entry_gpu,
                           master.binned_box_gpu,
                           anchor_gpu,
                           near_epoch,
                           reach};
  return GridSearch{link_state_gpu, near ? near_gpu : nullptr, near_member_gpu, grid};
}

void SubDomainManager::anchorNearLists(double reach) {
  const int k = slaveNodeNum();
  const int n = masterSurface->segment_num;
  if (near_gpu == nullptr) {
    CUDA_CHECK(cudaMalloc(&near_gpu, sizeof(NearSegments) * k));
    CUDA_CHECK(cudaMalloc(&near_member_gpu, sizeof(int) * kNearSlots * k));
    CUDA_CHECK(cudaMemset(near_gpu, 0xff, sizeof(NearSegments) * k));  // epoch -1: none listed
    CUDA_CHECK(cudaMalloc(&anchor_gpu, sizeof(SegmentAnchor) * n));
    CUDA_CHECK(cudaMalloc(&anchors_left_gpu, sizeof(int)));
  }
  const SegmentSearchEntry* entries = masterSurface->search_entry_gpu;
  // The count of segments that left their anchors is kept at zero between
  // checks. The refresh has counted those that left when it is the only one
  // since the last check and checked these anchors, and every segment was
  // inside its anchor after that check; else they are all checked here.
  const int refreshes = masterSurface->refreshes;
  const bool counted = !anchors_stuck && (refreshes == anchor_refresh ||
                                          (refreshes == anchor_refresh + 1 && watched_refresh == refreshes));
  anchor_refresh = refreshes;
  // A segment the lists do not hold may have come near a node: all anchors
  // are set anew, and every list is made anew (a new epoch).
  bool anew = anchor_fills != masterSurface->bin_fills;
  if (!anew) {
    if (!counted) {
      CUDA_CHECK(cudaMemset(anchors_left_gpu, 0, sizeof(int)));
      launch(GpuSegmentsLeftAnchors, dim3(n / 32 + 1), dim3(32), n, entries,
             static_cast<const SegmentAnchor*>(anchor_gpu), anchors_left_gpu);
    }
    anew = readCount(anchors_left_gpu) != 0;
  }
  if (anew) {
    CUDA_CHECK(cudaMemset(anchors_left_gpu, 0, sizeof(int)));
    launch(GpuAnchorSegments, dim3(n / 32 + 1), dim3(32), n, entries, anchor_gpu, reach, anchors_left_gpu);
    anchors_stuck = readCount(anchors_left_gpu) != 0;
    if (anchors_stuck) CUDA_CHECK(cudaMemset(anchors_left_gpu, 0, sizeof(int)));
    anchor_fills = masterSurface->bin_fills;
    near_epoch = near_epoch == INT_MAX ? 0 : near_epoch + 1;
  }
}

void SubDomainManager::watchAnchors(AnchorWatches& watches) {
  if (anchor_gpu == nullptr || watches.count == kAnchorWatchSlots) return;
  watches.anchors[watches.count] = anchor_gpu;
  watches.left[watches.count++] = anchors_left_gpu;
  watched_refresh = masterSurface->refreshes + 1;  // the refresh about to run
}
