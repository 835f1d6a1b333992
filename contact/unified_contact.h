// The search grids of the bucket search: one SubDomainManager per searched
// pair of slave side and master surface, with their box-check bits, the host
// bucket arrays of the master surfaces, and the master nodes that are no
// contact nodes (their contact forces are handed on here).
#pragma once
#include <memory>
#include <vector>
#include "contact/subDomainManager.h"

class Contact;
class ContactNodeManager;
struct ContactModel;
class NodeManager;
struct NodeCuda;

// The slave contact nodes of one or more grids of the search (the same
// list), which the candidate test reads once for consecutive grids.
struct SlaveSearchSide {
  int grid = -1;                          // the first grid with this list
  ContactNodeCuda** nodes_gpu = nullptr;  // that grid's device list (not owned)
  int count = 0;
  // When the list is the contact nodes of a surface whose segments are
  // refreshed (a master surface), the place of each node among the
  // surface's node places (owned, device), which the search reads instead
  // of the nodes; null when some node has none.
  const Surface* surface = nullptr;
  int* place_of_gpu = nullptr;
  int* store_of_gpu = nullptr;            // the same as store positions among the node passes' places (owned)
  const NodePlace* places_for = nullptr;  // the surface's places the map was made for
};

class UnifiedContact {
 public:
  std::vector<SubDomainManager> subDomainManagerArray;
  // The master surfaces' buckets are kept from cycle to cycle until a
  // segment has moved too far; false fills them anew every cycle (the
  // reference the kept buckets are tested against).
  bool keep_buckets = true;
  // Some master surface has faces of solids: only candidates of those read
  // the normals of the slave nodes' own faces, so without them the normals
  // are not gathered.
  bool face_normals_needed = true;
  // Master-surface nodes without a contact node (device addresses), whose
  // contact-force accumulators would otherwise never reach their forces.
  NodeCuda** master_node_array_gpu = nullptr;  // owned
  int master_node_num = 0;
  std::vector<NodeCuda*> master_node_array_cpu;  // the same nodes (host addresses)

  UnifiedContact() = default;
  UnifiedContact(const UnifiedContact&) = delete;
  UnifiedContact& operator=(const UnifiedContact&) = delete;
  ~UnifiedContact();

  // One manager per searched pair of slave side and master surface.
  void buildSubDomainManagers(std::vector<Contact>& contacts, ContactNodeManager* contactNodeManager,
                              ContactModel* fem);
  // Keeps a new host bucket array of a master surface and frees the one it
  // replaces.
  void adoptHostGrid(SubDomain* replaced, SubDomain* grid);
  // Host list of the master nodes that are no contact nodes.
  void collectMasterNodesCpu();
  // Device list of the same nodes.
  void collectMasterNodesGpu(NodeManager* nodeManager);
  // Their contact forces into their forces (every cycle, after the contact
  // forces are computed).
  void integraMasterContactForceGpu();
  void integraMasterContactForceCpu();
  // Per search, after the grids took their boxes: the slave nodes of every
  // grid offered the segments of the buckets their paths reach (the flags
  // of the lookup marked where a node gets a candidate).
  void offerCandidatesGpu(int* overflow, const ContactNodeLookup& look);

 private:
  std::vector<std::unique_ptr<SubDomain[]>> host_grids_;
  std::vector<SlaveSearchSide> slave_sides_;
  // What the candidate test reads of the grids of one search (owned,
  // device) and its room.
  GridSearch* grid_search_gpu_ = nullptr;
  std::size_t grid_search_room_ = 0;
  // Which grids offered candidates when their slave sides and link states
  // were made.
  std::vector<char> planned_;
  void planCandidateSearch(const std::vector<char>& offering);
  // The places of a side's nodes among its surface's node places.
  void findSlavePlaces(SlaveSearchSide& side, const ContactNodeLookup& look);
};
