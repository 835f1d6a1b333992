#include "contact/pairmanager.h"
#include "contact/contactnodemanager.h"
#include "contact/unified_contact.h"
#include <cstdio>
#include <cstring>
#include "core/deviceFree.h"
#include "core/gridIndex.h"
#include "core/segment.h"
#include "core/logErrorPrint.h"
#include "platform/gpuRuntime.h"
#include "platform/simdLane.h"
#include "core/pendingFeature.h"

PairManager::~PairManager() {
  freeDevice(test_pair_array_gpu);
  freeDevice(contact_pair_array_gpu);
  freeDevice(active_test_pair_gpu);
  freeDevice(node_flags_gpu);
  freeDevice(visit_list_gpu);
  freeDevice(share_key_gpu);
  freeDevice(missed_pair_gpu);
  if (!counters_mapped_) return;
  if (share_key_num_cpu != nullptr) CUDA_CHECK(cudaFreeHost(share_key_num_cpu));
  if (missed_pair_num_cpu != nullptr) CUDA_CHECK(cudaFreeHost(missed_pair_num_cpu));
  if (visit_num_cpu != nullptr) CUDA_CHECK(cudaFreeHost(visit_num_cpu));
  if (test_pair_num_cpu != nullptr) CUDA_CHECK(cudaFreeHost(test_pair_num_cpu));
  if (contact_pair_num_cpu != nullptr) CUDA_CHECK(cudaFreeHost(contact_pair_num_cpu));
  if (overflow_cpu != nullptr) CUDA_CHECK(cudaFreeHost(overflow_cpu));
}

namespace {
// One record of every contact node, pointed at from the host (into the host copy) and from the device (a device
// array of pointers into the device copy), in contact-node order.
template <typename T>
void pointAtEveryContactNode(ContactNodeManager* cnm, int n, T ContactNodeCuda::*member, std::vector<T*>& hostPtrs,
                             T**& deviceArray) {
  hostPtrs.clear();
  if (n <= 0 || cnm->contact_node_array_gpu == nullptr) return;
  std::vector<T*> devicePtrs(n);
  for (int i = 0; i < n; ++i) {
    hostPtrs.push_back(&(cnm->contact_node_array_cpu[i].*member));
    devicePtrs[i] = &(cnm->contact_node_array_gpu[i].*member);
  }
  CUDA_CHECK(cudaMalloc(&deviceArray, sizeof(T*) * n));
  CUDA_CHECK(cudaMemcpy(deviceArray, devicePtrs.data(), sizeof(T*) * n, cudaMemcpyHostToDevice));
}
}  // namespace

void PairManager::allocateAndCopyContactPairArrayGpu(ContactNodeManager* cnm) {
  contact_nodes_ = cnm;
  contact_node_num = cnm != nullptr ? cnm->contact_node_num : 0;
  pointAtEveryContactNode(cnm, contact_node_num, &ContactNodeCuda::contact_pair, contact_pair_array_cpu,
                          contact_pair_array_gpu);
}

void PairManager::allocateAndCopyTestPairArrayGpu(ContactNodeManager* cnm) {
  contact_node_num = cnm != nullptr ? cnm->contact_node_num : 0;
  pointAtEveryContactNode(cnm, contact_node_num, &ContactNodeCuda::test_pair, test_pair_array_cpu, test_pair_array_gpu);
}

void PairManager::allocatePairCounters() {
  counters_mapped_ = true;
  if (contact_pair_num_cpu == nullptr) {
    CUDA_CHECK(cudaHostAlloc(reinterpret_cast<void**>(&contact_pair_num_cpu), sizeof(int), cudaHostAllocMapped));
    CUDA_CHECK(cudaHostGetDevicePointer(reinterpret_cast<void**>(&contact_pair_num_gpu), contact_pair_num_cpu, 0));
    *contact_pair_num_cpu = 0;
  }
  if (test_pair_num_cpu == nullptr) {
    CUDA_CHECK(cudaHostAlloc(reinterpret_cast<void**>(&test_pair_num_cpu), sizeof(int), cudaHostAllocMapped));
    CUDA_CHECK(cudaHostGetDevicePointer(reinterpret_cast<void**>(&test_pair_num_gpu), test_pair_num_cpu, 0));
    *test_pair_num_cpu = 0;
  }
  if (overflow_cpu == nullptr) {
    CUDA_CHECK(cudaHostAlloc(reinterpret_cast<void**>(&overflow_cpu), sizeof(ContactOverflowCounters),
                             cudaHostAllocMapped));
    CUDA_CHECK(cudaHostGetDevicePointer(reinterpret_cast<void**>(&overflow_gpu), overflow_cpu, 0));
    *overflow_cpu = ContactOverflowCounters{0, 0};
  }
  if (active_test_pair_gpu == nullptr && contact_node_num > 0) {
    CUDA_CHECK(cudaMalloc(&active_test_pair_gpu, sizeof(TestPairCuda*) * contact_node_num));
  }
  // The search marks a node given a candidate by its place in the device
  // records: without them the passes visit every node.
  if (node_flags_gpu == nullptr && contact_node_num > 0 && contact_nodes_ != nullptr &&
      contact_nodes_->contact_node_array_gpu != nullptr) {
    CUDA_CHECK(cudaMalloc(&node_flags_gpu, contact_node_num));
    CUDA_CHECK(cudaMemset(node_flags_gpu, kEveryNodeFlag, contact_node_num));
    CUDA_CHECK(cudaMalloc(&visit_list_gpu, sizeof(int) * contact_node_num));
    CUDA_CHECK(cudaHostAlloc(reinterpret_cast<void**>(&visit_num_cpu), sizeof(int), cudaHostAllocMapped));
    CUDA_CHECK(cudaHostGetDevicePointer(reinterpret_cast<void**>(&visit_num_gpu), visit_num_cpu, 0));
    *visit_num_cpu = 0;
  }
  if (missed_pair_gpu == nullptr && contact_node_num > 0) {
    CUDA_CHECK(cudaMalloc(&missed_pair_gpu, sizeof(ContactPairCuda*) * contact_node_num));
    CUDA_CHECK(cudaHostAlloc(reinterpret_cast<void**>(&missed_pair_num_cpu), sizeof(int), cudaHostAllocMapped));
    CUDA_CHECK(cudaHostGetDevicePointer(reinterpret_cast<void**>(&missed_pair_num_gpu), missed_pair_num_cpu, 0));
    *missed_pair_num_cpu = 0;
  }
  if (share_key_gpu == nullptr && contact_node_num > 0) {
    CUDA_CHECK(cudaMalloc(&share_key_gpu, sizeof(unsigned long long) * kShareSlots * contact_node_num));
    CUDA_CHECK(cudaHostAlloc(reinterpret_cast<void**>(&share_key_num_cpu), sizeof(int), cudaHostAllocMapped));
    CUDA_CHECK(cudaHostGetDevicePointer(reinterpret_cast<void**>(&share_key_num_gpu), share_key_num_cpu, 0));
    *share_key_num_cpu = 0;
  }
}

void PairManager::reportPendingCycle() const {
  if (contact_node_num > 0)
    reportUnavailable("Contact search and contact forces", static_cast<std::size_t>(contact_node_num));
}

void PairManager::searchAfterContactGpu(double lastStepTime) {
  const int n = contact_node_num;
  if (n <= 0 || contact_pair_array_gpu == nullptr) return;
  const int count = visitCount();
  launch(GpuSearchAfterContact, dim3(count / 64 + 1), dim3(64), contact_pair_array_gpu, count, lastStepTime,
         nodeVisit());
}

// Flags each thread of the listing looks at: most are clear, and a thread
// of the host build costs more than a look at a few dozen bytes.
constexpr int kFlagRun = 16 * kLaneWidth;

// Lists the nodes with a flag and counts them, each thread a run of
// kFlagRun flags (a run's nodes listed together, in order).
__global__ void GpuListVisitedNodes(int n, const unsigned char* flags, int* list, int* count) {
  const int first = gridStrideIndex() * kFlagRun;
  const int end = first + kFlagRun < n ? first + kFlagRun : n;
  int found[kFlagRun];
  int hits = 0;
  // Eight flags at a time (a run starts at a multiple of sixteen): most
  // words of flags are clear.
  for (int i = first; i < end; i += 8) {
    const int stop = i + 8 < end ? i + 8 : end;
    if (stop - i == 8) {
      unsigned long long word = 0;
      memcpy(&word, flags + i, sizeof word);
      if (word == 0) continue;
    }
    for (int k = i; k < stop; ++k) {
      if (flags[k] != 0) found[hits++] = k;
    }
  }
  if (hits == 0) return;
  const int at = atomicAddAnywhere(count, hits);
  for (int k = 0; k < hits; ++k) list[at + k] = found[k];
}

void PairManager::listVisitedNodesGpu() {
  visit_listed_ = false;
  const int n = contact_node_num;
  if (n <= 0 || node_flags_gpu == nullptr || visit_list_gpu == nullptr) return;
  *visit_num_cpu = 0;
  const int runs = (n - 1) / kFlagRun + 1;
  launch(GpuListVisitedNodes, dim3(runs / 32 + 1), dim3(32), n, static_cast<const unsigned char*>(node_flags_gpu),
         visit_list_gpu, visit_num_gpu);
  CUDA_CHECK(cudaDeviceSynchronize());
  visit_listed_ = true;
}

// Lists the test pairs that pair production judges (those with candidates
// and an owner) and counts them; their nodes may get a pair.
__global__ void GpuListActiveTestPairs(int n, TestPairCuda** pairs, TestPairCuda** active, int* count,
                                       NodeVisit visit) {
  const int j = gridStrideIndex();
  if (j >= n) return;
  const int i = visitedNode(visit, j);
  unsigned char* flags = visit.flags;
  if (!visitsNode(flags, i, NODE_HAS_CANDIDATES | NODE_MAY_PAIR)) return;
  TestPairCuda* tp = pairs[i];
  if (tp == nullptr || tp->active_flag == 0 || tp->contactNode == nullptr) return;
  active[atomicAddAnywhere(count, 1)] = tp;
  if (flags != nullptr) flags[i] |= NODE_MAY_PAIR;
}

void PairManager::produceContactPairGpu(int cycle, int cycle2) {
  shares_ordered_ = false;  // the pairs change: the order is set anew after their penetration
  const int n = contact_node_num;
  if (n <= 0 || test_pair_array_gpu == nullptr) return;
  if (active_test_pair_gpu == nullptr || test_pair_num_cpu == nullptr) {
    if (node_flags_gpu != nullptr) CUDA_CHECK(cudaMemset(node_flags_gpu, kEveryNodeFlag, n));
    visit_listed_ = false;
    launch(gpuProduceContactPair, dim3(n + 1), dim3(kTestPairSlots), cycle, cycle2, n, test_pair_array_gpu,
           contact_pair_num_gpu);
    return;
  }
  // A block of 64 threads per test pair is costly where most nodes have no
  // candidate: production runs over the listed pairs only. Each block
  // works on its own pair, so the order of the list does not matter.
  *test_pair_num_cpu = 0;
  const int count = visitCount();
  launch(GpuListActiveTestPairs, dim3(count / 32 + 1), dim3(32), count, test_pair_array_gpu, active_test_pair_gpu,
         test_pair_num_gpu, nodeVisit());
  CUDA_CHECK(cudaDeviceSynchronize());
  const int active = *test_pair_num_cpu;
  launch(gpuProduceContactPair, dim3(active), dim3(kTestPairSlots), cycle, cycle2, active, active_test_pair_gpu,
         contact_pair_num_gpu);
}

void PairManager::cleanTestPairsGpu() {
  const int count = visitCount();
  if (contact_node_num > 0 && test_pair_array_gpu != nullptr)
    launch(GpuClearTestPair2, dim3(count / 32 + 1), dim3(32), count, test_pair_array_gpu, nodeVisit());
}

void PairManager::penetrateAndDecoupleForceGpu(double dt, int cycle, ContactNodeManager* contactNodeManager,
                                               UnifiedContact* unifiedContact) {
  const int n = contact_node_num;
  if (n <= 0 || contact_pair_array_gpu == nullptr) {
    if (unifiedContact != nullptr) unifiedContact->integraMasterContactForceGpu();
    return;
  }
  const dim3 block(32);
  // Each pair leaves its shares of force for the gather, which adds them
  // node by node in a fixed order (without room for the order, they are
  // added at once).
  const int penetration = share_key_gpu != nullptr ? ++share_pass_ : 0;
  const int count = visitCount();
  const dim3 visitGrid(count / 32 + 1);
  launch(GpuPenetrateCalculation, visitGrid, block, contact_pair_array_gpu, count, penetration, search_mode,
         nodeVisit());
  orderSharesGpu(penetration);
  gatherSharesGpu(penetration);
  if (activePairCount() > 0 && motion != nullptr) motion->refreshBodies();
  const int force = beginSharePass();
  launch(gpuContactForceCalDecouple, visitGrid, block, contact_pair_array_gpu, dt, cycle, count, contact_pair_num_gpu,
         search_mode, force, motionTable(), nodeVisit());
  gatherSharesGpu(force);
  makeUpMissedPushesGpu(dt);
  handOnContactForcesGpu(contactNodeManager, unifiedContact);
}

void PairManager::handOnContactForcesGpu(ContactNodeManager* contactNodeManager, UnifiedContact* unifiedContact) {
  if (!shares_ordered_) {
    if (contactNodeManager != nullptr) contactNodeManager->integraContactForceGpu(contact_node_num);
    if (unifiedContact != nullptr) unifiedContact->integraMasterContactForceGpu();
    return;
  }
  // Every share of the cycle went through the keys: a node they do not name
  // has a contact force of zero, and adding it would leave its force as it is.
  const int count = *share_key_num_cpu;
  if (count <= 0) return;
  launch(GpuHandOnKeyedContactForce, dim3((count - 1) / 64 + 1), dim3(64),
         static_cast<const unsigned long long*>(share_key_gpu), count, contact_pair_array_gpu);
}

void PairManager::makeUpMissedPushesGpu(double dt) {
  const int n = contact_node_num;
  for (int sweep = 0; sweep < kMissedPushSweeps; ++sweep) {
    // Without the list, every pair is visited (those that do not fall short
    // do nothing).
    ContactPairCuda** pairs = contact_pair_array_gpu;
    int count = n;
    if (missed_pair_gpu != nullptr) *missed_pair_num_cpu = 0;
    const int looked = visitCount();
    launch(GpuNoteMissedOpening, dim3(looked / 32 + 1), dim3(32), contact_pair_array_gpu, dt, looked, search_mode,
           motionTable(), missed_pair_gpu, missed_pair_num_gpu, nodeVisit());
    if (missed_pair_gpu != nullptr) {
      CUDA_CHECK(cudaDeviceSynchronize());
      count = *missed_pair_num_cpu;
      pairs = missed_pair_gpu;
    }
    if (count == 0) return;
    const dim3 grid(count / 32 + 1), block(32);
    launch(GpuClearCountsOfMissed, grid, block, pairs, count);
    const int counting = beginSharePass();
    launch(GpuCountMissed, grid, block, pairs, count, counting);
    gatherSharesGpu(counting);
    const int pushing = beginSharePass();
    launch(GpuAddMissedPush, grid, block, pairs, dt, count, pushing, motionTable());
    gatherSharesGpu(pushing);
  }
}

void PairManager::orderSharesGpu(int pass) {
  shares_ordered_ = false;
  if (pass == 0) return;
  *share_key_num_cpu = 0;
  const int count = visitCount();
  launch(GpuListShareKeys, dim3(count / 32 + 1), dim3(32), contact_pair_array_gpu, count, pass, share_key_gpu,
         share_key_num_gpu, nodeVisit());
  CUDA_CHECK(cudaDeviceSynchronize());
  sortShareKeys(share_key_gpu, *share_key_num_cpu);
  shares_ordered_ = true;
}

void PairManager::gatherSharesGpu(int pass) {
  const int count = share_key_num_cpu != nullptr ? *share_key_num_cpu : 0;
  if (pass == 0 || count <= 0) return;
  launch(GpuGatherShares, dim3((count - 1) / 64 + 1), dim3(64), share_key_gpu, count, contact_pair_array_gpu, pass);
}

void PairManager::reportOverflowOnce() {
  if (overflow_cpu == nullptr) return;
  if (!bucket_overflow_reported_ && overflow_cpu->subdomain_entries > 0) {
    bucket_overflow_reported_ = true;
    printf(
        "Contact search: a search bucket ran full (%d slots); %d node or segment entries were left out. "
        "Contact may be missed where the mesh is much finer than the bucket grid.\n",
        kSubDomainAccepted, overflow_cpu->subdomain_entries);
  }
  if (!candidate_overflow_reported_ && overflow_cpu->candidates > 0) {
    candidate_overflow_reported_ = true;
    printf(
        "Contact search: a contact node had more than %d candidate segments; %d candidates replaced older "
        "ones.\n",
        kTestPairSlots, overflow_cpu->candidates);
  }
}

// The two-way search and the penalty force belong to switch values that no
// run takes.
void PairManager::unifiedSearchBilateralGpu(UnifiedContact*) { reportPendingCycle(); }
void PairManager::penaCalContactGpu(double, int) { reportPendingCycle(); }
void PairManager::penaCalContactCpu(double, int) { reportPendingCycle(); }
