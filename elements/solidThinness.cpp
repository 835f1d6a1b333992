#include "elements/solidThinness.h"

#include <algorithm>
#include <array>
#include <map>

#include "core/part.h"
#include "elements/elmmanager.h"
#include "materials/material.h"

namespace {

using FaceKey = std::array<int, 4>;

// The three pairs of opposite faces of a hexahedron, as slots of its nodes.
constexpr int kFacePairs[3][2][4] = {{{0, 1, 2, 3}, {4, 5, 6, 7}},
                                     {{0, 1, 5, 4}, {3, 2, 6, 7}},
                                     {{1, 2, 6, 5}, {0, 3, 7, 4}}};

bool isHexahedron(const SolidElementCuda& e) {
  return e.sfemType == SFEM_NONE && (e.type == ET_HEXA_FULL || e.type == ET_HEXA_REDUCED ||
                                     e.type == ET_HEXA_INCOMPATIBLE || e.type == ET_SOLID_SHELL8);
}

FaceKey faceKey(const SolidElementCuda& e, const int (&slots)[4]) {
  FaceKey k;
  for (int i = 0; i < 4; ++i) k[i] = e.node_id[slots[i]];
  std::sort(k.begin(), k.end());
  return k;
}

template <typename Visit>
void forEachHexahedron(std::vector<Part>& parts, Visit visit) {
  for (Part& part : parts) {
    if (part.elmManager == nullptr) continue;
    for (SolidElementCuda& e : part.elmManager->solid_element_array_cpu)
      if (isHexahedron(e)) visit(part, e);
  }
}

}  // namespace

void markUnheldHexahedra(std::vector<Part>& parts) {
  std::map<FaceKey, int> faceUse;
  forEachHexahedron(parts, [&](Part&, SolidElementCuda& e) {
    for (const auto& pair : kFacePairs)
      for (const auto& face : pair) ++faceUse[faceKey(e, face)];
  });
  forEachHexahedron(parts, [&](Part& part, SolidElementCuda& e) {
    e.lengthScale = 0.0;
    if (part.material == nullptr) return;
    for (const auto& pair : kFacePairs)
      if (faceUse[faceKey(e, pair[0])] == 1 && faceUse[faceKey(e, pair[1])] == 1)
        e.lengthScale = unheldLengthScale(part.material->poissons_ratio);
  });
}
