#include "core/curvemanager.h"

#include <cstdio>

#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "platform/gpuRuntime.h"

CurveManager::~CurveManager() { freeDevice(curve_array_gpu); }

void CurveManager::addCurve(const Curve& curve) {
  curve_array.push_back(curve);
  curve_num = static_cast<int>(curve_array.size());
}

void CurveManager::buildCurveMap() {
  curveMap.clear();
  for (Curve& c : curve_array) curveMap.emplace(c.id, &c);
}

Curve* CurveManager::findCurveById(int id) {
  const auto it = curveMap.find(id);
  return it == curveMap.end() ? nullptr : it->second;
}

bool CurveManager::linkCurve(int id, Curve*& curve, const char* owner) {
  curve = id == 0 ? nullptr : findCurveById(id);
  if (id == 0 || curve != nullptr) return true;
  std::fprintf(stderr, "%s: load curve %d is not in the model\n", owner, id);
  return false;
}

void CurveManager::updateCurveValues(double t) {
  if (curveValues.size() != curve_array.size()) curveValues.resize(curve_array.size());
  for (size_t i = 0; i < curve_array.size(); ++i) curveValues[i] = curve_array[i].returnValue(t);
}
