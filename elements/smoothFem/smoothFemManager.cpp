#include "elements/smoothFem/smoothFemManager.h"

#include <cmath>
#include <cstdio>
#include <map>

#include "core/part.h"
#include "core/section.h"
#include "elements/smoothFem/smoothFemGeometry.h"
#include "materials/materialmanager.h"

namespace {

constexpr const char* kUnknownKind = "当前没有这种光滑有限元算法，请补充\n";

// Kind the part asks for when its formulation allows it, else none: edge-,
// node- and six-point node-based domains need 4-node tetrahedra (15), the
// cell-based ones 5-node pyramids (16).  Unknown kinds are reported.
int partKind(const Part& part) {
  if (part.section == nullptr || part.elmManager == nullptr) return SFEM_NONE;
  const int kind = part.section->sfem_kind;
  const int form = part.section->element_formulation;
  if (kind < SFEM_NONE || kind > SFEM_NODE_SIX_POINT) {
    printf("%s", kUnknownKind);
    return SFEM_NONE;
  }
  if (kind == SFEM_CELL) return form == ET_PYRAMID_TL ? kind : SFEM_NONE;
  return form == ET_TETRA_TL ? kind : SFEM_NONE;
}

// Support counts of the domains of one part, in record order.
std::vector<int> supportCounts(const sfem::PartMesh& mesh, int kind) {
  std::vector<int> counts;
  if (kind == SFEM_CELL) {
    for (const auto& pyr : mesh.pyramids) {
      const int distinct = static_cast<int>(std::set<NodeCuda*>(pyr.begin(), pyr.end()).size());
      if (distinct != 5) printf("单元的节点重复：光滑有限元的金字塔单元需要五个不同的节点\n");
      counts.insert(counts.end(), 4, 5);
    }
    return counts;
  }
  if (kind == SFEM_EDGE) {
    for (const auto& [edge, elems] : mesh.edgeOwners) counts.push_back(sfem::supportSize(mesh.tets, elems));
    return counts;
  }
  const int copies = kind == SFEM_NODE_SIX_POINT ? 6 : 1;
  for (const auto& [node, elems] : mesh.nodeOwners)
    counts.insert(counts.end(), copies, sfem::supportSize(mesh.tets, elems));
  return counts;
}

// Writes one record's derivatives, weight and node lists.
void fillRecord(SmoothFEM& rec, const sfem::DomainGradient& g, double weight, double r, int row, int sign) {
  GaussPoint* gp = rec.gaussPoint;
  const int n = static_cast<int>(g.support.size());
  if (n != rec.node_num) printf("光滑域构造出错\n");
  const int m = n < rec.node_num ? n : rec.node_num;
  for (int j = 0; j < m; ++j) {
    rec.nodeIdArray_[j] = g.support[j]->id;
    rec.nodeArray_[j] = g.support[j];
    if (gp == nullptr || gp->shapePartialDx_ == nullptr) continue;
    double d[3];
    for (int k = 0; k < 3; ++k) d[k] = g.b[j][k] + (row >= 0 ? sign * r * g.A[j][3 * row + k] : 0.0);
    gp->shapePartialDx_[j] = d[0];
    gp->shapePartialDy_[j] = d[1];
    gp->shapePartialDz_[j] = d[2];
  }
  if (gp != nullptr) gp->weight_ = weight;
}

// Node-based domains (one or six records per node) of one part.
void computeNodeGradients(SmoothFemManager& manager, const sfem::PartMesh& mesh, const SmoothFemManager::PartDomains& d,
                          bool sixPoints) {
  const std::vector<sfem::Tetra>& tets = mesh.tets;
  const std::vector<int> boundary = sfem::findBoundaryFaces(tets);
  const auto& owners = mesh.nodeOwners;
  std::vector<double> volumes(tets.size());
  double meshVolume = 0.0, domainVolume = 0.0;
  for (std::size_t e = 0; e < tets.size(); ++e) {
    double X[4][3], dN[4][3];
    sfem::tetraCoords(tets[e], X);
    volumes[e] = sfem::tetraGradients(X, dN);
    meshVolume += volumes[e];
  }
  const int copies = sixPoints ? 6 : 1;
  if (copies * static_cast<int>(owners.size()) != d.count) printf("光滑域计数错误\n");
  int k = 0, largest = 0;
  for (const auto& [node, elems] : owners) {
    if (copies * (k + 1) > d.count) break;
    double V = 0.0;
    for (int e : elems) V += 0.25 * volumes[e];
    domainVolume += V;
    sfem::DomainGradient g;
    sfem::computeNodeDomainGradient(node, V, tets, elems, boundary, sixPoints, g);
    if (static_cast<int>(g.support.size()) > largest) largest = static_cast<int>(g.support.size());
    const double r = sfem::sixPointRadius(V);
    for (int m = 0; m < copies; ++m) {
      SmoothFEM& rec = manager.smoothFemArrayCpu_[d.first + copies * k + m];
      rec.id = copies * k + m + 1;
      if (sixPoints)
        fillRecord(rec, g, V / 6.0, r, m % 3, m < 3 ? -1 : 1);
      else
        fillRecord(rec, g, V, 0.0, -1, 0);
    }
    ++k;
  }
  if (std::fabs(domainVolume - meshVolume) > 1e-5 * (meshVolume > 1.0 ? meshVolume : 1.0))
    printf("光滑域体积计算错误\n");
  if (largest > 50) printf("光滑域的支撑节点最多为 %d 个\n", largest);
}

void computeEdgeGradients(SmoothFemManager& manager, const sfem::PartMesh& mesh,
                          const SmoothFemManager::PartDomains& d) {
  const std::vector<sfem::Tetra>& tets = mesh.tets;
  const auto& owners = mesh.edgeOwners;
  if (static_cast<int>(owners.size()) != d.count) printf("边光滑域的构建出现错误\n");
  int k = 0;
  for (const auto& [edge, elems] : owners) {
    if (k >= d.count) break;
    sfem::DomainGradient g;
    const double V = sfem::computeEdgeDomainGradient(tets, elems, g);
    fillRecord(manager.smoothFemArrayCpu_[d.first + k], g, V, 0.0, -1, 0);
    ++k;
  }
}

void computeCellGradients(SmoothFemManager& manager, const sfem::PartMesh& mesh,
                          const SmoothFemManager::PartDomains& d) {
  const auto& pyramids = mesh.pyramids;
  if (4 * static_cast<int>(pyramids.size()) != d.count) printf("CSFEM梯度矩阵求解错误\n");
  for (std::size_t e = 0; e < pyramids.size() && 4 * static_cast<int>(e + 1) <= d.count; ++e) {
    double X[5][3];
    for (int I = 0; I < 5; ++I)
      for (int k = 0; k < 3; ++k) X[I][k] = pyramids[e][I]->coord[k];
    for (int c = 0; c < 4; ++c) {
      double dN[5][3];
      const double V = solid1st::pyramidDomainDerivatives(X, c, dN);
      sfem::DomainGradient g;
      for (int I = 0; I < 5; ++I) {
        g.support.push_back(pyramids[e][I]);
        g.b.push_back({dN[I][0], dN[I][1], dN[I][2]});
      }
      fillRecord(manager.smoothFemArrayCpu_[d.first + 4 * static_cast<int>(e) + c], g, V, 0.0, -1, 0);
    }
  }
}

}  // namespace

int SmoothFemManager::appendRecords(const Part& part, SmoothFEMType kind, const std::vector<int>& counts) {
  const int first = smoothFemNumber_;
  for (int n : counts) {
    SmoothFEM rec;
    rec.node_num = n;
    rec.gaussNodeNum = n;
    rec.integratPointNum = 1;
    rec.tlFlag = 1;
    rec.smoothType = kind == SFEM_NODE_SIX_POINT ? SFEM_NODE : kind;
    rec.material_id = part.material_id;
    rec.section_id = part.section_id;
    idStore_.emplace_back(new int[n > 0 ? n : 1]());
    nodeStore_.emplace_back(new NodeCuda*[n > 0 ? n : 1]());
    rec.nodeIdArray_ = idStore_.back().get();
    rec.nodeArray_ = nodeStore_.back().get();
    smoothFemArrayCpu_.push_back(rec);
  }
  smoothFemNumber_ = static_cast<int>(smoothFemArrayCpu_.size());
  partDomains_.push_back({part.id, first, static_cast<int>(counts.size()), kind});
  return first;
}

const SmoothFemManager::PartDomains* SmoothFemManager::domainsOf(int partId) const {
  for (const PartDomains& d : partDomains_)
    if (d.partId == partId) return &d;
  return nullptr;
}

const sfem::PartMesh& SmoothFemManager::partMesh(const Part& part, int kind) {
  auto found = partMeshes_.find(part.id);
  if (found == partMeshes_.end()) found = partMeshes_.emplace(part.id, sfem::partMesh(part, kind)).first;
  return found->second;
}

void SmoothFemManager::createSmoothDomains(const std::vector<Part>& parts) {
  for (const Part& part : parts) {
    const int kind = partKind(part);
    if (kind == SFEM_NONE) continue;
    appendRecords(part, static_cast<SmoothFEMType>(kind), supportCounts(partMesh(part, kind), kind));
  }
}

void SmoothFemManager::computeSmoothDomains(const std::vector<Part>& parts) {
  for (const Part& part : parts) {
    if (part.section == nullptr) continue;
    const int kind = part.section->sfem_kind;
    if (kind < SFEM_NONE || kind > SFEM_NODE_SIX_POINT) {
      printf("%s", kUnknownKind);
      continue;
    }
    const PartDomains* d = domainsOf(part.id);
    if (d == nullptr) continue;
    switch (kind) {
      case SFEM_EDGE:
        computeEdgeGradients(*this, partMesh(part, kind), *d);
        break;
      case SFEM_CELL:
        computeCellGradients(*this, partMesh(part, kind), *d);
        break;
      case SFEM_NODE:
        computeNodeGradients(*this, partMesh(part, kind), *d, false);
        break;
      case SFEM_NODE_SIX_POINT:
        computeNodeGradients(*this, partMesh(part, kind), *d, true);
        break;
      default:
        break;
    }
  }
  partMeshes_.clear();
}

std::vector<Element*> SmoothFemManager::smoothDomains() {
  std::vector<Element*> out;
  out.reserve(smoothFemArrayCpu_.size());
  for (SmoothFEM& rec : smoothFemArrayCpu_) out.push_back(&rec);
  return out;
}

void SmoothFemManager::computeForcesCpu(MaterialManager* materials, double dt) {
  if (materials == nullptr) return;
  const int count = static_cast<int>(materials->materialNewArray.size());
  for (SmoothFEM& rec : smoothFemArrayCpu_) {
    if (rec.material_id < 1 || rec.material_id > count) continue;
    // One domain after the other: the host nodes take the forces at once.
    rec.computeSmoothFemInterForce(materials->materialNewArray[rec.material_id - 1], dt,
                                   [&rec](int j, const double* f) {
                                     for (int a = 0; a < 3; ++a) rec.nodeArray_[j]->force[a] += f[a];
                                   });
  }
}

namespace {

// Lame constants of the material's small-strain E and nu; false for a
// material that gives no stress (null, rigid) or has no such constants.
bool lameConstants(const MaterialNew* m, double* lambda, double* mu) {
  if (m == nullptr || m->type == MT_NULL || m->type == MT_RIGID || !(m->youngModulus > 0.0) ||
      !(m->poissonRatio < 0.5) || !(m->poissonRatio > -1.0))
    return false;
  const double E = m->youngModulus, nu = m->poissonRatio;
  *mu = E / (2.0 * (1.0 + nu));
  *lambda = E * nu / ((1.0 + nu) * (1.0 - 2.0 * nu));
  return true;
}

// One domain's linear elastic force -w sigma(u) b_j on each support node,
// added into f (three entries per node; slot[j] is support node j's node).
void addDomainForce(const SmoothFEM& rec, double lambda, double mu, const int* slot, const std::vector<double>& u,
                    std::vector<double>& f) {
  const GaussPoint* gp = rec.gaussPoint;
  double H[3][3] = {};
  for (int j = 0; j < rec.node_num; ++j) {
    const double b[3] = {gp->shapePartialDx_[j], gp->shapePartialDy_[j], gp->shapePartialDz_[j]};
    for (int a = 0; a < 3; ++a)
      for (int c = 0; c < 3; ++c) H[a][c] += u[3 * slot[j] + a] * b[c];
  }
  const double trace = H[0][0] + H[1][1] + H[2][2];
  double sigma[3][3];
  for (int a = 0; a < 3; ++a)
    for (int c = 0; c < 3; ++c) sigma[a][c] = mu * (H[a][c] + H[c][a]) + (a == c ? lambda * trace : 0.0);
  for (int j = 0; j < rec.node_num; ++j) {
    const double b[3] = {gp->shapePartialDx_[j], gp->shapePartialDy_[j], gp->shapePartialDz_[j]};
    for (int a = 0; a < 3; ++a)
      f[3 * slot[j] + a] -= gp->weight_ * (sigma[a][0] * b[0] + sigma[a][1] * b[1] + sigma[a][2] * b[2]);
  }
}

struct StiffDomain {
  const SmoothFEM* rec;
  double lambda, mu;
  std::size_t slots;  // first of its support nodes' entries in the slot list
};

// Power iteration on M^-1 K, K the domains' small-strain stiffness with no
// node held (which bounds every held model from above): the Rayleigh
// quotient approaches omega_max^2 from below.
double largestOmega2(const std::vector<StiffDomain>& domains, const std::vector<int>& slot,
                     const std::vector<double>& mass) {
  const std::size_t n = 3 * mass.size();
  std::vector<double> u(n), f(n);
  for (std::size_t k = 0; k < n; ++k) u[k] = std::sin(1.0 + 12.9898 * static_cast<double>(k));
  double omega2 = 0.0;
  for (int it = 0; it < 60; ++it) {
    std::fill(f.begin(), f.end(), 0.0);
    for (const StiffDomain& d : domains) addDomainForce(*d.rec, d.lambda, d.mu, &slot[d.slots], u, f);
    double uKu = 0.0, uMu = 0.0, norm = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
      const double m = mass[k / 3];
      const double next = m > 0.0 ? -f[k] / m : 0.0;
      uKu -= u[k] * f[k];
      uMu += m * u[k] * u[k];
      u[k] = next;
      norm += m * next * next;
    }
    if (!(uMu > 0.0) || !(norm > 0.0)) break;
    omega2 = uKu / uMu;
    const double scale = 1.0 / std::sqrt(norm);
    for (double& x : u) x *= scale;
  }
  return omega2;
}

}  // namespace

double SmoothFemManager::computeStableStep(MaterialManager* materials) {
  stableStep_ = 0.0;
  if (materials == nullptr) return 0.0;
  std::vector<int> slot;
  std::vector<StiffDomain> domains;
  std::map<const NodeCuda*, int> index;
  const int count = static_cast<int>(materials->materialNewArray.size());
  for (const PartDomains& part : partDomains_) {
    if (part.kind != SFEM_CELL && part.kind != SFEM_NODE_SIX_POINT) continue;
    for (int r = part.first; r < part.first + part.count; ++r) {
      const SmoothFEM& rec = smoothFemArrayCpu_[static_cast<std::size_t>(r)];
      StiffDomain d{&rec, 0.0, 0.0, slot.size()};
      const GaussPoint* gp = rec.gaussPoint;
      if (gp == nullptr || gp->shapePartialDx_ == nullptr || rec.material_id < 1 || rec.material_id > count ||
          !lameConstants(materials->materialNewArray[rec.material_id - 1], &d.lambda, &d.mu))
        continue;
      domains.push_back(d);
      for (int j = 0; j < rec.node_num; ++j)
        slot.push_back(index.emplace(rec.nodeArray_[j], static_cast<int>(index.size())).first->second);
    }
  }
  if (domains.empty()) return 0.0;
  std::vector<double> mass(index.size());
  for (const auto& [node, i] : index) mass[static_cast<std::size_t>(i)] = node->mass;
  // The iteration's estimate is raised by 5 % for its approach from below.
  const double omega2 = 1.05 * largestOmega2(domains, slot, mass);
  stableStep_ = omega2 > 0.0 ? 2.0 / std::sqrt(omega2) : 0.0;
  return stableStep_;
}
