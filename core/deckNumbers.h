// The deck's id of a number the readers gave (node numbers: the readers map
// each deck id to its number), for messages.
#pragma once
#include <map>

// The deck id mapped to the number; the number itself when none is (models
// built in memory have no map).
inline int deckIdOfNumber(const std::map<int, int>& deckIdToNumber, int number) {
  for (const auto& [deckId, mapped] : deckIdToNumber) {
    if (mapped == number) return deckId;
  }
  return number;
}
