#include "contact/contact.h"
#include <set>
#include "contact/contactnodemanager.h"
#include "contact/surface.h"
#include "core/logErrorPrint.h"
#include "platform/gpu_runtime.h"
#include "solver/pendingFeature.h"

Contact::~Contact() {
  if (slave_contact_node_array_gpu != nullptr) CUDA_CHECK(cudaFree(slave_contact_node_array_gpu));
}

void Contact::buildSlaveNodeSet(ContactNodeManager* contactNodeManager) {
  slave_contact_node_array_cpu.clear();
  if (contactNodeManager == nullptr) return;
  if (contact_type == NODES_TO_SURFACE) {
    std::set<int> seen;
    for (NodeCuda* node : slave_node_array_cpu) {
      if (node == nullptr || !seen.insert(node->id).second) continue;
      ContactNodeCuda* cn = contactNodeManager->findContactNode(node->id);
      if (cn != nullptr) slave_contact_node_array_cpu.push_back(cn);
    }
  } else if (contact_type >= SURFACE_TO_SURFACE && contact_type <= GENERAL_CONTACT && slaveSurface != nullptr) {
    slave_contact_node_array_cpu = slaveSurface->contact_node_array_cpu;
  }
}

void Contact::allocateAndCopySlaveNodeArrayGpu(ContactNodeManager* contactNodeManager) {
  contact_node_num = static_cast<int>(slave_contact_node_array_cpu.size());
  if (contact_node_num <= 0 || contactNodeManager == nullptr || contactNodeManager->contact_node_array_gpu == nullptr) {
    return;
  }
  std::vector<ContactNodeCuda*> devicePtrs(contact_node_num, nullptr);
  for (int i = 0; i < contact_node_num; ++i) {
    const int k = slave_contact_node_array_cpu[i]->number;
    if (k >= 1 && k <= contactNodeManager->contact_node_num) devicePtrs[i] = contactNodeManager->contact_node_array_gpu + (k - 1);
  }
  CUDA_CHECK(cudaMalloc(&slave_contact_node_array_gpu, sizeof(ContactNodeCuda*) * contact_node_num));
  CUDA_CHECK(cudaMemcpy(slave_contact_node_array_gpu, devicePtrs.data(), sizeof(ContactNodeCuda*) * contact_node_num,
                        cudaMemcpyHostToDevice));
}

// The search buffers come with the bucket search.
void Contact::allocateBlockBuffers() { reportUnavailable("Contact search", 1); }
