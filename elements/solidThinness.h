// Hexahedra that no neighbour holds on either face of an opposite pair: a
// lone element, a column or a plate one element thick.  Such an element can
// breathe through that direction on its own node masses, and its volume
// mode then runs at the bulk speed sqrt(3K / rho), faster than the
// dilatational speed c_d that the stable step divides the length V / A_max
// by: for a lone cube sqrt((1 + nu) / (1 - nu)) times, 1.36 at nu = 0.3.
// Their characteristic length is scaled down by that ratio at set-up, so
// that the run's step stays stable; an element held on at least one face of
// every pair keeps its plain length (its neighbours restrain the mode).
#pragma once
#include <cmath>
#include <vector>

class Part;

// Scale of the length of an unheld hexahedron of Poisson ratio nu:
// sqrt((1 - nu) / (1 + nu)) for nu > 0, else 1 (3K <= lambda + 2 mu).
inline double unheldLengthScale(double nu) {
  return nu > 0.0 && nu < 1.0 ? std::sqrt((1.0 - nu) / (1.0 + nu)) : 1.0;
}

// Faces of the first-order hexahedra of all parts are matched by their
// node ids; every hexahedron free on both faces of a pair gets the scale of
// its part's material (lengthScale), every other keeps 0 (no scale).
void markUnheldHexahedra(std::vector<Part>& parts);

// Tetrahedra that share no face with another tetrahedron: a lone element
// breathes on its own node masses faster than its altitude over the
// dilatational speed allows, and gets the scale of its shape and material
// (lengthScale); every other keeps 0.
void markLoneTetrahedra(std::vector<Part>& parts);
