// Owner of all contact surfaces and of the surface-interaction objects.
#pragma once
#include <map>
#include <vector>
#include "contact/surface.h"

class SurfaceInteract;
struct ContactModel;

class SurfaceManager {
 public:
  int total_segment_num = 0;                              // segments of all surfaces
  std::vector<Surface> surface_array;                     // capacity reserved before builders append
  std::map<int, Surface*> surface_map;                    // surface id -> surface
  std::vector<SurfaceInteract*> surfaceInteractArrayCpu;  // owned; 1-based positions are interaction numbers
  SurfaceInteract** surfaceInteractArrayGpu = nullptr;    // device array of device objects, owned
  std::map<int, int> segment_element_map;                 // provisional segment number -> element id

  SurfaceManager() = default;
  SurfaceManager(const SurfaceManager&) = delete;
  SurfaceManager& operator=(const SurfaceManager&) = delete;
  ~SurfaceManager();

  // Surfaces named after parts take the exterior faces of those parts.
  void buildSurfacesFromParts(ContactModel* fem);
  // Segments read from sets that are exterior faces of solids, pointing out
  // of them, are one-sided as the faces built from parts are: a node behind
  // one is inside the solid, never in front of the face's back.
  void markSolidFaceSegments(ContactModel* fem);
  // surface_map[id] := surface, for every surface in order.
  void buildSurfaceIdMap();
  // The surface kept for an id, or null (a missing id leaves a null entry).
  Surface* findSurfaceById(int id);
  // Clears the per-cycle flags of every surface.
  void clearSurfaceFlags();
  // Builds the surface-interaction objects on the device.
  void allocateAndCopySurfaceInteractGpu();
};
