#include "contact/surfacemanager.h"
#include "core/logErrorPrint.h"
#include "solver/pendingFeature.h"

SurfaceManager::~SurfaceManager() {
  if (surface_interact_array_gpu != nullptr) CUDA_CHECK(cudaFree(surface_interact_array_gpu));
}

Surface* SurfaceManager::findSurfaceById(int id) { return surface_id_map[id]; }

void SurfaceManager::clearSurfaceFlags() {
  for (Surface& s : surface_array) {
    for (unsigned char& f : s.flags) f = 0;
  }
}

// The interaction objects (friction, thermal, damping) come with the
// surface interactions.
void SurfaceManager::allocateAndCopySurfaceInteractGpu() {
  if (!surface_interact_array_cpu.empty()) {
    reportUnavailable("Contact surface interactions", surface_interact_array_cpu.size());
  }
}
