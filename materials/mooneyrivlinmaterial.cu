#include "materials/mooneyrivlinmaterial.h"

#include <cmath>

#include "core/logErrorPrint.h"

__host__ __device__ MooneyRivlinMaterial::MooneyRivlinMaterial(const Material* record)
    : MaterialNew(record),
      c1(record->mooney_rivlin_constants[0]),
      c2(record->mooney_rivlin_constants[1]),
      c3(record->mooney_rivlin_constants[2]) {}

__host__ __device__ void MooneyRivlinMaterial::computeStressMatrix3D(GaussPoint* gp, double L[3][3],
                                                                     double S[3][3], double dt) const {
  MooneyRivlinMaterialStatus* st = static_cast<MooneyRivlinMaterialStatus*>(gp->matStatus_);
  if (st == nullptr) return;
  double F[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) F[i][j] = (i == j ? 1.0 : 0.0) + st->H[i * 3 + j];
  // Forward Euler step of dF/dt = L F.
  double Fn[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double lf = 0.0;
      for (int k = 0; k < 3; ++k) lf += L[i][k] * F[k][j];
      Fn[i][j] = F[i][j] + dt * lf;
    }
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) st->H[i * 3 + j] = Fn[i][j] - (i == j ? 1.0 : 0.0);
  double B[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double sum = 0.0;
      for (int k = 0; k < 3; ++k) sum += Fn[i][k] * Fn[j][k];
      B[i][j] = sum;
    }
  double B2[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double sum = 0.0;
      for (int k = 0; k < 3; ++k) sum += B[i][k] * B[k][j];
      B2[i][j] = sum;
    }
  const double I1 = B[0][0] + B[1][1] + B[2][2];
  const double J2 = B[0][0] * (B[1][1] * B[2][2] - B[1][2] * B[2][1]) -
                    B[0][1] * (B[1][0] * B[2][2] - B[1][2] * B[2][0]) +
                    B[0][2] * (B[1][0] * B[2][1] - B[1][1] * B[2][0]);
  const double J = std::sqrt(J2);
  const double a = c1 + c2 * I1;
  const double p = c1 + 2.0 * c2 - c3 * std::log(J2);
  for (int i = 0; i < 3; ++i)
    for (int j = i; j < 3; ++j) {
      const double v = (2.0 / J) * (a * B[i][j] - c2 * B2[i][j] - (i == j ? p : 0.0));
      S[i][j] = v;
      S[j][i] = v;
    }
}

__host__ __device__ void MooneyRivlinMaterial::createMaterialStatusInstance(GaussPoint* gp) {
  gp->setMatStatusPtr(new MooneyRivlinMaterialStatus());
}

__host__ __device__ void MooneyRivlinMaterial::linkMatStatuToGaussPoint(GaussPoint* gp, MaterialStatus* array) {
  linkStatusOf<MooneyRivlinMaterialStatus>(gp, array);
}

void MooneyRivlinMaterial::createStatusArrayCpu() {
  createStatusArrayOf<MooneyRivlinMaterialStatus>([](int) { return MooneyRivlinMaterialStatus(); });
}

void MooneyRivlinMaterial::copyStatusArrayToGpu(int gpu_id) {
  if (matStatusNum <= 0 || gpu_id < 0 || gpu_id >= kMaxGpuNum || matStatusArrayCpu_ == nullptr) return;
  if (matStatusArrayGpu_[gpu_id] != nullptr) CUDA_CHECK(cudaFree(matStatusArrayGpu_[gpu_id]));
  matStatusArrayGpu_[gpu_id] = nullptr;
  CUDA_CHECK(cudaMalloc(&matStatusArrayGpu_[gpu_id], sizeof(MooneyRivlinMaterialStatus)*matStatusNum));
  CUDA_CHECK(cudaMemcpy(matStatusArrayGpu_[gpu_id], matStatusArrayCpu_, sizeof(MooneyRivlinMaterialStatus)*matStatusNum, cudaMemcpyHostToDevice));
}
