// Device side of the node history: the contact-force gathering kernels and
// the copies of the set's node records.
#include "output/nodeOutput.h"

#include "contact/contactpair.h"
#include "contact/pairmanager.h"
#include "core/logErrorPrint.h"
#include "core/node.h"
#include "core/nodeManager.h"
#include "output/outputManager.h"
#include "output/outputModel.h"

namespace {

__device__ inline int itemIndex() { return static_cast<int>(blockIdx.x * blockDim.x + threadIdx.x); }

dim3 blocksOf64(int n) { return dim3(static_cast<unsigned>((n - 1) / 64 + 1)); }

}  // namespace

__global__ void GpuClearNodeDfn(int n, NodeCuda* nodes) {
  const int i = itemIndex();
  if (i >= n) return;
  for (int j = 0; j < 3; ++j) nodes[i].contact_force[j] = 0.0;
}

__global__ void GpuCalNodeContactForceFormPair(int n, ContactPairCuda** pairs, int pass) {
  const int i = itemIndex();
  if (i >= n || pairs[i] == nullptr) return;
  pairs[i]->openShares(pass);
  pairs[i]->storeFcnToNodeDfn();
}

// One thread sums the set's nodes in their order: the same bits on every run.
__global__ void GpuGetNodeSetContactForceFormPair(int n, NodeCuda** nodes, double* out) {
  if (itemIndex() != 0) return;
  for (int i = 0; i < n; ++i) {
    if (nodes[i] == nullptr) continue;
    for (int j = 0; j < 3; ++j) out[j] += nodes[i]->contact_force[j];
  }
}

void NodeOutput::collectContactForceGpu(OutputModel* fem, double* B, double* D) {
  NodeManager* nodeManager = fem->nodeManager;
  NodeCuda reference;
  CUDA_CHECK(cudaMemcpy(&reference, nodeManager->node_array_gpu + reference_->store_id, sizeof(NodeCuda),
                          cudaMemcpyDeviceToHost));
  CUDA_CHECK(cudaMemset(D, 0, sizeof(double) * 3));
  CUDA_CHECK(cudaDeviceSynchronize());
  const int nodeCount = nodeManager->totNodeNum;
  PairManager* pairs = fem->pairManager;
  if (nodeCount > 0) launch(GpuClearNodeDfn, blocksOf64(nodeCount), dim3(64), nodeCount, nodeManager->node_array_gpu);
  if (pairs->contact_node_num > 0 && pairs->contact_pair_array_gpu != nullptr) {
    // The pairs' carried forces reach the nodes in the fixed order of the
    // cycle's shares.
    const int pass = pairs->beginSharePass();
    launch(GpuCalNodeContactForceFormPair, blocksOf64(pairs->contact_node_num), dim3(64), pairs->contact_node_num,
           pairs->contact_pair_array_gpu, pass);
    pairs->gatherSharesGpu(pass);
  }
  // Over the resolved nodes only: the device list holds exactly those.
  const int setCount = nodesGpu_.size();
  if (setCount > 0) launch(GpuGetNodeSetContactForceFormPair, dim3(1), dim3(1), setCount, nodesGpu_.data(), D);
  if (nodeCount > 0) launch(GpuClearNodeDfn, blocksOf64(nodeCount), dim3(64), nodeCount, nodeManager->node_array_gpu);
  CUDA_CHECK(cudaDeviceSynchronize());
  CUDA_CHECK(cudaMemcpy(B, D, sizeof(double) * 3, cudaMemcpyDeviceToHost));
  for (int j = 0; j < 3; ++j) B[3 + j] = reference.total_disp[j];
}

__global__ void GpuGatherNodeStressStrain(int n, NodeCuda** nodes, double* out) {
  const int i = itemIndex();
  if (i >= n || nodes[i] == nullptr) return;
  for (int k = 0; k < 6; ++k) {
    out[i * 12 + k] = nodes[i]->stress[k];
    out[i * 12 + 6 + k] = nodes[i]->strain[k];
  }
}

void NodeOutput::collectNodeRecordsGpu(OutputModel* fem, double time) {
  fem->outputManager->nodalResults.average(fem, time);
  const int n = nodesGpu_.size();
  if (n <= 0) return;
  // Only the nodal results are taken over: the host record keeps its own
  // (host) links.
  launch(GpuGatherNodeStressStrain, blocksOf64(n), dim3(64), n, nodesGpu_.data(), stressGpu_.data());
  std::vector<double> values(static_cast<std::size_t>(n) * 12);
  stressGpu_.copyToHost(values.data());
  for (std::size_t i = 0; i < nodes_.size() && i < static_cast<std::size_t>(n); ++i) {
    for (int k = 0; k < 6; ++k) {
      nodes_[i]->stress[k] = values[i * 12 + k];
      nodes_[i]->strain[k] = values[i * 12 + 6 + k];
    }
  }
}
