// Boundary conditions: prescribed displacement, velocity or acceleration of
// chosen degrees of freedom of a node, of the nodes of a node set, or of a
// rigid body, imposed through the force that makes the coming
// central-difference update reach the prescribed state; and their owner.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/gpuRuntime.h"
#include "core/deviceNodeList.h"

class FEMDynamic;
class CurveManager;
class Curve;
class Set;
struct NodeCuda;
class RigidCuda;

// Death time of a condition that never ends.
constexpr double kNeverEnds = 1e21;

// Boundary kinds (`type`).
enum BoundaryKind {
  BOUNDARY_NONE = 0,
  BOUNDARY_DISPLACEMENT = 1,
  BOUNDARY_VELOCITY = 2,
  BOUNDARY_ACCELERATION = 3,
  BOUNDARY_ACCELERATION_ALT = 4
};

class BasicBoundary {
 public:
  int type = BOUNDARY_NONE;
  int id = 0;                            // node number, node-set id or rigid part position, by target
  int curve_id = 0;                      // 0: no curve, factor 1.0
  int dof_flag[6] = {0, 0, 0, 0, 0, 0};  // x, y, z, rotation x, y, z; non-zero = prescribed
  unsigned char is_set = 0;              // the target is a node set
  int is_rigid = 0;                      // the target is a rigid part
  double birth_time = 0.0;               // acts for birth_time <= t < death_time
  double death_time = kNeverEnds;
  double dof_value[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  double factor = 1.0;  // curve factor at the current time
  Curve* curve = nullptr;
  std::string card;  // the deck card it was read from, for messages

  virtual ~BasicBoundary() = default;
  // Binds the target on the host; false, after a message naming the card
  // and the id, when the target does not exist.
  virtual bool linkTarget(FEMDynamic* fem) = 0;
  // Builds the device lists once the model is on the device.
  virtual void init(FEMDynamic* fem) = 0;
  virtual void applyGpu(double dt, double dtPrev) = 0;
  virtual void applyCpu(double dt, double dtPrev) = 0;

  // Curve of curve_id; false, after a message, when it does not exist.
  bool linkCurve(CurveManager* curveManager);
  void computeFactor(double t);
  bool activeAt(double t) const { return birth_time <= t && t < death_time; }

 protected:
  // Degrees of freedom first <= i < last.
  struct DofRange {
    int first;
    int last;
  };
  static constexpr DofRange kTranslations{0, 3};
  static constexpr DofRange kRotations{3, 6};
  // Imposes the flagged degrees of freedom of a range on the host nodes.
  void imposeOnHost(const std::vector<NodeCuda*>& nodes, DofRange dofs, double dt, double dtPrev) const;
  // One launch per flagged degree of freedom of a range over a device node
  // list.
  void imposeOnDevice(const DeviceNodeList& nodes, DofRange dofs, double dt, double dtPrev) const;
};

class NodeBoundary : public BasicBoundary {
 public:
  int set_id = 0;
  std::string set_or_node_name;  // name of the node or node set (.inp decks)
  Set* set = nullptr;
  NodeCuda* node = nullptr;

  bool linkTarget(FEMDynamic* fem) override;
  // The nodes that carry the condition out: the targets themselves, or for
  // a target that moves with a weld, joint or tie, the nodes that lead it
  // (solver/prescribedNodes.h).
  void init(FEMDynamic* fem) override;
  void applyGpu(double dt, double dtPrev) override;
  void applyCpu(double dt, double dtPrev) override;
  const std::vector<NodeCuda*>& targetNodes() const { return targets_; }
  // The nodes that carry out its translations (after init).
  const std::vector<NodeCuda*>& translatedNodes() const { return translated_; }

 private:
  std::vector<NodeCuda*> targets_;               // the set's nodes or the one node
  std::vector<NodeCuda*> translated_, rotated_;  // the nodes that carry it out
  DeviceNodeList translatedGpu_, rotatedGpu_;
};

// Prescribed motion of a rigid body. The body's own prescribed motion
// (RigidConstrained) carries it out on the body's six degrees of freedom;
// the boundary binds the body and writes no nodal force, so that the
// motion is imposed once.
class RigidBoundary : public BasicBoundary {
 public:
  RigidCuda* rigid = nullptr;

  bool linkTarget(FEMDynamic* fem) override;
  void init(FEMDynamic*) override {}
  void applyGpu(double, double) override {}
  void applyCpu(double, double) override {}
};

class BoundaryManager {
 public:
  std::vector<std::unique_ptr<BasicBoundary>> boundary_array;

  // Takes ownership of a boundary created by a reader with new (not new[]).
  void addBoundary(BasicBoundary* boundary);
  // Set-up: binds every target and curve; false when one does not exist.
  bool linkAllTargets(FEMDynamic* fem);
  bool linkAllCurves(CurveManager* curveManager);
  void initAll(FEMDynamic* fem);
  // The curve factors: a prescribed displacement's at the time its coming
  // update reaches (reachedTime), where its node is to be, every other's at
  // the time of the state reached.
  void computeAllFactors(double time, double reachedTime);
  // Boundaries outside their time window are skipped.
  void applyAllGpu(double time, double dt, double prevDt);
  void applyAllCpu(double time, double dt, double prevDt);
};

// Force (or moment) of component i of a node that makes the coming update
// reach the prescribed value v: kind 1 the total displacement, kind 2 the
// velocity, kinds 3 and 4 the acceleration. M is the mass, or the rotary
// inertia for a rotation. It replaces whatever was added to the component.
__host__ __device__ inline void imposeBoundaryComponent(NodeCuda& node, int kind, int i, double v, double dt,
                                                        double dtPrev);

__global__ void GpuBoundaryDispImpose(double dt, double dtPrev, double v, int i, int n, NodeCuda** nodes);
__global__ void GpuBoundaryVeloImpose(double dt, double dtPrev, double v, int i, int n, NodeCuda** nodes);
__global__ void GpuBoundaryAcceImpose(double dt, double dtPrev, double v, int i, int n, NodeCuda** nodes);

#include "core/node.h"

__host__ __device__ inline void imposeBoundaryComponent(NodeCuda& node, int kind, int i, double v, double dt,
                                                        double dtPrev) {
  const double m = i < 3 ? node.mass : node.rot_inertia[i - 3];
  const double span = dt + dtPrev;
  double f = 0.0;
  if (kind == BOUNDARY_DISPLACEMENT) {
    f = span > 0.0 && dt > 0.0 ? 2.0 * m * ((v - node.total_disp[i]) / dt - node.vel[i]) / span : 0.0;
  } else if (kind == BOUNDARY_VELOCITY) {
    f = span > 0.0 ? 2.0 * m * (v - node.vel[i]) / span : 0.0;
  } else if (kind == BOUNDARY_ACCELERATION || kind == BOUNDARY_ACCELERATION_ALT) {
    f = m * v;
  } else {
    return;
  }
  if (i < 3) {
    node.force[i] = f;
  } else {
    node.moment[i - 3] = f;
  }
}
