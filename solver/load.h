// Loads: nodal, element, body and surface loads, and their owner.
#pragma once
#include <memory>
#include <string>
#include <vector>

class FEMDynamic;
class CurveManager;

class BasicLoad {
 public:
  int curve_id = 0;
  int id = 0;
  double direction[3] = {0.0, 0.0, 0.0};
  double scale_factor = 0.0;
  int load_type = 0;
  int load_kind = 0;
  int is_set = 0;
  int load_id = 0;
  std::string title;
  int set_ref_id = 0;
  int curve_ref_id = 0;
  double arrival_time = 0.0;
  double ref_factor = 0.0;

  virtual ~BasicLoad() = default;
};

class NodeLoad : public BasicLoad {};
class ElementLoad : public BasicLoad {};

class GlobalLoad : public BasicLoad {
 public:
  int dr_curve_id = 0;
  double center[3] = {0.0, 0.0, 0.0};
  int coord_id = 0;
};

class SurfaceLoad : public BasicLoad {
 public:
  int surface_load_type = 2;  // 2: pressure
  double magnitude = 0.0;
  int surface_id = 0;
};

class LoadManager {
 public:
  std::vector<std::unique_ptr<BasicLoad>> load_array;

  // Takes ownership of a load created by a reader with new (not new[]).
  void addLoad(BasicLoad* load);
  void linkAllCurves(CurveManager* curveManager);
  void initAll(FEMDynamic* fem);
  void computeAllFactors(double time);
  void applyAllGpu();
  void applyAllCpu();

 private:
  // Applying loads comes with the load operations; with loads present they
  // report that they do not act.
  void reportPending() const;
};
