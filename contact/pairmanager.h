// Pointer arrays and mapped counters over the test pairs and contact pairs
// of all contact nodes, and the per-cycle steps of the contact search.
#pragma once
#include <vector>
#include "contact/contactpair.h"
#include "contact/testpair.h"

class ContactNodeManager;
class UnifiedContact;

class PairManager {
 public:
  int search_mode = 0;  // 0: one-way bucket search
  int force_mode = 0;   // 0: penetration with decoupled forces
  TestPairCuda** test_pair_array_gpu = nullptr;  // owned, one per contact node
  std::vector<TestPairCuda*> test_pair_array_cpu;
  int contact_node_num = 0;
  int* test_pair_num_cpu = nullptr;  // mapped counter (host side)
  int* test_pair_num_gpu = nullptr;  // its device alias
  ContactPairCuda** contact_pair_array_gpu = nullptr;  // owned, one per contact node
  std::vector<ContactPairCuda*> contact_pair_array_cpu;
  int* contact_pair_num_cpu = nullptr;  // mapped counter of active pairs (host side)
  int* contact_pair_num_gpu = nullptr;  // its device alias

  PairManager() = default;
  PairManager(const PairManager&) = delete;
  PairManager& operator=(const PairManager&) = delete;
  ~PairManager();

  // Upload and device set-up.
  void allocateAndCopyContactPairArrayGpu(ContactNodeManager* contactNodeManager);
  void allocateAndCopyTestPairArrayGpu(ContactNodeManager* contactNodeManager);
  void allocatePairCounters();
  // Active contact pairs counted by the last production (0 before any).
  int activePairCount() const { return contact_pair_num_cpu != nullptr ? *contact_pair_num_cpu : 0; }

  // GPU contact cycle.
  void searchAfterContactGpu();
  void unifiedSearchGpu(UnifiedContact* unifiedContact);
  void unifiedSearchBilateralGpu(UnifiedContact* unifiedContact);
  void produceContactPairGpu(int cycle, int cycle2);
  void penetrateAndDecoupleForceGpu(double dt, int cycle, ContactNodeManager* contactNodeManager);
  void penaCalContactGpu(double dt, int cycle);
  // Host contact cycle.
  void postSearchCpu();
  void sortTestPairCpu();
  void searchTestPairCpu(int cycle, int cycle2);
  void sortContactPairCpu();
  void contactForceCalCpu(double dt, int cycle);

 private:
  // The contact search and force steps come with the contact cycle; with
  // contact nodes present they report that they do not act.
  void reportPendingCycle() const;
};

// Host-path global contact search.
struct GlobalSearchRecord;
void globalContactSearchCpu(GlobalSearchRecord* record, double dt, PairManager* pairManager);
