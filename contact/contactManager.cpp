#include "contact/contactManager.h"
#include "contact/surfacemanager.h"
#include "solver/femdynamic.h"
#include "solver/pendingFeature.h"

namespace {
bool hasInteractions(FEMDynamic* fem) {
  return fem != nullptr && fem->surfaceManager != nullptr && !fem->surfaceManager->surface_interact_array_cpu.empty();
}
void reportInteractions(FEMDynamic* fem) {
  reportUnavailable("Contact surface interactions", fem->surfaceManager->surface_interact_array_cpu.size());
}
}  // namespace

void ContactManager::assignSurfaceInteracts(FEMDynamic* fem) {
  if (hasInteractions(fem)) reportInteractions(fem);
}
void ContactManager::imposeSurfaceInteractGpu(FEMDynamic* fem, double) {
  if (hasInteractions(fem)) reportInteractions(fem);
}
void ContactManager::imposeSpecificSurfaceInteractGpu(FEMDynamic* fem, double) {
  if (hasInteractions(fem)) reportInteractions(fem);
}
void ContactManager::imposeSurfaceInteractCpu(FEMDynamic*, double) {}
