// The hourglass records of the model and their device copy.
#pragma once
#include <map>
#include <vector>

#include "elements/common/hourglasscontrol.h"

class Part;

// Id 0 is the model's control (*CONTROL_HOURGLASS); a part's hourglass id
// (HGID) names one of the others.
class HourglassControlManager {
 public:
  std::vector<HourglassControl> hourglass_array_cpu;  // in reading order
  HourglassControl* hourglass_array_gpu = nullptr;    // byte copy of the vector
  std::map<int, HourglassControl*> hourglass_id_map;
  // The control of every part, entry p - 1 for part p, and its device copy:
  // the element kernels take each element's control from it by part.
  std::vector<HourglassControl> part_controls_cpu;
  HourglassControl* part_controls_gpu = nullptr;

  HourglassControlManager() = default;
  HourglassControlManager(const HourglassControlManager&) = delete;
  HourglassControlManager& operator=(const HourglassControlManager&) = delete;
  virtual ~HourglassControlManager();

  // Appends the default record (1, 1, 0.1) when none was read, then maps
  // every id to its record (a repeated id keeps its first record).
  void buildIdMap();
  // The record of an id, or null.
  HourglassControl* findHourglassById(int id);
  // The model's control: the *CONTROL_HOURGLASS record, else the default
  // (the viscous form 1, coefficient 0.1).
  HourglassControl modelControl() const;
  // Gives every part its control: the one its hourglass id names, else the
  // model's. False, after a message naming the part, when the id names no
  // control, when the part's one-point solids, quadrilateral shells or
  // membranes would take a form they do not compute, or a viscous
  // coefficient that the step cannot hold at the run's safe factor. Called
  // after buildIdMap and the parts' links to their sections.
  bool selectPartControls(const std::vector<Part>& parts, double safeFactor);
  // The control of a part on the host (the model's before selection).
  HourglassControl* partControlCpu(int partId);
  // Device copy of all records and of the part controls (one entry, the
  // model's control, when no selection was made).
  void allocateAndCopyGpu();
};
