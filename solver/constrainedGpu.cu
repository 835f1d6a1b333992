// Device side of spot welds and joints: the device address arrays and the
// per-cycle kernels (blocks of 32 threads, grid-stride loops).
#include <cstdio>
#include <vector>

#include "core/deviceFree.h"
#include "core/gridIndex.h"
#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "solver/constrained.h"
#include "solver/constrainedNodes.h"

namespace {

constexpr int kConstrainedBlock = 32;

dim3 constrainedGrid(int n) { return dim3(static_cast<unsigned>(n / kConstrainedBlock + 1)); }

// Launches kernel(n, args...) over a list of n entries; nothing for an
// empty list.
template <typename... KArgs, typename... Args>
void launchOverList(void (*kernel)(KArgs...), int n, Args... args) {
  if (n > 0) launch(kernel, constrainedGrid(n), dim3(kConstrainedBlock), n, args...);
}

// Device array of the device addresses of host nodes (node array base +
// store position); null for an empty list.
NodeCuda** uploadNodeAddresses(const std::vector<NodeCuda*>& hostNodes, NodeCuda* deviceNodes) {
  if (hostNodes.empty()) return nullptr;
  std::vector<NodeCuda*> addresses;
  for (const NodeCuda* n : hostNodes) addresses.push_back(deviceNodes + n->store_id);
  NodeCuda** array = nullptr;
  CUDA_CHECK(cudaMalloc(&array, sizeof(NodeCuda*) * addresses.size()));
  CUDA_CHECK(cudaMemcpy(array, addresses.data(), sizeof(NodeCuda*) * addresses.size(), cudaMemcpyHostToDevice));
  return array;
}

// Appends count pointers of src to the flat device array dst at offset.
void appendDevicePointers(NodeCuda** dst, int offset, NodeCuda** src, int count) {
  if (count > 0 && src != nullptr)
    CUDA_CHECK(cudaMemcpy(dst + offset, src, sizeof(NodeCuda*) * count, cudaMemcpyDeviceToDevice));
}

}  // namespace

__global__ void GpuVerMasterNode(int n, NodeCuda** slaves, NodeCuda* nodes) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    NodeCuda* s = slaves[i];
    s->master_node = s->master_node_id >= 1 ? nodes + (s->master_node_id - 1) : nullptr;
  }
}

__global__ void GpuImproveConstVelCal(int n, NodeCuda** slaves) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    NodeCuda* s = slaves[i];
    if (s->master_node == nullptr) {
      printf("offset= %d 主节点分配错误\n", i);
      continue;
    }
    slaveFollowsMaster(*s, *s->master_node);
  }
}

__global__ void GpuSlaveMassShares(int n, NodeCuda** slaves, int mode, double* shares) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) slaves[i]->massShareForMainNode(mode, shares + 4 * i);
}

// Joint pairs: n pairs stored as (A, B, A, B, ...).
__global__ void GpuJointPairVelocity(int n, NodeCuda** pairs) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) jointPairVelocity(*pairs[2 * i], *pairs[2 * i + 1]);
}

// Each pair's first node takes the second node's mass (mass scaling).
__global__ void GpuJointPairMassShares(int n, NodeCuda** pairs, double* shares) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) shares[i] = pairs[2 * i + 1]->mass;
}

__global__ void GpuJointPairForceShares(int n, NodeCuda** pairs, double* shares) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) jointPairForceShare(*pairs[2 * i + 1], shares + 3 * i);
}

void Constrained::allocateAndCopyGpu(NodeManager* nodeManager) {
  NodeCuda* nodes = nodeManager->node_array_gpu;
  if (nodes == nullptr) return;
  if (constrained_type == 0 && masterNode != nullptr) {
    master_node_gpu = uploadNodeAddresses({masterNode}, nodes);
    slave_node_array_gpu = uploadNodeAddresses(slave_node_array_cpu, nodes);
    launchOverList(GpuVerMasterNode, static_cast<int>(slave_node_array_cpu.size()), slave_node_array_gpu, nodes);
  }
  if (!jointNodesA.empty()) {
    std::vector<NodeCuda*> pairs;
    for (size_t k = 0; k < jointNodesA.size(); ++k) {
      pairs.push_back(jointNodesA[k]);
      pairs.push_back(jointNodesB[k]);
    }
    joint_pair_gpu = uploadNodeAddresses(pairs, nodes);
  }
}

ConstrainedManager::~ConstrainedManager() {
  for (Constrained& c : constrained_array) {
    freeDevice(c.master_node_gpu);
    freeDevice(c.slave_node_array_gpu);
    freeDevice(c.joint_pair_gpu);
  }
  freeDevice(slave_node_array_gpu);
  freeDevice(joint_pair_array_gpu);
}

// The records hold host containers and stay on the host; the kernels work
// on the flat arrays that gatherSlaveNodesGpu builds.
void ConstrainedManager::copyConstrainedToGpu() { constra_num = static_cast<int>(constrained_array.size()); }

__global__ void GpuSlaveForceShares(int n, NodeCuda** slaves, double* forces, double* moments) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    NodeCuda* s = slaves[i];
    for (int j = 0; j < 3; ++j) forces[3 * i + j] = moments[3 * i + j] = 0.0;
    if (s->master_node == nullptr) {
      printf("offset= %d 主节点分配错误\n", i);
      continue;
    }
    slaveShares(*s, *s->master_node, forces + 3 * i, moments + 3 * i);
  }
}

void ConstrainedManager::gatherSlaveNodesGpu(NodeManager* nodeManager) {
  freeDevice(slave_node_array_gpu);
  freeDevice(joint_pair_array_gpu);
  slave_node_num = 0;
  joint_pair_num = 0;
  for (const Constrained& c : constrained_array) {
    if (c.slave_node_array_gpu != nullptr) slave_node_num += static_cast<int>(c.slave_node_array_cpu.size());
    if (c.joint_pair_gpu != nullptr) joint_pair_num += static_cast<int>(c.jointNodesA.size());
  }
  if (slave_node_num > 0) CUDA_CHECK(cudaMalloc(&slave_node_array_gpu, sizeof(NodeCuda*) * slave_node_num));
  if (joint_pair_num > 0) CUDA_CHECK(cudaMalloc(&joint_pair_array_gpu, sizeof(NodeCuda*) * 2 * joint_pair_num));
  int slaves = 0, pairs = 0;
  // A master shared by many slaves takes their forces, moments and masses
  // in slave order, weld after weld; a first node shared by joint pairs
  // takes their forces and masses in pair order.
  std::vector<double*> forces, moments, masses, pairForces, pairMasses;
  for (const Constrained& c : constrained_array) {
    if (c.slave_node_array_gpu != nullptr) {
      const int n = static_cast<int>(c.slave_node_array_cpu.size());
      appendDevicePointers(slave_node_array_gpu, slaves, c.slave_node_array_gpu, n);
      slaves += n;
      NodeCuda* master = nodeManager->node_array_gpu + c.masterNode->store_id;
      forces.insert(forces.end(), static_cast<std::size_t>(n), master->force);
      moments.insert(moments.end(), static_cast<std::size_t>(n), master->moment);
      masses.insert(masses.end(), static_cast<std::size_t>(n), &master->mass);
    }
    if (c.joint_pair_gpu != nullptr) {
      const int n = static_cast<int>(c.jointNodesA.size());
      appendDevicePointers(joint_pair_array_gpu, 2 * pairs, c.joint_pair_gpu, 2 * n);
      pairs += n;
      for (const NodeCuda* a : c.jointNodesA) {
        NodeCuda* first = nodeManager->node_array_gpu + a->store_id;
        pairForces.push_back(first->force);
        pairMasses.push_back(&first->mass);
      }
    }
  }
  slave_force_shares_.build(forces);
  slave_moment_shares_.build(moments);
  slave_mass_shares_.build(masses, 4);
  joint_force_shares_.build(pairForces);
  joint_mass_shares_.build(pairMasses, 1);
}

namespace {
// Launches kernel(n, list, args..., shares) over a list whose n entries
// each own a slot of `shares`, then adds the slots into their targets; a
// list without its slots adds nothing.
template <typename... KArgs, typename... Args>
void launchShares(void (*kernel)(KArgs...), int n, NodeCuda** list, const OrderedShares& shares, Args... args) {
  if (n <= 0 || shares.slotCount() != n) return;
  launch(kernel, constrainedGrid(n), dim3(kConstrainedBlock), n, list, args..., shares.shares());
  shares.addIntoTargets();
}
}  // namespace

void ConstrainedManager::imposeSlaveVelocitiesGpu() {
  launchOverList(GpuImproveConstVelCal, slave_node_num, slave_node_array_gpu);
  launchOverList(GpuJointPairVelocity, joint_pair_num, joint_pair_array_gpu);
}

void ConstrainedManager::transferSlaveForcesGpu() {
  if (slave_node_num > 0 && slave_force_shares_.slotCount() == slave_node_num) {
    launch(GpuSlaveForceShares, constrainedGrid(slave_node_num), dim3(kConstrainedBlock), slave_node_num,
           slave_node_array_gpu, slave_force_shares_.shares(), slave_moment_shares_.shares());
    slave_force_shares_.addIntoTargets();
    slave_moment_shares_.addIntoTargets();
  }
  launchShares(GpuJointPairForceShares, joint_pair_num, joint_pair_array_gpu, joint_force_shares_);
}

void ConstrainedManager::attachSlaveMassGpu() {
  launchShares(GpuSlaveMassShares, slave_node_num, slave_node_array_gpu, slave_mass_shares_, 1);
  launchShares(GpuJointPairMassShares, joint_pair_num, joint_pair_array_gpu, joint_mass_shares_);
}
