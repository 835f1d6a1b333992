// Owner of the tied contacts; runs each tie step over all ties.
#pragma once
#include <set>
#include <vector>
#include "contact/tie.h"

class SurfaceManager;
class NodeManager;

class TieManager {
 public:
  int32_t tie_num = 0;
  std::vector<Tie> tie_array;
  std::set<int> tied_slave_node_ids;
  std::set<int> master_node_ids;

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

 private:
  // The tie steps come with tied contact; with ties present they report
  // that the ties do not act.
  void reportPending() const;
};
