#include "core/setManager.h"

std::deque<Set>* SetManager::setArray(int type) {
  switch (type) {
    case SET_NODE:
      return &node_set_array;
    case SET_SEGMENT:
      return &segment_set_array;
    case SET_PART:
      return &part_set_array;
    case SET_ELEMENT:
      return &element_set_array;
    default:
      return nullptr;
  }
}

const std::deque<Set>* SetManager::setArray(int type) const { return const_cast<SetManager*>(this)->setArray(type); }

std::map<int, Set*>* SetManager::setMap(int type) {
  switch (type) {
    case SET_NODE:
      return &node_set_map;
    case SET_SEGMENT:
      return &segment_set_map;
    case SET_PART:
      return &part_set_map;
    case SET_ELEMENT:
      return &element_set_map;
    default:
      return nullptr;
  }
}

Set* SetManager::addSet(const Set& set) {
  std::deque<Set>* sets = setArray(set.type);
  if (sets == nullptr) {
    return nullptr;
  }
  sets->push_back(set);
  return &sets->back();
}

void SetManager::buildSetMaps() {
  for (int type = SET_NODE; type <= SET_ELEMENT; ++type) {
    std::map<int, Set*>& map = *setMap(type);
    for (Set& set : *setArray(type)) {
      auto it = map.find(set.id);
      if (it == map.end()) {
        map.emplace(set.id, &set);
      } else if (it->second == nullptr) {
        // A lookup before the maps were built left a null entry.
        it->second = &set;
      }
    }
  }
}

Set* SetManager::findSet(int id, int type) {
  std::map<int, Set*>* map = setMap(type);
  if (map == nullptr) {
    return nullptr;
  }
  return (*map)[id];
}
