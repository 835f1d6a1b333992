// Owner of the tied contacts; runs each tie step over all ties.
#pragma once
#include <set>
#include <vector>
#include "contact/tie.h"

class SurfaceManager;
class NodeManager;
class Contact;

class TieManager {
 public:
  int32_t tie_num = 0;
  std::vector<Tie> tie_array;
  std::set<int> tied_slave_node_ids;
  std::set<int> master_node_ids;

  // Reading: a tied contact card becomes a tie of its resolved sides.
  void addTieFromContact(const Contact& contact);
  // Host set-up pass.
  void linkTieSurfaces(SurfaceManager* surfaceManager);
  void resolveTieInput();
  void buildSubTies();
  void calInterpFunCpu();
  void checkTiedNodes();
  void transferSlaveMassCpu();
  // Upload pass.
  void allocateAndCopyGpu(NodeManager* nodeManager);
  // Cycle steps.
  void modifySlaveVelGpu();
  void addMasterForGpu();
  void transferSlaveMassGpu();
  void modifySlaveVelCpu();
  void addMasterForCpu();

 private:
  void buildSubTies(Tie& tie);
};
