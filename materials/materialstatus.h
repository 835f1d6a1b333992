// State records of the integration points: stress, strain and, for the
// plastic model, the hardening state.  Plain records (no virtual functions)
// so that state arrays are uploaded to the device byte for byte.
#pragma once
#include <type_traits>

#include "platform/gpuRuntime.h"

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

// Full symmetric matrix of a stress vector (xx, yy, zz, xy, yz, zx); T is
// double or the lane type of points computed together.
template <typename T>
__host__ __device__ inline void stressVectorToMatrix(const T* v, T S[3][3]) {
  S[0][0] = v[0];
  S[1][1] = v[1];
  S[2][2] = v[2];
  S[0][1] = S[1][0] = v[3];
  S[1][2] = S[2][1] = v[4];
  S[2][0] = S[0][2] = v[5];
}

// Stress vector (xx, yy, zz, xy, yz, zx) of a symmetric matrix.
__host__ __device__ inline void stressMatrixToVector(const double S[3][3], double* v) {
  v[0] = S[0][0];
  v[1] = S[1][1];
  v[2] = S[2][2];
  v[3] = S[0][1];
  v[4] = S[1][2];
  v[5] = S[2][0];
}

class PlasticMaterialStatus : public MaterialStatus {
 public:
  double k;      // current flow stress
  double eps_p;  // accumulated effective plastic strain

  __host__ __device__ PlasticMaterialStatus() : k(0.0), eps_p(0.0) {}
  __host__ __device__ explicit PlasticMaterialStatus(double initialYield) : k(initialYield), eps_p(0.0) {}
};

// The plastic state of mixed (kinematic) hardening: besides the flow
// stress, the back stress, the centre of the yield surface, a deviator xx,
// yy, zz, xy, yz, zx.  Kept only by the points of a model whose surface
// moves, so that isotropic hardening reads and stores no more than before.
class KinematicPlasticMaterialStatus : public PlasticMaterialStatus {
 public:
  double backStress[6];

  __host__ __device__ KinematicPlasticMaterialStatus() : KinematicPlasticMaterialStatus(0.0) {}
  __host__ __device__ explicit KinematicPlasticMaterialStatus(double initialYield)
      : PlasticMaterialStatus(initialYield) {
    for (int i = 0; i < 6; ++i) backStress[i] = 0.0;
  }
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
static_assert(std::is_trivially_copyable_v<KinematicPlasticMaterialStatus>);
static_assert(std::is_trivially_copyable_v<MooneyRivlinMaterialStatus>);
