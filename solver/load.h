// Loads: concentrated forces on nodes and node sets, uniform pressure on
// shell element sets, gravity on the whole model and pressure on contact
// surfaces, each scaled by a load-curve factor; and their owner.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/orderedShares.h"

#include "platform/gpuRuntime.h"
#include "core/deviceNodeList.h"

class FEMDynamic;
class CurveManager;
class Curve;
class Set;
class NodeManager;
struct NodeCuda;
struct Element;
struct ShellElementCuda;

// Load types (`load_type`).
enum LoadType {
  LOAD_NONE = 0,
  LOAD_CONCENTRATED = 1,
  LOAD_PRESSURE = 2,
  LOAD_BODY_FORCE = 3,
  LOAD_GRAVITY = 4,
  LOAD_TORQUE = 5,
  LOAD_SHELL_EDGE = 6
};

class BasicLoad {
 public:
  int curve_id = 0;  // 0: no curve, factor 1.0
  int id = 0;        // node number, node-set id, shell-set id or surface number, by kind
  // Loaded components: forces along x, y, z, then (node loads) moments
  // about x, y, z; gravity uses the first three as signed flags.
  double direction[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  double scale_factor = 0.0;  // magnitude: force, pressure or acceleration of gravity
  int load_type = LOAD_NONE;
  int load_kind = 0;  // 0 node load, 1 segment pressure, 2 shell pressure, 3 body load
  int is_set = 0;
  int load_id = 0;
  std::string title;
  int set_ref_id = 0;
  int curve_ref_id = 0;
  double arrival_time = 0.0;
  double ref_factor = 0.0;
  double factor = 1.0;  // curve factor at the current time
  Curve* curve = nullptr;
  std::string card;  // the deck card it was read from, for messages

  virtual ~BasicLoad() = default;
  // Binds the target on the host; false, after a message naming the card
  // and the id, when the target does not exist.
  virtual bool linkTarget(FEMDynamic* fem) = 0;
  // Builds the device lists once the model is on the device; a load that
  // reaches its targets through the node manager builds none.
  virtual void init(FEMDynamic* /*fem*/) {}
  virtual void applyGpu() = 0;
  virtual void applyCpu() = 0;

  bool linkCurve(CurveManager* curveManager);
  void computeFactor(double t);
  const char* cardName() const { return card.empty() ? "load" : card.c_str(); }
  // Pressure loads: a positive pressure pushes against the facet normal of
  // the right-hand node order, into a body whose facets are numbered with
  // their normals out. The value along the normal at the current time.
  double pressureAlongNormal() const { return -scale_factor * factor; }
};

// Uniform pressure on facets (the shells of a shell set, the segments of a
// segment set): each facet writes four force shares, one per corner, that
// the nodes add in facet order. Other load types are refused with the
// target's own messages.
class PressureLoad : public BasicLoad {
 public:
  // One message per load type, then one for a type outside the list (the
  // pressure entry is not read).
  using TypeMessages = const char* const[LOAD_SHELL_EDGE + 2];

 protected:
  explicit PressureLoad(const TypeMessages& messages) : messages_(&messages) {}
  // True for a pressure load; any other type prints its message and is
  // not applied.
  bool typeApplies() const;

  OrderedShares shares_;  // four per facet

 private:
  const TypeMessages* messages_;
};

// Concentrated force or moment on a node or on every node of a node set.
class NodeLoad : public BasicLoad {
 public:
  Set* set = nullptr;
  NodeCuda* node = nullptr;

  bool linkTarget(FEMDynamic* fem) override;
  void init(FEMDynamic* fem) override;
  void applyGpu() override;
  void applyCpu() override;
  // A moment acts only on nodes that carry rotations: nodes with rotary
  // inertia (shells, beams) or members of a rigid body. False, after a
  // message naming the card and the first node that carries none, when the
  // load has a moment and such a node. Asked once the nodal masses exist.
  bool momentTargetsRotate(const FEMDynamic& fem) const;

 private:
  std::vector<NodeCuda*> targets_;
  DeviceNodeList nodeGpu_;
};

// Uniform pressure on the shells of a shell element set.
class ElementLoad : public PressureLoad {
 public:
  Set* set = nullptr;

  ElementLoad();
  bool linkTarget(FEMDynamic* fem) override;
  void init(FEMDynamic* fem) override;
  void applyGpu() override;
  void applyCpu() override;
};

// Gravity on every node of the model.
class GlobalLoad : public BasicLoad {
 public:
  int dr_curve_id = 0;
  double center[3] = {0.0, 0.0, 0.0};
  int coord_id = 0;
  NodeManager* nodeManager = nullptr;

  bool linkTarget(FEMDynamic* fem) override;
  void applyGpu() override;
  void applyCpu() override;

 private:
  bool typeApplies() const;
};

class LoadManager {
 public:
  std::vector<std::unique_ptr<BasicLoad>> load_array;

  // Takes ownership of a load created by a reader with new (not new[]).
  void addLoad(BasicLoad* load);
  // Set-up: binds every target and curve; false when one does not exist.
  bool linkAllTargets(FEMDynamic* fem);
  bool linkAllCurves(CurveManager* curveManager);
  // Once the nodal masses exist: every moment has nodes that can turn.
  bool momentTargetsRotate(const FEMDynamic& fem) const;
  void initAll(FEMDynamic* fem);
  void computeAllFactors(double time);
  void applyAllGpu();
  void applyAllCpu();
};

// Adds p A n / (node count) to the force of each node of a first-order
// shell (normal and area from the current coordinates; a positive p pushes
// along the normal of the right-hand node order, so that the loads pass
// pressureAlongNormal()). The additions are atomic: shells of one set share
// nodes.
__host__ __device__ void applyUniformNormLoadToShell(ShellElementCuda& shell, double p);
// The force a uniform pressure p puts on each corner of a shell (p times its
// area along its normal, shared equally); returns the number of corners (0
// for a shell without area or with a missing node).
__host__ __device__ int shellPressureShare(const ShellElementCuda& shell, double p, double share[3]);

__global__ void GpuApplyNodeLoad(int n, NodeCuda** nodes, int i, double v);
__global__ void GpuApplyGlobalLoad(int n, NodeCuda* nodes, double g, int i);
__global__ void GpuApplyUniforLoadToElement(int n, Element** elements, double p);
// The shares of the shells' corners, four slots per element (zeros past a
// triangle's corners and for elements that are no shells).
__global__ void GpuShellPressureShares(int n, Element** elements, double p, double* shares);
