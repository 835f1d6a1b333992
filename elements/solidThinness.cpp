#include "elements/solidThinness.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>

#include "core/part.h"
#include "elements/elmmanager.h"
#include "elements/solid1stFormulation.h"
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

// Largest eigenvalue of a symmetric 3 x 3 matrix (the trigonometric form of
// the cubic's roots).
double largestEigenvalue(const double A[3][3]) {
  const double off = A[0][1] * A[0][1] + A[0][2] * A[0][2] + A[1][2] * A[1][2];
  const double q = (A[0][0] + A[1][1] + A[2][2]) / 3.0;
  const double spread = (A[0][0] - q) * (A[0][0] - q) + (A[1][1] - q) * (A[1][1] - q) +
                        (A[2][2] - q) * (A[2][2] - q) + 2.0 * off;
  if (!(spread > 0.0)) return q;
  const double p = std::sqrt(spread / 6.0);
  double B[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) B[i][j] = (A[i][j] - (i == j ? q : 0.0)) / p;
  const double r = 0.5 * (B[0][0] * (B[1][1] * B[2][2] - B[1][2] * B[2][1]) -
                          B[0][1] * (B[1][0] * B[2][2] - B[1][2] * B[2][0]) +
                          B[0][2] * (B[1][0] * B[2][1] - B[1][1] * B[2][0]));
  const double phi = std::acos(std::clamp(r, -1.0, 1.0)) / 3.0;
  return q + 2.0 * p * std::cos(phi);
}

// Scale of the altitude length 3V / A_max of a lone tetrahedron: its
// lumped-mass frequencies obey omega^2 <= 4 (lambda S + 2 mu g) / rho, with
// S the sum of the squared shape gradients and g the largest eigenvalue of
// their dyadic sum (the strain of unit node velocities has a trace of at most
// sqrt(S) and a norm of at most sqrt(g)), so its stable length over the
// dilatational speed is sqrt((1 - nu) / (nu S + (1 - 2 nu) g)), down to 0.64
// of the altitude for a regular tetrahedron.
double loneTetrahedronScale(const SolidElementCuda& e, double nu) {
  double x[8][3];
  for (int I = 0; I < 8; ++I)
    for (int k = 0; k < 3; ++k) x[I][k] = e.node[I < 4 ? I : 3] != nullptr ? e.node[I < 4 ? I : 3]->coord[k] : 0.0;
  double dN[4][3];
  solid1st::tetraReferenceDerivatives(x, dN);
  double S = 0.0, D[3][3] = {};
  for (int I = 0; I < 4; ++I)
    for (int i = 0; i < 3; ++i) {
      S += dN[I][i] * dN[I][i];
      for (int j = 0; j < 3; ++j) D[i][j] += dN[I][i] * dN[I][j];
    }
  const double altitude = solid1st::solidCharactLength(ET_TETRA_TL, x);
  const double bound = nu * S + (1.0 - 2.0 * nu) * largestEigenvalue(D);
  if (!(altitude > 0.0) || !(bound > 0.0) || !(nu > -1.0 && nu < 0.5)) return 0.0;
  const double scale = std::sqrt((1.0 - nu) / bound) / altitude;
  return scale < 1.0 ? scale : 0.0;
}

}  // namespace

void markLoneTetrahedra(std::vector<Part>& parts) {
  struct Tetrahedron {
    SolidElementCuda* element;
    const Material* material;
  };
  std::vector<Tetrahedron> tetrahedra;
  for (Part& part : parts) {
    if (part.elmManager == nullptr || part.material == nullptr) continue;
    for (SolidElementCuda& e : part.elmManager->solid_element_array_cpu)
      if (e.sfemType == SFEM_NONE && e.type == ET_TETRA_TL) tetrahedra.push_back({&e, part.material});
  }
  // Face f of tetrahedron t is key 4t + f: its three node ids, sorted, and
  // a fourth above every id.
  constexpr int kTetraFaces[4][3] = {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}, {1, 2, 3}};
  std::vector<FaceKey> keys(4 * tetrahedra.size());
  fem_parallel::parallelFor(tetrahedra.size(), kGrain, [&](std::size_t t) {
    for (int f = 0; f < 4; ++f) {
      FaceKey& k = keys[4 * t + static_cast<std::size_t>(f)];
      for (int i = 0; i < 3; ++i) k[i] = tetrahedra[t].element->node_id[kTetraFaces[f][i]];
      k[3] = std::numeric_limits<int>::max();
      std::sort(k.begin(), k.end());
    }
  });
  const std::vector<int> uses = faceUses(keys);
  fem_parallel::parallelFor(tetrahedra.size(), kGrain, [&](std::size_t t) {
    bool lone = true;
    for (int f = 0; f < 4; ++f) lone = lone && uses[4 * t + static_cast<std::size_t>(f)] == 1;
    SolidElementCuda& e = *tetrahedra[t].element;
    e.lengthScale = lone ? loneTetrahedronScale(e, tetrahedra[t].material->poissons_ratio) : 0.0;
  });
}

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
