// The discrete element: a stored axial force applied along the current axis
// of its two nodes.
#include <cmath>

#include "elements/beam/discreteCuda.h"

__host__ __device__ void DiscreteCuda::calAxiVec() {
  if (node[0] == nullptr || node[1] == nullptr) return;
  double d[3];
  for (int j = 0; j < 3; ++j) d[j] = node[1]->coord[j] - node[0]->coord[j];
  length = sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  if (length > 0.0)
    for (int j = 0; j < 3; ++j) axis[j] = d[j] / length;
}

__host__ __device__ void DiscreteCuda::calAxiDeformRate(double timeStep) {
  if (node[0] == nullptr || node[1] == nullptr) return;
  double r = 0.0;
  for (int j = 0; j < 3; ++j) r += axis[j] * (node[1]->vel[j] - node[0]->vel[j]);
  deformIncrement = timeStep * r;
}

__host__ __device__ void DiscreteCuda::assemInterForce() {
  for (int j = 0; j < 3; ++j) {
    interForce[0][j] = axialForce * axis[j];
    interForce[1][j] = -axialForce * axis[j];
  }
}

__host__ __device__ void DiscreteCuda::computeDiscreteInterForceGpu(const MaterialNew* /*material*/,
                                                                    const Section* /*section*/,
                                                                    const HourglassControl* /*hourglass*/,
                                                                    double /*timeStep*/) {
  // Discrete sections give code 3; records built as discrete elements carry 6.
  if (type != ET_DISCRETE && type != ET_SPRING) return;
  calAxiVec();
  assemInterForce();
}

void DiscreteCuda::computeDiscreteInterForceCpu(const MaterialNew* material, const Section* section, double timeStep) {
  computeDiscreteInterForceGpu(material, section, nullptr, timeStep);
  if (type != ET_DISCRETE && type != ET_SPRING) return;
  for (int n = 0; n < 2; ++n) {
    if (node[n] == nullptr) continue;
    for (int j = 0; j < 3; ++j) node[n]->force[j] -= interForce[n][j];
  }
}
