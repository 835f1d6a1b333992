// The host-only time loop: the same model stepped with the host twins of
// the element, node, load, boundary, constraint, tie, contact and rigid-body
// operations, when no GPU qualifies.
#include "contact/contactManager.h"
#include "contact/contactnodemanager.h"
#include "contact/globalContactSearch.h"
#include "contact/pairmanager.h"
#include "contact/surfacemanager.h"
#include "contact/tiemanager.h"
#include "contact/unified_contact.h"
#include "core/curvemanager.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "elements/common/elmmanager.h"
#include "elements/common/hourglassControlManager.h"
#include "elements/common/partSelection.h"
#include "elements/smoothFem/smoothFemManager.h"
#include "materials/elementInversion.h"
#include "materials/materialmanager.h"
#include "platform/hostMemory.h"
#include "solver/boundary.h"
#include "solver/contactMotion.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/initialCondition.h"
#include "solver/load.h"
#include "solver/runClock.h"
#include "solver/timeControl.h"
#include "solver/timeLoopSteps.h"
#include "solver/modelViews.h"

// Largest first step (that of the GPU loop) and largest later step of the
// host loop.
constexpr double kCpuMaxFirstDt = 0.001;
constexpr double kCpuMaxDt = 5e-5;
// Candidate step when no element gives a smaller one.
constexpr double kCpuCandidateStart = 100.0;

namespace {
// Contact records of the host loop, without any device call: the host
// pointer arrays and counters of the pairs, the searched pairs of slave side
// and master surface (those the device grids would get), the master nodes
// that are no contact nodes, the surface interactions and the search record.
void setUpHostContact(FEMDynamic* d, GlobalSearchRecord& record) {
  PairManager* pm = d->pairManager;
  pm->linkPairArraysCpu(d->contactNodeManager);
  pm->usePairCountersCpu();
  UnifiedContact* uc = d->unifiedContact;
  ContactModel model = contactModelOf(*d);
  uc->buildSubDomainManagers(d->contactManager->contact_array, d->contactNodeManager, &model);
  uc->collectMasterNodesCpu();
  d->contactManager->assignSurfaceInteracts(&model);
  buildGlobalSearchRecord(*uc, record);
  d->global_search_record = &record;
}

// One contact step in the order of the GPU loop's: search after contact,
// search, pair production and clean-up, penetration and forces, the forces
// into the slave and master nodes (for the force mode both loops compute),
// the model-wide and the contacts' own interactions.
void hostContactStep(FEMDynamic* d, double lastStepTime) {
  d->surfaceManager->clearSurfaceFlags();
  if (d->contactManager->contact_array.empty()) return;
  PairManager* pm = d->pairManager;
  beginContactMotion(d, pm, false);
  pm->postSearchCpu(lastStepTime);
  globalContactSearchCpu(d->global_search_record, d->dt, pm);
  pm->sortTestPairCpu();
  pm->searchTestPairCpu(d->cycle, d->cycle);
  pm->cleanTestPairsCpu();
  pm->sortContactPairCpu();
  if (pm->decouplesForces()) {
    pm->contactForceCalCpu(d->dt, d->cycle);
    d->contactNodeManager->integraContactForceCpu();
    d->unifiedContact->integraMasterContactForceCpu();
  } else {
    pm->penaCalContactCpu(d->dt, d->cycle);
  }
  ContactModel model = contactModelOf(*d);
  d->contactManager->imposeSurfaceInteractCpu(&model, d->dt);
  d->contactManager->imposeSpecificSurfaceInteractCpu(&model, d->dt);
}

// The search record lives as long as the loop; the solver's pointer to it
// is cleared on every way out.
struct SearchRecordScope {
  FEMDynamic* d;
  GlobalSearchRecord record;
  ~SearchRecordScope() { d->global_search_record = nullptr; }
};

// The element forces of every part that takes part (not rigid or null,
// with a material model, as in the element driver of the GPU loop) and of
// the smoothed-FEM domains; the smallest element step is the candidate.
double elementForcesCpu(FEMDynamic* d) {
  double candidate = kCpuCandidateStart;
  for (Part& part : d->part_array) {
    if (!partTakesPart(part)) continue;
    HourglassControl* hourglass = d->hourglassControlManager->partControlCpu(part.id);
    part.elmManager->computeInterForceCpu(part.materialNew, part.section, hourglass, d->dt, candidate,
                                          d->timeControl->safe_factor);
  }
  d->smoothFemManager->computeForcesCpu(d->materialManager, d->dt);
  return candidate;
}

}  // namespace

bool femDynaAnalyCpu(FEMDynamic* domain, double* contactTime, double* outputTime) {
  FEMDynamic* d = domain;
  *contactTime = 0.0;
  *outputTime = 0.0;
  TimeLoopSteps steps(d, true);
  if (!steps.setUp(0.0)) return false;
  SearchRecordScope search{d, {}};
  setUpHostContact(d, search.record);
  applyInitialConditions(*d);
  fem_host_memory::returnFreePages();
  d->curveManager->updateCurveValues(d->time);
  d->loadManager->initAll(d);
  d->boundaryManager->initAll(d);
  TimeControl* tc = d->timeControl;
  tc->calInitialDtCpu(d->part_array, &d->dt);
  // Capped as the GPU loop caps it: a model of rigid and null parts alone
  // has no element step at all.
  if (!steps.takeFirstStep(d->dt, kCpuMaxFirstDt, kCpuMaxDt)) return false;
  if (!steps.startState([d] { hostContactStep(d, 0.0); })) return false;
  steps.stepTime();

  const double loopStart = wallClockMs();
  while (steps.running()) {
    steps.beginCycle();
    double candidate = elementForcesCpu(d);
    if (runStopsOnInvertedElement(d->time, d->dt, d->cycle)) return false;
    steps.gatherElementForces();
    tc->massScalingCpu(d->tieManager, d->constrainedManager, d->part_array, d->nodeManager, d->cycle, &candidate);
    steps.applyLoads();

    const double contactStart = wallClockMs();
    hostContactStep(d, steps.stateTime);
    *contactTime += wallClockMs() - contactStart;

    steps.moveRigidWalls();
    if (!steps.chooseNextStep(candidate, kCpuMaxDt)) return false;
    steps.constrainAndMoveBodies();
    // Output after the velocity update, as in the GPU loop.
    if (!steps.updateVelocities()) return false;
    if (!steps.writeOutputs(*outputTime)) return false;
    steps.endCycle();
  }
  steps.finish();
  d->loop_ms = wallClockMs() - loopStart;
  return true;
}
