// Geometry of the smoothing domains: the part's tetrahedra, their boundary
// faces and volumes, and the smoothed derivatives of node-, edge- and
// cell-based domains.
#pragma once
#include <array>
#include <map>
#include <set>
#include <vector>

#include "core/node.h"

class Part;

namespace sfem {

using Tetra = std::array<NodeCuda*, 4>;

// Four-node tetrahedra of the part (its solids, in storage order).
std::vector<Tetra> partTetrahedra(const Part& part);
// Five-node pyramids of the part (apex first), in storage order.
std::vector<std::array<NodeCuda*, 5>> partPyramids(const Part& part);

// Coordinates of the nodes (reference configuration at set-up).
void tetraCoords(const Tetra& t, double X[4][3]);
// Volume |det| / 6 and the constant derivatives dN[I][k] of the linear
// tetrahedron; a flat tetrahedron gives zero derivatives.
double tetraGradients(const double X[4][3], double dN[4][3]);

// Face f of a tetrahedron (0: nodes 1 2 3, 1: 1 3 4, 2: 1 2 4, 3: 2 3 4)
// and its opposite node, 0-based.
constexpr int kFaceNodes[4][3] = {{0, 1, 2}, {0, 2, 3}, {0, 1, 3}, {1, 2, 3}};
constexpr int kFaceOpposite[4] = {3, 1, 2, 0};

// Flag per face (index 4 e + f): 1 when no other tetrahedron shares it.
// A face shared by more than two tetrahedra is reported and taken as
// interior.
std::vector<int> findBoundaryFaces(const std::vector<Tetra>& tets);

// Node -> the tetrahedra that contain it (in element order).
std::map<NodeCuda*, std::vector<int>> nodeTetrahedra(const std::vector<Tetra>& tets);
// Edge (sorted node pair) -> the tetrahedra that contain it, in element order.
using Edge = std::pair<NodeCuda*, NodeCuda*>;
std::map<Edge, std::vector<int>> edgeTetrahedra(const std::vector<Tetra>& tets);
// Number of distinct nodes of the tetrahedra elems: the support of a
// domain made of them.
int supportSize(const std::vector<Tetra>& tets, const std::vector<int>& elems);

// What the domains of one part are built from, gathered once when the
// records are counted and used again when they are computed: the cells of
// the part and, by kind, which tetrahedra own each node or each edge.
struct PartMesh {
  std::vector<Tetra> tets;
  std::vector<std::array<NodeCuda*, 5>> pyramids;
  std::map<NodeCuda*, std::vector<int>> nodeOwners;  // node-based kinds
  std::map<Edge, std::vector<int>> edgeOwners;       // edge-based kind
};
// The mesh of a part for a smoothed-FEM kind (cell-based: its pyramids).
PartMesh partMesh(const Part& part, int kind);

// Smoothed derivatives of one domain: support nodes in list order and, per
// node, b[k] (k = x, y, z) and, when asked, the nine moments A[3a + b] of
// the six-point kind.
struct DomainGradient {
  std::vector<NodeCuda*> support;
  std::vector<std::array<double, 3>> b;
  std::vector<std::array<double, 9>> A;
  // Entry of node p, appended when p is new.
  int entry(NodeCuda* p);
};

// Node-based domain of node P with volume V over the tetrahedra elems:
// b_I = (1/V) times the integral of N_I n over the boundary of P's share
// of each tetrahedron (facets between the node shares inside a tetrahedron
// and facets on the mesh boundary), 2 x 2 Gauss points per facet, normals
// oriented out of P's region.  Returns false when P is not a node of one
// of the tetrahedra.
bool computeNodeDomainGradient(NodeCuda* P, double V, const std::vector<Tetra>& tets, const std::vector<int>& elems,
                               const std::vector<int>& boundary, bool moments, DomainGradient& out);

// Edge-based domain over the tetrahedra elems: each gives a sixth of its
// volume; b is the volume-weighted mean of their gradients.  Returns the
// domain volume.
double computeEdgeDomainGradient(const std::vector<Tetra>& tets, const std::vector<int>& elems, DomainGradient& out);

// Radius of the sphere of volume V.
double sixPointRadius(double V);

}  // namespace sfem
