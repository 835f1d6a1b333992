#include "contact/contactnodemanager.h"
#include <cstddef>
#include <functional>
#include <vector>
#include "core/deviceFree.h"
#include "core/gridIndex.h"
#include "contact/contact.h"
#include "contact/surface.h"
#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "platform/simdLane.h"

ContactNodeManager::~ContactNodeManager() {
  freeDevice(contact_node_array_gpu);
  freeDevice(contact_node_nodes_gpu);
  freeDevice(contact_node_ids_gpu);
}

ContactNodeCuda* ContactNodeManager::findContactNode(int nodeId) {
  const auto it = contact_node_id_map.find(nodeId);
  if (it == contact_node_id_map.end()) return nullptr;
  return &contact_node_array_cpu[it->second];
}

namespace {
void addContactNode(ContactNodeManager& m, int nodeId, int surfaceId) {
  if (nodeId <= 0 || m.contact_node_id_map.count(nodeId) != 0) return;
  ContactNodeCuda cn{};
  cn.node_id = nodeId;
  cn.number = static_cast<int>(m.contact_node_array_cpu.size()) + 1;
  cn.contact_pair.surface_id = surfaceId;
  m.contact_node_id_map[nodeId] = static_cast<int>(m.contact_node_array_cpu.size());
  m.contact_node_array_cpu.push_back(cn);
}
void addSurfaceNodes(ContactNodeManager& m, const Surface* s) {
  if (s == nullptr) return;
  for (const SegmentCuda& seg : s->segment_array) {
    for (int k = 0; k < seg.node_num && k < 4; ++k) addContactNode(m, seg.node_id[k], s->id);
  }
}
}  // namespace

void ContactNodeManager::buildContactNodes(std::vector<Contact>& contacts, NodeCuda* nodeArrayBase) {
  for (const Contact& c : contacts) {
    if (c.contact_type != NODES_TO_SURFACE) continue;
    for (const NodeCuda* node : c.slave_node_array_cpu) {
      if (node != nullptr) addContactNode(*this, node->id, 0);
    }
  }
  for (const Contact& c : contacts) {
    if (c.contact_type != SURFACE_TO_SURFACE && c.contact_type != SINGLE_SURFACE) continue;
    addSurfaceNodes(*this, c.masterSurface);
    addSurfaceNodes(*this, c.slaveSurface);
  }
  contact_node_num = static_cast<int>(contact_node_array_cpu.size());
  if (nodeArrayBase == nullptr) return;
  for (ContactNodeCuda& cn : contact_node_array_cpu) cn.linkNode(nodeArrayBase);
}

__global__ void GpuContactNodeCudaCpy(NodeCuda* nodes, ContactNodeCuda* contactNodes, int n) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    contactNodes[i].gpuContactNodeCudaCpy(nodes);
  }
}

__global__ void GPUIntegraContactForce(int n, NodeCuda* const* nodes) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    // The node records lie far apart: the force lines of the node a few
    // places ahead are asked for first.
    if (i + 4 < n && nodes[i + 4] != nullptr) {
      lanePrefetch(nodes[i + 4]->force);
      lanePrefetch(nodes[i + 4]->contact_force);
    }
    if (nodes[i] != nullptr) handOnContactForce(*nodes[i]);
  }
}

void ContactNodeManager::allocateAndCopyGpu(NodeManager* nodeManager) {
  const int n = contact_node_num;
  if (n <= 0 || nodeManager == nullptr) return;
  CUDA_CHECK(cudaMalloc(&contact_node_array_gpu, contact_node_num * sizeof(ContactNodeCuda)));
  CUDA_CHECK(cudaMemcpy(contact_node_array_gpu, &contact_node_array_cpu[0], contact_node_num * sizeof(ContactNodeCuda),
                        cudaMemcpyHostToDevice));
  launch(GpuContactNodeCudaCpy, dim3(n / 32 + 1), dim3(32), nodeManager->node_array_gpu, contact_node_array_gpu, n);
  std::vector<NodeCuda*> nodes;
  std::vector<int> ids;
  for (const ContactNodeCuda& cn : contact_node_array_cpu) {
    nodes.push_back(nodeManager->node_array_gpu + (cn.node_id - 1));
    ids.push_back(cn.node_id);
  }
  freeDevice(contact_node_nodes_gpu);
  CUDA_CHECK(cudaMalloc(&contact_node_nodes_gpu, sizeof(NodeCuda*) * n));
  CUDA_CHECK(cudaMemcpy(contact_node_nodes_gpu, nodes.data(), sizeof(NodeCuda*) * n, cudaMemcpyHostToDevice));
  freeDevice(contact_node_ids_gpu);
  CUDA_CHECK(cudaMalloc(&contact_node_ids_gpu, sizeof(int) * n));
  CUDA_CHECK(cudaMemcpy(contact_node_ids_gpu, ids.data(), sizeof(int) * n, cudaMemcpyHostToDevice));
}

void ContactNodeManager::copyStartOverlapsToGpu(const std::vector<Surface>& surfaces) {
  if (contact_node_array_gpu == nullptr) return;
  // The fields from start_overlap to deepest_time, of the nodes held.
  constexpr std::size_t first = offsetof(ContactNodeCuda, start_overlap);
  constexpr std::size_t bytes = offsetof(ContactNodeCuda, deepest_time) + sizeof(double) - first;
  for (int i = 0; i < contact_node_num; ++i) {
    ContactNodeCuda cn = contact_node_array_cpu[i];
    if (cn.start_overlap == 0.0) continue;
    const SegmentCuda* face = cn.start_face;
    cn.start_face = nullptr;
    for (const Surface& s : surfaces) {
      // Pointers into other arrays are ordered only by std::less.
      const SegmentCuda* begin = s.segment_array.data();
      const SegmentCuda* end = begin + s.segment_array.size();
      if (!std::less<>{}(face, begin) && std::less<>{}(face, end) && s.segment_array_gpu != nullptr) {
        cn.start_face = s.segment_array_gpu + (face - begin);
      }
    }
    CUDA_CHECK(cudaMemcpy(reinterpret_cast<char*>(&contact_node_array_gpu[i]) + first,
                          reinterpret_cast<const char*>(&cn) + first, bytes, cudaMemcpyHostToDevice));
  }
}

void ContactNodeManager::integraContactForceGpu(int n) {
  if (n <= 0 || contact_node_num <= 0) return;
  if (contact_node_nodes_gpu == nullptr) return;
  launch(GPUIntegraContactForce, dim3(contact_node_num / 32 + 1), dim3(32), contact_node_num,
         static_cast<NodeCuda* const*>(contact_node_nodes_gpu));
}

void ContactNodeManager::integraContactForceCpu() {
  for (ContactNodeCuda& cn : contact_node_array_cpu) cn.singleInterContactForce();
}
