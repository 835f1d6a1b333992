// Base of the constitutive models.  One object exists per material record on
// the host, and a second one is built by a kernel on the device so that its
// virtual table is a device table and kernels can call the stress updates.
#pragma once
#include <cstddef>
#include <new>

#include "materials/integrationPoint.h"
#include "materials/materialstatus.h"
#include "platform/gpuRuntime.h"

struct Material;

enum MaterialNewType : int {
  MT_NULL = 0,
  MT_RIGID = 1,
  MT_LINEAR_ELASTIC = 2,
  MT_ELASTIC_PLASTIC = 4,
  MT_LINEAR_STIFFNESS_66 = 6,
  MT_GENERAL_NONLINEAR = 7,
  MT_MOONEY_RIVLIN = 8,
  MT_LOW_DENSITY_FOAM = 9,
};

// True for the type codes that get a model object (0, 1, 2, 4, 6, 7, 8, 9).
__host__ __device__ inline bool isMaterialTypeBuilt(int code) {
  return code == MT_NULL || code == MT_RIGID || code == MT_LINEAR_ELASTIC || code == MT_ELASTIC_PLASTIC ||
         code == MT_LINEAR_STIFFNESS_66 || code == MT_GENERAL_NONLINEAR || code == MT_MOONEY_RIVLIN ||
         code == MT_LOW_DENSITY_FOAM;
}

constexpr int kMaxGpuNum = 8;

class MaterialNew {
 public:
  int id;                // material id (1-based), equal to the record's
  MaterialNewType type;  // model code
  int option;            // integer option copied from the record (not interpreted)
  double waveSpeed[4];   // c_solid, c_plate, c_bar and a carried fourth value
  double density;
  double youngModulus;                             // E
  double poissonRatio;                             // nu
  int matStatusNum;                                // integration points served (host object only)
  MaterialStatus* matStatusArrayCpu_;              // host state array, owned
  MaterialStatus* matStatusArrayGpu_[kMaxGpuNum];  // device state array per GPU; the device object uses entry 0

  __host__ __device__ MaterialNew();
  __host__ __device__ MaterialNew(int id, MaterialNewType type, int option);
  __host__ __device__ explicit MaterialNew(const Material* record);

  // 0: 3-D update from a strain increment d (xx, yy, zz, xy, yz, zx;
  // engineering shears) and a rotation increment w.
  __host__ __device__ virtual void computeStressMatrix3D(GaussPoint* gp, double S[3][3], double* d, double* w,
                                                         double dt) const;
  // 1: 3-D update from the velocity gradient L (solids).
  __host__ __device__ virtual void computeStressMatrix3D(GaussPoint* gp, double L[3][3], double S[3][3],
                                                         double dt) const;
  // 2: plane strain.
  __host__ __device__ virtual void computeStressMatrixPlaneStrain(GaussPoint* gp, double* stress, double* d,
                                                                  double** frame, double dt) const;
  // 3: plane stress (shells and membranes).
  __host__ __device__ virtual void computeStressMatrixPlaneStress(GaussPoint* gp, double* stress, double* d,
                                                                  double** frame, double dt) const;
  // 4: uniaxial.
  __host__ __device__ virtual void computeStressMatrix1d(GaussPoint* gp, double* stress, double* d, double** frame,
                                                         double dt) const;
  // 5: c_solid, c_plate, c_bar from E, nu and density.
  __host__ __device__ virtual void computeWaveNumber();
  // 6: 6x6 material matrix.
  __host__ __device__ virtual void reverseConstitutiveMatrix(GaussPoint* gp, double C[6][6]) const;
  // 7: one state record for one integration point, linked to it (null
  // when the allocation fails).
  __host__ __device__ virtual void createMaterialStatusInstance(GaussPoint* gp);
  // 8: links gp to its record (gp's state index) of a state array.
  __host__ __device__ virtual void linkMatStatuToGaussPoint(GaussPoint* gp, MaterialStatus* array);
  // 9 (host): creates matStatusArrayCpu_ of matStatusNum records.
  virtual void createStatusArrayCpu();
  // 10 (host): uploads the state array to entry gpu_id of matStatusArrayGpu_.
  virtual void copyStatusArrayToGpu(int gpu_id);
  // 11 (host): frees the host state array and every device state array.
  virtual ~MaterialNew();

  MaterialNew(const MaterialNew&) = delete;
  MaterialNew& operator=(const MaterialNew&) = delete;

 protected:
  // Host state array of n records of one state type, each constructed by
  // make(i); the previous array, if any, is released first.
  template <typename Status, typename Make>
  void createStatusArrayOf(Make make);
  template <typename Status>
  __host__ __device__ static void linkStatusOf(GaussPoint* gp, MaterialStatus* array);
  // Uploads the host state array, records of statusSize bytes, to entry
  // gpu_id (replacing what that entry held); nothing without a host array.
  void copyStatusArrayOf(int gpu_id, std::size_t statusSize);
  void releaseStatusArrayCpu();
};

// Prints "here not executed" for a model operation a class does not provide.
__host__ __device__ void reportSlotNotExecuted();

template <typename Status, typename Make>
void MaterialNew::createStatusArrayOf(Make make) {
  releaseStatusArrayCpu();
  if (matStatusNum < 1) return;
  Status* array = static_cast<Status*>(::operator new[](sizeof(Status) * size_t(matStatusNum)));
  for (int i = 0; i < matStatusNum; ++i) new (array + i) Status(make(i));
  matStatusArrayCpu_ = array;
}

template <typename Status>
__host__ __device__ void MaterialNew::linkStatusOf(GaussPoint* gp, MaterialStatus* array) {
  if (gp == nullptr) return;
  Status* typed = static_cast<Status*>(array);
  gp->setMatStatusPtr(typed != nullptr ? typed + gp->matStatusIndex_ : nullptr);
}
