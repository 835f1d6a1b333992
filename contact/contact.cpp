#include "contact/contact.h"
#include <cstdio>
#include <set>
#include <utility>
#include "contact/contactnodemanager.h"
#include "contact/surface.h"
#include "contact/surfaceSpan.h"
#include "contact/surfacemanager.h"
#include "core/deviceFree.h"
#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/setManager.h"
#include "elements/common/elmmanager.h"
#include "platform/gpuRuntime.h"

Contact::Contact(Contact&& other) noexcept : ContactRecord(std::move(other)) {
  other.slave_contact_node_array_gpu = nullptr;
}

Contact& Contact::operator=(Contact&& other) noexcept {
  if (this != &other) {
    freeDevice(slave_contact_node_array_gpu);
    ContactRecord::operator=(std::move(other));
    other.slave_contact_node_array_gpu = nullptr;
  }
  return *this;
}

Contact::~Contact() { freeDevice(slave_contact_node_array_gpu); }

Contact Contact::zeroed() {
  Contact c;
  c.soft_scale = 0.0;
  c.max_parametric_coord = 0.0;
  c.search_depth = 0;
  c.friction_update_interval = 0;
  c.bucket_interval = 0;
  c.tracked_segments = 0;
  c.initial_iterations = 0;
  return c;
}

Contact Contact::madeFrom() const {
  Contact c = zeroed();
  c.contact_id = contact_id;
  c.title = title;
  c.keyword = keyword;
  c.deck_position = deck_position;
  return c;
}

std::string Contact::describe() const {
  std::string text = "contact";
  if (contact_id != 0) {
    text += ' ';
    text += std::to_string(contact_id);
  } else if (deck_position > 0) {
    text += " definition " + std::to_string(deck_position);
  }
  if (!keyword.empty()) text += " (" + keyword + ")";
  return text;
}

namespace {

std::string sideName(const Surface* s) {
  if (s == nullptr) return "its slave nodes";
  if (!s->part_name.empty()) return "part " + s->part_name;
  if (!s->title.empty()) return "segment set " + s->title;
  return "surface " + std::to_string(s->id);
}

}  // namespace

std::string Contact::describeWithSides() const {
  std::string text = keyword.empty() && deck_position == 0 ? "whole-model contact" : describe();
  text += " of " + sideName(masterSurface);
  text += slaveSurface == masterSurface ? " with itself" : " and " + sideName(slaveSurface);
  return text;
}

namespace {

const char* entityName(int type) {
  switch (type) {
    case ENTITY_SURFACE:
      return "surface";
    case ENTITY_ELEMENT_SET:
      return "element set";
    case ENTITY_PART_SET:
      return "part set";
    case ENTITY_PART:
      return "part";
    case ENTITY_NODE_SET:
      return "node set";
    default:
      return "entity";
  }
}

// The part at 1-based position id, or null.
Part* partAt(std::vector<Part>& parts, int id) {
  return id >= 1 && id <= static_cast<int>(parts.size()) ? &parts[id - 1] : nullptr;
}

// Shell elements of an element set; its solids have no segment.
std::vector<Element*> shellsOf(const Set& set, std::vector<Part>& parts, const std::string& contact) {
  std::vector<Element*> shells;
  int others = 0;
  for (Element* e : set.element_array_cpu) {
    bool isShell = false;
    for (Part& p : parts) {
      if (p.elmManager == nullptr) continue;
      const auto& list = p.elmManager->shell_element_array_cpu;
      if (!list.empty() && e >= &list.front() && e <= &list.back()) isShell = true;
    }
    if (isShell) {
      shells.push_back(e);
    } else {
      ++others;
    }
  }
  if (others > 0) {
    fprintf(stderr, "%s: %d element(s) of element set %d are not shells and give no segment\n", contact.c_str(), others,
            set.id);
  }
  return shells;
}

// Shells, then the exterior faces of the solids, of one part.
void addPartFaces(Surface& surface, Part& part, NodeManager* nodeManager) {
  if (part.elmManager != nullptr) surface.addSegmentsFromShells(part.elmManager->shell_element_array_cpu);
  NodeCuda* nodes =
      nodeManager != nullptr && !nodeManager->node_array_cpu.empty() ? nodeManager->node_array_cpu.data() : nullptr;
  surface.addSegmentsFromSolidFaces(&part, nodes);
}

// Appends a surface made by a builder; it takes the new surface count as id.
Surface* appendSurface(SurfaceManager* manager, Surface&& surface) {
  std::vector<Surface>& surfaces = manager->surface_array;
  if (surfaces.size() == surfaces.capacity()) {
    fprintf(stderr, "internal error: the surface list is full; a contact side is not built\n");
    return nullptr;
  }
  surface.id = static_cast<int>(surfaces.size()) + 1;
  for (SegmentCuda& seg : surface.segment_array) seg.surface_id = surface.id;
  surfaces.push_back(std::move(surface));
  return &surfaces.back();
}

}  // namespace

Surface* Contact::resolveSide(int type, int entityId, const char* side, SurfaceManager* surfaceManager,
                              std::vector<Part>& parts, SetManager* setManager, NodeManager* nodeManager) {
  Surface* surface = findSide(type, entityId, side, surfaceManager, parts, setManager, nodeManager);
  if (surface != nullptr && surface->segment_array.empty()) {
    fprintf(stderr, "%s: the %s side names %s %d, which gives no contact segment\n", describe().c_str(), side,
            entityName(type), entityId);
    return nullptr;
  }
  if (surface != nullptr && !contactSideSpanIsSound(*surface, nodeManager, describe(), side)) return nullptr;
  return surface;
}

Surface* Contact::findSide(int type, int entityId, const char* side, SurfaceManager* surfaceManager,
                           std::vector<Part>& parts, SetManager* setManager, NodeManager* nodeManager) {
  std::vector<Surface>& surfaces = surfaceManager->surface_array;
  auto missing = [&]() -> Surface* {
    fprintf(stderr, "%s: the %s side names %s %d, which the model does not have\n", describe().c_str(), side,
            entityName(type), entityId);
    return nullptr;
  };
  switch (type) {
    case ENTITY_SURFACE: {
      if (entityId < 1 || entityId > static_cast<int>(surfaces.size())) return missing();
      return &surfaces[entityId - 1];
    }
    case ENTITY_ELEMENT_SET: {
      Set* set = setManager != nullptr ? setManager->findSet(entityId, SET_ELEMENT) : nullptr;
      if (set == nullptr) return missing();
      std::vector<Element*> shells = shellsOf(*set, parts, describe());
      Surface surface;
      surface.addSegmentsFromElements(shells);
      return appendSurface(surfaceManager, std::move(surface));
    }
    case ENTITY_PART_SET: {
      Set* set = setManager != nullptr ? setManager->findSet(entityId, SET_PART) : nullptr;
      if (set == nullptr) return missing();
      Surface surface;
      for (int position : set->id_array) {
        Part* part = partAt(parts, position);
        if (part != nullptr) addPartFaces(surface, *part, nodeManager);
      }
      return appendSurface(surfaceManager, std::move(surface));
    }
    case ENTITY_PART: {
      Part* part = partAt(parts, entityId);
      if (part == nullptr) return missing();
      for (Surface& s : surfaces) {
        if (s.part_name == part->name) return &s;
      }
      Surface surface;
      addPartFaces(surface, *part, nodeManager);
      surface.part_name = part->name;
      surface.part_index_array.push_back(entityId - 1);
      return appendSurface(surfaceManager, std::move(surface));
    }
    case ENTITY_NODE_SET:
      fprintf(stderr, "%s: the %s side names node set %d; a node set is no contact surface\n", describe().c_str(), side,
              entityId);
      return nullptr;
    default:
      fprintf(stderr, "%s: the %s side is of kind %d, which is not taken\n", describe().c_str(), side, type);
      return nullptr;
  }
}

bool Contact::resolveSlaveNodes(std::vector<Part>& parts, SetManager* setManager) {
  slave_node_array_cpu.clear();
  auto missing = [&]() {
    fprintf(stderr, "%s: the slave side names %s %d, which the model does not have\n", describe().c_str(),
            entityName(slave_type), slave_id);
    return false;
  };
  auto appendPart = [this](Part& p) {
    slave_node_array_cpu.insert(slave_node_array_cpu.end(), p.node_array.begin(), p.node_array.end());
  };
  switch (slave_type) {
    case ENTITY_PART_SET: {
      Set* set = setManager != nullptr ? setManager->findSet(slave_id, SET_PART) : nullptr;
      if (set == nullptr) return missing();
      for (int position : set->id_array) {
        if (Part* p = partAt(parts, position)) appendPart(*p);
      }
      break;
    }
    case ENTITY_PART: {
      Part* p = partAt(parts, slave_id);
      if (p == nullptr) return missing();
      appendPart(*p);
      break;
    }
    case ENTITY_NODE_SET: {
      Set* set = setManager != nullptr ? setManager->findSet(slave_id, SET_NODE) : nullptr;
      if (set == nullptr) return missing();
      for (NodeCuda* n : set->node_array_cpu) {
        if (n != nullptr) slave_node_array_cpu.push_back(n);
      }
      break;
    }
    default:
      fprintf(stderr, "%s: the slave side of nodes is of kind %d, which is not taken\n", describe().c_str(),
              slave_type);
      return false;
  }
  if (slave_node_array_cpu.empty()) {
    fprintf(stderr, "%s: the slave side names %s %d, which holds no node\n", describe().c_str(), entityName(slave_type),
            slave_id);
    return false;
  }
  return true;
}

bool Contact::buildContactEntities(SurfaceManager* surfaceManager, std::vector<Part>& parts, SetManager* setManager,
                                   NodeManager* nodeManager) {
  masterSurface = resolveSide(master_type, master_id, "master", surfaceManager, parts, setManager, nodeManager);
  if (masterSurface == nullptr) return false;
  switch (contact_type) {
    case NODES_TO_SURFACE:
      return resolveSlaveNodes(parts, setManager);
    case SURFACE_TO_SURFACE:
      slaveSurface = resolveSide(slave_type, slave_id, "slave", surfaceManager, parts, setManager, nodeManager);
      return slaveSurface != nullptr;
    case SINGLE_SURFACE:
    case GENERAL_CONTACT:
      slaveSurface = masterSurface;
      return true;
    case TIED_SHELL_EDGE_TO_SURFACE:
      // A tie: its sides are resolved for the tie manager; it searches no
      // node and never slides.
      if (slave_type == ENTITY_NODE_SET) return resolveSlaveNodes(parts, setManager);
      slaveSurface = resolveSide(slave_type, slave_id, "slave", surfaceManager, parts, setManager, nodeManager);
      return slaveSurface != nullptr;
    default:
      fprintf(stderr, "%s: kind %d is not a contact kind\n", describe().c_str(), contact_type);
      return false;
  }
}

void Contact::buildSlaveNodeSet(ContactNodeManager* contactNodeManager) {
  slave_contact_node_array_cpu.clear();
  if (contactNodeManager == nullptr) return;
  if (contact_type == NODES_TO_SURFACE) {
    std::set<int> seen;
    for (NodeCuda* node : slave_node_array_cpu) {
      if (node == nullptr || !seen.insert(node->id).second) continue;
      ContactNodeCuda* cn = contactNodeManager->findContactNode(node->id);
      if (cn != nullptr) slave_contact_node_array_cpu.push_back(cn);
    }
  } else if (contact_type >= SURFACE_TO_SURFACE && contact_type <= GENERAL_CONTACT && slaveSurface != nullptr) {
    slave_contact_node_array_cpu = slaveSurface->contact_node_array_cpu;
  }
}

void Contact::allocateAndCopySlaveNodeArrayGpu(ContactNodeManager* contactNodeManager) {
  contact_node_num = static_cast<int>(slave_contact_node_array_cpu.size());
  if (contact_node_num <= 0 || contactNodeManager == nullptr || contactNodeManager->contact_node_array_gpu == nullptr) {
    return;
  }
  std::vector<ContactNodeCuda*> devicePtrs(contact_node_num, nullptr);
  for (int i = 0; i < contact_node_num; ++i) {
    const int k = slave_contact_node_array_cpu[i]->number;
    if (k >= 1 && k <= contactNodeManager->contact_node_num)
      devicePtrs[i] = contactNodeManager->contact_node_array_gpu + (k - 1);
  }
  CUDA_CHECK(cudaMalloc(&slave_contact_node_array_gpu, sizeof(ContactNodeCuda*) * contact_node_num));
  CUDA_CHECK(cudaMemcpy(slave_contact_node_array_gpu, devicePtrs.data(), sizeof(ContactNodeCuda*) * contact_node_num,
                        cudaMemcpyHostToDevice));
}

// The bucket search keeps its per-block box buffers in the search grids
// (one per searched surface pair); a contact needs none of its own.
void Contact::allocateBlockBuffers() {}
