// The model as the contact passes read it: the run position, the parts, the
// deck's node ids and the managers of nodes, contact nodes, pairs, surfaces,
// contacts and search grids. The solver object hands one to every contact
// pass that reads beyond its own manager (solver/modelViews.h); it refers to
// the solver's own records.
#pragma once
#include <map>
#include <vector>

#include "core/deckNumbers.h"

class NodeManager;
class ContactNodeManager;
class PairManager;
class SurfaceManager;
class ContactManager;
class UnifiedContact;
class Part;

struct ContactModel {
  int cycle;                              // cycle count of the time loop
  double time;                            // simulation time
  int host_path_flag;                     // 1: host-only loop, 0: GPU loop
  std::vector<Part>& part_array;          // parts in reader order
  const std::map<int, int>& node_id_map;  // deck node id -> node number
  NodeManager* nodeManager;
  ContactNodeManager* contactNodeManager;
  PairManager* pairManager;
  SurfaceManager* surfaceManager;
  ContactManager* contactManager;
  UnifiedContact* unifiedContact;
};

// The deck's id of a node number, for messages.
inline int deckNodeId(const ContactModel& model, int nodeNumber) {
  return deckIdOfNumber(model.node_id_map, nodeNumber);
}
