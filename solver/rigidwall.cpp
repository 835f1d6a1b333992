#include "solver/rigidwall.h"
#include <cmath>
#include <cstdio>
#include "core/curve.h"
#include "core/curvemanager.h"
#include "core/nodeManager.h"
#include "core/set.h"
#include "core/setManager.h"
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

bool RigidWall::linkSlaveNodes(NodeManager* nodeManager, SetManager* setManager) {
  slave_node_array.clear();
  if (slave_set_id == 0) {
    for (NodeCuda& n : nodeManager->node_array_cpu) slave_node_array.push_back(&n);
  } else {
    Set* set = setManager->findSet(slave_set_id, SET_NODE);
    if (set == nullptr) {
      fprintf(stderr, "Rigid wall %d: node set %d does not exist\n", wall_id, slave_set_id);
      slave_node_num = 0;
      return false;
    }
    for (NodeCuda* n : set->node_array_cpu) {
      if (n != nullptr) slave_node_array.push_back(n);
    }
  }
  slave_node_num = static_cast<int>(slave_node_array.size());
  return true;
}

bool RigidWall::linkCurve(CurveManager* curveManager) {
  motion_curve = nullptr;
  if (motion_curve_id == 0) return true;
  motion_curve = curveManager->findCurveById(motion_curve_id);
  if (motion_curve == nullptr) {
    fprintf(stderr, "Rigid wall %d: curve %d does not exist\n", wall_id, motion_curve_id);
    return false;
  }
  return true;
}

void RigidWall::calWallMotion(double dt, double t) {
  if (motion_curve == nullptr) return;
  const double value = motion_curve->returnValue(t);
  double step = 0.0;
  if (motion_mode == 1) {
    step = value - last_curve_value;
    last_curve_value = value;
  } else if (motion_mode == 0) {
    step = value * dt;
  } else {
    return;
  }
  for (int i = 0; i < 3; ++i) tail_point[i] += step * motion_direction[i];
}

// Wall contact comes with the rigid-wall operations.
void RigidWall::copySlaveNodesToGpu(FEMDynamic*) { reportUnavailable("Rigid walls", 1); }
void RigidWall::move(double, double) { reportUnavailable("Rigid walls", 1); }
void RigidWall::applyForce(FEMDynamic*, double, double) { reportUnavailable("Rigid walls", 1); }
