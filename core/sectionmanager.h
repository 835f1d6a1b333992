// Owner of the sections: sorted by id, found by id, uploaded once.
#pragma once
#include <map>
#include <vector>

#include "core/section.h"

class SectionManager {
 public:
  std::vector<Section> section_array;
  std::map<int, Section*> sectionMap;    // id -> record
  Section* section_array_gpu = nullptr;  // device copy of section_array, owned

  SectionManager() = default;
  SectionManager(const SectionManager&) = delete;
  SectionManager& operator=(const SectionManager&) = delete;
  virtual ~SectionManager();

  // Sorts by ascending id, then maps id -> record (a repeated id keeps the first).
  void sortAndMapSections();
  // The section of that id, or null.
  Section* findSectionById(int id);
  // Allocates the device array and copies the records in one copy.
  void copySectionsToGpu();
};
