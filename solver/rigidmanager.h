// Owner of the rigid bodies, their constraints and extra nodes.
#pragma once
#include <map>
#include <vector>
#include "solver/rigid.h"

class FEMDynamic;

// Extra nodes attached to rigid bodies.
class RigidExtraNodeManager {
 public:
  std::vector<int> extra_node_ids;
  std::vector<int> rigid_ids;
};

class RigidManager {
 public:
  std::vector<RigidCuda> rigid_array;
  std::vector<RigidConstrained> rigid_constrained_array;
  std::vector<int> master_rigid_ids;
  std::vector<int> slave_rigid_ids;
  std::vector<int> extra_rigid_ids;
  std::vector<int> extra_node_ids;
  std::vector<int> extra_set_ids;
  std::vector<bool> extra_is_set;
  std::map<int, int> ref_node_map;  // rigid part index -> reference node id

  void buildExtraNodes(FEMDynamic* fem, RigidExtraNodeManager* extraNodes);
  void buildConstrainedRigidBodies(RigidExtraNodeManager* extraNodes);
  void mergeConstrainedRigidBodies();
  void copyToGpu(FEMDynamic* fem);
  void slaveForcesToMaster();
  void masterVelocitiesToSlaves();
  // Marks / clears the rigid-body flag of every node of a rigid body.
  void markRigidNodes();
  void clearRigidNodeState();

 private:
  void reportPending() const;
};
