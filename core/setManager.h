// Owner of all sets, by type, with the id lookup.
#pragma once
#include <deque>
#include <map>

#include "core/set.h"

class SetManager {
 public:
  // Sets by value; deques keep every Set* valid while sets are appended.
  std::deque<Set> node_set_array;
  std::deque<Set> segment_set_array;
  std::deque<Set> part_set_array;
  std::deque<Set> element_set_array;

  std::map<int, Set*> node_set_map;
  std::map<int, Set*> part_set_map;
  std::map<int, Set*> segment_set_map;
  std::map<int, Set*> element_set_map;

  // Appends a copy to the list of its type; returns the stored set, or
  // null for a type outside 0..3.
  Set* addSet(const Set& set);

  // The list of one type; null for a type outside 0..3.
  std::deque<Set>* setArray(int type);
  const std::deque<Set>* setArray(int type) const;

  // Maps every set id to its set, per type; a repeated id keeps the first set.
  void buildSetMaps();
  // The set of that id and type; null when none (a missing id leaves a
  // null entry in the map) or when the type is not 0..3.
  Set* findSet(int id, int type);

 private:
  std::map<int, Set*>* setMap(int type);
};
