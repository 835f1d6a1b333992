#include "core/nodeManager.h"
#include "core/deviceFree.h"
#include "core/nonFiniteNode.h"
#include "core/gridIndex.h"
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include "core/logErrorPrint.h"
#include "platform/simdLane.h"

namespace {
// Blocks of 32 for a grid-stride launch over n nodes.
dim3 nodeGrid32(int n) { return dim3(static_cast<unsigned>(n / 32 + 1)); }
// Blocks of 64 for a one-node-per-thread launch; no blocks for no nodes.
dim3 nodeGrid64(int n) { return dim3(n > 0 ? static_cast<unsigned>((n - 1) / 64 + 1) : 0u); }
}  // namespace

NodeManager::~NodeManager() { freeDevice(node_array_gpu); }

void NodeManager::sortNodes() {
  const auto byId = [](const NodeCuda& a, const NodeCuda& b) { return a.id < b.id; };
  // Decks mostly list their nodes in order: then nothing moves.
  if (!std::is_sorted(node_array_cpu.begin(), node_array_cpu.end(), byId))
    std::sort(node_array_cpu.begin(), node_array_cpu.end(), byId);
}

void NodeManager::setNodeNum() {
  trans_dof_num = 3;
  dof_num = 6;
  totNodeNum = static_cast<int>(node_array_cpu.size());
}

void NodeManager::checkNodeIdMap() {
  // One pass over the records: their places and the range of their ids.
  long long low = 0, high = -1;
  for (std::size_t i = 0; i < node_array_cpu.size(); ++i) {
    const NodeCuda& node = node_array_cpu[i];
    if (node.store_id != static_cast<int>(i)) printf("节点的存储id存在错误\n");
    low = i == 0 ? node.id : std::min<long long>(low, node.id);
    high = i == 0 ? node.id : std::max<long long>(high, node.id);
  }
  if (buildIdTable(low, high)) return;
  // Sorted ids go in at the end of the map at constant cost.
  for (NodeCuda& node : node_array_cpu) node_id_map.emplace_hint(node_id_map.end(), node.id, &node);
}

bool NodeManager::buildIdTable(long long low, long long high) {
  id_table_.clear();
  id_table_low_ = 0;
  // Only ids that fill their range well get a table.
  if (high < low || high - low + 1 > 2 * static_cast<long long>(node_array_cpu.size()) + 1024) return false;
  id_table_low_ = static_cast<int>(low);
  id_table_.assign(static_cast<std::size_t>(high - low + 1), nullptr);
  // The first node of an id is the one found, as in the map.
  for (NodeCuda& node : node_array_cpu) {
    NodeCuda*& slot = id_table_[static_cast<std::size_t>(node.id - low)];
    if (slot == nullptr) slot = &node;
  }
  return true;
}

NodeCuda* NodeManager::findNodeById(int id) {
  const long long k = static_cast<long long>(id) - id_table_low_;
  if (k >= 0 && k < static_cast<long long>(id_table_.size()) && id_table_[static_cast<std::size_t>(k)] != nullptr)
    return id_table_[static_cast<std::size_t>(k)];
  const auto it = node_id_map.find(id);
  return it == node_id_map.end() ? nullptr : it->second;
}

void NodeManager::allocateAndCopyNodes() {
  totNodeNum = static_cast<int>(node_array_cpu.size());
  // Both lists are built again from the new array's slots.
  force_rows_.release();
  mass_shares_.release();
  slots_ordered_ = false;
  node_places.changed();
  node_motions.changed();
  if (totNodeNum <= 0) return;
  freeDevice(node_array_gpu);
  CUDA_CHECK(cudaMalloc(&node_array_gpu, totNodeNum * sizeof(NodeCuda)));
  CUDA_CHECK(cudaMemcpy(node_array_gpu, node_array_cpu.data(), totNodeNum * sizeof(NodeCuda), cudaMemcpyHostToDevice));
}

void NodeManager::copyNodesToCpu() {
  if (totNodeNum <= 0 || node_array_gpu == nullptr) return;
  if (node_array_cpu.size() < static_cast<std::size_t>(totNodeNum)) node_array_cpu.resize(totNodeNum);
  CUDA_CHECK(cudaMemcpy(node_array_cpu.data(), node_array_gpu, totNodeNum * sizeof(NodeCuda), cudaMemcpyDeviceToHost));
}

void NodeManager::packNodeFieldsToHost(unsigned fields) {
  if (totNodeNum <= 0 || node_array_gpu == nullptr) return;
  field_copy_.pack(node_array_gpu, totNodeNum, fields);
}

void NodeManager::storeAllIniCoord() {
  for (NodeCuda& n : node_array_cpu) n.storeIniCoord();
}
void NodeManager::storeAllInitialMass() {
  for (NodeCuda& n : node_array_cpu) n.storeInitialMass();
}
void NodeManager::nodeMassCheckCpu() {
  for (NodeCuda& n : node_array_cpu) {
    if (n.mass < kNodeMassTolerance) n.mass_flag = 1;
    n.equivalent_mass = n.mass;
  }
}
void NodeManager::storeAllEquivalentMassCpu() {
  for (NodeCuda& n : node_array_cpu) n.storeEquivalentMass();
}
void NodeManager::massReductionCpu() {
  for (NodeCuda& n : node_array_cpu) n.massReduction();
}
void NodeManager::allNodeAccelVelCalCpu(double dt, double prevDt) {
  for (NodeCuda& n : node_array_cpu) n.accelVelUpdate(dt, prevDt);
}
void NodeManager::allNodeAccelVelWorkCalCpu(double dt, double prevDt, std::vector<NodeWork>& work) {
  if (work.size() != node_array_cpu.size()) return allNodeAccelVelCalCpu(dt, prevDt);
  for (std::size_t i = 0; i < work.size(); ++i) accelVelUpdateWithWork(node_array_cpu[i], work[i], dt, prevDt);
}
void NodeManager::allNodeAccelVelAddCalCpu(double dt, double prevDt) {
  for (NodeCuda& n : node_array_cpu) n.accelVelUpdateAdding(dt, prevDt);
}
void NodeManager::allNodeDispCalCpu(double dt) {
  for (NodeCuda& n : node_array_cpu) n.dispUpdate(dt);
}
void NodeManager::presetStepsCpu(double dt) {
  for (NodeCuda& n : node_array_cpu) n.presetStep(dt);
}
void NodeManager::checkNodesFiniteCpu() {
  for (const NodeCuda& n : node_array_cpu) checkNodeFinite(n);
}
void NodeManager::checkNodesFinite() {
  if (totNodeNum <= 0) return;
  launch(CheckNodesFinite, nodeCycleGrid(totNodeNum), dim3(kNodeCycleBlock), totNodeNum,
         static_cast<const NodeCuda*>(node_array_gpu));
}

namespace {
// Nodes ahead whose record lines the two updates ask for: where the threads
// of a block run one after the other (host build), the lines of the 1.4 KB
// records arrive while this node is updated.
constexpr int kNodeAhead = 8;

// The velocity update reads and writes mass and rotary inertia; force,
// moment, acceleration, velocity and contact force; the rigid flag and the
// contact pair count.
constexpr LaneRun kMassRun =
    nodeFieldRun(offsetof(NodeCuda, mass), offsetof(NodeCuda, rot_inertia), 3 * sizeof(double));
constexpr LaneRun kLoadRun =
    nodeFieldRun(offsetof(NodeCuda, force), offsetof(NodeCuda, contact_force), 3 * sizeof(double));
constexpr LaneRun kFlagRun =
    nodeFieldRun(offsetof(NodeCuda, rigid_flag), offsetof(NodeCuda, contact_pair_axes), 3 * sizeof(double));
// The displacement update reads and writes coordinates and rotations;
// velocity, contact force, total and step displacement.
constexpr LaneRun kPlaceRun = nodeFieldRun(offsetof(NodeCuda, coord), offsetof(NodeCuda, rotation), 3 * sizeof(double));
constexpr LaneRun kMotionRun = nodeFieldRun(offsetof(NodeCuda, vel), offsetof(NodeCuda, step_disp), 6 * sizeof(double));
// Each run lies in field order.
static_assert(kMassRun.bytes > 0 && kLoadRun.bytes > 0 && kFlagRun.bytes > 0 && kPlaceRun.bytes > 0 &&
              kMotionRun.bytes > 0);
}  // namespace

__global__ void AllNodeAccelVelCal(NodeCuda* nodes, int n, double dt, double prevDt, NodeWork* work) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    lanePrefetchAhead<kNodeAhead>(nodes, i, n, kMassRun, kLoadRun, kFlagRun);
    if (work == nullptr)
      nodes[i].accelVelUpdate(dt, prevDt);
    else
      accelVelUpdateWithWork(nodes[i], work[i], dt, prevDt);
  }
}
__global__ void AllNodeAccelVelAddCal(NodeCuda* nodes, int n, double dt, double prevDt) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) nodes[i].accelVelUpdateAdding(dt, prevDt);
}
__global__ void AllNodeDispCal(NodeCuda* nodes, int n, double dt, int dof, NodePlaceTarget places,
                               NodeMotionTarget motions) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    lanePrefetchAhead<kNodeAhead>(nodes, i, n, kPlaceRun, kMotionRun);
    nodes[i].dispUpdate(dt, dof);
    writeNodePlace(places, i, nodes[i]);
    writeNodeMotions(motions, i, nodes[i]);
  }
}
__global__ void PresetNodeSteps(NodeCuda* nodes, int n, double dt, NodePlaceTarget places) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    nodes[i].presetStep(dt);
    writeNodePlace(places, i, nodes[i]);
  }
}
__global__ void GpuResetNodeMass(int n, NodeCuda* nodes) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) nodes[i].massReduction();
}
__global__ void GpuUpdateEquivalentMass(int n, NodeCuda* nodes) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) nodes[i].storeEquivalentMass();
}
__global__ void GpuClearNodeStr(int n, NodeCuda* nodes) {
  const int i = static_cast<int>(blockDim.x * blockIdx.x + threadIdx.x);
  if (i < n) nodes[i].clearStressStrain();
}
__global__ void GpuAverageNodeStr(int n, NodeCuda* nodes) {
  const int i = static_cast<int>(blockDim.x * blockIdx.x + threadIdx.x);
  if (i < n) nodes[i].calNodeStressStrain();
}

// Launches over no nodes are skipped: there is no device array to pass.
void NodeManager::allNodeAccelVelCal(double dt, double prevDt) { allNodeAccelVelWorkCal(dt, prevDt, nullptr); }
void NodeManager::allNodeAccelVelWorkCal(double dt, double prevDt, NodeWork* work) {
  node_motions.changed();
  if (totNodeNum <= 0) return;
  launch(AllNodeAccelVelCal, nodeCycleGrid(totNodeNum), dim3(kNodeCycleBlock), node_array_gpu, totNodeNum, dt, prevDt,
         work);
}
void NodeManager::allNodeAccelVelAddCal(double dt, double prevDt) {
  node_motions.changed();
  if (totNodeNum <= 0) return;
  launch(AllNodeAccelVelAddCal, nodeCycleGrid(totNodeNum), dim3(kNodeCycleBlock), node_array_gpu, totNodeNum, dt,
         prevDt);
}
void NodeManager::allNodeDispCal(double dt) {
  if (totNodeNum <= 0) return;
  launch(AllNodeDispCal, nodeCycleGrid(totNodeNum), dim3(kNodeCycleBlock), node_array_gpu, totNodeNum, dt,
         dof_num > 0 ? dof_num : 6, node_places.target(totNodeNum), node_motions.target(totNodeNum));
  node_places.written(totNodeNum);
  node_motions.written(node_array_gpu, totNodeNum);
}
void NodeManager::presetSteps(double dt) {
  if (totNodeNum <= 0) return;
  launch(PresetNodeSteps, nodeCycleGrid(totNodeNum), dim3(kNodeCycleBlock), node_array_gpu, totNodeNum, dt,
         node_places.target(totNodeNum));
  node_places.written(totNodeNum);
  node_motions.changed();
}
void NodeManager::gpuResetNodeMass() {
  if (totNodeNum <= 0) return;
  launch(GpuResetNodeMass, nodeGrid32(totNodeNum), dim3(32), totNodeNum, node_array_gpu);
}
void NodeManager::gpuUpdateEquivalentMass() {
  if (totNodeNum <= 0) return;
  launch(GpuUpdateEquivalentMass, nodeGrid32(totNodeNum), dim3(32), totNodeNum, node_array_gpu);
}
void NodeManager::gpuClearNodeStr() {
  const int n = std::min(static_cast<int>(node_array_cpu.size()), totNodeNum);
  launch(GpuClearNodeStr, nodeGrid64(n), dim3(64), n, node_array_gpu);
}
void NodeManager::gpuAverageNodeStr() {
  const int n = std::min(static_cast<int>(node_array_cpu.size()), totNodeNum);
  launch(GpuAverageNodeStr, nodeGrid64(n), dim3(64), n, node_array_gpu);
}
