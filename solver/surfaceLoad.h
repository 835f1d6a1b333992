// Uniform pressure on the segments of a contact surface (a segment set),
// scaled by a load-curve factor.
#pragma once
#include <string>

#include "platform/gpuRuntime.h"
#include "solver/load.h"

class Surface;
struct SegmentCuda;

class SurfaceLoad : public PressureLoad {
 public:
  int surface_load_type = 2;  // 2: pressure
  double magnitude = 0.0;
  int surface_id = 0;
  std::string surface_name;
  Surface* surface = nullptr;

  SurfaceLoad();
  // False, after a message, when the model has no surface of the load's
  // segment-set number.
  bool linkTarget(FEMDynamic* fem) override;
  // Binds that surface (its segments are on the device by now).
  void init(FEMDynamic* fem) override;
  // Pressure (scale factor x curve factor) on every segment: p A / (node
  // count) to each of its nodes, against the segment normal for a positive
  // pressure.
  void applyGpu() override;
  void applyCpu() override;
};

// One thread per segment: the shares of the segment's uniform normal
// pressure p, four per segment (zeros past its nodes).
__global__ void GpuApplyUniforLoadToSurface(int n, SegmentCuda* segments, double p, double* shares);
