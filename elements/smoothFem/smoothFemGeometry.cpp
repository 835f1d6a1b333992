#include "elements/smoothFem/smoothFemGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/part.h"
#include "elements/common/elementType.h"
#include "elements/common/elmmanager.h"
#include "elements/solid1st/solid1stFormulation.h"

namespace sfem {

std::vector<Tetra> partTetrahedra(const Part& part) {
  std::vector<Tetra> tets;
  if (part.elmManager == nullptr) return tets;
  for (const SolidElementCuda& e : part.elmManager->solid_element_array_cpu)
    tets.push_back({e.node[0], e.node[1], e.node[2], e.node[3]});
  return tets;
}

std::vector<std::array<NodeCuda*, 5>> partPyramids(const Part& part) {
  std::vector<std::array<NodeCuda*, 5>> pyramids;
  if (part.elmManager == nullptr) return pyramids;
  for (const SolidElementCuda& e : part.elmManager->solid_element_array_cpu)
    pyramids.push_back({e.node[0], e.node[1], e.node[2], e.node[3], e.node[4]});
  return pyramids;
}

void tetraCoords(const Tetra& t, double X[4][3]) {
  for (int I = 0; I < 4; ++I)
    for (int k = 0; k < 3; ++k) X[I][k] = t[I] != nullptr ? t[I]->coord[k] : 0.0;
}

double tetraGradients(const double X[4][3], double dN[4][3]) {
  const double v = solid1st::tetraReferenceDerivatives(X, dN);
  if (!(v > 0.0))
    for (int I = 0; I < 4; ++I) dN[I][0] = dN[I][1] = dN[I][2] = 0.0;
  return v;
}

std::vector<int> findBoundaryFaces(const std::vector<Tetra>& tets) {
  std::map<std::array<int, 3>, int> uses;
  auto key = [&](std::size_t e, int f) {
    std::array<int, 3> k{};
    for (int i = 0; i < 3; ++i) k[i] = tets[e][kFaceNodes[f][i]]->id;
    std::sort(k.begin(), k.end());
    return k;
  };
  for (std::size_t e = 0; e < tets.size(); ++e)
    for (int f = 0; f < 4; ++f) ++uses[key(e, f)];
  std::vector<int> flags(4 * tets.size(), 0);
  for (std::size_t e = 0; e < tets.size(); ++e)
    for (int f = 0; f < 4; ++f) {
      const int n = uses[key(e, f)];
      if (n == 1) flags[4 * e + f] = 1;
      if (n > 2) printf("单元的边界表面寻找错误\n");
    }
  return flags;
}

std::map<NodeCuda*, std::vector<int>> nodeTetrahedra(const std::vector<Tetra>& tets) {
  std::map<NodeCuda*, std::vector<int>> owners;
  for (std::size_t e = 0; e < tets.size(); ++e)
    for (NodeCuda* p : tets[e]) owners[p].push_back(static_cast<int>(e));
  return owners;
}

std::map<Edge, std::vector<int>> edgeTetrahedra(const std::vector<Tetra>& tets) {
  static constexpr int kEdges[6][2] = {{0, 1}, {1, 2}, {2, 3}, {0, 3}, {0, 2}, {1, 3}};
  std::map<Edge, std::vector<int>> owners;
  for (std::size_t e = 0; e < tets.size(); ++e)
    for (const auto& ed : kEdges) {
      NodeCuda* a = tets[e][ed[0]];
      NodeCuda* b = tets[e][ed[1]];
      owners[a < b ? Edge(a, b) : Edge(b, a)].push_back(static_cast<int>(e));
    }
  return owners;
}

int supportSize(const std::vector<Tetra>& tets, const std::vector<int>& elems) {
  std::set<NodeCuda*> nodes;
  for (int e : elems) nodes.insert(tets[e].begin(), tets[e].end());
  return static_cast<int>(nodes.size());
}

PartMesh partMesh(const Part& part, int kind) {
  PartMesh mesh;
  if (kind == SFEM_CELL) {
    mesh.pyramids = partPyramids(part);
    return mesh;
  }
  mesh.tets = partTetrahedra(part);
  if (kind == SFEM_EDGE)
    mesh.edgeOwners = edgeTetrahedra(mesh.tets);
  else
    mesh.nodeOwners = nodeTetrahedra(mesh.tets);
  return mesh;
}

int DomainGradient::entry(NodeCuda* p) {
  for (std::size_t j = 0; j < support.size(); ++j)
    if (support[j] == p) return static_cast<int>(j);
  support.push_back(p);
  b.push_back({0.0, 0.0, 0.0});
  A.push_back({});
  return static_cast<int>(support.size()) - 1;
}

namespace {

// A facet corner as barycentric coordinates of its tetrahedron: its
// position is sum lambda_I X_I and the shape values there are lambda_I.
using Bary = std::array<double, 4>;

Bary corner(std::initializer_list<int> nodes) {
  Bary l{0.0, 0.0, 0.0, 0.0};
  const double share = 1.0 / static_cast<double>(nodes.size());
  for (int I : nodes) l[I] += share;
  return l;
}

void position(const double X[4][3], const Bary& l, double x[3]) {
  for (int k = 0; k < 3; ++k) x[k] = l[0] * X[0][k] + l[1] * X[1][k] + l[2] * X[2][k] + l[3] * X[3][k];
}

// Unit normal of a planar quadrilateral facet from its first corner's two
// edges, turned so that it points along the given outward direction.
void facetNormal(const double c[4][3], const double outward[3], double n[3]) {
  double e1[3], e3[3];
  for (int k = 0; k < 3; ++k) {
    e1[k] = c[1][k] - c[0][k];
    e3[k] = c[3][k] - c[0][k];
  }
  n[0] = e1[1] * e3[2] - e1[2] * e3[1];
  n[1] = e1[2] * e3[0] - e1[0] * e3[2];
  n[2] = e1[0] * e3[1] - e1[1] * e3[0];
  const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  const double s = (n[0] * outward[0] + n[1] * outward[1] + n[2] * outward[2]) < 0.0 ? -1.0 : 1.0;
  for (int k = 0; k < 3; ++k) n[k] = len > 0.0 ? s * n[k] / len : 0.0;
}

// Bilinear corner functions of the quadrilateral at (xi, eta).
void bilinearShape(double xi, double eta, double phi[4], double dxi[4], double deta[4]) {
  static constexpr double sx[4] = {-1.0, 1.0, 1.0, -1.0}, sy[4] = {-1.0, -1.0, 1.0, 1.0};
  for (int c = 0; c < 4; ++c) {
    phi[c] = 0.25 * (1.0 + sx[c] * xi) * (1.0 + sy[c] * eta);
    dxi[c] = 0.25 * sx[c] * (1.0 + sy[c] * eta);
    deta[c] = 0.25 * sy[c] * (1.0 + sx[c] * xi);
  }
}

// Area element of the bilinear map of the corners at (xi, eta).
double quadJacobianDet(const double c[4][3], const double dxi[4], const double deta[4]) {
  double a[3] = {0.0, 0.0, 0.0}, b[3] = {0.0, 0.0, 0.0};
  for (int q = 0; q < 4; ++q)
    for (int k = 0; k < 3; ++k) {
      a[k] += dxi[q] * c[q][k];
      b[k] += deta[q] * c[q][k];
    }
  const double n0 = a[1] * b[2] - a[2] * b[1], n1 = a[2] * b[0] - a[0] * b[2], n2 = a[0] * b[1] - a[1] * b[0];
  return std::sqrt(n0 * n0 + n1 * n1 + n2 * n2);
}

// Integrates over one facet (corners in cyclic order, as barycentrics):
// visit(N[4], n[3], dA) at each of its 2 x 2 Gauss points.
template <typename Visit>
void integrateFacet(const double X[4][3], const Bary (&corners)[4], const double outward[3], Visit visit) {
  static const double g = 1.0 / std::sqrt(3.0);
  double c[4][3];
  for (int q = 0; q < 4; ++q) position(X, corners[q], c[q]);
  double n[3];
  facetNormal(c, outward, n);
  for (double xi : {-g, g})
    for (double eta : {-g, g}) {
      double phi[4], dxi[4], deta[4];
      bilinearShape(xi, eta, phi, dxi, deta);
      const double dA = quadJacobianDet(c, dxi, deta);  // unit Gauss weights
      double N[4] = {0.0, 0.0, 0.0, 0.0};
      for (int q = 0; q < 4; ++q)
        for (int I = 0; I < 4; ++I) N[I] += phi[q] * corners[q][I];
      visit(N, n, dA);
    }
}

// The facets that bound node p's share of the tetrahedron: three between
// p's share and the shares of the other nodes (on the plane where both
// barycentrics are equal, facing the other node), and the quarters of the
// faces through p that lie on the mesh boundary (facing away from the
// opposite node).
template <typename Visit>
void forEachShareFacet(const double X[4][3], int p, const int* boundary, Visit visit) {
  const Bary centre = corner({0, 1, 2, 3});
  for (int a = 0; a < 4; ++a) {
    if (a == p) continue;
    int o[2], m = 0;
    for (int i = 0; i < 4; ++i)
      if (i != p && i != a) o[m++] = i;
    const Bary corners[4] = {corner({p, a}), corner({p, a, o[0]}), centre, corner({p, a, o[1]})};
    double out[3];
    for (int k = 0; k < 3; ++k) out[k] = X[a][k] - X[p][k];
    integrateFacet(X, corners, out, visit);
  }
  for (int f = 0; f < 4; ++f) {
    if (boundary[f] != 1 || kFaceOpposite[f] == p) continue;
    int q[2], m = 0;
    for (int i : kFaceNodes[f])
      if (i != p) q[m++] = i;
    const int* fn = kFaceNodes[f];
    const Bary corners[4] = {corner({p}), corner({p, q[0]}), corner({fn[0], fn[1], fn[2]}), corner({p, q[1]})};
    double centroid[3], out[3];
    position(X, corners[2], centroid);
    for (int k = 0; k < 3; ++k) out[k] = centroid[k] - X[kFaceOpposite[f]][k];
    integrateFacet(X, corners, out, visit);
  }
}

}  // namespace

bool computeNodeDomainGradient(NodeCuda* P, double V, const std::vector<Tetra>& tets, const std::vector<int>& elems,
                               const std::vector<int>& boundary, bool moments, DomainGradient& out) {
  bool ok = true;
  const double rV = V > 0.0 ? 1.0 / V : 0.0;
  for (int e : elems) {
    const Tetra& t = tets[e];
    int p = -1;
    for (int I = 0; I < 4; ++I)
      if (t[I] == P) p = I;
    if (p < 0) {
      printf("NSFEM error!\n");
      ok = false;
      continue;
    }
    double X[4][3], dN[4][3];
    tetraCoords(t, X);
    tetraGradients(X, dN);
    int slot[4];
    for (int I = 0; I < 4; ++I) slot[I] = out.entry(t[I]);
    forEachShareFacet(X, p, &boundary[4 * e], [&](const double N[4], const double n[3], double dA) {
      for (int I = 0; I < 4; ++I) {
        for (int k = 0; k < 3; ++k) out.b[slot[I]][k] += N[I] * n[k] * dA * rV;
        if (!moments) continue;
        for (int a = 0; a < 3; ++a)
          for (int k = 0; k < 3; ++k) out.A[slot[I]][3 * a + k] += dN[I][a] * n[k] * dA * rV;
      }
    });
  }
  return ok;
}

double computeEdgeDomainGradient(const std::vector<Tetra>& tets, const std::vector<int>& elems, DomainGradient& out) {
  std::vector<double> share(elems.size());
  double V = 0.0;
  for (std::size_t i = 0; i < elems.size(); ++i) {
    double X[4][3], dN[4][3];
    tetraCoords(tets[elems[i]], X);
    share[i] = tetraGradients(X, dN) / 6.0;
    V += share[i];
  }
  const double rV = V > 0.0 ? 1.0 / V : 0.0;
  for (std::size_t i = 0; i < elems.size(); ++i) {
    const Tetra& t = tets[elems[i]];
    double X[4][3], dN[4][3];
    tetraCoords(t, X);
    tetraGradients(X, dN);
    for (int I = 0; I < 4; ++I) {
      const int j = out.entry(t[I]);
      for (int k = 0; k < 3; ++k) out.b[j][k] += share[i] * dN[I][k] * rV;
    }
  }
  return V;
}

double sixPointRadius(double V) { return std::pow(V * 3.0 * 0.25 / 3.141592653589793, 0.333333333333333); }

}  // namespace sfem
