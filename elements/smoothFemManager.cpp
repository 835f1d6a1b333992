#include "elements/smoothFemManager.h"

#include <cstdio>

#include "core/part.h"
#include "core/section.h"
#include "elements/smoothFemGeometry.h"
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
std::vector<int> supportCounts(const Part& part, int kind) {
  std::vector<int> counts;
  if (kind == SFEM_CELL) {
    for (const auto& pyr : sfem::partPyramids(part)) {
      const int distinct = static_cast<int>(std::set<NodeCuda*>(pyr.begin(), pyr.end()).size());
      if (distinct != 5) printf("单元的节点重复：光滑有限元的金字塔单元需要五个不同的节点\n");
      counts.insert(counts.end(), 4, 5);
    }
    return counts;
  }
  const std::vector<sfem::Tetra> tets = sfem::partTetrahedra(part);
  if (kind == SFEM_EDGE) {
    for (const auto& [edge, elems] : sfem::edgeTetrahedra(tets)) {
      std::set<NodeCuda*> nodes;
      for (int e : elems) nodes.insert(tets[e].begin(), tets[e].end());
      counts.push_back(static_cast<int>(nodes.size()));
    }
    return counts;
  }
  const int copies = kind == SFEM_NODE_SIX_POINT ? 6 : 1;
  for (const auto& [node, support] : sfem::nodeSupports(tets)) counts.insert(counts.end(), copies, static_cast<int>(support.size()));
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
void computeNodeGradients(SmoothFemManager& manager, const Part& part, const SmoothFemManager::PartDomains& d,
                          bool sixPoints) {
  const std::vector<sfem::Tetra> tets = sfem::partTetrahedra(part);
  const std::vector<int> boundary = sfem::findBoundaryFaces(tets);
  const auto owners = sfem::nodeTetrahedra(tets);
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

void computeEdgeGradients(SmoothFemManager& manager, const Part& part, const SmoothFemManager::PartDomains& d) {
  const std::vector<sfem::Tetra> tets = sfem::partTetrahedra(part);
  const auto owners = sfem::edgeTetrahedra(tets);
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

void computeCellGradients(SmoothFemManager& manager, const Part& part, const SmoothFemManager::PartDomains& d) {
  const auto pyramids = sfem::partPyramids(part);
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
  partDomains_.push_back({part.id, first, static_cast<int>(counts.size())});
  return first;
}

const SmoothFemManager::PartDomains* SmoothFemManager::domainsOf(int partId) const {
  for (const PartDomains& d : partDomains_)
    if (d.partId == partId) return &d;
  return nullptr;
}

void SmoothFemManager::createSmoothDomains(std::vector<Part> parts) {
  for (const Part& part : parts) {
    const int kind = partKind(part);
    if (kind == SFEM_NONE) continue;
    appendRecords(part, static_cast<SmoothFEMType>(kind), supportCounts(part, kind));
  }
}

void SmoothFemManager::computeSmoothDomains(std::vector<Part> parts) {
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
      case SFEM_EDGE: computeEdgeGradients(*this, part, *d); break;
      case SFEM_CELL: computeCellGradients(*this, part, *d); break;
      case SFEM_NODE: computeNodeGradients(*this, part, *d, false); break;
      case SFEM_NODE_SIX_POINT: computeNodeGradients(*this, part, *d, true); break;
      default: break;
    }
  }
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
    rec.computeSmoothFemInterForceGpu(materials->materialNewArray[rec.material_id - 1], dt);
  }
}
