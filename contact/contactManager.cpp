#include "contact/contactManager.h"
#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include "contact/surfaceInteract.h"
#include "contact/surfacemanager.h"
#include "contact/tiemanager.h"
#include "core/deviceFree.h"
#include "core/part.h"
#include "contact/contactModel.h"
#include "contact/contactnode.h"
#include "contact/contactnodemanager.h"
#include "contact/pairmanager.h"
#include "contact/unified_contact.h"
#include "core/logErrorPrint.h"

namespace {

bool sameSides(const Contact& c, int a, int b) {
  return (c.master_id == a && c.slave_id == b) || (c.master_id == b && c.slave_id == a);
}

// The ids of a contact's two surfaces: those it was resolved into, else the
// ids it names.
int masterSurfaceId(const Contact& c) { return c.masterSurface != nullptr ? c.masterSurface->id : c.master_id; }
int slaveSurfaceId(const Contact& c) { return c.slaveSurface != nullptr ? c.slaveSurface->id : c.slave_id; }

bool sameSurfaces(const Contact& c, int a, int b) {
  const int m = masterSurfaceId(c), s = slaveSurfaceId(c);
  return (m == a && s == b) || (m == b && s == a);
}

// The last surface with this id, or null.
const Surface* lastSurfaceWithId(const std::vector<Surface>& surfaces, int id) {
  const Surface* found = nullptr;
  for (const Surface& s : surfaces) {
    if (s.id == id) found = &s;
  }
  return found;
}

std::set<FaceKey> faceKeys(const Surface& s) {
  std::set<FaceKey> keys;
  for (const SegmentCuda& seg : s.segment_array) keys.insert(faceKeyOf(seg.node_id));
  return keys;
}

// Scans a surface's segments and stops at the first whose face is in A (or,
// not in A, in B): which of the two it met.
void firstSharedFace(const Surface& s, const std::set<FaceKey>& A, const std::set<FaceKey>& B, bool& inA, bool& inB) {
  inA = inB = false;
  for (const SegmentCuda& seg : s.segment_array) {
    const FaceKey key = faceKeyOf(seg.node_id);
    if (A.count(key) != 0) {
      inA = true;
      return;
    }
    if (B.count(key) != 0) {
      inB = true;
      return;
    }
  }
}

}  // namespace

void ContactManager::resolveTieOverlap(TieManager* tieManager, ContactModel* fem) {
  if (tieManager == nullptr) return;
  for (const Tie& tie : tieManager->tie_array) {
    for (auto it = contact_array.begin(); it != contact_array.end(); ++it) {
      if (sameSurfaces(*it, tie.master_surface_id, tie.slave_surface_id)) {
        contact_array.erase(it);
        break;
      }
    }
  }
  const std::vector<Surface>& surfaces = fem->surfaceManager->surface_array;
  for (const Tie& tie : tieManager->tie_array) {
    const Surface* m = lastSurfaceWithId(surfaces, tie.master_surface_id);
    const Surface* s = lastSurfaceWithId(surfaces, tie.slave_surface_id);
    if (m == nullptr || s == nullptr) continue;
    const std::set<FaceKey> A = faceKeys(*m);
    const std::set<FaceKey> B = faceKeys(*s);
    for (auto it = contact_array.begin(); it != contact_array.end(); ++it) {
      const Surface* cm = it->masterSurface != nullptr ? it->masterSurface : lastSurfaceWithId(surfaces, it->master_id);
      const Surface* cs = it->slaveSurface != nullptr ? it->slaveSurface : lastSurfaceWithId(surfaces, it->slave_id);
      if (cm == nullptr || cs == nullptr) continue;
      bool mA = false, mB = false, sA = false, sB = false;
      firstSharedFace(*cm, A, B, mA, mB);
      firstSharedFace(*cs, A, B, sA, sB);
      if ((mA && sB) || (mB && sA)) {
        contact_array.erase(it);
        break;
      }
    }
  }
}

void ContactManager::buildAllExteriorContact(ContactModel* fem) {
  if (all_exterior_flag == 0) return;
  const bool sliding = std::any_of(contact_array.begin(), contact_array.end(),
                                   [](const Contact& c) { return c.contact_type != TIED_SHELL_EDGE_TO_SURFACE; });
  if (sliding) printf("接触设置存在冲突\n");
  std::vector<Surface>& surfaces = fem->surfaceManager->surface_array;
  std::vector<Part>& parts = fem->part_array;
  surfaces.reserve(surfaces.size() + parts.size());
  for (Part& p : parts) {
    if (p.contact_surface_id != 0 || p.contact_surface != nullptr) continue;
    bool named = false;
    for (const Surface& s : surfaces) named = named || s.part_name == p.name;
    if (named) continue;
    Surface s;
    s.part_name = p.name;
    s.id = static_cast<int>(surfaces.size()) + 1;
    surfaces.push_back(std::move(s));
  }
  fem->surfaceManager->buildSurfacesFromParts(fem);

  // One contact per pair of distinct part surfaces, the earlier part's as
  // master, then one per part surface with itself.
  auto add = [this](int master, int slave) {
    Contact c;
    c.contact_type = SURFACE_TO_SURFACE;
    c.master_id = master;
    c.slave_id = slave;
    c.master_type = ENTITY_SURFACE;
    c.slave_type = ENTITY_SURFACE;
    c.box_check_flag = 1;
    c.two_way = 1;
    contact_array.push_back(std::move(c));
  };
  std::set<std::string> masterNames;
  std::vector<int> selfSurfaces;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const Part& a = parts[i];
    if (a.contact_surface_id == 0 || !masterNames.insert(a.name).second) continue;
    selfSurfaces.push_back(a.contact_surface_id);
    std::set<std::string> paired;
    for (std::size_t j = i + 1; j < parts.size(); ++j) {
      const Part& b = parts[j];
      if (b.contact_surface_id == 0 || b.contact_surface_id == a.contact_surface_id || b.name == a.name) continue;
      if (!paired.insert(b.name).second) continue;
      add(a.contact_surface_id, b.contact_surface_id);
    }
  }
  for (int id : selfSurfaces) add(id, id);
}

void ContactManager::assignSurfaceInteracts(ContactModel* fem) {
  SurfaceManager* sm = fem->surfaceManager;
  const int count = static_cast<int>(sm->surfaceInteractArrayCpu.size());
  for (const auto& [key, k] : interact_assign_map) {
    if (k < 1 || k > count) {
      fprintf(stderr, "Surface interaction %d is not defined; it is attached to nothing\n", k);
      continue;
    }
    SurfaceInteract* host = sm->surfaceInteractArrayCpu[k - 1];
    SurfaceInteract** slot = sm->surfaceInteractArrayGpu != nullptr ? sm->surfaceInteractArrayGpu + (k - 1) : nullptr;
    if (key.empty() || key[0] == 0) {
      global_interact_array_cpu.push_back(host);
      if (slot != nullptr) global_interact_array_gpu.push_back(slot);
      ++global_interact_num;
      continue;
    }
    if (key.size() < 2) {
      fprintf(stderr, "Surface interaction %d names one surface (%d) instead of two; it is attached to nothing\n", k,
              key[0]);
      continue;
    }
    for (Contact& c : contact_array) {
      if (!sameSides(c, key[0], key[1])) continue;
      c.surface_interact_array_cpu.push_back(host);
      if (slot != nullptr) c.surface_interact_array_gpu.push_back(slot);
      ++c.surface_interact_num;
    }
  }
  if (global_interact_num > 1) {
    fprintf(stderr, "%d model-wide surface interactions: only the first acts on the pairs\n", global_interact_num);
  }
  buildOwnInteractMasters(fem);
}

ContactManager::~ContactManager() { freeDevice(own_interact_master_gpu); }

void ContactManager::buildOwnInteractMasters(ContactModel* fem) {
  if (own_interact_master_gpu != nullptr || fem->contactNodeManager == nullptr || fem->unifiedContact == nullptr)
    return;
  const int n = fem->contactNodeManager->contact_node_num;
  if (n <= 0 || global_interact_num == 0) return;
  std::vector<int>& owner = own_interact_master_cpu;
  owner.assign(n, 0);
  for (const SubDomainManager& g : fem->unifiedContact->subDomainManagerArray) {
    if (g.contact == nullptr || g.contact->surface_interact_num == 0 || g.masterSurface == nullptr) continue;
    for (const ContactNodeCuda* cn : g.slave_contact_node_array_cpu) {
      if (cn != nullptr && cn->number >= 1 && cn->number <= n) owner[cn->number - 1] = g.masterSurface->id;
    }
  }
  // The host-only loop has no device objects and reads the host copy.
  if (global_interact_array_gpu.empty()) return;
  CUDA_CHECK(cudaMalloc(&own_interact_master_gpu, sizeof(int) * n));
  CUDA_CHECK(cudaMemcpy(own_interact_master_gpu, owner.data(), sizeof(int) * n, cudaMemcpyHostToDevice));
}

void ContactManager::imposeSurfaceInteractGpu(ContactModel* fem, double dt) {
  if (global_interact_array_gpu.empty() || fem->pairManager == nullptr) return;
  PairManager* pm = fem->pairManager;
  // One law per pair and cycle: the first model-wide interaction only.
  const int pass = pm->beginSharePass();
  launchImposeSurfaceInteract(pm->contact_node_num, dt, global_interact_array_gpu.front(), pm->contact_pair_array_gpu,
                              own_interact_master_gpu, pass, pm->motionTable());
  pm->gatherSharesGpu(pass);
}

void ContactManager::imposeSpecificSurfaceInteractGpu(ContactModel* fem, double dt) {
  if (fem->unifiedContact == nullptr) return;
  // The search grid may have swapped the contact's sides: its slave nodes
  // and its master surface are the ones in contact.
  for (const SubDomainManager& g : fem->unifiedContact->subDomainManagerArray) {
    const Contact* c = g.contact;
    if (c == nullptr || c->surface_interact_array_gpu.empty() || g.masterSurface == nullptr) continue;
    PairManager* pm = fem->pairManager;
    const int pass = pm != nullptr ? pm->beginSharePass() : 0;
    launchImposeSpecificSurfaceInteract(g.slaveNodeNum(), dt, g.masterSurface->id,
                                        c->surface_interact_array_gpu.front(), g.slave_contact_node_array_gpu, pass,
                                        pm != nullptr ? pm->motionTable() : NodeMotionTable{});
    if (pm != nullptr) pm->gatherSharesGpu(pass);
  }
}

void ContactManager::imposeSurfaceInteractCpu(ContactModel* fem, double dt) {
  if (global_interact_array_cpu.empty() || global_interact_array_cpu.front() == nullptr) return;
  if (fem->pairManager == nullptr) return;
  SurfaceInteract* law = global_interact_array_cpu.front();
  const int n = static_cast<int>(own_interact_master_cpu.size());
  const NodeMotionTable motion = fem->pairManager->motionTable();
  for (ContactPairCuda* p : fem->pairManager->contact_pair_array_cpu) {
    if (globalInteractActsOn(p, own_interact_master_cpu.data(), n)) imposeInteractCpu(law, p, dt, motion);
  }
  for (ContactPairCuda* p : fem->pairManager->contact_pair_array_cpu) handOnInteractCpu(p);
}

void ContactManager::imposeSpecificSurfaceInteractCpu(ContactModel* fem, double dt) {
  if (fem->unifiedContact == nullptr) return;
  const NodeMotionTable motion = fem->pairManager != nullptr ? fem->pairManager->motionTable() : NodeMotionTable{};
  for (const SubDomainManager& g : fem->unifiedContact->subDomainManagerArray) {
    const Contact* c = g.contact;
    if (c == nullptr || c->surface_interact_array_cpu.empty() || g.masterSurface == nullptr) continue;
    SurfaceInteract* law = c->surface_interact_array_cpu.front();
    if (law == nullptr) continue;
    for (ContactNodeCuda* cn : g.slave_contact_node_array_cpu) {
      if (cn != nullptr && ownInteractActsOn(&cn->contact_pair, g.masterSurface->id)) {
        imposeInteractCpu(law, &cn->contact_pair, dt, motion);
      }
    }
    for (ContactNodeCuda* cn : g.slave_contact_node_array_cpu) {
      if (cn != nullptr) handOnInteractCpu(&cn->contact_pair);
    }
  }
}
