// A planar rigid wall, unbounded or a rectangle, fixed or moving along a
// direction by a load curve: the card values, its frame, its slave nodes
// and the force that stops slave nodes from passing it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gpuRuntime.h"
#include "core/deviceNodeList.h"

struct NodeCuda;
class FEMDynamic;
class Curve;
class CurveManager;
class NodeManager;
class SetManager;

class RigidWall {
 public:
  int32_t wall_id = 0;
  std::string wall_title;
  int32_t slave_set_id = 0;  // 0: every node of the model
  int32_t wall_ints[2] = {0, 0};
  double wall_values[4] = {0.0, 0.0, 0.0, 0.0};
  double tail_point[3] = {0.0, 0.0, 0.0};
  double head_point[3] = {0.0, 0.0, 0.0};
  double wall_value7 = 0.0;
  double wall_value8 = 0.0;
  double edge_point[3] = {0.0, 0.0, 0.0};
  double edge_lengths[2] = {0.0, 0.0};
  double moving_values[2] = {0.0, 0.0};
  int32_t motion_curve_id = 0;
  int32_t motion_kind = 0;
  double motion_direction[3] = {0.0, 0.0, 0.0};
  int32_t motion_mode = 0;
  int32_t tangent_mode = 0;
  // Set-up results.
  double normal[3] = {0.0, 0.0, 0.0};
  double tangent1[3] = {0.0, 0.0, 0.0};
  double tangent2[3] = {0.0, 0.0, 0.0};
  Curve* motion_curve = nullptr;
  double last_curve_value = 0.0;
  double wall_speed = 0.0;  // current speed along the motion direction
  std::vector<NodeCuda*> slave_node_array;
  int slave_node_num = 0;
  DeviceNodeList slave_node_array_gpu;
  // Per slave node: 1 while it is on the wall's far side (it passed behind
  // the plane beside a finite wall), host and device copies.
  std::vector<unsigned char> far_side;
  DeviceArray<unsigned char> far_side_gpu;

  // Slave nodes: every node of the model for slave set 0, else the nodes of
  // that node set (ids that are no node are left out). False, after a
  // message, when the set does not exist.
  bool linkSlaveNodes(NodeManager* nodeManager, SetManager* setManager);
  // Frame of the wall: unit normal from tail to head, first tangent towards
  // the edge point (tangent mode 0) or (1/nx, -1/ny, 0), second = t1 x n.
  // False, after a message, when head and tail coincide (no normal) or a
  // finite wall has no edge direction.
  bool setCoordSystem();
  // Motion curve of the wall (none for id 0). False, after a message, when
  // a non-zero id names no curve.
  bool linkCurve(CurveManager* curveManager);
  // Moves the wall (tail, head and edge point together): mode 1 by the
  // change of the curve value since the last call, mode 0 by curve value x
  // dt, both along the motion direction; other modes and walls without a
  // curve stay where they are.
  void calWallMotion(double dt, double t);
  void copySlaveNodesToGpu(FEMDynamic* fem);
  void move(double dt, double time);
  // Pushes every slave node that would end the coming step behind the wall
  // (closer than half its thickness): the force lets it land on the wall at
  // the end of the step, or, once it is there or behind, brings its normal
  // motion to the wall's.  A finite wall acts on the nodes that reach its
  // plane from the front within its rectangle: a node that passes behind the
  // plane beside it is on its far side, and moves freely there, also within
  // the rectangle, until it is in front again.  dt is the coming step; the
  // velocity update takes the mean of dt and the previous step (the solver's;
  // prevDt for the host twin): at set-up, before the first step, that is
  // half a step.
  void applyForce(FEMDynamic* fem, double time, double dt);
  void applyForceCpu(double time, double dt, double prevDt);
  bool finite() const { return edge_lengths[0] != 0.0 && edge_lengths[1] != 0.0; }

 private:
  void updateWallSpeed(double time, double dt);
  bool fixedNoticeGiven_ = false;
};

// Stiffness that bounds the wall force of heavy nodes.
constexpr double kRigidWallStiffness = 100000.0;

struct RigidWallFrame {
  double3 tail, normal, direction, corner;
  double wallSpeed, dt, length, width;
  double velocityStep;  // step of the coming velocity update
};

// Wall force on one node (see RigidWall::applyForce); farSide: the node's
// far-side flag, kept up to date.
__host__ __device__ void rigidWallNodeForce(NodeCuda& node, const RigidWallFrame& wall, unsigned char& farSide);

__global__ void rigidwallForceDenfGlobal(NodeCuda** slaves, double3 tail, double3 normal, double3 direction,
                                         double wallSpeed, double velocityStep, int n, double unused, double dt,
                                         double3 corner, double length, double width, unsigned char* farSide);
