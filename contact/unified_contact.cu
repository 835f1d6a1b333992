#include "contact/unified_contact.h"
#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include "contact/contact.h"
#include "contact/contactnode.h"
#include "contact/contactnodemanager.h"
#include "contact/initialOverlap.h"
#include "contact/surface.h"
#include "contact/surfacemanager.h"
#include "core/deviceFree.h"
#include "core/gridIndex.h"
#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "materials/material.h"
#include "materials/materialnew.h"
#include "contact/contactModel.h"
#include "platform/simdLane.h"

UnifiedContact::~UnifiedContact() {
  freeDevice(master_node_array_gpu);
  freeDevice(grid_search_gpu_);
  for (SlaveSearchSide& side : slave_sides_) {
    freeDevice(side.place_of_gpu);
    freeDevice(side.store_of_gpu);
  }
}

namespace {

bool isSelfSearch(const Contact& c) { return c.contact_type == SINGLE_SURFACE || c.contact_type == GENERAL_CONTACT; }

// The surface belongs to a rigid body: its first part has a rigid material,
// or (a surface made from segments or elements, such as an element set
// made a rigid body) every node of its segments moves with a rigid body.
// Surfaces record their parts by position when they are built (the part
// list may have moved since).
bool isRigidSurface(const Surface* s, const ContactModel* fem) {
  if (s == nullptr || fem == nullptr) return false;
  if (s->part_index_array.empty()) {
    return !s->node_array.empty() && std::all_of(s->node_array.begin(), s->node_array.end(),
                                                 [](const NodeCuda* n) { return n->rigid_flag != 0; });
  }
  const std::vector<Part>& parts = fem->part_array;
  const int j = s->part_index_array.front();
  if (j < 0 || j >= static_cast<int>(parts.size())) return false;
  const Material* m = parts[static_cast<std::size_t>(j)].material;
  return m != nullptr && m->type == MT_RIGID;
}

}  // namespace

void UnifiedContact::buildSubDomainManagers(std::vector<Contact>& contacts, ContactNodeManager* cnm,
                                            ContactModel* fem) {
  subDomainManagerArray.clear();
  const std::size_t selfCount = std::count_if(contacts.begin(), contacts.end(), isSelfSearch);
  subDomainManagerArray.reserve(2 * (contacts.size() - selfCount) + selfCount * selfCount);

  auto add = [this](Contact* c, Surface* master, Surface* slave) -> SubDomainManager& {
    SubDomainManager& m = subDomainManagerArray.emplace_back();
    m.contact = c;
    m.masterSurface = master;
    m.slaveSurface = slave;
    m.owner = this;
    return m;
  };
  // The nodes of a surface are searched against the segments of another
  // unless the other is the same surface of a rigid body (whose segments
  // never move against its own nodes).  A rigid body's nodes are searched
  // against a deformable body's segments too: its corners and edges must not
  // enter a coarse mesh between that mesh's nodes.
  auto searched = [fem](const Surface* master, const Surface* slave) {
    return master != slave || !isRigidSurface(master, fem);
  };

  for (Contact& c : contacts) {
    if (isSelfSearch(c) || c.masterSurface == nullptr) continue;
    if (c.contact_type == NODES_TO_SURFACE) {
      SubDomainManager& m = add(&c, c.masterSurface, nullptr);
      m.slave_contact_node_array_cpu = c.slave_contact_node_array_cpu;
      m.copySlaveNodeArrayGpu(c.slave_contact_node_array_gpu);
    } else if (c.contact_type == SURFACE_TO_SURFACE && c.slaveSurface != nullptr) {
      Surface* master = c.masterSurface;
      Surface* slave = c.slaveSurface;
      if (c.two_way != 0) {
        // Each side's nodes are kept out of the other side's segments.
        if (searched(master, slave)) add(&c, master, slave);
        if (master != slave && searched(slave, master)) add(&c, slave, master);
        continue;
      }
      // One way: the slave side's nodes against the master side's
      // segments, unless the slave side is a rigid body and the master side
      // is not (the rigid body is then the master).
      if (isRigidSurface(slave, fem) && !isRigidSurface(master, fem)) std::swap(master, slave);
      if (searched(master, slave)) add(&c, master, slave);
    }
    // Other kinds have no slave side to search.
  }
  // Single-surface and general contacts: every ordered pair of their
  // surfaces, so that each pair is searched both ways.
  for (Contact& a : contacts) {
    if (!isSelfSearch(a) || a.masterSurface == nullptr) continue;
    for (Contact& b : contacts) {
      if (!isSelfSearch(b) || b.masterSurface == nullptr) continue;
      if (searched(a.masterSurface, b.masterSurface)) add(&a, a.masterSurface, b.masterSurface);
    }
  }
  for (SubDomainManager& m : subDomainManagerArray) {
    if (!m.slave_contact_node_array_cpu.empty() || m.slaveSurface == nullptr) continue;
    m.slave_contact_node_array_cpu = m.slaveSurface->contact_node_array_cpu;
    m.copySlaveNodeArrayGpu(m.slaveSurface->contact_node_array_gpu);
  }
  face_normals_needed =
      std::any_of(subDomainManagerArray.begin(), subDomainManagerArray.end(), [](const SubDomainManager& m) {
        return m.masterSurface != nullptr &&
               std::any_of(m.masterSurface->segment_array.begin(), m.masterSurface->segment_array.end(),
                           [](const SegmentCuda& seg) { return seg.one_sided != 0; });
      });
  // Nodes that start inside the other side are held where they start.
  for (Contact& c : contacts) c.start_overlap = ContactDepth{};
  if (findInitialOverlaps(subDomainManagerArray) == 0) return;
  if (fem != nullptr) reportInitialOverlaps(contacts, *fem);
  if (cnm != nullptr && fem != nullptr) cnm->copyStartOverlapsToGpu(fem->surfaceManager->surface_array);
}

void UnifiedContact::adoptHostGrid(SubDomain* replaced, SubDomain* grid) {
  if (replaced != nullptr) {
    std::erase_if(host_grids_, [replaced](const std::unique_ptr<SubDomain[]>& g) { return g.get() == replaced; });
  }
  host_grids_.emplace_back(grid);
}

void UnifiedContact::collectMasterNodesCpu() {
  master_node_array_cpu.clear();
  std::set<const Surface*> masters;
  std::set<const NodeCuda*> seen;
  for (const SubDomainManager& m : subDomainManagerArray) {
    if (m.masterSurface == nullptr || !masters.insert(m.masterSurface).second) continue;
    for (NodeCuda* node : m.masterSurface->node_array) {
      if (node == nullptr || node->contact_node != nullptr || !seen.insert(node).second) continue;
      master_node_array_cpu.push_back(node);
    }
  }
  master_node_num = static_cast<int>(master_node_array_cpu.size());
}

void UnifiedContact::collectMasterNodesGpu(NodeManager* nodeManager) {
  if (nodeManager == nullptr || nodeManager->node_array_gpu == nullptr || master_node_array_gpu != nullptr) return;
  collectMasterNodesCpu();
  const NodeCuda* base = nodeManager->node_array_cpu.data();
  std::vector<NodeCuda*> devicePtrs;
  for (const NodeCuda* node : master_node_array_cpu) {
    const std::ptrdiff_t index = node - base;
    if (index < 0 || index >= static_cast<std::ptrdiff_t>(nodeManager->node_array_cpu.size())) continue;
    devicePtrs.push_back(nodeManager->node_array_gpu + index);
  }
  master_node_num = static_cast<int>(devicePtrs.size());
  if (master_node_num == 0) return;
  CUDA_CHECK(cudaMalloc(&master_node_array_gpu, sizeof(NodeCuda*) * master_node_num));
  CUDA_CHECK(cudaMemcpy(master_node_array_gpu, devicePtrs.data(), sizeof(NodeCuda*) * master_node_num,
                        cudaMemcpyHostToDevice));
}

void UnifiedContact::integraMasterContactForceCpu() {
  for (NodeCuda* node : master_node_array_cpu) handOnContactForce(*node);
}

void UnifiedContact::integraMasterContactForceGpu() {
  const int n = master_node_num;
  if (n <= 0) return;
  launch(GPUIntegraContactForce, dim3(n / 32 + 1), dim3(32), n, static_cast<NodeCuda* const*>(master_node_array_gpu));
}

namespace {
template <typename T>
void uploadNew(T*& device, const std::vector<T>& host) {
  freeDevice(device);
  if (host.empty()) return;
  CUDA_CHECK(cudaMalloc(&device, sizeof(T) * host.size()));
  CUDA_CHECK(cudaMemcpy(device, host.data(), sizeof(T) * host.size(), cudaMemcpyHostToDevice));
}
}  // namespace

void UnifiedContact::planCandidateSearch(const std::vector<char>& offering) {
  std::vector<SubDomainManager>& grids = subDomainManagerArray;
  // The last grid that binds each node sets its link.
  std::map<const ContactNodeCuda*, std::size_t> lastGrid;
  for (std::size_t g = 0; g < grids.size(); ++g) {
    if (offering[g] == 0) continue;
    for (const ContactNodeCuda* cn : grids[g].slave_contact_node_array_cpu) lastGrid[cn] = g;
  }
  for (std::size_t g = 0; g < grids.size(); ++g) {
    SubDomainManager& m = grids[g];
    if (offering[g] == 0) continue;
    if (m.slave_side < 0) {
      const auto same = std::find_if(slave_sides_.begin(), slave_sides_.end(), [&](const SlaveSearchSide& side) {
        const SubDomainManager& first = grids[static_cast<std::size_t>(side.grid)];
        return first.slave_contact_node_array_cpu == m.slave_contact_node_array_cpu;
      });
      m.slave_side = static_cast<int>(same - slave_sides_.begin());
      if (same == slave_sides_.end()) {
        slave_sides_.push_back(
            SlaveSearchSide{static_cast<int>(g), m.slave_contact_node_array_gpu, m.slaveNodeNum(), m.slaveSurface});
      }
    }
    std::vector<int> links;
    for (const ContactNodeCuda* cn : m.slave_contact_node_array_cpu)
      links.push_back(lastGrid[cn] == g ? kLinkUnknown : kLinkLeft);
    uploadNew(m.link_state_gpu, links);
  }
}

void UnifiedContact::offerCandidatesGpu(int* overflow, const ContactNodeLookup& look) {
  std::vector<char> offering(subDomainManagerArray.size());
  for (std::size_t g = 0; g < offering.size(); ++g) offering[g] = subDomainManagerArray[g].offersCandidates() ? 1 : 0;
  if (offering != planned_) {
    planCandidateSearch(offering);
    planned_ = offering;
  }
  // Consecutive grids with the same slave list are searched in one launch,
  // grid by grid for each node (so each node meets the grids in their
  // order); the node's path is read once for them.
  std::vector<GridSearch> searches;
  std::vector<std::pair<std::size_t, int>> runs;  // first search and side of each launch
  for (std::size_t g = 0; g < offering.size(); ++g) {
    SubDomainManager& m = subDomainManagerArray[g];
    if (offering[g] == 0 || m.slave_side < 0 || m.link_state_gpu == nullptr) continue;
    if (runs.empty() || runs.back().second != m.slave_side) runs.emplace_back(searches.size(), m.slave_side);
    searches.push_back(m.candidateSearchGpu());
  }
  if (searches.empty()) return;
  if (searches.size() > grid_search_room_) {
    freeDevice(grid_search_gpu_);
    CUDA_CHECK(cudaMalloc(&grid_search_gpu_, sizeof(GridSearch) * searches.size()));
    grid_search_room_ = searches.size();
  }
  CUDA_CHECK(cudaMemcpy(grid_search_gpu_, searches.data(), sizeof(GridSearch) * searches.size(),
                        cudaMemcpyHostToDevice));
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const std::size_t first = runs[r].first;
    const std::size_t end = r + 1 < runs.size() ? runs[r + 1].first : searches.size();
    SlaveSearchSide& side = slave_sides_[static_cast<std::size_t>(runs[r].second)];
    // The places of this cycle, when the surface was refreshed for it.
    const Surface* surface = side.surface;
    const bool placed = surface != nullptr && surface->flags[BOX_EXTENDED] != 0 && surface->cycle_places != nullptr;
    if (placed && side.places_for != surface->place_gpu) findSlavePlaces(side, look);
    const bool mapped = placed && side.place_of_gpu != nullptr && side.places_for == surface->place_gpu;
    // The places the refresh read: the surface's own, or those the node
    // passes keep (by store position).
    const int* placeOf = surface != nullptr && surface->cycle_by_store ? side.store_of_gpu : side.place_of_gpu;
    const SlavePlaces places{mapped && placeOf != nullptr ? surface->cycle_places : nullptr, placeOf};
    const int slaveRuns = (side.count - 1) / kLaneWidth + 1;
    launch(testPairProduceAccorContactNode, dim3(slaveRuns / 32 + 1), dim3(32), side.count,
           static_cast<ContactNodeCuda* const*>(side.nodes_gpu), look, places,
           static_cast<const GridSearch*>(grid_search_gpu_ + first), static_cast<int>(end - first), overflow);
  }
}

void UnifiedContact::findSlavePlaces(SlaveSearchSide& side, const ContactNodeLookup& look) {
  const Surface& surface = *side.surface;
  const int n = side.count;
  // Made once for these places, whether every node has one or not.
  side.places_for = surface.place_gpu;
  freeDevice(side.place_of_gpu);
  freeDevice(side.store_of_gpu);
  if (n <= 0 || surface.place_num <= 0 || surface.place_node_gpu == nullptr) return;
  NodeCuda** nodesGpu = nullptr;
  CUDA_CHECK(cudaMalloc(&nodesGpu, sizeof(NodeCuda*) * n));
  launch(GpuSlaveNodes, dim3(n / 32 + 1), dim3(32), n, static_cast<ContactNodeCuda* const*>(side.nodes_gpu), look,
         nodesGpu);
  std::vector<NodeCuda*> nodes(static_cast<std::size_t>(n));
  std::vector<const NodeCuda*> placeNodes(static_cast<std::size_t>(surface.place_num));
  CUDA_CHECK(cudaMemcpy(nodes.data(), nodesGpu, sizeof(NodeCuda*) * n, cudaMemcpyDeviceToHost));
  CUDA_CHECK(cudaMemcpy(placeNodes.data(), surface.place_node_gpu, sizeof(NodeCuda*) * surface.place_num,
                        cudaMemcpyDeviceToHost));
  freeDevice(nodesGpu);
  std::map<const NodeCuda*, int> placeOf;
  for (std::size_t p = 0; p < placeNodes.size(); ++p) {
    if (placeNodes[p] != nullptr) placeOf.emplace(placeNodes[p], static_cast<int>(p));
  }
  std::vector<int> places;
  for (const NodeCuda* node : nodes) {
    const auto it = placeOf.find(node);
    if (it == placeOf.end()) return;  // a node without a place: the nodes are read
    places.push_back(it->second);
  }
  uploadNew(side.place_of_gpu, places);
  if (surface.place_store.size() != static_cast<std::size_t>(surface.place_num)) return;
  for (int& p : places) p = surface.place_store[static_cast<std::size_t>(p)];
  uploadNew(side.store_of_gpu, places);
}
