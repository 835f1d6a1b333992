// Rigid bodies and prescribed rigid-body motions.
#pragma once
#include <vector>

struct NodeCuda;
class Part;
class NodeManager;
class RigidManager;
class CurveManager;
class BasicBoundary;

class RigidCuda {
 public:
  Part* part = nullptr;
  int refNodeId = 0;                    // reference node id; 0 = none
  std::vector<NodeCuda*> node_array;    // the body's nodes (host)
  NodeCuda** node_array_gpu = nullptr;  // the body's nodes (device)

  void computeMassProperties(RigidManager* rigidManager);
  void copyNodesToGpu(NodeManager* nodeManager);
  void allocateForceBuffer();
  void gatherForcesGpu();
  void gatherForcesCpu();
  void computeAccelerations();
  void updateVelocity(double dt, double prevDt);
  void updateNodesGpu(double dt);
  void updateNodesCpu(double dt);
};

class RigidConstrained {
 public:
  int part_id = 0;
  int curve_id = 0;
  double dof_flag[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};  // 0.0 or 1.0
  double factor[3] = {1.0, 1.0, 1.0};
  BasicBoundary* boundary = nullptr;  // the boundary card it comes from
  RigidCuda* rigid = nullptr;

  void linkCurve(CurveManager* curveManager);
  void computeFactor(double time);
  void imposeMotion(double dt, double prevDt);
  void projectAccelerations();
};
