// Boundary conditions: prescribed nodal or rigid-body motion, and their
// owner.
#pragma once
#include <memory>
#include <string>
#include <vector>

class FEMDynamic;
class CurveManager;

class BasicBoundary {
 public:
  int type = 0;  // 1: displacement
  int id = 0;    // 1-based position in the manager
  int curve_id = 0;
  int dof_flag[6] = {0, 0, 0, 0, 0, 0};  // 1 = prescribed
  unsigned char is_set = 0;
  int is_rigid = 0;
  double birth_time = 0.0;
  double death_time = 1e21;
  double dof_value[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};

  virtual ~BasicBoundary() = default;
};

class NodeBoundary : public BasicBoundary {
 public:
  int set_id = 0;
  std::string set_or_node_name;  // name of the node or node set (.inp decks)
};

class RigidBoundary : public BasicBoundary {};

class BoundaryManager {
 public:
  std::vector<std::unique_ptr<BasicBoundary>> boundary_array;

  // Takes ownership of a boundary created by a reader with new (not new[]).
  void addBoundary(BasicBoundary* boundary);
  void linkAllCurves(CurveManager* curveManager);
  void initAll(FEMDynamic* fem);
  void computeAllFactors(double time);
  void applyAllGpu(double time, double dt, double prevDt);
  void applyAllCpu(double dt, double prevDt);

 private:
  // Imposing boundary conditions comes with the boundary-condition
  // operations; with boundaries present they report that they do not act.
  void reportPending() const;
};
