#include "solver/rigidwall.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "core/curve.h"
#include "core/curvemanager.h"
#include "core/node.h"
#include "core/nodeManager.h"
#include "core/set.h"
#include "core/setManager.h"
#include "solver/femdynamic.h"

namespace {
double normalise(double v[3]) {
  const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (len <= 0.0) return 0.0;
  for (int i = 0; i < 3; ++i) v[i] /= len;
  return len;
}

double3 toDouble3(const double v[3]) { return make_double3(v[0], v[1], v[2]); }

__host__ __device__ inline double dot3(double3 a, const double b[3]) { return a.x * b[0] + a.y * b[1] + a.z * b[2]; }
__host__ __device__ inline double dot3(double3 a, double3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Unit first and second edge directions of a finite wall.
__host__ __device__ inline void wallEdges(const RigidWallFrame& w, double3& e1, double3& e2) {
  e1 = make_double3(w.corner.x - w.tail.x, w.corner.y - w.tail.y, w.corner.z - w.tail.z);
  double len = sqrt(dot3(e1, e1));
  e1 = make_double3(e1.x / len, e1.y / len, e1.z / len);
  const double3 n = w.normal;
  e2 = make_double3(n.y * e1.z - n.z * e1.y, n.z * e1.x - n.x * e1.z, n.x * e1.y - n.y * e1.x);
  len = sqrt(dot3(e2, e2));
  e2 = make_double3(e2.x / len, e2.y / len, e2.z / len);
}
}  // namespace

// Depth behind the plane, as a share of a finite wall's edges, from which a
// node beside the wall lies on its far side: a node held on the plane that
// slides over the wall's edge and back lies that close to it by round-off.
constexpr double kFarSideShare = 1e-9;

__host__ __device__ void rigidWallNodeForce(NodeCuda& node, const RigidWallFrame& w, unsigned char& farSide) {
  const double3 d = make_double3(node.coord[0] - w.tail.x, node.coord[1] - w.tail.y, node.coord[2] - w.tail.z);
  const double gap = dot3(w.normal, d) - 0.5 * node.thickness;
  if (w.length != 0.0 && w.width != 0.0) {
    double3 e1, e2;
    wallEdges(w, e1, e2);
    const double s = dot3(d, e1), t = dot3(d, e2);
    const bool beside = s < 0.0 || t < 0.0 || s > w.length || t > w.width;
    // Behind the plane beside the wall, the node is on the wall's far side
    // until it comes back in front of the plane.
    if (gap >= 0.0) {
      farSide = 0;
    } else if (beside && gap < -kFarSideShare * (w.length + w.width)) {
      farSide = 1;
    }
    if (beside || farSide != 0) return;
  }
  if (!(w.dt > 0.0) || !(w.velocityStep > 0.0)) return;
  const double m = node.equivalent_mass > 0.0 ? node.equivalent_mass : node.mass;
  if (!(m > 0.0)) return;
  // Normal speed of the node after the coming velocity update without the
  // wall, and the least it may have: a node in front lands on the wall at the
  // end of the coming step at the latest (its speed towards the wall is cut,
  // never reversed); one on it or behind it moves with the wall.  A node that
  // starts on the wall moving into it is stopped there, not one step behind.
  const double wallSpeed = w.wallSpeed * dot3(w.direction, w.normal);
  const double forceNormal = node.rigid_flag != 0 ? 0.0 : dot3(w.normal, node.force);
  const double freeSpeed = dot3(w.normal, node.vel) + forceNormal / m * w.velocityStep;
  const double leastSpeed = wallSpeed - (gap > 0.0 ? gap : 0.0) / w.dt;
  if (freeSpeed >= leastSpeed) return;
  const double f = m * kRigidWallStiffness * (leastSpeed - freeSpeed) / w.velocityStep / (m + kRigidWallStiffness);
  // A wall lists each node once and the walls act one after the other, so
  // one thread at a time adds into a node's force.
  node.force[0] += f * w.normal.x;
  node.force[1] += f * w.normal.y;
  node.force[2] += f * w.normal.z;
}

__global__ void rigidwallForceDenfGlobal(NodeCuda** slaves, double3 tail, double3 normal, double3 direction,
                                         double wallSpeed, double velocityStep, int n, double /*unused*/, double dt,
                                         double3 corner, double length, double width, unsigned char* farSide) {
  const RigidWallFrame wall{tail, normal, direction, corner, wallSpeed, dt, length, width, velocityStep};
  const int stride = blockDim.x * blockDim.y * gridDim.x * gridDim.y;
  for (int k = ((blockDim.y * blockIdx.y + threadIdx.y) * gridDim.x + blockIdx.x) * blockDim.x + threadIdx.x; k < n;
       k += stride) {
    if (slaves[k] != nullptr) rigidWallNodeForce(*slaves[k], wall, farSide[k]);
  }
}

bool RigidWall::setCoordSystem() {
  for (int i = 0; i < 3; ++i) normal[i] = head_point[i] - tail_point[i];
  if (normalise(normal) == 0.0) {
    std::fprintf(stderr, "*RIGIDWALL %d: the head point equals the tail point, so the wall has no normal\n", wall_id);
    return false;
  }
  if (tangent_mode == 0) {
    for (int i = 0; i < 3; ++i) tangent1[i] = edge_point[i] - tail_point[i];
  } else {
    tangent1[0] = normal[0] != 0.0 ? 1.0 / normal[0] : 0.0;
    tangent1[1] = normal[1] != 0.0 ? -1.0 / normal[1] : 0.0;
    tangent1[2] = 0.0;
  }
  const double edge = normalise(tangent1);
  tangent2[0] = tangent1[1] * normal[2] - tangent1[2] * normal[1];
  tangent2[1] = tangent1[2] * normal[0] - tangent1[0] * normal[2];
  tangent2[2] = tangent1[0] * normal[1] - tangent1[1] * normal[0];
  if (finite() && (edge == 0.0 || normalise(tangent2) == 0.0)) {
    std::fprintf(stderr, "*RIGIDWALL %d: the edge point of a finite wall must lie off the normal through the tail\n",
                 wall_id);
    return false;
  }
  return true;
}

bool RigidWall::linkSlaveNodes(NodeManager* nodeManager, SetManager* setManager) {
  slave_node_array.clear();
  if (slave_set_id == 0) {
    for (NodeCuda& n : nodeManager->node_array_cpu) slave_node_array.push_back(&n);
  } else {
    Set* set = setManager->findSet(slave_set_id, SET_NODE);
    if (set == nullptr) {
      fprintf(stderr, "*RIGIDWALL %d: node set %d is not in the model\n", wall_id, slave_set_id);
      slave_node_num = 0;
      return false;
    }
    // A node the set lists twice is held once: the wall would push it
    // twice, from two threads at once.
    std::vector<char> listed(nodeManager->node_array_cpu.size(), 0);
    for (NodeCuda* n : set->node_array_cpu) {
      if (n == nullptr || listed[static_cast<std::size_t>(n->store_id)] != 0) continue;
      listed[static_cast<std::size_t>(n->store_id)] = 1;
      slave_node_array.push_back(n);
    }
  }
  slave_node_num = static_cast<int>(slave_node_array.size());
  far_side.assign(slave_node_array.size(), 0);
  return true;
}

bool RigidWall::linkCurve(CurveManager* curveManager) {
  const std::string owner = "*RIGIDWALL " + std::to_string(wall_id);
  return curveManager->linkCurve(motion_curve_id, motion_curve, owner.c_str());
}

void RigidWall::calWallMotion(double dt, double t) {
  if (motion_curve == nullptr) {
    if (motion_mode == 0 && !fixedNoticeGiven_) {
      std::printf("Rigid wall %d: moving wall without a motion curve; the wall stays fixed\n", wall_id);
      fixedNoticeGiven_ = true;
    }
    return;
  }
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
  for (int i = 0; i < 3; ++i) {
    tail_point[i] += step * motion_direction[i];
    head_point[i] += step * motion_direction[i];
    edge_point[i] += step * motion_direction[i];
  }
}

void RigidWall::copySlaveNodesToGpu(FEMDynamic* fem) {
  slave_node_array_gpu.build(slave_node_array, fem->nodeManager);
  far_side.assign(slave_node_array.size(), 0);
  far_side_gpu.assign(far_side.data(), slave_node_array_gpu.size());
}

void RigidWall::move(double dt, double time) { calWallMotion(dt, time); }

// Speed along the motion direction: the curve value (mode 0) or the change
// of the displacement curve over the last step (mode 1).
void RigidWall::updateWallSpeed(double time, double dt) {
  if (motion_curve == nullptr) {
    wall_speed = 0.0;
  } else if (motion_mode == 0) {
    wall_speed = motion_curve->returnValue(time);
  } else if (motion_mode == 1 && dt > 0.0) {
    wall_speed = (motion_curve->returnValue(time) - motion_curve->returnValue(time - dt)) / dt;
  }
}

void RigidWall::applyForce(FEMDynamic* fem, double time, double dt) {
  const int n = slave_node_array_gpu.size();
  if (n <= 0) return;
  updateWallSpeed(time, dt);
  const double velocityStep = 0.5 * (dt + (fem != nullptr ? fem->prev_dt : dt));
  launch(rigidwallForceDenfGlobal, dim3(static_cast<unsigned>(n / 32 + 1)), dim3(5, 5), slave_node_array_gpu.data(),
         toDouble3(tail_point), toDouble3(normal), toDouble3(motion_direction), wall_speed, velocityStep, n, 0.0, dt,
         toDouble3(edge_point), edge_lengths[0], edge_lengths[1], far_side_gpu.data());
}

void RigidWall::applyForceCpu(double time, double dt, double prevDt) {
  updateWallSpeed(time, dt);
  const RigidWallFrame wall{toDouble3(tail_point), toDouble3(normal), toDouble3(motion_direction),
                            toDouble3(edge_point), wall_speed,        dt,
                            edge_lengths[0],       edge_lengths[1],   0.5 * (dt + prevDt)};
  far_side.resize(slave_node_array.size(), 0);
  for (std::size_t k = 0; k < slave_node_array.size(); ++k) rigidWallNodeForce(*slave_node_array[k], wall, far_side[k]);
}
