#include "solver/constrained.h"
#include <cstdio>
#include "core/node.h"
#include "core/set.h"
#include "core/setManager.h"
#include "solver/pendingFeature.h"

bool Constrained::linkNodeSet(SetManager* setManager) {
  node_array.clear();
  if (constrained_type != 0 && constrained_type != 4 && constrained_type != 5) return true;
  Set* set = setManager->findSet(node_set_id, SET_NODE);
  if (set == nullptr) {
    fprintf(stderr, "Constraint %d: node set %d does not exist\n", constrained_type, node_set_id);
    return false;
  }
  std::vector<NodeCuda*> nodes;
  for (NodeCuda* n : set->node_array_cpu) {
    if (n != nullptr) nodes.push_back(n);
  }
  if (constrained_type == 4 && nodes.size() != 2) {
    printf("constrained joint spherical input error!");
    return false;
  }
  if (constrained_type == 5 && nodes.size() != 4) {
    printf("constrained joint revolute input error!");
    return false;
  }
  node_array = nodes;
  if (constrained_type != 0 || nodes.empty()) return true;
  NodeCuda* master = nodes[0];
  for (std::size_t i = 1; i < nodes.size(); ++i) {
    nodes[i]->master_node_id = master->id;
  }
  for (NodeCuda* n : nodes) n->constrained_flag = 1;
  if (nodes.size() == 2) master->two_node_weld_flag = 1;
  return true;
}

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
