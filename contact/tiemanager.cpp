#include "contact/tiemanager.h"
#include "core/logErrorPrint.h"
#include "platform/gpu_runtime.h"
#include "solver/pendingFeature.h"

Tie::~Tie() {
  if (sub_tie_array_gpu != nullptr) CUDA_CHECK(cudaFree(sub_tie_array_gpu));
}

void TieManager::reportPending() const {
  if (!tie_array.empty()) reportUnavailable("Tied contact", tie_array.size());
}

void TieManager::linkTieSurfaces(SurfaceManager*) { reportPending(); }
void TieManager::resolveTieInput() { reportPending(); }
void TieManager::buildSubTies() { reportPending(); }
void TieManager::calInterpFunCpu() { reportPending(); }
void TieManager::checkTiedNodes() { reportPending(); }
void TieManager::transferSlaveMassCpu() { reportPending(); }
void TieManager::allocateAndCopyGpu(NodeManager*) { reportPending(); }
void TieManager::modifySlaveVelGpu() {
  if (tie_num > 0) reportPending();
}
void TieManager::addMasterForGpu() {
  if (tie_num > 0) reportPending();
}
void TieManager::transferSlaveMassGpu() { reportPending(); }
void TieManager::modifySlaveVelCpu() {
  if (tie_num > 0) reportPending();
}
