#include "elements/solidThinness.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "core/part.h"
#include "elements/elmmanager.h"
#include "materials/material.h"
#include "platform/hostParallel.h"

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

// The first-order hexahedra of all parts, with the material of their part.
struct Hexahedron {
  SolidElementCuda* element;
  const Material* material;
};

std::vector<Hexahedron> collectHexahedra(std::vector<Part>& parts) {
  std::vector<Hexahedron> hexahedra;
  for (Part& part : parts) {
    if (part.elmManager == nullptr) continue;
    for (SolidElementCuda& e : part.elmManager->solid_element_array_cpu)
      if (isHexahedron(e)) hexahedra.push_back({&e, part.material});
  }
  return hexahedra;
}

constexpr std::size_t kGrain = 4096;

// How many faces of the list have the key of each face.  Equal faces have
// the same smallest node id, so the faces are counted out into buckets by
// that id and compared within their bucket only.
std::vector<int> faceUses(const std::vector<FaceKey>& keys) {
  const std::size_t n = keys.size();
  std::vector<int> uses(n, 0);
  if (n == 0) return uses;
  int low = keys[0][0], high = keys[0][0];
  for (const FaceKey& k : keys) {
    low = std::min(low, k[0]);
    high = std::max(high, k[0]);
  }
  const std::size_t buckets = static_cast<std::size_t>(high - low) + 1;
  std::vector<std::size_t> start(buckets + 1, 0);
  for (const FaceKey& k : keys) ++start[static_cast<std::size_t>(k[0] - low) + 1];
  for (std::size_t b = 0; b < buckets; ++b) start[b + 1] += start[b];
  std::vector<std::size_t> order(n), cursor(start.begin(), start.end() - 1);
  for (std::size_t f = 0; f < n; ++f) order[cursor[static_cast<std::size_t>(keys[f][0] - low)]++] = f;
  fem_parallel::parallelFor(buckets, kGrain, [&](std::size_t b) {
    for (std::size_t i = start[b]; i < start[b + 1]; ++i) {
      const FaceKey& key = keys[order[i]];
      ++uses[order[i]];
      for (std::size_t j = i + 1; j < start[b + 1]; ++j)
        if (keys[order[j]] == key) {
          ++uses[order[i]];
          ++uses[order[j]];
        }
    }
  });
  return uses;
}

}  // namespace

void markUnheldHexahedra(std::vector<Part>& parts) {
  const std::vector<Hexahedron> hexahedra = collectHexahedra(parts);
  // Face 2p + s of hexahedron h (side s of pair p) is key 6h + 2p + s.
  std::vector<FaceKey> keys(6 * hexahedra.size());
  fem_parallel::parallelFor(hexahedra.size(), kGrain, [&](std::size_t h) {
    for (int p = 0; p < 3; ++p)
      for (int side = 0; side < 2; ++side) keys[6 * h + 2 * p + side] = faceKey(*hexahedra[h].element, kFacePairs[p][side]);
  });
  const std::vector<int> uses = faceUses(keys);
  fem_parallel::parallelFor(hexahedra.size(), kGrain, [&](std::size_t h) {
    SolidElementCuda& e = *hexahedra[h].element;
    e.lengthScale = 0.0;
    if (hexahedra[h].material == nullptr) return;
    for (int p = 0; p < 3; ++p)
      if (uses[6 * h + 2 * p] == 1 && uses[6 * h + 2 * p + 1] == 1)
        e.lengthScale = unheldLengthScale(hexahedra[h].material->poissons_ratio);
  });
}
