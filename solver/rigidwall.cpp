#include "solver/rigidwall.h"
#include <cmath>
#include "solver/pendingFeature.h"

namespace {
void normalise(double v[3]) {
  const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (len <= 0.0) return;
  for (int i = 0; i < 3; ++i) v[i] /= len;
}
}  // namespace

void RigidWall::setCoordSystem() {
  for (int i = 0; i < 3; ++i) normal[i] = head_point[i] - tail_point[i];
  normalise(normal);
  if (tangent_mode == 0) {
    for (int i = 0; i < 3; ++i) tangent1[i] = edge_point[i] - tail_point[i];
  } else {
    tangent1[0] = normal[0] != 0.0 ? 1.0 / normal[0] : 0.0;
    tangent1[1] = normal[1] != 0.0 ? -1.0 / normal[1] : 0.0;
    tangent1[2] = 0.0;
  }
  normalise(tangent1);
  tangent2[0] = tangent1[1] * normal[2] - tangent1[2] * normal[1];
  tangent2[1] = tangent1[2] * normal[0] - tangent1[0] * normal[2];
  tangent2[2] = tangent1[0] * normal[1] - tangent1[1] * normal[0];
}

// Wall contact comes with the rigid-wall operations.
void RigidWall::copySlaveNodesToGpu(FEMDynamic*) { reportUnavailable("Rigid walls", 1); }
void RigidWall::move(double, double) { reportUnavailable("Rigid walls", 1); }
void RigidWall::applyForce(FEMDynamic*, double, double) { reportUnavailable("Rigid walls", 1); }
