// Owner of the contact nodes: one record per slave node of all contacts.
#pragma once
#include <map>
#include <vector>
#include "contact/contactnode.h"

class Surface;
class Contact;
class NodeManager;

class ContactNodeManager {
 public:
  std::vector<ContactNodeCuda> contact_node_array_cpu;
  std::map<int, int> contact_node_id_map;  // node id -> index in the vector
  int contact_node_num = 0;
  ContactNodeCuda* contact_node_array_gpu = nullptr;  // owned
  // The records' nodes in record order (device addresses, owned): the pass
  // that hands the contact forces on reads these instead of a line of every
  // record.
  NodeCuda** contact_node_nodes_gpu = nullptr;
  // Their node ids in record order (owned): the search reads these too.
  int* contact_node_ids_gpu = nullptr;

  ContactNodeManager() = default;
  ContactNodeManager(const ContactNodeManager&) = delete;
  ContactNodeManager& operator=(const ContactNodeManager&) = delete;
  ~ContactNodeManager();

  // One record per distinct slave node of the contacts: nodes-to-surface
  // contacts first, then the master and slave surfaces of the
  // surface-to-surface contacts.
  // Each record is linked to its host node in nodeArrayBase (position id-1).
  void buildContactNodes(std::vector<Contact>& contacts, NodeCuda* nodeArrayBase);
  // The contact node of a node id, or null.
  ContactNodeCuda* findContactNode(int nodeId);
  void allocateAndCopyGpu(NodeManager* nodeManager);
  // The depths the nodes start at, the faces they start behind and the
  // deepest penetration they make (found after the upload), to the device
  // records (a face's address taken into the device array of its surface).
  void copyStartOverlapsToGpu(const std::vector<Surface>& surfaces);
  // Every contact node's contact force into its node's force.
  void integraContactForceGpu(int n);
  void integraContactForceCpu();
};

__global__ void GpuContactNodeCudaCpy(NodeCuda* nodes, ContactNodeCuda* contactNodes, int n);
// The contact forces of n nodes into their forces.
__global__ void GPUIntegraContactForce(int n, NodeCuda* const* nodes);
