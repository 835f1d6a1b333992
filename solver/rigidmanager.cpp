#include "solver/rigidmanager.h"
#include <cstdio>
#include "core/node.h"
#include "solver/pendingFeature.h"

// Rigid-body motion comes with the rigid-body operations; with rigid bodies
// present these steps report that they do not act.
void RigidManager::reportPending() const {
  if (!rigid_array.empty() || !rigid_constrained_array.empty()) {
    reportUnavailable("Rigid bodies", rigid_array.size() + rigid_constrained_array.size());
  }
}

void RigidManager::buildExtraNodes(FEMDynamic*, RigidExtraNodeManager*) {
  printf("Number of extra part is: %d\n", static_cast<int>(extra_rigid_ids.size()));
  if (!extra_rigid_ids.empty()) reportUnavailable("Rigid-body extra nodes", extra_rigid_ids.size());
}
void RigidManager::buildConstrainedRigidBodies(RigidExtraNodeManager*) {
  printf("Number of constrained rigid bodies is: %d\n", static_cast<int>(master_rigid_ids.size()));
  if (!master_rigid_ids.empty()) reportUnavailable("Constrained rigid bodies", master_rigid_ids.size());
}
void RigidManager::mergeConstrainedRigidBodies() { reportPending(); }
void RigidManager::copyToGpu(FEMDynamic*) { reportPending(); }
void RigidManager::slaveForcesToMaster() { reportPending(); }
void RigidManager::masterVelocitiesToSlaves() { reportPending(); }

void RigidManager::markRigidNodes() {
  for (RigidCuda& r : rigid_array) {
    for (NodeCuda* n : r.node_array) {
      if (n != nullptr) n->rigid_flag = 1;
    }
  }
}
void RigidManager::clearRigidNodeState() { reportPending(); }

void RigidCuda::computeMassProperties(RigidManager*) { reportUnavailable("Rigid bodies", 1); }
void RigidCuda::copyNodesToGpu(NodeManager*) { reportUnavailable("Rigid bodies", 1); }
void RigidCuda::allocateForceBuffer() { reportUnavailable("Rigid bodies", 1); }
void RigidCuda::gatherForcesGpu() { reportUnavailable("Rigid bodies", 1); }
void RigidCuda::gatherForcesCpu() { reportUnavailable("Rigid bodies", 1); }
void RigidCuda::computeAccelerations() { reportUnavailable("Rigid bodies", 1); }
void RigidCuda::updateVelocity(double, double) { reportUnavailable("Rigid bodies", 1); }
void RigidCuda::updateNodesGpu(double) { reportUnavailable("Rigid bodies", 1); }
void RigidCuda::updateNodesCpu(double) { reportUnavailable("Rigid bodies", 1); }

void RigidConstrained::linkCurve(CurveManager*) { reportUnavailable("Prescribed rigid-body motion", 1); }
void RigidConstrained::computeFactor(double) { reportUnavailable("Prescribed rigid-body motion", 1); }
void RigidConstrained::imposeMotion(double, double) { reportUnavailable("Prescribed rigid-body motion", 1); }
void RigidConstrained::projectAccelerations() { reportUnavailable("Prescribed rigid-body motion", 1); }
