// Owner of the rigid bodies, their prescribed motions, their extra nodes and
// the merged (constrained) pairs.
#pragma once
#include <string>
#include <vector>

#include "core/deviceNodeList.h"
#include "solver/rigid.h"

class FEMDynamic;

// The bodies that have extra nodes and the master bodies of merged pairs.
class RigidExtraNodeManager {
 public:
  int extraNum = 0;                     // extra-node definitions
  std::vector<RigidCuda*> extraRigids;  // body of each definition
  int pairNum = 0;                      // merged pairs
  std::vector<RigidCuda*> pairMasters;  // master body of each pair
};

class RigidManager {
 public:
  int numRigidPartArray = 0;
  // Extra-node definitions from the deck: rigid part position, node number
  // or node-set id, and whether the definition names a node set.
  std::vector<int> extra_rigid_ids;
  std::vector<int> extra_node_ids;
  std::vector<int> extra_set_ids;
  std::vector<bool> extra_is_set;
  std::vector<std::string> extra_cards;        // each definition's card and deck line, for messages
  std::vector<RigidCuda*> RigidPartArray_cpu;  // the body of each extra node
  std::vector<NodeCuda*> NodeArray;            // the extra nodes
  DeviceNodeList NodeArray_gpu;
  std::vector<RigidCuda> rigid_array;
  std::vector<RigidConstrained> rigid_constrained_array;
  // Merged pairs, entry k of each list from deck card k.
  std::vector<int> master_rigid_ids;
  std::vector<int> slave_rigid_ids;
  std::vector<RigidCuda*> master_rigids;
  std::vector<RigidCuda*> slave_rigids;
  // Node sets of the nodal rigid bodies (*CONSTRAINED_NODAL_RIGID_BODY).
  std::vector<int> nodal_rigid_set_ids;
  std::vector<int> nodal_rigid_ids;            // the card's body id, for messages
  std::vector<std::string> nodal_rigid_cards;  // the card and its deck line, for messages

  // The body of a part position (the last one when several), or null.
  RigidCuda* findRigidByPart(int partId);
  // Every node of the body a node is attached to (as the reference node of
  // an .inp rigid body is), or of the body it was merged into, and of the
  // bodies merged into that one, attached nodes included, each once; empty
  // when the node is attached to none.
  std::vector<NodeCuda*> bodyNodesOfAttachedNode(const NodeCuda* node) const;

  // Model set-up: appends a body per nodal rigid body, links every body's
  // nodes, the extra nodes, the merged pairs and the prescribed motions.
  // False, after a message naming the card and the id, when one of them
  // names something that is not in the model or not a rigid body.
  bool addNodalRigidBodies(FEMDynamic* fem);
  bool linkAll(FEMDynamic* fem);
  // Host set-up pass.
  void buildExtraNodes(FEMDynamic* fem, RigidExtraNodeManager* extraNodes);
  void buildConstrainedRigidBodies(RigidExtraNodeManager* extraNodes);
  void mergeConstrainedRigidBodies();
  void copyToGpu(FEMDynamic* fem);
  // Per cycle.
  void slaveForcesToMaster();
  void masterVelocitiesToSlaves();
  // Before the first move, once the contact made then has put its forces
  // into the bodies' nodes (host: the host records, else the device's):
  // each body they push takes them over the whole first step, in the degrees
  // of freedom that neither it nor a motion prescribed at the time holds.
  // The bodies' nodes still carry the velocities of the step begun.
  void takeContactBeforeFirstMove(double time, double dt, bool host);
  // Marks every member and extra node as rigid.
  void markRigidNodes();

 private:
  bool linkExtraNodes(FEMDynamic* fem);
  bool linkMergedPairs();
};
