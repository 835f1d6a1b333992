#include "solver/load.h"
#include "solver/pendingFeature.h"

void LoadManager::addLoad(BasicLoad* load) {
  if (load != nullptr) load_array.emplace_back(load);
}
void LoadManager::reportPending() const {
  if (!load_array.empty()) reportUnavailable("Loads", load_array.size());
}
void LoadManager::linkAllCurves(CurveManager*) { reportPending(); }
void LoadManager::initAll(FEMDynamic*) { reportPending(); }
void LoadManager::computeAllFactors(double) { reportPending(); }
void LoadManager::applyAllGpu() { reportPending(); }
void LoadManager::applyAllCpu() { reportPending(); }
