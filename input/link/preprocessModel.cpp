#include "input/link/preprocessModel.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "core/curvemanager.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/section.h"
#include "core/sectionmanager.h"
#include "core/setManager.h"
#include "elements/common/elmmanager.h"
#include "elements/common/formulationCheck.h"
#include "elements/common/hourglassControlManager.h"
#include "elements/common/partSetup.h"
#include "materials/material.h"
#include "materials/materialmanager.h"
#include "solver/femdynamic.h"
#include "contact/contactManager.h"
#include "contact/pairmanager.h"
#include "contact/tiemanager.h"
#include "contact/surfacemanager.h"
#include "solver/boundary.h"
#include "solver/constrained.h"
#include "solver/load.h"
#include "solver/initialCondition.h"
#include "solver/rigidmanager.h"
#include "solver/rigidwall.h"
#include "solver/setMembers.h"
#include "solver/timeControl.h"
#include "solver/modelViews.h"

namespace {

// Start of a vector's storage, taken after the capacity was reserved, so
// that the end of set-up can tell whether the pointers taken meanwhile into
// it are still valid.
template <typename T>
struct StorageGuard {
  const std::vector<T>* vec;
  const T* start;
  explicit StorageGuard(const std::vector<T>& v) : vec(&v), start(v.data()) {}
  bool moved() const { return vec->data() != start; }
};

// A material carries copies of its curves in its record, which holds
// kMaterialTablePointMax points of each: a longer curve would be cut, and a
// curve the model lacks would leave the table empty. False, after a message
// naming the material's card and the curve, for such a curve.
bool materialCurvesFit(const Material& material, CurveManager& curves, const std::string& card) {
  std::vector<int> ids = {material.curve_id};
  if (material.type == 7) {
    ids.insert(ids.end(), material.curve_ids, material.curve_ids + kMaterialLinkedCurveNum);
  } else if (material.type == 9) {
    ids.insert(ids.end(), {material.loading_curve_id, material.unloading_curve_id});
  }
  // Linked curves below 0 are not copied (their record keeps no table).
  std::replace_if(
      ids.begin() + 1, ids.end(), [](int id) { return id < 0; }, 0);
  for (int id : ids) {
    const Curve* curve = id != 0 ? curves.findCurveById(id) : nullptr;
    if (id != 0 && curve == nullptr) {
      std::fprintf(stderr, "%s: curve %d is not in the model\n", card.c_str(), id);
      return false;
    }
    if (curve != nullptr && curve->pointCount() > kMaterialTablePointMax) {
      std::fprintf(stderr, "%s: curve %d has %d points; a material takes curves of at most %d\n", card.c_str(), id,
                   curve->pointCount(), kMaterialTablePointMax);
      return false;
    }
  }
  return true;
}

}  // namespace

int preprocessModel(FEMDynamic* fem) {
  bool linked = true;

  // 1. Capacity, so that pointers taken during set-up stay valid.
  fem->elm_manager_array.reserve(fem->elm_manager_array.size() * 2);
  fem->part_array.reserve(fem->part_array.size() * 2);
  fem->rigidManager->rigid_array.reserve(fem->part_array.size() + fem->rigidManager->nodal_rigid_set_ids.size());
  fem->surfaceManager->surface_array.reserve(fem->surfaceManager->surface_array.size() +
                                             2 * fem->contactManager->contact_array.size());
  StorageGuard partsGuard(fem->part_array);
  StorageGuard storesGuard(fem->elm_manager_array);
  StorageGuard rigidGuard(fem->rigidManager->rigid_array);
  StorageGuard surfaceGuard(fem->surfaceManager->surface_array);

  // 2. Nodes.
  NodeManager* nodeManager = fem->nodeManager;
  nodeManager->sortNodes();
  nodeManager->setNodeNum();
  nodeManager->checkNodeIdMap();

  // 3. Id maps.  The deck's element ids served the reader's checks of the
  // element sets alone: their map (some 40 bytes an element) goes.
  std::map<int, int>().swap(fem->element_id_map);
  fem->materialManager->buildMaterialIdMap();
  fem->sectionManager->sortAndMapSections();
  // Set members are resolved in step 10, once the elements are final.
  fem->setManager->buildSetMaps();
  fem->curveManager->buildCurveMap();
  fem->hourglassControlManager->buildIdMap();

  // 4. Derived material data.
  for (Material& material : fem->materialManager->material_array) {
    if (!materialCurvesFit(material, *fem->curveManager, fem->materialManager->cardOf(material.id))) {
      linked = false;
      continue;
    }
    if (material.curve_id != 0) {
      material.copyStressStrainCurve(fem->curveManager->findCurveById(material.curve_id));
    }
    material.calMaterialConstants();
    material.copyLinkedCurves(fem->curveManager);
    material.computeWaveNumber();
  }

  // 5. Derived section data.
  for (Section& section : fem->sectionManager->section_array) {
    section.calBeamSectionProperty();
    section.setIntegrationPoints();
    section.setDefaultValue();
  }

  // 6. Parts to their element stores, materials and sections.
  for (Part& part : fem->part_array) {
    if (part.id < 1 || part.id > static_cast<int>(fem->elm_manager_array.size())) {
      std::fprintf(stderr, "part %d has no element store\n", part.id);
      linked = false;
      continue;
    }
    linkMaterialSectionElement(part, fem->elm_manager_array, fem->materialManager, fem->sectionManager);
    if (part.material == nullptr) {
      std::fprintf(stderr, "part %d (%s): material %d is not in the model\n", part.id, part.name.c_str(),
                   part.material_id);
      linked = false;
    }
    if (part.section == nullptr) {
      std::fprintf(stderr, "part %d (%s): section %d is not in the model\n", part.id, part.name.c_str(),
                   part.section_id);
      linked = false;
    }
    if (part.material != nullptr && part.material->type == 1) {
      // A part of the rigid material moves as one rigid body.
      RigidCuda body;
      body.part = &part;
      fem->rigidManager->rigid_array.push_back(body);
    }
    if (part.elmManager != nullptr) {
      part.elmManager->setMaterialSectionId(part.material_id, part.section_id);
    }
  }
  // Nodal rigid bodies: one body per node set.
  if (!fem->rigidManager->addNodalRigidBodies(fem)) {
    linked = false;
  }
  // Each part's hourglass control: the one its HGID names, else the model's.
  if (!fem->hourglassControlManager->selectPartControls(fem->part_array, fem->timeControl->runSafeFactor())) {
    linked = false;
  }
  if (!linked) {
    return 0;
  }

  // 7. Element type codes from the sections, then the element node links:
  // classifying a wedge reorders its node ids, so the links follow it.
  for (Part& part : fem->part_array) {
    if (part.elmManager != nullptr) {
      part.elmManager->setElementType(part.section);
    }
  }
  for (ElmManager& elements : fem->elm_manager_array) {
    elements.linkNodes(nodeManager);
  }
  for (Part& part : fem->part_array) {
    if (!checkPartComputable(part)) {
      linked = false;
    }
  }
  if (!linked) {
    return 0;
  }

  // 8. Node thicknesses, then the parts' node lists.
  for (Part& part : fem->part_array) {
    setNodeThickness(part);
  }
  for (Part& part : fem->part_array) {
    buildNodeList(part, nodeManager);
  }

  // 9. Segment node pointers of the surfaces read so far; those on the
  // outside of solids face one way.
  for (Surface& surface : fem->surfaceManager->surface_array) {
    surface.linkSegmentNodePtrs(nodeManager);
  }
  {
    ContactModel model = contactModelOf(*fem);
    fem->surfaceManager->markSolidFaceSegments(&model);
  }

  // 10. Set members to their nodes, parts and elements. Linking (step 7)
  // drops elements with bad node ids and rebuilds the element vectors, so
  // members are resolved only now that the elements are final.
  resolveAllSets(*fem->setManager, fem);

  // 11, 12. Rigid bodies to their nodes, extra nodes, merged pairs and
  // prescribed motions.
  if (!fem->rigidManager->linkAll(fem)) {
    linked = false;
  }

  // Boundaries and loads to their targets and curves.
  if (!fem->boundaryManager->linkAllTargets(fem) || !fem->boundaryManager->linkAllCurves(fem->curveManager)) {
    linked = false;
  }
  if (!fem->loadManager->linkAllTargets(fem) || !fem->loadManager->linkAllCurves(fem->curveManager)) {
    linked = false;
  }

  // 13. Spot welds and joints to the nodes of their node sets.
  for (Constrained& constraint : fem->constrainedManager->constrained_array) {
    if (!constraint.linkNodeSet(fem->setManager)) {
      linked = false;
    }
  }

  // 14. Initial conditions to their nodes; a node reached twice keeps one.
  if (!resolveInitialConditions(*fem->initial_condition_array, fem)) {
    linked = false;
  }
  settleInitialVelocities(*fem->initial_condition_array, *fem);

  // 16-17. Contact sides into surfaces, then segment numbering.
  if (!buildContactSurfaces(fem)) {
    linked = false;
  }

  // 19. Surface id map.
  fem->surfaceManager->buildSurfaceIdMap();

  // 20. Rigid walls: slave nodes, frame and motion curve.
  for (RigidWall& wall : *fem->rigid_wall_array) {
    if (!wall.linkSlaveNodes(nodeManager, fem->setManager)) {
      linked = false;
    }
    if (!wall.setCoordSystem()) {
      linked = false;
    }
    if (!wall.linkCurve(fem->curveManager)) {
      linked = false;
    }
  }

  finishPreprocess(fem);

  if (partsGuard.moved() || storesGuard.moved() || rigidGuard.moved() || surfaceGuard.moved()) {
    std::fprintf(stderr, "internal error: the part list grew during set-up; links into it are stale\n");
    linked = false;
  }
  // Printed only when every link was made.
  if (linked) std::printf("success!\n");
  return linked ? 1 : 0;
}

bool buildContactSurfaces(FEMDynamic* fem) {
  std::vector<Contact>& contacts = fem->contactManager->contact_array;
  SurfaceManager* surfaces = fem->surfaceManager;
  std::vector<Contact> kept;
  kept.reserve(contacts.size());
  bool resolved = true;
  for (Contact& contact : contacts) {
    if (!contact.buildContactEntities(surfaces, fem->part_array, fem->setManager, fem->nodeManager)) {
      resolved = false;
      continue;
    }
    // A tied interface is glued for the whole run: the tie manager holds it.
    if (contact.contact_type == TIED_SHELL_EDGE_TO_SURFACE) {
      fem->tieManager->addTieFromContact(contact);
      continue;
    }
    kept.push_back(std::move(contact));
  }
  contacts.swap(kept);
  // The whole-model contacts leave out the surfaces a tie glues together.
  if (fem->contactManager->all_exterior_flag != 0) {
    ContactModel model = contactModelOf(*fem);
    fem->contactManager->resolveTieOverlap(fem->tieManager, &model);
  }
  int offset = 0;
  for (Surface& surface : surfaces->surface_array) {
    surface.defineSegmentLocalIds(offset);
    offset += static_cast<int>(surface.segment_array.size());
  }
  surfaces->total_segment_num = offset;
  // The surface list was reserved at the start of set-up: parts point at
  // their surfaces where they stand now.
  for (Part& part : fem->part_array) {
    part.contact_surface = nullptr;
    for (Surface& surface : surfaces->surface_array) {
      if (part.contact_surface_id != 0 && surface.id == part.contact_surface_id) part.contact_surface = &surface;
    }
  }
  return resolved;
}

void finishPreprocess(FEMDynamic* fem) {
  RigidManager* rigid = fem->rigidManager;
  // Rigid nodes keep their shell thickness: contact holds a rigid shell
  // half its thickness off, as any shell.
  if (!rigid->rigid_array.empty()) rigid->markRigidNodes();
  fem->nodeManager->storeAllIniCoord();
  for (Surface& surface : fem->surfaceManager->surface_array) {
    surface.setSegmentThickness();
  }
  fem->pairManager->search_mode = 0;
  fem->pairManager->force_mode = 0;
  fem->timeControl->setSafeFactor();
  for (ElmManager& elements : fem->elm_manager_array) {
    elements.setDtScaleFactor(1.0);
  }
}
