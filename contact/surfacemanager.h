// Owner of all contact surfaces and of their surface-interaction objects.
#pragma once
#include <map>
#include <vector>
#include "contact/surface.h"

class SurfaceInteract;

class SurfaceManager {
 public:
  std::vector<Surface> surface_array;
  std::map<int, Surface*> surface_id_map;  // surface id -> surface
  std::map<int, int> segment_element_map;  // provisional segment number -> element id
  int segment_total_num = 0;               // segments of all surfaces
  std::vector<SurfaceInteract*> surface_interact_array_cpu;  // owned
  SurfaceInteract** surface_interact_array_gpu = nullptr;    // device array of device objects

  SurfaceManager() = default;
  SurfaceManager(const SurfaceManager&) = delete;
  SurfaceManager& operator=(const SurfaceManager&) = delete;
  ~SurfaceManager();

  // The surface kept for an id, or null (a missing id leaves a null entry).
  Surface* findSurfaceById(int id);
  // Clears the per-cycle flags of every surface.
  void clearSurfaceFlags();
  // Builds the surface-interaction objects on the device.
  void allocateAndCopySurfaceInteractGpu();
};
