// Spot welds, nodal rigid bodies and joints, and their owner.
//
// A type-0 record (spot weld, nodal rigid body) binds the nodes of its set
// rigidly to the first one, the master: at set-up the slaves' mass and
// inertia move to the master; every cycle the slaves' forces and moments
// move to the master before the boundary conditions act, and the slaves'
// velocities follow the master's rigid motion before the displacement
// update.  Spherical (4) and revolute (5) joints pair their nodes (one pair,
// or two pairs on the revolute axis); the two nodes of a pair move together
// in translation, led by the first, and rotate freely.  A boundary
// condition given on a node led by another acts on its leader
// (solver/prescribedNodes.h).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/orderedShares.h"

struct NodeCuda;
class NodeManager;
class Set;
class SetManager;

class Constrained {
 public:
  // ---- as read from the deck ----
  int32_t constrained_type = 0;  // 0 nodal rigid body / spot weld, 4 spherical, 5 revolute, 6 cylindrical, 7 universal
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

  // ---- linked at set-up ----
  int nodeNum = 0;  // nodes of the set
  Set* set = nullptr;
  NodeCuda* masterNode = nullptr;                   // type 0
  std::vector<NodeCuda*> slave_node_array_cpu;      // type 0, without the master
  std::vector<NodeCuda*> jointNodesA, jointNodesB;  // joints: pair k is (A[k], B[k])
  // Device arrays, owned by the manager: the master's device address, the
  // slaves' device addresses, the joint pairs' device addresses (A, B, A, B, ...).
  NodeCuda** master_node_gpu = nullptr;
  NodeCuda** slave_node_array_gpu = nullptr;
  NodeCuda** joint_pair_gpu = nullptr;

  // Binds the record to the nodes of its node set.  False, after a message
  // naming the record, when the set is missing or empty, or a joint's set
  // does not hold its node count (spherical 2, revolute 4).
  bool linkNodeSet(SetManager* setManager);
  // Spot welds: slaves' mass and inertia to the master (host set-up and
  // host mass scaling; repeated calls after a mass reset give the same
  // result).
  void transferMass();
  // Device addresses of master, slaves and joint pairs; the slaves' master
  // pointers on the device.
  void allocateAndCopyGpu(NodeManager* nodeManager);
  // Host twins of the per-cycle steps.
  void imposeSlaveVelocitiesCpu();
  void transferSlaveForcesCpu();
  // A name for messages: "spot weld 12", "joint 3", ...
  std::string describe() const;
};

class ConstrainedManager {
 public:
  std::vector<Constrained> constrained_array;
  int constra_num = 0;
  NodeCuda** slave_node_array_gpu = nullptr;  // all weld slaves, weld after weld
  int slave_node_num = 0;
  NodeCuda** joint_pair_array_gpu = nullptr;  // all joint pairs (A, B, A, B, ...)
  int joint_pair_num = 0;

  ConstrainedManager() = default;
  ConstrainedManager(const ConstrainedManager&) = delete;
  ConstrainedManager& operator=(const ConstrainedManager&) = delete;
  ~ConstrainedManager();

  void copyConstrainedToGpu();
  // The flat device lists of weld slaves and joint pairs, and the share
  // slots by which the slaves' forces and moments reach their masters.
  void gatherSlaveNodesGpu(NodeManager* nodeManager);
  void imposeSlaveVelocitiesGpu();
  void transferSlaveForcesGpu();
  void attachSlaveMassGpu();
  void imposeSlaveVelocitiesCpu();
  void transferSlaveForcesCpu();
  void transferAllMass();

 private:
  OrderedShares slave_force_shares_;  // one slot per weld slave
  OrderedShares slave_moment_shares_;
  OrderedShares slave_mass_shares_;   // mass and rotary inertia, one slot per weld slave
  OrderedShares joint_force_shares_;  // one slot per joint pair
  OrderedShares joint_mass_shares_;
};
