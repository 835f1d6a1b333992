// Owner of the load curves: id lookup and the per-cycle table of values.
#pragma once
#include <map>
#include <vector>

#include "core/curve.h"

class CurveManager {
 public:
  std::vector<Curve> curve_array;        // reading order
  int curve_num = 0;                     // kept equal to curve_array.size() by the readers
  std::vector<double> curveValues;       // value of curve i at index i, refreshed per cycle
  CurveData* curve_array_gpu = nullptr;  // nothing uploads curves; freed when set
  std::map<int, Curve*> curveMap;        // id -> curve

  CurveManager() = default;
  CurveManager(const CurveManager&) = delete;
  CurveManager& operator=(const CurveManager&) = delete;
  virtual ~CurveManager();

  // Appends a copy and keeps curve_num equal to the count.
  void addCurve(const Curve& curve);
  // id -> curve for every curve in vector order; a repeated id keeps the first.
  void buildCurveMap();
  // The curve of that id, or null.
  Curve* findCurveById(int id);
  // Binds `curve` to the curve of that id (none for id 0). False, after a
  // message naming `owner` and the id, when the model has no such curve.
  bool linkCurve(int id, Curve*& curve, const char* owner);
  // Sizes the value table to the curve count and fills it with each curve's
  // value at t.
  void updateCurveValues(double t);
};
