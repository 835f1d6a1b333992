#include "solver/constrained.h"
#include "solver/pendingFeature.h"

void Constrained::transferMass() { reportUnavailable("Spot welds and joints", 1); }
void Constrained::allocateAndCopyGpu(NodeManager*) { reportUnavailable("Spot welds and joints", 1); }

void ConstrainedManager::reportPending() const {
  if (!constrained_array.empty()) reportUnavailable("Spot welds and joints", constrained_array.size());
}
void ConstrainedManager::copyConstrainedToGpu() { reportPending(); }
void ConstrainedManager::gatherSlaveNodesGpu() { reportPending(); }
void ConstrainedManager::imposeSlaveVelocitiesGpu() { reportPending(); }
void ConstrainedManager::transferSlaveForcesGpu() { reportPending(); }
void ConstrainedManager::attachSlaveMassGpu() { reportPending(); }
void ConstrainedManager::imposeSlaveVelocitiesCpu() { reportPending(); }
void ConstrainedManager::transferSlaveForcesCpu() { reportPending(); }
void ConstrainedManager::transferAllMass() { reportPending(); }
