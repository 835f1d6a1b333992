#include "solver/femdynamic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "contact/contactManager.h"
#include "contact/contactnodemanager.h"
#include "contact/pairmanager.h"
#include "contact/surfacemanager.h"
#include "contact/tiemanager.h"
#include "contact/unified_contact.h"
#include "core/curvemanager.h"
#include "core/deckNumbers.h"
#include "core/eror_test.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/sectionmanager.h"
#include "core/setManager.h"
#include "core/simpleMath.h"
#include "elements/common/elementControl.h"
#include "elements/common/elmmanager.h"
#include "elements/common/hourglassControlManager.h"
#include "elements/common/integratpointmanager.h"
#include "elements/common/partSetup.h"
#include "elements/smoothFem/smoothFemManager.h"
#include "elements/common/solidStepSetup.h"
#include "materials/materialmanager.h"
#include "output/outputManager.h"
#include "platform/hostMemory.h"
#include "solver/boundary.h"
#include "solver/constrained.h"
#include "solver/initialCondition.h"
#include "solver/load.h"
#include "solver/multigpumanager.h"
#include "solver/rigidmanager.h"
#include "solver/rigidwall.h"
#include "solver/runClock.h"
#include "solver/setMembers.h"
#include "solver/setupChecks.h"
#include "solver/timeControl.h"
#include "solver/modelViews.h"

FEMDynamic::FEMDynamic() = default;

FEMDynamic::~FEMDynamic() {
  deleteManagers();
  // The id maps, element stores, parts and names go with their members.
}

void FEMDynamic::traceStep(const char* step) {
  if (setupTrace != nullptr) setupTrace->emplace_back(step);
  if (setupTraceClock != nullptr) setupTraceClock->push_back(wallClockMs());
}

namespace {
template <typename T>
void create(T*& slot) {
  if (slot == nullptr) slot = new T();
}
template <typename T>
void destroy(T*& slot) {
  delete slot;
  slot = nullptr;
}
}  // namespace

void FEMDynamic::newManagers() {
  create(nodeManager);
  create(contactNodeManager);
  create(pairManager);
  create(unifiedContact);
  create(curveManager);
  create(boxManager);
  create(setManager);
  create(boundaryManager);
  create(loadManager);
  create(constrainedManager);
  create(initial_condition_array);
  create(timeControl);
  create(rigidManager);
  create(materialManager);
  create(sectionManager);
  create(surfaceManager);
  create(elementControl);
  create(hourglassControlManager);
  create(tieManager);
  create(integratPointManager);
  create(smoothFemManager);
  create(outputManager);
  create(multiGpuManager);
  create(contactManager);
  create(rigid_wall_array);
  create(point_mass_array);
  create(accelerometer_array);
  create(history_node_array);
  create(airbag_array);
  create(tableManager);
  create(coordinate_nodes_array);
  create(transformation_array);
  create(include_transform_array);
  create(controlOptions);
  create(database_array);
  create(rigidExtraNodeManager);
  // Every record without a constructor of its own was value-initialised
  // above, so the control record, the pair manager, time control (its safe
  // factor included), the constraint manager, the element driver and the
  // unified contact start at zero.
}

void FEMDynamic::deleteManagers() {
  destroy(nodeManager);
  destroy(contactNodeManager);
  destroy(pairManager);
  destroy(unifiedContact);
  destroy(curveManager);
  destroy(setManager);
  destroy(boundaryManager);
  destroy(loadManager);
  destroy(constrainedManager);
  destroy(initial_condition_array);
  destroy(timeControl);
  destroy(rigidManager);
  destroy(materialManager);
  destroy(sectionManager);
  destroy(surfaceManager);
  destroy(elementControl);
  destroy(hourglassControlManager);
  destroy(tieManager);
  destroy(integratPointManager);
  destroy(smoothFemManager);
  destroy(outputManager);
  destroy(rigidExtraNodeManager);
  // The deck-record containers, the GPU selection and the contact manager
  // are released as well, so that nothing outlives the solver object.
  destroy(tableManager);
  destroy(coordinate_nodes_array);
  destroy(transformation_array);
  destroy(include_transform_array);
  destroy(rigid_wall_array);
  destroy(history_node_array);
  destroy(airbag_array);
  destroy(point_mass_array);
  destroy(accelerometer_array);
  destroy(boxManager);
  destroy(controlOptions);
  destroy(database_array);
  destroy(multiGpuManager);
  destroy(contactManager);
}

namespace {
// The element store of part i: the part's own link when set, else entry i
// of the solver's element stores.
ElmManager* elmOf(FEMDynamic* fem, Part& part, std::size_t i) {
  if (part.elmManager != nullptr) return part.elmManager;
  return i < fem->elm_manager_array.size() ? &fem->elm_manager_array[i] : nullptr;
}

// Runs step(part, store) on every part that has an element store, in part
// order.
template <typename Step>
void forEachPartStore(FEMDynamic* fem, Step step) {
  for (std::size_t i = 0; i < fem->part_array.size(); ++i) {
    Part& part = fem->part_array[i];
    if (ElmManager* em = elmOf(fem, part, i)) step(part, *em);
  }
}
}  // namespace

bool FEMDynamic::initialComputeCpu() {
  std::vector<Surface>& surfaces = surfaceManager->surface_array;
  std::vector<Contact>& contacts = contactManager->contact_array;
  // A material the elements cannot use refuses the model before any pass.
  if (!elementPartMaterialsUsable(part_array)) return false;

  traceStep("ElmManager::setInternalParamNum");
  forEachPartStore(this, [](Part&, ElmManager& em) {
    em.setInternalParamNum();
    em.setAdditionalVariableNum();
    em.setElementNodeNum();
    em.setTLFlag();
  });
  traceStep("ElmManager::computeAddMemSize");
  forEachPartStore(this, [](Part& part, ElmManager& em) {
    em.computeAddMemSize(part.section);
    em.allocateAddMemory();
    em.operatorOnAddMem(part.section);
    em.setElementSectionType();
    em.setGaussNodeNum();
    em.setSFemFlag(part.section);
  });
  traceStep("Surface::countSegments");
  for (Surface& s : surfaces) {
    s.countSegments();
    s.linkSurfaceNodes(nodeManager);
    s.solveSegmentNormals();
  }
  traceStep("ContactNodeManager::buildContactNodes");
  contactNodeManager->buildContactNodes(contacts, nodeManager->node_array_cpu.empty()
                                                      ? nullptr
                                                      : nodeManager->node_array_cpu.data());
  traceStep("Surface::collectContactNodeIds");
  double thickestNode = 0.0;
  for (const NodeCuda& n : nodeManager->node_array_cpu) {
    if (n.contact_node != nullptr) thickestNode = std::max(thickestNode, n.thickness);
  }
  for (Surface& s : surfaces) {
    s.collectContactNodeIds(contactNodeManager);
    s.calSegmentTerritory(thickestNode);
    s.calSegmentBoundingBoxes();
    s.calAverageTerritorySize();
  }
  traceStep("Contact::buildSlaveNodeSet");
  for (Contact& c : contacts) c.buildSlaveNodeSet(contactNodeManager);
  traceStep("FEMDynamic::calSegmentPenaltyStiffness");
  calSegmentPenaltyStiffness(1.0);
  traceStep("NodeManager::storeAllIniCoord");
  nodeManager->storeAllIniCoord();
  traceStep("MaterialManager::createMaterialNewArray");
  materialManager->createMaterialNewArray();
  materialManager->buildMaterialNewIdMap();
  traceStep("linkMaterialNew");
  for (Part& p : part_array) linkMaterialNew(p, materialManager);
  traceStep("setSolidStepModels");
  setSolidStepModels(part_array, *hourglassControlManager);
  traceStep("SmoothFemManager::createSmoothDomains");
  smoothFemManager->createSmoothDomains(part_array);
  traceStep("ElmManager::setIntegrationPointNum");
  forEachPartStore(this, [](Part& part, ElmManager& em) {
    em.setIntegrationPointNum(part.section);
    em.setIntegralDomainShape();
  });
  const std::vector<Element*> smoothDomains = smoothFemManager->smoothDomains();
  traceStep("IntegratPointManager::numberGaussPoints");
  integratPointManager->numberGaussPoints(part_array, smoothDomains, materialManager);
  traceStep("MaterialManager::createStatusArraysCpu");
  materialManager->createStatusArraysCpu();
  traceStep("IntegratPointManager::createGaussPoints");
  integratPointManager->createGaussPoints(part_array, smoothDomains, materialManager);
  traceStep("linkGaussPoints");
  for (Part& p : part_array) linkGaussPoints(p, sectionManager);
  traceStep("IntegratPointManager::setNodeNumAndAllocateShapePartial");
  integratPointManager->setNodeNumAndAllocateShapePartial();
  traceStep("ElmManager::setSolidIntegration");
  const Section* sectionArray = sectionManager->section_array.empty() ? nullptr : sectionManager->section_array.data();
  for (ElmManager& em : elm_manager_array) {
    em.setSolidIntegration(sectionArray);
    // Built again from the final arrays by the first lookup of an id (element
    // sets, loads and histories name elements; most models none).
    em.element_id_map.clear();
  }
  traceStep("SmoothFemManager::computeSmoothDomains");
  smoothFemManager->computeSmoothDomains(part_array);
  traceStep("ElmManager::calNodeMass");
  forEachPartStore(this, [](Part& part, ElmManager& em) { em.calNodeMass(part.material, part.section); });
  traceStep("NodeManager::nodeMassCheckCpu");
  nodeManager->nodeMassCheckCpu();
  nodeManager->storeAllInitialMass();
  smoothFemManager->computeStableStep(materialManager);
  traceStep("RigidManager::buildExtraNodes");
  rigidManager->buildExtraNodes(this, rigidExtraNodeManager);
  rigidManager->buildConstrainedRigidBodies(rigidExtraNodeManager);
  for (RigidCuda& r : rigidManager->rigid_array) r.computeMassProperties(rigidManager);
  rigidManager->mergeConstrainedRigidBodies();
  traceStep("Constrained::transferMass");
  for (Constrained& c : constrainedManager->constrained_array) c.transferMass();
  traceStep("RigidConstrained::linkCurve");
  for (RigidConstrained& rc : rigidManager->rigid_constrained_array) rc.linkCurve(curveManager);
  traceStep("TieManager::linkTieSurfaces");
  tieManager->linkTieSurfaces(surfaceManager);
  tieManager->resolveTieInput();
  tieManager->buildSubTies();
  tieManager->calInterpFunCpu();
  tieManager->checkTiedNodes();
  tieManager->transferSlaveMassCpu();
  traceStep("LoadManager::linkAllCurves");
  loadManager->linkAllCurves(curveManager);
  boundaryManager->linkAllCurves(curveManager);
  // A moment needs nodes that can turn: their inertias exist by now.
  if (!loadManager->momentTargetsRotate(*this)) return false;
  if (!nodesHoldTheirElements(*this)) return false;
  traceStep("OutputManager::addDefaultOutput");
  outputManager->addDefaultOutput(timeControl->output_interval, timeControl->end_time);
  return true;
}

void FEMDynamic::allocateAndCopySingleGpu() {
  traceStep("NodeManager::allocateAndCopyNodes");
  nodeManager->allocateAndCopyNodes();
  traceStep("ContactNodeManager::allocateAndCopyGpu");
  contactNodeManager->allocateAndCopyGpu(nodeManager);
  traceStep("SectionManager::copySectionsToGpu");
  sectionManager->copySectionsToGpu();
  traceStep("MaterialManager::allocateAndCopyMaterialGpu");
  materialManager->allocateAndCopyMaterialGpu();
  materialManager->copyStatusArraysToGpu(0);
  materialManager->allocateAndCopyMaterialNewGpu();
  materialManager->setMaterStatuPtrGpu(materialManager->materialNewArrayGpu_, 0);
  traceStep("HourglassControlManager::allocateAndCopyGpu");
  hourglassControlManager->allocateAndCopyGpu();
  traceStep("gpuErrorProbe");
  gpuErrorProbe();
  traceStep("ElmManager::allocateAndCopyGpu");
  forEachPartStore(this, [this](Part& part, ElmManager& em) {
    em.allocateAndCopyGpu(part.section);
    em.gpuNodeMatch(nodeManager, part.section);
    copyMaterialSectionToGpu(part);
  });
  traceStep("Surface::allocateAndCopySegmentArrayGpu");
  for (Surface& s : surfaceManager->surface_array) {
    s.allocateAndCopySegmentArrayGpu(nodeManager);
    s.allocateAndCopyContactNodeArrayGpu(contactNodeManager);
    s.allocateMinMaxGpu();
  }
  traceStep("copyAllToGpu");
  copyAllToGpu(*setManager, this);
  traceStep("Constrained::allocateAndCopyGpu");
  for (Constrained& c : constrainedManager->constrained_array) c.allocateAndCopyGpu(nodeManager);
  traceStep("RigidCuda::copyNodesToGpu");
  for (RigidCuda& r : rigidManager->rigid_array) r.copyNodesToGpu(nodeManager);
  traceStep("Contact::allocateAndCopySlaveNodeArrayGpu");
  for (Contact& c : contactManager->contact_array) c.allocateAndCopySlaveNodeArrayGpu(contactNodeManager);
  traceStep("ConstrainedManager::copyConstrainedToGpu");
  constrainedManager->copyConstrainedToGpu();
  constrainedManager->gatherSlaveNodesGpu(nodeManager);
  traceStep("PairManager::allocateAndCopyContactPairArrayGpu");
  pairManager->allocateAndCopyContactPairArrayGpu(contactNodeManager);
  pairManager->allocateAndCopyTestPairArrayGpu(contactNodeManager);
  traceStep("ElementControl::allocateAndCopyElementPtr");
  elementControl->allocateAndCopyElementPtr(part_array);
  elementControl->gpuVerifyElement();
  elementControl->gpuOperateAllElementAddMem(sectionManager->section_array_gpu);
  traceStep("TieManager::allocateAndCopyGpu");
  tieManager->allocateAndCopyGpu(nodeManager);
  traceStep("IntegratPointManager::allocateGaussPointGpu");
  integratPointManager->allocateGaussPointGpu();
  smoothFemManager->allocateGpu();
  traceStep("RigidManager::copyToGpu");
  rigidManager->copyToGpu(this);
  traceStep("RigidWall::copySlaveNodesToGpu");
  for (RigidWall& w : *rigid_wall_array) w.copySlaveNodesToGpu(this);
}

bool FEMDynamic::initialComputeSingleGpu() {
  traceStep("IntegratPointManager::copyGaussPointToGpu");
  integratPointManager->copyGaussPointToGpu();
  smoothFemManager->copySmoothFemToGpu(nodeManager);
  traceStep("ElmManager::gpuBuildIndexNode");
  forEachPartStore(this, [](Part& part, ElmManager& em) {
    const Material* m = part.material;
    if (m != nullptr && (m->type == 1 || (m->type == 0 && m->density < 1e-11))) return;
    if (part.section != nullptr && part.section->sfem_kind != 0) return;
    em.gpuBuildIndexNode();
  });
  traceStep("UnifiedContact::buildSubDomainManagers");
  ContactModel contactModel = contactModelOf(*this);
  unifiedContact->buildSubDomainManagers(contactManager->contact_array, contactNodeManager, &contactModel);
  unifiedContact->collectMasterNodesGpu(nodeManager);
  std::vector<SubDomainManager>& grids = unifiedContact->subDomainManagerArray;
  for (SubDomainManager& g : grids) g.buildSubDomainGrid();
  for (std::size_t i = 0; i < grids.size(); ++i) {
    grids[i].takeGridFromMasterSurface(static_cast<int>(grids.size()), static_cast<int>(i), grids.data());
    grids[i].allocateAndCopySubDomainsGpu();
    grids[i].allocateSubDomainPtrArrayGpu();
  }
  traceStep("ElementControl::sortElementPtrByType");
  elementControl->sortElementPtrByType();
  elementControl->allocateBlockDtBuffer();
  elementControl->allocateDtArray();
  elementControl->linkSmoothFem(smoothFemManager);
  elementControl->linkNodeMotions(&nodeManager->node_motions);
  traceStep("RigidCuda::allocateForceBuffer");
  for (RigidCuda& r : rigidManager->rigid_array) r.allocateForceBuffer();
  traceStep("PairManager::allocatePairCounters");
  pairManager->allocatePairCounters();
  for (Contact& c : contactManager->contact_array) c.allocateBlockBuffers();
  traceStep("IntegratPointManager::gpuLinkGaussPointToElement");
  integratPointManager->gpuLinkGaussPointToElement(elementControl, materialManager->materialNewArrayGpu_,
                                                   sectionManager->section_array_gpu);
  integratPointManager->gpuLinkGaussPointToSFEM(smoothFemManager->smoothFemArrayGpu_,
                                                smoothFemManager->smoothFemNumber_, static_cast<int>(sizeof(SmoothFEM)),
                                                materialManager->materialNewArrayGpu_);
  traceStep("gpuErrorProbe");
  gpuErrorProbe();
  traceStep("IntegratPointManager::copyShapePartialToGpu");
  integratPointManager->copyShapePartialToGpu();
  traceStep("SurfaceManager::allocateAndCopySurfaceInteractGpu");
  surfaceManager->allocateAndCopySurfaceInteractGpu();
  contactManager->assignSurfaceInteracts(&contactModel);
  traceStep("IntegratPointManager::gpuVerTLBMatrix");
  integratPointManager->gpuVerTLBMatrix();
  // The temporaries of reading and set-up are gone: their free pages go back.
  fem_host_memory::returnFreePages();
  return true;
}

namespace {
using FacetKey = std::array<int, 4>;

// Four node ids sorted ascending; a triangle's fourth id is taken as 0.
FacetKey facetKey(int a, int b, int c, int d) {
  FacetKey k{a, b, c, d};
  std::sort(k.begin(), k.end());
  return k;
}

// Coordinates of the node with this id, or null.
const double* nodeCoord(NodeManager* nm, int id) {
  const NodeCuda* node = nm->findNodeById(id);
  return node != nullptr ? node->coord : nullptr;
}

double triangleArea(const double* a, const double* b, const double* c) {
  double n[3], e1[3], e2[3], area = 0.0;
  tri_element_area(a, b, c, n, e1, e2, &area);
  return area;
}

// Area of a shell element by its type: quadrilaterals (membrane 8, shells 9
// and 10) from four nodes, triangles (membrane 7, shells 13 and 14) from
// three; other types have no area rule and give 0.
double shellArea(NodeManager* nm, const ShellElementCuda& shell) {
  const double* p[4];
  for (int k = 0; k < 4; ++k) p[k] = nodeCoord(nm, shell.node_id[k]);
  switch (shell.type) {
    case ET_MEMBRANE4:
    case ET_BT_SHELL:
    case ET_HL_SHELL: {
      if (p[0] == nullptr || p[1] == nullptr || p[2] == nullptr || p[3] == nullptr) return 0.0;
      double area = 0.0;
      quad_element_area(p[0], p[1], p[2], p[3], &area);
      return area;
    }
    case ET_MEMBRANE3:
    case ET_CB_TRI_SHELL:
    case ET_BT_TRI_SHELL:
      if (p[0] == nullptr || p[1] == nullptr || p[2] == nullptr) return 0.0;
      return triangleArea(p[0], p[1], p[2]);
    default:
      printf("当前没有这种形式的壳单元的面积求法,请补充\n");
      return 0.0;
  }
}

// Volume of the tetrahedron of four nodes: |det| / 6.
double tetraVolume(const double* a, const double* b, const double* c, const double* d) {
  double u[3], v[3], w[3], cross[3];
  for (int i = 0; i < 3; ++i) {
    u[i] = b[i] - a[i];
    v[i] = c[i] - a[i];
    w[i] = d[i] - a[i];
  }
  vector_outer_product(u, v, cross);
  return std::fabs(vector_inner_product(3, cross, w)) / 6.0;
}
}  // namespace

void FEMDynamic::calSegmentPenaltyStiffness(double scale) {
  std::map<FacetKey, SegmentCuda*> facets;
  for (Surface& s : surfaceManager->surface_array) {
    for (SegmentCuda& seg : s.segment_array) {
      const int fourth = seg.node_num == 3 ? 0 : seg.node_id[3];
      facets[facetKey(seg.node_id[0], seg.node_id[1], seg.node_id[2], fourth)] = &seg;
    }
  }
  if (facets.empty()) return;
  auto findFacet = [&facets](const FacetKey& key) -> SegmentCuda* {
    const auto it = facets.find(key);
    return it == facets.end() ? nullptr : it->second;
  };

  for (std::size_t i = 0; i < part_array.size(); ++i) {
    Part& part = part_array[i];
    const Material* material = part.material;
    const Section* section = part.section;
    ElmManager* em = elmOf(this, part, i);
    if (material == nullptr || section == nullptr || em == nullptr || material->type == 0) continue;
    const double bulk = material->bulk_modulus;
    const double rho = material->density;
    for (const ShellElementCuda& shell : em->shell_element_array_cpu) {
      const int fourth = (shell.node_id[3] == shell.node_id[2] || shell.node_id[3] == 0) ? 0 : shell.node_id[3];
      SegmentCuda* seg = findFacet(facetKey(shell.node_id[0], shell.node_id[1], shell.node_id[2], fourth));
      if (seg == nullptr) continue;
      const double area = shellArea(nodeManager, shell);
      const double volume = area * section->thickness[0];
      if (!(volume > 0.0)) continue;  // a flat or degenerate shell keeps the default stiffness
      seg->penalty_stiffness = scale * bulk * area * area / volume;
      seg->mass = volume * rho;
    }
    static const int kTetFaces[4][3] = {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}, {1, 2, 3}};
    for (const SolidElementCuda& solid : em->solid_element_array_cpu) {
      if (solid.node_id[4] != 0 && solid.node_id[4] != solid.node_id[3]) continue;
      const double* p[4];
      bool complete = true;
      for (int k = 0; k < 4; ++k) {
        p[k] = nodeCoord(nodeManager, solid.node_id[k]);
        complete = complete && p[k] != nullptr;
      }
      if (!complete) continue;
      const double volume = tetraVolume(p[0], p[1], p[2], p[3]);
      double area = 0.0;
      for (const auto& face : kTetFaces) {
        area = triangleArea(p[face[0]], p[face[1]], p[face[2]]);
        SegmentCuda* seg =
            findFacet(facetKey(solid.node_id[face[0]], solid.node_id[face[1]], solid.node_id[face[2]], 0));
        if (seg == nullptr || !(volume > 0.0)) continue;  // no division by a zero volume
        seg->penalty_stiffness = scale * bulk * area * area / volume;
        seg->mass = volume * rho * 0.5;
      }
      if (!(area > 0.0) || !(volume > 0.0)) printf("单元体积或面积在求解罚参数的过程计算错误\n");
    }
  }

  for (Surface& s : surfaceManager->surface_array) {
    for (SegmentCuda& seg : s.segment_array) {
      if (!(seg.penalty_stiffness > 0.0)) seg.penalty_stiffness = 100000.0;
      const int count = seg.node_num == 3 ? 3 : 4;
      for (int k = 0; k < count; ++k) {
        NodeCuda* node = seg.node[k] != nullptr ? seg.node[k] : nodeManager->findNodeById(seg.node_id[k]);
        if (node != nullptr) node->penalty_stiffness += seg.penalty_stiffness / count;
      }
    }
  }
}

int deckNodeId(const FEMDynamic& fem, int nodeNumber) { return deckIdOfNumber(fem.node_id_map, nodeNumber); }

void FEMDynamic::slavesFollowMastersGpu() {
  tieManager->modifySlaveVelGpu();
  constrainedManager->imposeSlaveVelocitiesGpu();
}

void FEMDynamic::slavesFollowMastersCpu() {
  tieManager->modifySlaveVelCpu();
  constrainedManager->imposeSlaveVelocitiesCpu();
}
