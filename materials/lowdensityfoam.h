// Models that hold their data but compute no stress: the low-density foam
// and the general nonlinear 6-DOF discrete beam.  Every model operation
// reached on them reports "here not executed".
#pragma once
#include "materials/material.h"
#include "materials/materialnew.h"

// Copies the points of a curve as (x, y) pairs; all zero when id is 0.
__host__ __device__ inline void copyCurvePairs(int id, const CurveData& curve, double pairs[kCurvePointMax][2]) {
  const int n = curve.count < 0 ? 0 : (curve.count > kCurvePointMax ? kCurvePointMax : curve.count);
  for (int i = 0; i < kCurvePointMax; ++i) {
    const bool used = id != 0 && i < n;
    pairs[i][0] = used ? curve.x[i] : 0.0;
    pairs[i][1] = used ? curve.y[i] : 0.0;
  }
}

class LowDensityFoamAbaqusMaterial : public MaterialNew {
 public:
  double constants[3];
  int loadingCurveId;
  int unloadingCurveId;
  double loadingCurve[kCurvePointMax][2];
  double unloadingCurve[kCurvePointMax][2];

  __host__ __device__ explicit LowDensityFoamAbaqusMaterial(const Material* record) : MaterialNew(record) {
    for (int i = 0; i < 3; ++i) constants[i] = record->foam_constants[i];
    loadingCurveId = record->loading_curve_id;
    unloadingCurveId = record->unloading_curve_id;
    copyCurvePairs(loadingCurveId, record->loading_curve, loadingCurve);
    copyCurvePairs(unloadingCurveId, record->unloading_curve, unloadingCurve);
  }
};

class GeneralNonlnearMaterial119 : public MaterialNew {
 public:
  int curveIds[6];                      // the record's linked curve ids 4-6, then 1-3
  double tables[6][kCurvePointMax][2];  // table k from linked curve k of the record

  __host__ __device__ explicit GeneralNonlnearMaterial119(const Material* record) : MaterialNew(record) {
    for (int k = 0; k < 3; ++k) {
      curveIds[k] = record->curve_ids[k + 3];
      curveIds[k + 3] = record->curve_ids[k];
    }
    for (int k = 0; k < 6; ++k) copyCurvePairs(record->curve_ids[k], record->linked_curves[k], tables[k]);
  }
};
