// The pair manager's steps in the host-only loop: the same per-pair routines
// as the device kernels, called from host loops over the host pointer arrays,
// so that both loops make the same pairs and forces.
#include <algorithm>
#include <functional>
#include "contact/contactnodemanager.h"
#include "contact/pairmanager.h"
#include "contact/pairSort.h"
#include "core/segment.h"

namespace {

// Items whose key is set first (the comparator of the stable sort), the rest
// in contact-node order: the pairs live inside the contiguous contact-node
// array, so address order is node order, as the device takes them.
template <typename T, typename Cmp>
void sortActiveFirst(std::vector<T*>& items, Cmp activeFirst) {
  std::sort(items.begin(), items.end(), [activeFirst](const T* a, const T* b) {
    if (activeFirst(a, b)) return true;
    if (activeFirst(b, a)) return false;
    return std::less<const T*>()(a, b);
  });
}

// The first `count` entries (clamped to the list).
int leading(int count, std::size_t size) { return std::clamp(count, 0, static_cast<int>(size)); }

}  // namespace

void PairManager::linkPairArraysCpu(ContactNodeManager* cnm) {
  contact_node_num = cnm != nullptr ? cnm->contact_node_num : 0;
  test_pair_array_cpu.clear();
  contact_pair_array_cpu.clear();
  if (contact_node_num <= 0) return;
  test_pair_array_cpu.reserve(contact_node_num);
  contact_pair_array_cpu.reserve(contact_node_num);
  for (ContactNodeCuda& cn : cnm->contact_node_array_cpu) {
    test_pair_array_cpu.push_back(&cn.test_pair);
    contact_pair_array_cpu.push_back(&cn.contact_pair);
  }
}

void PairManager::usePairCountersCpu() {
  if (counters_mapped_) return;
  host_test_pair_num_ = 0;
  host_contact_pair_num_ = 0;
  host_overflow_ = ContactOverflowCounters{0, 0};
  test_pair_num_cpu = test_pair_num_gpu = &host_test_pair_num_;
  contact_pair_num_cpu = contact_pair_num_gpu = &host_contact_pair_num_;
  overflow_cpu = overflow_gpu = &host_overflow_;
}

// Every pair, one kind after the other as the three device kernels run, so
// that a pair may change kind more than once in one step on both loops.
void PairManager::postSearchCpu(double lastStepTime) {
  for (ContactPairCuda* p : contact_pair_array_cpu) {
    if (p == nullptr) continue;
    if (p->owner != nullptr) {
      p->owner->leaveStartOverlap();
      p->owner->notePairDepth(lastStepTime);
    }
    p->searchAfterContact();
  }
  for (ContactPairCuda* p : contact_pair_array_cpu) {
    if (p != nullptr && p->kind != CONTACT_PAIR_EMPTY && p->segment != nullptr) p->segment_id = p->segment->local_id;
  }
}

void PairManager::sortTestPairCpu() { sortActiveFirst(test_pair_array_cpu, testSortCmp()); }

void PairManager::searchTestPairCpu(int cycle, int cycle2) {
  const int n = leading(test_pair_num_cpu != nullptr ? *test_pair_num_cpu : 0, test_pair_array_cpu.size());
  for (int i = 0; i < n; ++i) {
    if (test_pair_array_cpu[i] != nullptr)
      test_pair_array_cpu[i]->produceContactPairCpu(cycle, cycle2, contact_pair_num_cpu);
  }
}

void PairManager::cleanTestPairsCpu() {
  for (TestPairCuda* tp : test_pair_array_cpu) {
    if (tp != nullptr) tp->cleanAfterProduction();
  }
}

void PairManager::sortContactPairCpu() {
  sortActiveFirst(contact_pair_array_cpu, ContactSortCmp());
  // The counter follows the pairs themselves, whatever made or released
  // them since the last count.
  const auto active = std::count_if(contact_pair_array_cpu.begin(), contact_pair_array_cpu.end(),
                                    [](const ContactPairCuda* p) { return p->kind != CONTACT_PAIR_EMPTY; });
  if (contact_pair_num_cpu != nullptr) *contact_pair_num_cpu = static_cast<int>(active);
}

// Penetration of every active pair first, then the forces and releases, as
// the two device kernels; the masters take their share unless the search
// mode skips them.
void PairManager::contactForceCalCpu(double dt, int cycle) {
  const int n = leading(activePairCount(), contact_pair_array_cpu.size());
  // One thread in pair order: the shares are added at once (pass 0).
  for (int i = 0; i < n; ++i) {
    contact_pair_array_cpu[i]->openShares(0);
    contact_pair_array_cpu[i]->penetraCalDefenGpu(search_mode, nullptr);
  }
  if (n > 0 && motion != nullptr) motion->refreshBodies();
  const NodeMotionTable table = motionTable();
  for (int i = 0; i < n; ++i) {
    ContactPairCuda* p = contact_pair_array_cpu[i];
    p->defenceNodeCalGpuDecouple(dt, cycle, contact_pair_num_cpu, search_mode, &table);
    p->storeFcn();
  }
  makeUpMissedPushesCpu(dt, table, n);
}

// Each step of a sweep over every pair, as the kernels.
void PairManager::makeUpMissedPushesCpu(double dt, const NodeMotionTable& table, int pairs) {
  const auto begin = contact_pair_array_cpu.begin(), end = begin + pairs;
  for (int sweep = 0; sweep < kMissedPushSweeps; ++sweep) {
    int missed = 0;
    for (auto p = begin; p != end; ++p) missed += (*p)->noteMissedOpening(dt, search_mode, &table) ? 1 : 0;
    if (missed == 0) return;
    std::for_each(begin, end, [](const ContactPairCuda* p) { p->clearCountsOfMissed(); });
    std::for_each(begin, end, [](ContactPairCuda* p) { p->countMissed(); });
    std::for_each(begin, end, [&](ContactPairCuda* p) { p->addMissedPush(dt, &table); });
  }
}
