// Hexahedra free to breathe on their own: the set-up pass scales the length
// of every hexahedron that no neighbour holds on both faces of some opposite
// pair, by sqrt((1 - nu) / (1 + nu)) (0.7338 at nu = 0.3), and leaves every
// element of a block two or more elements across in each direction alone.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/part.h"
#include "elements/elmmanager.h"
#include "elements/solidThinness.h"
#include "materials/material.h"

namespace {

// nx x ny x nz unit hexahedra of one part, on a node grid numbered from 1.
std::vector<SolidElementCuda> grid(int nx, int ny, int nz) {
  auto id = [&](int i, int j, int k) { return 1 + i + (nx + 1) * (j + (ny + 1) * k); };
  std::vector<SolidElementCuda> cells;
  for (int k = 0; k < nz; ++k)
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        SolidElementCuda e;
        e.type = ET_HEXA_REDUCED;
        const int ids[8] = {id(i, j, k + 1), id(i, j + 1, k + 1), id(i + 1, j + 1, k + 1), id(i + 1, j, k + 1),
                            id(i, j, k),     id(i, j + 1, k),     id(i + 1, j + 1, k),     id(i + 1, j, k)};
        for (int s = 0; s < 8; ++s) e.node_id[s] = ids[s];
        cells.push_back(e);
      }
  return cells;
}

// Scales the pass gives the cells of one part of Poisson ratio nu.
std::vector<double> scales(std::vector<SolidElementCuda> cells, double nu) {
  ElmManager store;
  store.solid_element_array_cpu = std::move(cells);
  Material material;
  material.poissons_ratio = nu;
  std::vector<Part> parts(1);
  parts[0].elmManager = &store;
  parts[0].material = &material;
  markUnheldHexahedra(parts);
  std::vector<double> out;
  for (const SolidElementCuda& e : store.solid_element_array_cpu) out.push_back(e.lengthScale);
  return out;
}

TEST(UnheldHexahedra, LoneColumnsAndSingleLayersAreScaledBlocksAreNot) {
  const double s = std::sqrt(0.7 / 1.3);
  struct Case {
    int nx, ny, nz;
    double expected;
  };
  for (const Case& c : {Case{1, 1, 1, s}, Case{1, 1, 4, s}, Case{4, 1, 1, s}, Case{4, 4, 1, s}, Case{2, 2, 2, 0.0},
                        Case{3, 2, 4, 0.0}}) {
    for (double v : scales(grid(c.nx, c.ny, c.nz), 0.3))
      EXPECT_DOUBLE_EQ(v, c.expected) << c.nx << " x " << c.ny << " x " << c.nz;
  }
  // nu <= 0: the bulk mode is not faster than the dilatational speed.
  for (double v : scales(grid(1, 1, 1), 0.0)) EXPECT_DOUBLE_EQ(v, 1.0);
  for (double v : scales(grid(1, 1, 1), -0.2)) EXPECT_DOUBLE_EQ(v, 1.0);
}

}  // namespace
