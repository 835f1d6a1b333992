// Spot welds, nodal rigid bodies and joints, and their owner.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct NodeCuda;
class NodeManager;
class SetManager;

class Constrained {
 public:
  int32_t constrained_type = 0;  // 0 nodal rigid body / spot weld / two-node weld, 4-7 joints
  int32_t joint_id = 0;
  std::string joint_title;
  int32_t joint_nodes[6] = {0, 0, 0, 0, 0, 0};
  double penalty_scale = 0.0;
  double joint_value8 = 0.0;
  int32_t failure_flag = 0;
  double failure_values[2] = {0.0, 0.0};
  double failure_limits[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  int32_t rigid_node_values[7] = {0, 0, 0, 0, 0, 0, 0};
  int32_t weld_nodes[2] = {0, 0};
  double weld_value8 = 0.0;
  double weld_values[5] = {0.0, 0.0, 0.0, 0.0, 0.0};
  int32_t node_set_id = 0;
  int32_t weld_id = 0;
  std::vector<NodeCuda*> node_array;  // linked nodes, the master first
  NodeCuda** node_array_gpu = nullptr;

  // Links the record to the nodes of its node set: type 0 (nodal rigid
  // body, spot weld) takes the first node as master and flags every node as
  // welded; type 4 needs exactly 2 nodes, type 5 exactly 4. False, after a
  // message, when the set is missing or holds the wrong number of nodes.
  bool linkNodeSet(SetManager* setManager);
  void transferMass();
  void allocateAndCopyGpu(NodeManager* nodeManager);
};

class ConstrainedManager {
 public:
  std::vector<Constrained> constrained_array;

  void copyConstrainedToGpu();
  void gatherSlaveNodesGpu();
  void imposeSlaveVelocitiesGpu();
  void transferSlaveForcesGpu();
  void attachSlaveMassGpu();
  void imposeSlaveVelocitiesCpu();
  void transferSlaveForcesCpu();
  void transferAllMass();

 private:
  // Welds and joints come with the constraint operations; with records
  // present they report that they do not act.
  void reportPending() const;
};
