#include "contact/surfacemanager.h"
#include <algorithm>
#include "contact/surfaceInteract.h"
#include "core/logErrorPrint.h"
#include "core/part.h"
#include "contact/contactModel.h"

SurfaceManager::~SurfaceManager() {
  releaseSurfaceInteracts(static_cast<int>(surfaceInteractArrayCpu.size()), &surfaceInteractArrayGpu);
  for (SurfaceInteract* interact : surfaceInteractArrayCpu) delete interact;
}

void SurfaceManager::buildSurfacesFromParts(ContactModel* fem) {
  std::vector<Part>& parts = fem->part_array;
  for (Surface& s : surface_array) {
    for (std::size_t j = 0; j < parts.size(); ++j) {
      Part& p = parts[j];
      if (p.contact_surface_id != 0 || p.contact_surface != nullptr) continue;
      if (p.name != s.part_name) continue;
      s.part_array.push_back(&p);
      // A surface made for a contact from the part by id holds it already.
      if (std::find(s.part_index_array.begin(), s.part_index_array.end(), static_cast<int>(j)) ==
          s.part_index_array.end())
        s.part_index_array.push_back(static_cast<int>(j));
    }
    if (s.part_array.empty()) continue;
    s.buildSegmentsFromParts(fem);
    if (s.segment_array.empty()) continue;
    for (Part* p : s.part_array) {
      p->contact_surface_id = s.id;
      p->contact_surface = &s;
    }
  }
}

void SurfaceManager::buildSurfaceIdMap() {
  for (Surface& s : surface_array) surface_map[s.id] = &s;
}

Surface* SurfaceManager::findSurfaceById(int id) { return surface_map[id]; }

void SurfaceManager::clearSurfaceFlags() {
  for (Surface& s : surface_array) {
    for (unsigned char& f : s.flags) f = 0;
  }
}

void SurfaceManager::allocateAndCopySurfaceInteractGpu() {
  uploadSurfaceInteracts(surfaceInteractArrayCpu, &surfaceInteractArrayGpu);
}
