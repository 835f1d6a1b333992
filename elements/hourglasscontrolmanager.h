// The hourglass records of the model and their device copy.
#pragma once
#include <map>
#include <vector>

#include "elements/hourglasscontrol.h"

class HourglassControlManager {
 public:
  std::vector<HourglassControl> hourglass_array_cpu;  // in reading order
  HourglassControl* hourglass_array_gpu = nullptr;    // byte copy of the vector
  std::map<int, HourglassControl*> hourglass_id_map;

  HourglassControlManager() = default;
  HourglassControlManager(const HourglassControlManager&) = delete;
  HourglassControlManager& operator=(const HourglassControlManager&) = delete;
  virtual ~HourglassControlManager();

  // Appends the default record (1, 1, 0.1) when none was read, turns every
  // form other than 1 and 2 into form 1 with one message per record, then
  // maps every id to its record (a repeated id keeps its first record).
  void buildIdMap();
  // The record of an id, or null.
  HourglassControl* findHourglassById(int id);
  // Device copy of all records.
  void allocateAndCopyGpu();
};
