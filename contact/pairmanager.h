// Pointer arrays and mapped counters over the test pairs and contact pairs
// of all contact nodes, and the per-cycle steps of the contact search.
#pragma once
#include <map>
#include <memory>
#include <vector>
#include "contact/nodeMotionSource.h"
#include "contact/contactNodeFlags.h"
#include "contact/contactpair.h"
#include "core/orderedShares.h"
#include "contact/subdomain.h"
#include "contact/surface.h"
#include "contact/testpair.h"

class ContactNodeManager;
struct ContactNodeCuda;
class Surface;
class UnifiedContact;

class PairManager {
 public:
  int search_mode = 0;                           // 0: one-way bucket search
  int force_mode = 0;                            // 0: penetration with decoupled forces
  TestPairCuda** test_pair_array_gpu = nullptr;  // owned, one per contact node
  std::vector<TestPairCuda*> test_pair_array_cpu;
  int contact_node_num = 0;
  int* test_pair_num_cpu = nullptr;  // mapped counter of test pairs with candidates (host side)
  int* test_pair_num_gpu = nullptr;  // its device alias
  // The test pairs with candidates, listed before pair production so that
  // it runs one block per listed pair only (owned, one slot per contact node).
  TestPairCuda** active_test_pair_gpu = nullptr;
  // Which per-cycle passes visit each contact node (ContactNodeFlag bits,
  // owned, one byte per contact node; null: every pass visits every node,
  // as without the contact nodes' device records).
  unsigned char* node_flags_gpu = nullptr;
  // The nodes with a flag, listed after each search (owned), and the mapped
  // count of the list: the passes until the next search look at these only.
  int* visit_list_gpu = nullptr;
  int* visit_num_cpu = nullptr;
  int* visit_num_gpu = nullptr;
  ContactPairCuda** contact_pair_array_gpu = nullptr;  // owned, one per contact node
  std::vector<ContactPairCuda*> contact_pair_array_cpu;
  int* contact_pair_num_cpu = nullptr;  // mapped counter of active pairs (host side)
  int* contact_pair_num_gpu = nullptr;  // its device alias
  // Entries refused for lack of room in buckets and candidate lists
  // (mapped; reported once per run).
  ContactOverflowCounters* overflow_cpu = nullptr;
  ContactOverflowCounters* overflow_gpu = nullptr;
  // Gather order of the pairs' shares of force this cycle (owned, up to
  // kShareSlots keys per contact node) and the mapped count of its keys.
  unsigned long long* share_key_gpu = nullptr;
  int* share_key_num_cpu = nullptr;
  int* share_key_num_gpu = nullptr;
  // The pairs whose step still falls short after the force step (owned, one
  // slot per contact node) and their mapped count.
  ContactPairCuda** missed_pair_gpu = nullptr;
  int* missed_pair_num_cpu = nullptr;
  int* missed_pair_num_gpu = nullptr;
  // Which nodes the pairs push are held or move with a rigid body; the
  // loops make it and open it every cycle before the contact step (null:
  // no node is held or rigid).
  std::unique_ptr<NodeMotionSource> motion;

  PairManager() = default;
  PairManager(const PairManager&) = delete;
  PairManager& operator=(const PairManager&) = delete;
  ~PairManager();

  // Upload and device set-up.
  void allocateAndCopyContactPairArrayGpu(ContactNodeManager* contactNodeManager);
  void allocateAndCopyTestPairArrayGpu(ContactNodeManager* contactNodeManager);
  void allocatePairCounters();  // also the overflow counters and the list of test pairs with candidates
  // Host-only loop: the host pointer arrays over the contact nodes' test
  // and contact pairs, and the counters in host memory (no device call).
  void linkPairArraysCpu(ContactNodeManager* contactNodeManager);
  void usePairCountersCpu();
  // Active contact pairs counted by the last production (0 before any).
  int activePairCount() const { return contact_pair_num_cpu != nullptr ? *contact_pair_num_cpu : 0; }
  // The motion table of this contact step (an empty one without a motion).
  NodeMotionTable motionTable() const {
    return motion != nullptr ? motion->table() : NodeMotionTable{nullptr, 0, nullptr, 0};
  }
  // The force mode both loops compute: penetration with decoupled forces,
  // added into the slave and the master nodes. Any other mode reports once
  // that it does not act and adds no force.
  bool decouplesForces() const { return force_mode == 0; }

  // GPU contact cycle. The search after contact first keeps each pair's
  // penetration of the last contact step, at the time of that step, in its
  // node's record of the deepest.
  void searchAfterContactGpu(double lastStepTime = 0.0);
  void unifiedSearchGpu(UnifiedContact* unifiedContact);
  void unifiedSearchBilateralGpu(UnifiedContact* unifiedContact);
  void produceContactPairGpu(int cycle, int cycle2);
  // The clean-up of the candidate lists after pair production.
  void cleanTestPairsGpu();
  // Ends with the contact forces of the cycle added into the nodes' forces
  // (those of the contact nodes and of the other master nodes).
  void penetrateAndDecoupleForceGpu(double dt, int cycle, ContactNodeManager* contactNodeManager,
                                    UnifiedContact* unifiedContact);
  void penaCalContactGpu(double dt, int cycle);
  // Host contact cycle, in the order of the device steps: the search after
  // contact, the global search (globalContactSearchCpu), the sort and the
  // production over the test pairs with candidates, the clean-up, the sort
  // of the contact pairs and the penetration and forces of the active ones.
  void postSearchCpu(double lastStepTime = 0.0);
  void sortTestPairCpu();
  void searchTestPairCpu(int cycle, int cycle2);
  void cleanTestPairsCpu();
  void sortContactPairCpu();
  void contactForceCalCpu(double dt, int cycle);
  void penaCalContactCpu(double dt, int cycle);
  // Lists the nodes with a flag (after the search, which flags the nodes it
  // gives candidates).
  void listVisitedNodesGpu();
  // Says once per run that search buckets or candidate lists ran full.
  void reportOverflowOnce();
  // A new share pass of this cycle's pairs, gathered in the order the
  // penetration step set; 0 (shares added at once) while no order is set.
  int beginSharePass() { return shares_ordered_ ? ++share_pass_ : 0; }
  // Adds every node's shares of a pass in the fixed order (nothing for 0).
  void gatherSharesGpu(int pass);
  // After the force step: the sweeps that make up what pairs still miss of
  // their push (ContactPairCuda::noteMissedOpening), until none does.
  void makeUpMissedPushesGpu(double dt);
  void makeUpMissedPushesCpu(double dt, const NodeMotionTable& table, int pairs);

 private:
  bool bucket_overflow_reported_ = false;
  bool candidate_overflow_reported_ = false;
  // Counters of the host-only loop (the pointers above then point here).
  bool counters_mapped_ = false;
  int host_test_pair_num_ = 0;
  int host_contact_pair_num_ = 0;
  ContactOverflowCounters host_overflow_{0, 0};
  int share_pass_ = 0;
  bool visit_listed_ = false;  // the visit list holds every node with a flag
  // What the passes over the nodes look at, and their number.
  NodeVisit nodeVisit() const { return NodeVisit{visit_listed_ ? visit_list_gpu : nullptr, node_flags_gpu}; }
  int visitCount() const { return visit_listed_ ? *visit_num_cpu : contact_node_num; }
  bool shares_ordered_ = false;
  ContactNodeManager* contact_nodes_ = nullptr;
  SurfaceRefresher refresher_;  // the master surfaces' refresh of each search
  // Per master surface: the way of its segments' normals into the face
  // normals of their contact nodes (four slots per segment).
  std::map<const Surface*, OrderedShares> face_normal_shares_;
  // The face normals of a surface's segments added into their contact
  // nodes, every node's in segment order.
  void gatherFaceNormalsGpu(const Surface& master);
  // The gather order of the shares of the penetration pass, which hands
  // force to every target a later pass of the cycle may reach.
  void orderSharesGpu(int pass);
  // The contact forces into the nodes' forces: with the shares in order,
  // only the nodes the keys name (no other node has a contact force), else
  // every contact node and master node.
  void handOnContactForcesGpu(ContactNodeManager* contactNodeManager, UnifiedContact* unifiedContact);
  // Steps that no run takes report once that they do not act.
  void reportPendingCycle() const;
};

// Sorts the n share keys of a device array in ascending order.
void sortShareKeys(unsigned long long* keys, int n);
