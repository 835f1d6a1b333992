// Owner of all nodes: the host vector, the device array, the id lookup and
// the launchers of the per-node steps of the time loops.
#pragma once
#include <map>
#include <vector>
#include "core/node.h"
#include "core/nodeFieldCopy.h"
#include "core/nodeForceRows.h"
#include "core/nodeMassShares.h"
#include "core/nodeMotions.h"
#include "core/nodePlaces.h"
#include "core/nodeWork.h"

class NodeManager {
 public:
  std::vector<NodeCuda> node_array_cpu;
  NodeCuda* node_array_gpu = nullptr;    // owned device array of totNodeNum records
  int trans_dof_num = 0;                 // translational degrees of freedom per node (3)
  int dof_num = 0;                       // degrees of freedom per node (6)
  int totNodeNum = 0;                    // number of nodes (uploaded)
  std::map<int, NodeCuda*> node_id_map;  // id -> host node, when the ids are too sparse for the table
  // The element gathers of elements/common/nodeGather.h: the force gather reads
  // the compact per-node lists (built at the first gather, after every
  // element has registered) rather than the records' slots; both sum the
  // same rows in the same order.
  bool compact_gather = true;
  NodeForceRowList force_rows_;
  // Per-node lists of the elements' scaled-mass shares (built at the first
  // mass scaling).
  NodeMassShareList mass_shares_;
  bool slots_ordered_ = false;  // registration slots in reading order since the last upload
  // The places of the nodes that contact's surfaces read every cycle,
  // written by the displacement update and the preset step.
  NodePlaces node_places;
  // Every node's coordinates, step and velocity, written by the
  // displacement update for the element pass after it, when one wants them.
  NodeMotions node_motions;

  NodeManager() = default;
  NodeManager(const NodeManager&) = delete;
  NodeManager& operator=(const NodeManager&) = delete;
  ~NodeManager();

  // Model set-up after reading.
  void sortNodes();
  void setNodeNum();
  void checkNodeIdMap();
  // The node of an id, or null for an id that is not in the model.
  NodeCuda* findNodeById(int id);

 private:
  // Table of the nodes by id built by checkNodeIdMap when their ids, from
  // low to high, are dense: the node of id k at k - id_table_low_ (8 bytes a
  // node, where the map takes some 48, and lookups without walking a tree);
  // false, and no table, when they are not (the map holds them then).
  bool buildIdTable(long long low, long long high);
  std::vector<NodeCuda*> id_table_;
  int id_table_low_ = 0;

 public:
  // Upload and read-back: whole records, or the chosen fields (NodeField
  // bits) of every node packed into host memory, as an output point takes
  // them (packedNodes: the fields packed last).
  void allocateAndCopyNodes();
  void copyNodesToCpu();
  void packNodeFieldsToHost(unsigned fields);
  NodeColumns packedNodes() const { return field_copy_.columns(); }

  // Host set-up and host mass scaling.
  void storeAllIniCoord();
  void storeAllInitialMass();
  void nodeMassCheckCpu();
  void storeAllEquivalentMassCpu();
  void massReductionCpu();
  // Host-only time loop.
  void allNodeAccelVelCalCpu(double dt, double prevDt);
  // The same adding the work of the element and contact forces to the
  // nodes' work records (core/nodeWork.h; the plain update when the records
  // are not one per node).
  void allNodeAccelVelWorkCalCpu(double dt, double prevDt, std::vector<NodeWork>& work);
  // A second update adding to the first one's acceleration
  // (NodeCuda::accelVelUpdateAdding): host records, device records.
  void allNodeAccelVelAddCalCpu(double dt, double prevDt);
  void allNodeAccelVelAddCal(double dt, double prevDt);
  void allNodeDispCalCpu(double dt);
  // Every node's last step := its velocity times dt (core/node.h presetStep):
  // host records, device records.
  void presetStepsCpu(double dt);
  void presetSteps(double dt);
  // Every node's coordinates, velocities and forces checked for values that
  // are not finite (core/nonFiniteNode.h): host records, device records.
  void checkNodesFiniteCpu();
  void checkNodesFinite();

  // Kernel launchers of the GPU time loop, mass scaling and field output.
  void allNodeAccelVelCal(double dt, double prevDt);
  void allNodeAccelVelWorkCal(double dt, double prevDt, NodeWork* work);
  void allNodeDispCal(double dt);
  void gpuResetNodeMass();
  void gpuUpdateEquivalentMass();
  void gpuClearNodeStr();
  void gpuAverageNodeStr();

 private:
  NodeFieldCopy field_copy_;
};

// Kernels (one thread per node; the grid-stride ones walk a two-dimensional grid).
__global__ void AllNodeAccelVelCal(NodeCuda* nodes, int n, double dt, double prevDt, NodeWork* work);
__global__ void AllNodeAccelVelAddCal(NodeCuda* nodes, int n, double dt, double prevDt);
__global__ void AllNodeDispCal(NodeCuda* nodes, int n, double dt, int dof, NodePlaceTarget places,
                               NodeMotionTarget motions);
__global__ void GpuResetNodeMass(int n, NodeCuda* nodes);
__global__ void GpuUpdateEquivalentMass(int n, NodeCuda* nodes);
__global__ void GpuClearNodeStr(int n, NodeCuda* nodes);
__global__ void GpuAverageNodeStr(int n, NodeCuda* nodes);
