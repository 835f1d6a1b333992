// Surface lifecycle, node and contact-node lists, uploads and the per-cycle
// device refresh of segment boxes and normals.
#include "contact/surface.h"
#include <cfloat>
#include <cstdio>
#include <set>
#include <utility>
#include "contact/contactGeom.h"
#include "contact/contactnodemanager.h"
#include "core/deviceFree.h"
#include "core/gridIndex.h"
#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "platform/blockReduce.h"

Surface::Surface(const Surface& other) { copyHostData(other); }

Surface& Surface::operator=(const Surface& other) {
  if (this != &other) {
    freeOwned();
    copyHostData(other);
  }
  return *this;
}

Surface::Surface(Surface&& other) noexcept {
  copyHostData(other);
  takeOwned(other);
}

Surface& Surface::operator=(Surface&& other) noexcept {
  if (this != &other) {
    freeOwned();
    copyHostData(other);
    takeOwned(other);
  }
  return *this;
}

Surface::~Surface() { freeOwned(); }

void Surface::copyHostData(const Surface& o) {
  title = o.title;
  part_name = o.part_name;
  part_array = o.part_array;
  part_index_array = o.part_index_array;
  std::copy(o.attributes, o.attributes + 4, attributes);
  solver_name = o.solver_name;
  segment_array = o.segment_array;
  node_array = o.node_array;
  contact_node_array_cpu = o.contact_node_array_cpu;
  subDomainNum_ = o.subDomainNum_;
  subDomainArrayCpu_ = o.subDomainArrayCpu_;  // not owned
  std::copy(o.grid_dims, o.grid_dims + 3, grid_dims);
  for (int i = 0; i < 3; ++i) {
    box_max[i] = o.box_max[i];
    box_min[i] = o.box_min[i];
    cell_size[i] = o.cell_size[i];
  }
  bin_margin = o.bin_margin;
  bin_fills = o.bin_fills;
  refreshes = o.refreshes;
  std::copy(o.flags, o.flags + 6, flags);
  id = o.id;
  surface_type = o.surface_type;
  segment_num = o.segment_num;
  min_edge_length = o.min_edge_length;
  mean_edge_length = o.mean_edge_length;
  mean_territory = o.mean_territory;
}

void Surface::takeOwned(Surface& o) noexcept {
  segment_array_gpu = std::exchange(o.segment_array_gpu, nullptr);
  contact_node_array_gpu = std::exchange(o.contact_node_array_gpu, nullptr);
  subDomainArrayGpu_ = std::exchange(o.subDomainArrayGpu_, nullptr);
  max_gpu = std::exchange(o.max_gpu, nullptr);
  min_gpu = std::exchange(o.min_gpu, nullptr);
  max_cpu = std::exchange(o.max_cpu, nullptr);
  min_cpu = std::exchange(o.min_cpu, nullptr);
  max_disp_incre = std::exchange(o.max_disp_incre, nullptr);
  binned_box_gpu = std::exchange(o.binned_box_gpu, nullptr);
  bin_flags_gpu = std::exchange(o.bin_flags_gpu, nullptr);
  search_entry_gpu = std::exchange(o.search_entry_gpu, nullptr);
  corners_gpu = std::exchange(o.corners_gpu, nullptr);
  place_node_gpu = std::exchange(o.place_node_gpu, nullptr);
  place_gpu = std::exchange(o.place_gpu, nullptr);
  place_bits_gpu = std::exchange(o.place_bits_gpu, nullptr);
  node_places = std::exchange(o.node_places, nullptr);
  node_base_gpu = std::exchange(o.node_base_gpu, nullptr);
  node_count = std::exchange(o.node_count, 0);
  place_store_gpu = std::exchange(o.place_store_gpu, nullptr);
  place_store = std::exchange(o.place_store, {});
  corners_store_gpu = std::exchange(o.corners_store_gpu, nullptr);
  refreshed_pass = std::exchange(o.refreshed_pass, -1);
  places_stale = std::exchange(o.places_stale, false);
  cycle_places = std::exchange(o.cycle_places, nullptr);
  cycle_by_store = std::exchange(o.cycle_by_store, false);
  place_num = std::exchange(o.place_num, 0);
  places_known = std::exchange(o.places_known, false);
  bucket_members = std::exchange(o.bucket_members, BucketMembers{});
  bins_filled = std::exchange(o.bins_filled, false);
}

void Surface::freeOwned() {
  freeDevice(segment_array_gpu);
  freeDevice(contact_node_array_gpu);
  freeDevice(subDomainArrayGpu_);
  freeDevice(max_gpu);
  freeDevice(min_gpu);
  freeDevice(max_disp_incre);
  freeDevice(binned_box_gpu);
  freeDevice(bin_flags_gpu);
  freeDevice(search_entry_gpu);
  freeDevice(corners_gpu);
  freeDevice(place_node_gpu);
  freeDevice(place_gpu);
  freeDevice(place_bits_gpu);
  freeDevice(place_store_gpu);
  freeDevice(corners_store_gpu);
  place_store.clear();
  refreshed_pass = -1;
  places_stale = false;
  cycle_places = nullptr;
  cycle_by_store = false;
  place_num = 0;
  places_known = false;
  freeDevice(bucket_members.range);
  freeDevice(bucket_members.member);
  bucket_members.capacity = 0;
  delete[] max_cpu;
  delete[] min_cpu;
  max_cpu = min_cpu = nullptr;
  bins_filled = false;
  // The host sub-domain array belongs to the search grid, which frees it.
}

void Surface::countSegments() { segment_num = static_cast<int>(segment_array.size()); }

void Surface::defineSegmentLocalIds(int offset) {
  for (std::size_t i = 0; i < segment_array.size(); ++i) {
    segment_array[i].defineLocalId(static_cast<int>(i), offset + static_cast<int>(i));
  }
}

namespace {
// Dropped segments named one by one before the rest are only counted.
constexpr int kNamedDrops = 5;
}  // namespace

int Surface::dropSegments(const std::function<bool(const SegmentCuda&)>& keep, const char* reason) {
  std::vector<SegmentCuda> kept;
  kept.reserve(segment_array.size());
  int dropped = 0;
  for (const SegmentCuda& seg : segment_array) {
    if (keep(seg)) {
      kept.push_back(seg);
      kept.back().local_index = static_cast<int>(kept.size()) - 1;
      continue;
    }
    if (++dropped <= kNamedDrops) {
      fprintf(stderr, "Surface %d: segment %d (nodes %d %d %d %d) %s\n", id, seg.local_index + 1, seg.node_id[0],
              seg.node_id[1], seg.node_id[2], seg.node_id[3], reason);
    }
  }
  if (dropped > kNamedDrops) {
    fprintf(stderr, "Surface %d: %d more segments dropped for the same reason\n", id, dropped - kNamedDrops);
  }
  segment_array.swap(kept);
  segment_num = static_cast<int>(segment_array.size());
  return dropped;
}

void Surface::linkSegmentNodePtrs(NodeManager* nodeManager) {
  const int nodeCount = nodeManager != nullptr ? static_cast<int>(nodeManager->node_array_cpu.size()) : 0;
  dropSegments([nodeCount](const SegmentCuda& seg) { return seg.nodeIdsWithin(nodeCount); },
               "names a node id that is not in the model; the segment is dropped");
  if (nodeCount > 0) {
    for (SegmentCuda& seg : segment_array) seg.linkNodePtr(nodeManager->node_array_cpu.data());
  }
}

void Surface::linkSurfaceNodes(NodeManager* nodeManager) {
  node_array.clear();
  node_array.reserve(segment_array.size());
  std::set<int> seen;
  for (SegmentCuda& seg : segment_array) {
    for (int k = 0; k < 4; ++k) {
      const int nodeId = seg.node_id[k];
      NodeCuda* node = nodeManager != nullptr ? nodeManager->findNodeById(nodeId) : nullptr;
      seg.node[k] = node;
      if (node != nullptr && seen.insert(nodeId).second) node_array.push_back(node);
    }
    seg.setNodeNum();
  }
}

void Surface::collectContactNodeIds(ContactNodeManager* contactNodeManager) {
  contact_node_array_cpu.clear();
  if (contactNodeManager == nullptr) return;
  std::set<int> seen;
  for (const SegmentCuda& seg : segment_array) {
    for (int k = 0; k < seg.node_num && k < 4; ++k) {
      if (!seen.insert(seg.node_id[k]).second) continue;
      ContactNodeCuda* cn = contactNodeManager->findContactNode(seg.node_id[k]);
      if (cn != nullptr) contact_node_array_cpu.push_back(cn);
    }
  }
}

__global__ void gpuSegmentCudaCpy(NodeCuda* nodes, int n, SegmentCuda* segments) {
  for (int s = gridStrideIndex(); s < n; s += gridStrideStep()) {
    SegmentCuda& seg = segments[s];
    for (int k = 0; k < 4; ++k) {
      seg.node[k] = seg.node_id[k] > 0 ? nodes + (seg.node_id[k] - 1) : nullptr;
      seg.neighbour[k] = segments + seg.neighbour_index[k];
    }
  }
}

void Surface::allocateAndCopySegmentArrayGpu(NodeManager* nodeManager) {
  segment_num = static_cast<int>(segment_array.size());
  allocateMaxDispIncre();  // device memory only on the way to the device
  for (SegmentCuda& seg : segment_array) seg.max_disp_incre = max_disp_incre;
  if (segment_num <= 0) return;
  CUDA_CHECK(cudaMalloc(&segment_array_gpu, segment_num * sizeof(SegmentCuda)));
  CUDA_CHECK(cudaMemcpy(segment_array_gpu, &segment_array[0], segment_num * sizeof(SegmentCuda), cudaMemcpyHostToDevice));
  node_places = &nodeManager->node_places;
  node_base_gpu = nodeManager->node_array_gpu;
  node_count = nodeManager->totNodeNum;
  launch(gpuSegmentCudaCpy, dim3(segment_num / 32 + 1), dim3(32), nodeManager->node_array_gpu, segment_num,
         segment_array_gpu);
}

void Surface::allocateAndCopyContactNodeArrayGpu(ContactNodeManager* contactNodeManager) {
  if (contact_node_array_cpu.empty() || contactNodeManager == nullptr) return;
  if (contactNodeManager->contact_node_array_gpu == nullptr) return;
  std::vector<ContactNodeCuda*> devicePtrs(contact_node_array_cpu.size(), nullptr);
  for (std::size_t i = 0; i < contact_node_array_cpu.size(); ++i) {
    const int k = contact_node_array_cpu[i]->number;
    if (k < 1 || k > contactNodeManager->contact_node_num) {
      printf("gpu接触点生成错误\n");
      continue;
    }
    devicePtrs[i] = contactNodeManager->contact_node_array_gpu + (k - 1);
  }
  CUDA_CHECK(cudaMalloc(&contact_node_array_gpu, sizeof(ContactNodeCuda*) * contact_node_array_cpu.size()));
  CUDA_CHECK(cudaMemcpy(contact_node_array_gpu, devicePtrs.data(), sizeof(ContactNodeCuda*) * devicePtrs.size(),
                        cudaMemcpyHostToDevice));
}

void Surface::allocateMinMaxGpu() {
  const int blocks = tempNumBlock();
  CUDA_CHECK(cudaMalloc(&max_gpu, sizeof(double3) * blocks));
  CUDA_CHECK(cudaMalloc(&min_gpu, sizeof(double3) * blocks));
  max_cpu = new double3[blocks];
  min_cpu = new double3[blocks];
}

void Surface::allocateMaxDispIncre() {
  if (max_disp_incre == nullptr) CUDA_CHECK(cudaMalloc(&max_disp_incre, sizeof(double)));
}

namespace {
constexpr double kBoxStart = DBL_MAX;  // boxes start from the largest double, so any model size fits
constexpr int kBoxBlock = 32;
}  // namespace

__global__ void GpuCalExtendAreaImprove(int n, SegmentCuda* segments, double3* maxPartial, double3* minPartial) {
  const auto territory = [&](int i) { contact_geom::refreshSegment(segments[i]); };
  if (maxPartial == nullptr || minPartial == nullptr) {
    const int i = gridStrideIndex();
    if (i < n) territory(i);
    return;
  }
  __shared__ double3 hi[2 * kBoxBlock];
  __shared__ double3 lo[2 * kBoxBlock];
  blockTreeReduce(
      [&](unsigned t) {
        const int i = gridStrideIndex();
        hi[t] = make_double3(-kBoxStart, -kBoxStart, -kBoxStart);
        lo[t] = make_double3(kBoxStart, kBoxStart, kBoxStart);
        if (i < n) {
          territory(i);
          const SegmentCuda& seg = segments[i];
          hi[t] = make_double3(seg.box_max[0], seg.box_max[1], seg.box_max[2]);
          lo[t] = make_double3(seg.box_min[0], seg.box_min[1], seg.box_min[2]);
        }
      },
      [&](unsigned t, unsigned u) {
        hi[t] = make_double3(fmax(hi[t].x, hi[u].x), fmax(hi[t].y, hi[u].y), fmax(hi[t].z, hi[u].z));
        lo[t] = make_double3(fmin(lo[t].x, lo[u].x), fmin(lo[t].y, lo[u].y), fmin(lo[t].z, lo[u].z));
      },
      [&] {
        const int b = blockIdx.y * gridDim.x + blockIdx.x;
        maxPartial[b] = hi[0];
        minPartial[b] = lo[0];
      });
}

void Surface::calExtendAreaImproveGpu(double margin) {
  if (subDomainArrayGpu_ == nullptr || segment_num <= 0 || max_gpu == nullptr) return;
  for (int i = 0; i < 3; ++i) {
    box_max[i] = -kBoxStart;
    box_min[i] = kBoxStart;
  }
  flags[BOX_KNOWN] = 1;
  const int blocks = tempNumBlock();
  launch(GpuCalExtendAreaImprove, dim3(blocks), dim3(kBoxBlock), segment_num, segment_array_gpu, max_gpu, min_gpu);
  CUDA_CHECK(cudaMemcpy(max_cpu, &max_gpu[0], sizeof(double3) * blocks, cudaMemcpyDeviceToHost));
  CUDA_CHECK(cudaMemcpy(min_cpu, &min_gpu[0], sizeof(double3) * blocks, cudaMemcpyDeviceToHost));
  for (int b = 0; b < blocks; ++b) {
    const double hiB[3] = {max_cpu[b].x, max_cpu[b].y, max_cpu[b].z};
    const double loB[3] = {min_cpu[b].x, min_cpu[b].y, min_cpu[b].z};
    for (int i = 0; i < 3; ++i) {
      box_max[i] = std::max(box_max[i], hiB[i]);
      box_min[i] = std::min(box_min[i], loB[i]);
    }
  }
  for (int i = 0; i < 3; ++i) {
    box_max[i] += margin;
    box_min[i] -= margin;
    const int cells = grid_dims[i] > 0 ? grid_dims[i] : 1;
    const double d = (box_max[i] - box_min[i]) / cells * 0.1;
    box_min[i] -= d;
    box_max[i] += d;
    cell_size[i] = (box_max[i] - box_min[i]) / cells;
  }
}
