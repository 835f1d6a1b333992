// Surface interaction properties (friction, thermal, damping): records made
// by the readers, owned by the surface manager and assigned to contacts or
// to the whole model by the contact manager.
#pragma once
#include <cstdint>

// Interaction type codes.
enum SurfaceInteractType { FRICTION_INTERACT = 0, THERMAL_INTERACT = 1, DAMP_INTERACT = 2 };

class SurfaceInteract {
 public:
  int32_t id = 0;    // 1-based count of interactions at creation
  int32_t type = 0;  // SurfaceInteractType

  explicit SurfaceInteract(int32_t typeCode) : type(typeCode) {}
  virtual ~SurfaceInteract() = default;
};

class FrictionSurfaceInteract : public SurfaceInteract {
 public:
  unsigned char flag = 0;             // copied, not used by the law
  double static_coefficient = 0.0;    // mu_s
  double dynamic_coefficient = 0.0;   // mu_d
  double decay_coefficient = 0.0;     // dc
  double further_values[3] = {0.0, 0.0, 0.0};  // carried, not used by the law
  unsigned char rough_flag = 0;

  FrictionSurfaceInteract() : SurfaceInteract(FRICTION_INTERACT) {}
};

class ThermalSurfaceInteract : public SurfaceInteract {
 public:
  double values[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};  // carried, not used
  ThermalSurfaceInteract() : SurfaceInteract(THERMAL_INTERACT) {}
};

class DampSurfaceInteract : public SurfaceInteract {
 public:
  double values[3] = {0.0, 0.0, 0.0};  // carried, not used
  DampSurfaceInteract() : SurfaceInteract(DAMP_INTERACT) {}
};
