#include "contact/pairmanager.h"
#include "contact/contactnodemanager.h"
#include "core/logErrorPrint.h"
#include "platform/gpu_runtime.h"
#include "solver/pendingFeature.h"

PairManager::~PairManager() {
  if (test_pair_array_gpu != nullptr) CUDA_CHECK(cudaFree(test_pair_array_gpu));
  if (contact_pair_array_gpu != nullptr) CUDA_CHECK(cudaFree(contact_pair_array_gpu));
  if (test_pair_num_cpu != nullptr) CUDA_CHECK(cudaFreeHost(test_pair_num_cpu));
  if (contact_pair_num_cpu != nullptr) CUDA_CHECK(cudaFreeHost(contact_pair_num_cpu));
}

void PairManager::allocateAndCopyContactPairArrayGpu(ContactNodeManager* cnm) {
  contact_node_num = cnm != nullptr ? cnm->contact_node_num : 0;
  contact_pair_array_cpu.clear();
  if (contact_node_num <= 0 || cnm->contact_node_array_gpu == nullptr) return;
  std::vector<ContactPairCuda*> devicePtrs(contact_node_num);
  for (int i = 0; i < contact_node_num; ++i) {
    contact_pair_array_cpu.push_back(&cnm->contact_node_array_cpu[i].contact_pair);
    devicePtrs[i] = &cnm->contact_node_array_gpu[i].contact_pair;
  }
  CUDA_CHECK(cudaMalloc(&contact_pair_array_gpu, sizeof(ContactPairCuda*) * contact_node_num));
  CUDA_CHECK(cudaMemcpy(contact_pair_array_gpu, devicePtrs.data(), sizeof(ContactPairCuda*) * contact_node_num,
                        cudaMemcpyHostToDevice));
}

void PairManager::allocateAndCopyTestPairArrayGpu(ContactNodeManager* cnm) {
  contact_node_num = cnm != nullptr ? cnm->contact_node_num : 0;
  test_pair_array_cpu.clear();
  if (contact_node_num <= 0 || cnm->contact_node_array_gpu == nullptr) return;
  std::vector<TestPairCuda*> devicePtrs(contact_node_num);
  for (int i = 0; i < contact_node_num; ++i) {
    test_pair_array_cpu.push_back(&cnm->contact_node_array_cpu[i].test_pair);
    devicePtrs[i] = &cnm->contact_node_array_gpu[i].test_pair;
  }
  CUDA_CHECK(cudaMalloc(&test_pair_array_gpu, sizeof(TestPairCuda*) * contact_node_num));
  CUDA_CHECK(cudaMemcpy(test_pair_array_gpu, devicePtrs.data(), sizeof(TestPairCuda*) * contact_node_num,
                        cudaMemcpyHostToDevice));
}

void PairManager::allocatePairCounters() {
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
}

void PairManager::reportPendingCycle() const {
  if (contact_node_num > 0) reportUnavailable("Contact search and contact forces", static_cast<std::size_t>(contact_node_num));
}

void PairManager::searchAfterContactGpu() { reportPendingCycle(); }
void PairManager::unifiedSearchGpu(UnifiedContact*) { reportPendingCycle(); }
void PairManager::unifiedSearchBilateralGpu(UnifiedContact*) { reportPendingCycle(); }
void PairManager::produceContactPairGpu(int, int) { reportPendingCycle(); }
void PairManager::penetrateAndDecoupleForceGpu(double, int, ContactNodeManager*) { reportPendingCycle(); }
void PairManager::penaCalContactGpu(double, int) { reportPendingCycle(); }
void PairManager::postSearchCpu() { reportPendingCycle(); }
void PairManager::sortTestPairCpu() { reportPendingCycle(); }
void PairManager::searchTestPairCpu(int, int) { reportPendingCycle(); }
void PairManager::sortContactPairCpu() { reportPendingCycle(); }
void PairManager::contactForceCalCpu(double, int) { reportPendingCycle(); }

void globalContactSearchCpu(GlobalSearchRecord*, double, PairManager* pairManager) {
  if (pairManager != nullptr && pairManager->contact_node_num > 0) {
    reportUnavailable("Contact search and contact forces", static_cast<std::size_t>(pairManager->contact_node_num));
  }
}
