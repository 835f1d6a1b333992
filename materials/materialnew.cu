#include "materials/materialnew.h"

#include <cstdio>

#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "materials/material.h"

__host__ __device__ void reportSlotNotExecuted() { printf("here not executed\n"); }

__host__ __device__ MaterialNew::MaterialNew() : MaterialNew(0, MT_NULL, 0) {}

__host__ __device__ MaterialNew::MaterialNew(int id_, MaterialNewType type_, int option_)
    : id(id_),
      type(type_),
      option(option_),
      density(0.0),
      youngModulus(0.0),
      poissonRatio(0.0),
      matStatusNum(0),
      matStatusArrayCpu_(nullptr) {
  for (int i = 0; i < 4; ++i) waveSpeed[i] = 0.0;
  for (int i = 0; i < kMaxGpuNum; ++i) matStatusArrayGpu_[i] = nullptr;
}

__host__ __device__ MaterialNew::MaterialNew(const Material* record)
    : MaterialNew(record->id, static_cast<MaterialNewType>(record->type), record->option) {
  density = record->density;
  youngModulus = record->youngs_modulus;
  poissonRatio = record->poissons_ratio;
  for (int i = 0; i < 4; ++i) waveSpeed[i] = record->wave_speed[i];
}

__host__ __device__ void MaterialNew::computeStressMatrix3D(GaussPoint*, double[3][3], double*, double*, double) const {
  reportSlotNotExecuted();
}

__host__ __device__ void MaterialNew::computeStressMatrix3D(GaussPoint*, double[3][3], double[3][3], double) const {
  reportSlotNotExecuted();
}

__host__ __device__ void MaterialNew::computeStressMatrixPlaneStrain(GaussPoint*, double*, double*, double**,
                                                                     double) const {
  reportSlotNotExecuted();
}

__host__ __device__ void MaterialNew::computeStressMatrixPlaneStress(GaussPoint*, double*, double*, double**,
                                                                     double) const {
  reportSlotNotExecuted();
}

__host__ __device__ void MaterialNew::computeStressMatrix1d(GaussPoint*, double*, double*, double**, double) const {
  reportSlotNotExecuted();
}

__host__ __device__ void MaterialNew::computeWaveNumber() {
  waveSpeed[0] = solidWaveSpeed(youngModulus, poissonRatio, density);
  waveSpeed[1] = plateWaveSpeed(youngModulus, poissonRatio, density);
  waveSpeed[2] = barWaveSpeed(youngModulus, density);
}

__host__ __device__ void MaterialNew::reverseConstitutiveMatrix(GaussPoint*, double[6][6]) const {
  reportSlotNotExecuted();
}

__host__ __device__ void MaterialNew::createMaterialStatusInstance(GaussPoint*) { reportSlotNotExecuted(); }

__host__ __device__ void MaterialNew::linkMatStatuToGaussPoint(GaussPoint*, MaterialStatus*) {
  reportSlotNotExecuted();
}

void MaterialNew::createStatusArrayCpu() { reportSlotNotExecuted(); }

void MaterialNew::copyStatusArrayToGpu(int) { reportSlotNotExecuted(); }

void MaterialNew::copyStatusArrayOf(int gpu_id, std::size_t statusSize) {
  if (matStatusNum <= 0 || gpu_id < 0 || gpu_id >= kMaxGpuNum || matStatusArrayCpu_ == nullptr) return;
  freeDevice(matStatusArrayGpu_[gpu_id]);
  const std::size_t bytes = statusSize * static_cast<std::size_t>(matStatusNum);
  CUDA_CHECK(cudaMalloc(&matStatusArrayGpu_[gpu_id], bytes));
  CUDA_CHECK(cudaMemcpy(matStatusArrayGpu_[gpu_id], matStatusArrayCpu_, bytes, cudaMemcpyHostToDevice));
}

void MaterialNew::releaseStatusArrayCpu() {
  // State records are trivially destructible: releasing the storage is enough.
  ::operator delete[](static_cast<void*>(matStatusArrayCpu_));
  matStatusArrayCpu_ = nullptr;
}

MaterialNew::~MaterialNew() {
  releaseStatusArrayCpu();
  for (int in = 0; in < kMaxGpuNum; ++in) {
    freeDevice(matStatusArrayGpu_[in]);
  }
}
