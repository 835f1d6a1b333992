#include "contact/surface.h"
#include "core/gridIndex.h"
#include <set>
#include "contact/contactnodemanager.h"
#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "solver/pendingFeature.h"

Surface::~Surface() {
  if (segment_array_gpu != nullptr) CUDA_CHECK(cudaFree(segment_array_gpu));
  if (contact_node_array_gpu != nullptr) CUDA_CHECK(cudaFree(contact_node_array_gpu));
  if (subDomainArrayGpu_ != nullptr) CUDA_CHECK(cudaFree(subDomainArrayGpu_));
  if (max_gpu != nullptr) CUDA_CHECK(cudaFree(max_gpu));
  if (min_gpu != nullptr) CUDA_CHECK(cudaFree(min_gpu));
  if (max_disp_incre != nullptr) CUDA_CHECK(cudaFree(max_disp_incre));
  delete[] max_cpu;
  delete[] min_cpu;
  // The host sub-domain array belongs to the search grid, which frees it.
}

void Surface::countSegments() { segment_num = static_cast<int>(segment_array.size()); }

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

// Segment geometry (normals, edges, territories, boxes) comes with the
// contact geometry; a surface without segments has nothing to compute.
void Surface::solveSegmentNormals() {
  if (!segment_array.empty()) reportUnavailable("Contact segment geometry", segment_array.size());
}
void Surface::calSegmentTerritory() {
  if (!segment_array.empty()) reportUnavailable("Contact segment geometry", segment_array.size());
}
void Surface::calSegmentBoundingBoxes() {
  if (!segment_array.empty()) reportUnavailable("Contact segment geometry", segment_array.size());
}
void Surface::calAverageTerritorySize() {
  if (!segment_array.empty()) reportUnavailable("Contact segment geometry", segment_array.size());
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
  for (SegmentCuda& seg : segment_array) seg.max_disp_incre = max_disp_incre;
  if (segment_num <= 0) return;
  CUDA_CHECK(cudaMalloc(&segment_array_gpu, segment_num * sizeof(SegmentCuda)));
  CUDA_CHECK(cudaMemcpy(segment_array_gpu, &segment_array[0], segment_num * sizeof(SegmentCuda), cudaMemcpyHostToDevice));
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
