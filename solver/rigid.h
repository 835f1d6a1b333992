// Rigid bodies and prescribed rigid-body motions. A rigid body is the node
// list of a part of the rigid material or of a node set; every cycle it
// gathers its nodes' forces and moments into a resultant about its centre of
// mass, integrates its six degrees of freedom and writes back into every
// member node the velocity that carries it along the rigid motion.
#pragma once
#include <vector>

#include "platform/gpuRuntime.h"
#include "core/deviceNodeList.h"

struct NodeCuda;
class Part;
class Set;
class NodeManager;
class RigidManager;
class CurveManager;
class Curve;
class BasicBoundary;

// Threads per block of the force gathering (the shared cache holds one
// entry per thread and component).
constexpr int kRigidGatherBlock = 32;

class RigidCuda {
 public:
  std::vector<NodeCuda*> nodes;  // member nodes (host)
  DeviceNodeList node_array_gpu;
  std::vector<NodeCuda*> extraNodes;  // attached extra nodes (host)
  DeviceNodeList extra_node_array_gpu;
  std::vector<NodeCuda*> rigidsNodes;  // nodes of the bodies merged into this one
  DeviceNodeList rigids_node_array_gpu;
  Part* part = nullptr;  // part of the rigid material, or null
  Set* set = nullptr;    // node set of a nodal rigid body, or null
  int node_num = 0;
  int initialVelocityDone = 0;
  int merged = 0;                       // 1: master or slave of a merged pair
  RigidCuda* mergedInto = nullptr;      // the master, for the slave of a merged pair
  int dofFlag[6] = {0, 0, 0, 0, 0, 0};  // 1: the degree of freedom is held (no acceleration, no velocity)
  double mass[3] = {0.0, 0.0, 0.0};
  double inertia[9] = {};       // about the centre, global axes, row by row
  double displacement[6] = {};  // accumulated translation and rotation
  double acceleration[6] = {};
  double force[6] = {};  // resultant force and moment about the centre
  double centre[3] = {};
  double velocity[6] = {};               // translational and angular
  DeviceDoubleBuffer force_gpu;          // 6 doubles per gathering block (device)
  std::vector<double> force_cpu;         // the same on the host
  DeviceDoubleBuffer contact_load_gpu;   // kContactLoadWidth doubles per block of the contact's look (device)
  std::vector<double> contact_load_cpu;  // the same on the host

  RigidCuda() = default;
  RigidCuda(const RigidCuda&) = default;
  RigidCuda& operator=(const RigidCuda&) = default;
  RigidCuda(RigidCuda&&) noexcept = default;
  RigidCuda& operator=(RigidCuda&&) noexcept = default;
  virtual ~RigidCuda() = default;

  // Part position of a part body; 0 for a nodal rigid body.
  int partId() const;
  // The body it moves with: its master's, when it was merged, else itself.
  const RigidCuda* root() const;
  // Whether the node is a member or an extra node of the body.
  bool holdsNode(const NodeCuda* node) const;

  // Set-up.
  void linkNodes();
  // Holds the degrees of freedom that the constraint card of the part's
  // rigid material names (translations and rotations in global axes).
  void holdMaterialConstraints();
  void computeMassProperties(RigidManager* rigidManager);
  void copyNodesToGpu(NodeManager* nodeManager);
  void allocateForceBuffer();
  // Per cycle.  The resultant of the forces on the nodes, taken from them;
  // spin: with the gyroscopic moment of the body's spin.
  void gatherForcesGpu(bool spin = true);
  void gatherForcesCpu(bool spin = true);
  void computeAccelerations();
  void updateVelocity(double dt, double prevDt);
  void updateNodesGpu(double dt);
  void updateNodesCpu(double dt);
  // Back to where the last node update's step began (centre, displacement
  // and inertia), so that the step can be taken again with a velocity found
  // after it (the contact made before the first move); nothing before one.
  void rewindStep();
  // What the contact force step needs of the body between its passes: the
  // resultant force and moment about the centre of the forces now on its
  // member and extra nodes, and the contact pairs counted on them; the
  // forces stay in the nodes.
  void contactLoadGpu(double load[7]);
  void contactLoadCpu(double load[7]) const;

 private:
  void finishResultant(bool spin);
  // Rotation of the step dt (Cayley form of dt x angular velocity); turns
  // the inertia tensor with the body and returns the matrix row by row.
  void stepRotation(double dt, double r[9]);
  void advanceState(double dt);
  template <typename SetNodes>
  void stepNodes(double dt, SetNodes setNodes);
  // Keeps where the coming step begins.
  void keepStepStart();
  // Launches the gathering over one device list and adds its block sums.
  void gatherList(const DeviceNodeList& list);
  void addContactLoad(const DeviceNodeList& list, double load[7]);

  bool stepStarted_ = false;  // the start of a step is kept
  double stepCentre_[3] = {};
  double stepDisplacement_[6] = {};
  double stepInertia_[9] = {};
};

// Inertia tensor of point masses about their centre (rows of a 3x3 matrix)
// from the raw sums about the origin; entries on the diagonal that are 0 or
// below 0.001 of the mean become 0.001 x the mean, so that a body on a line
// or a single node still inverts.
void inertiaAboutCentre(double mass, const double c[3], const double sums[6], bool floorDiagonal, double inertia[9]);

// Prescribed motion of one rigid body, from a *BOUNDARY_PRESCRIBED_MOTION_RIGID card.
class RigidConstrained {
 public:
  int motionType = 0;  // 0 fixed, 1 displacement, 2 velocity, 3 acceleration
  int part_id = 0;     // part position of the body
  int curve_id = 0;
  double dof_flag[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};  // deck flags, 0.0 or 1.0
  double factor3[3] = {1.0, 1.0, 1.0};
  int dofCode[6] = {0, 0, 0, 0, 0, 0};
  double factor = 1.0;  // curve factor at the current time
  double value[6] = {};
  double release[6] = {};
  double frame[9] = {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
  Curve* curve = nullptr;
  BasicBoundary* boundary = nullptr;  // the boundary card it comes from
  RigidCuda* rigid = nullptr;

  // Binds the body of part_id and copies the motion from its card; false,
  // after a message, when the part is no rigid body.
  bool linkRigidCuda(RigidManager* rigidManager);
  bool linkCurve(CurveManager* curveManager);
  // Curve factor at the time (a prescribed displacement's at the time its
  // coming update reaches, reachedTime), and whether the time lies inside
  // the card's window [birth, death): outside it the motion leaves the body
  // free.
  void computeFactor(double time, double reachedTime);
  // Whether the motion holds the body at the time (inside the window).
  bool activeAt(double time) const;
  void imposeMotion(double dt, double prevDt);
  void projectAccelerations();

 private:
  bool active_ = true;
};

__global__ void rigidNodeForceAssem(NodeCuda** nodes, int n, double3 centre, double* blockSums);
// Values per block of rigidNodeContactLoad: force, moment, pair count.
constexpr int kContactLoadWidth = 7;
__global__ void rigidNodeContactLoad(NodeCuda* const* nodes, int n, double3 centre, double* blockSums);
__global__ void rigidNodeVelGlobal(NodeCuda** nodes, double invDt, double3 centre, double3 r0, double3 r1, double3 r2,
                                   double3 v, double3 omega, int n);
