// A planar rigid wall: the card values, its frame and its slave nodes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

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
  std::vector<NodeCuda*> slave_node_array;
  int slave_node_num = 0;
  NodeCuda** slave_node_array_gpu = nullptr;

  // Slave nodes: every node of the model for slave set 0, else the nodes of
  // that node set (ids that are no node are left out). False, after a
  // message, when the set does not exist.
  bool linkSlaveNodes(NodeManager* nodeManager, SetManager* setManager);
  // Frame of the wall: unit normal from tail to head, first tangent towards
  // the edge point (tangent mode 0) or (1/nx, -1/ny, 0), second = t1 x n.
  void setCoordSystem();
  // Motion curve of the wall (none for id 0). False, after a message, when
  // a non-zero id names no curve.
  bool linkCurve(CurveManager* curveManager);
  // Moves the tail point: mode 1 by the change of the curve value since the
  // last call, mode 0 by curve value x dt, both along the motion direction.
  void calWallMotion(double dt, double t);
  void copySlaveNodesToGpu(FEMDynamic* fem);
  void move(double dt, double time);
  void applyForce(FEMDynamic* fem, double time, double dt);
};
