// A hand-built solid model (solidTestModel.h) copied to device memory the
// way the set-up passes leave it: device nodes, elements, points, states and
// derivative arrays linked by device addresses, a device material model, one
// section and one hourglass record, and a part whose element store owns the
// device element array.
#pragma once
#include <vector>

#include "core/part.h"
#include "core/section.h"
#include "elements/common/elmmanager.h"
#include "tests/elements/solid1st/solidTestModel.h"

namespace solidtest {

struct DeviceModel {
  NodeCuda* nodes = nullptr;
  GaussPoint* points = nullptr;
  ElasticMaterialStatus* states = nullptr;
  double* derivatives = nullptr;
  Material* record = nullptr;
  MaterialNew** materials = nullptr;
  Section* sections = nullptr;
  HourglassControl* hourglass = nullptr;
  int nodeNum = 0;
  // The part of the model and its element store (owns the device elements).
  ElmManager store;
  std::vector<Part> parts;

  explicit DeviceModel(SolidModel& m);
  ~DeviceModel();
  DeviceModel(const DeviceModel&) = delete;
  DeviceModel& operator=(const DeviceModel&) = delete;

  std::vector<NodeCuda> readNodes() const;
  std::vector<SolidElementCuda> readElements() const;
};

}  // namespace solidtest
