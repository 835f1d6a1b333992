#include "solver/boundary.h"
#include "solver/pendingFeature.h"

void BoundaryManager::addBoundary(BasicBoundary* boundary) {
  if (boundary != nullptr) boundary_array.emplace_back(boundary);
}
void BoundaryManager::reportPending() const {
  if (!boundary_array.empty()) reportUnavailable("Boundary conditions", boundary_array.size());
}
void BoundaryManager::linkAllCurves(CurveManager*) { reportPending(); }
void BoundaryManager::initAll(FEMDynamic*) { reportPending(); }
void BoundaryManager::computeAllFactors(double) { reportPending(); }
void BoundaryManager::applyAllGpu(double, double, double) { reportPending(); }
void BoundaryManager::applyAllCpu(double, double) { reportPending(); }
