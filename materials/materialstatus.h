// State records of the integration points: stress, strain and, for the
// plastic model, the hardening state.  Plain records (no virtual functions)
// so that state arrays are uploaded to the device byte for byte.
#pragma once
#include <type_traits>

#include "platform/gpu_runtime.h"

struct GaussPoint;

class MaterialStatus {
 public:
  GaussPoint* gaussPoint;  // owner
  double stress[6];        // Cauchy stress xx, yy, zz, xy, yz, zx
  // Accumulated strain: the 3-D updates store xx, yy, zz, yz, zx, xy, the
  // plane-stress updates xx, yy, zz, xy, yz, zx.
  double strain[6];

  __host__ __device__ MaterialStatus() : gaussPoint(nullptr) {
    for (int i = 0; i < 6; ++i) {
      stress[i] = 0.0;
      strain[i] = 0.0;
    }
  }
  __host__ __device__ void linkGaussPoint(GaussPoint* gp) { gaussPoint = gp; }
};

class ElasticMaterialStatus : public MaterialStatus {};

class PlasticMaterialStatus : public MaterialStatus {
 public:
  double k;      // current flow stress
  double eps_p;  // accumulated effective plastic strain

  __host__ __device__ PlasticMaterialStatus() : k(0.0), eps_p(0.0) {}
  __host__ __device__ explicit PlasticMaterialStatus(double initialYield) : k(initialYield), eps_p(0.0) {}
};

// Mooney-Rivlin state: H = F - I, the deformation gradient minus the
// identity, row-major.  Zero is the undeformed state.
class MooneyRivlinMaterialStatus : public MaterialStatus {
 public:
  double H[9];

  __host__ __device__ MooneyRivlinMaterialStatus() {
    for (int i = 0; i < 9; ++i) H[i] = 0.0;
  }
};

static_assert(std::is_trivially_copyable_v<MaterialStatus>);
static_assert(std::is_trivially_copyable_v<ElasticMaterialStatus>);
static_assert(std::is_trivially_copyable_v<PlasticMaterialStatus>);
static_assert(std::is_trivially_copyable_v<MooneyRivlinMaterialStatus>);
