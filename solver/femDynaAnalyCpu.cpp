// The host-only time loop: the same model stepped with the host twins of
// the element, node, load, boundary, constraint, tie, contact and rigid-body
// operations, when no GPU qualifies.
#include <algorithm>
#include "contact/contactManager.h"
#include "contact/contactnodemanager.h"
#include "contact/globalContactSearch.h"
#include "contact/pairmanager.h"
#include "contact/surfacemanager.h"
#include "contact/tiemanager.h"
#include "contact/unified_contact.h"
#include "core/curvemanager.h"
#include "core/nodeManager.h"
#include "core/nonFiniteNode.h"
#include "core/runStop.h"
#include "core/part.h"
#include "elements/elmmanager.h"
#include "elements/hourglasscontrolmanager.h"
#include "elements/partSelection.h"
#include "elements/smoothFemManager.h"
#include "materials/elementInversion.h"
#include "materials/materialmanager.h"
#include "materials/returnMapFailure.h"
#include "output/outputManager.h"
#include "solver/boundary.h"
#include "solver/constrained.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/initialCondition.h"
#include "solver/load.h"
#include "solver/rigidmanager.h"
#include "solver/rigidwall.h"
#include "solver/runClock.h"
#include "solver/kineticEnergyWatch.h"
#include "solver/timeControl.h"

// Largest first step (that of the GPU loop) and largest later step of the
// host loop.
constexpr double kCpuMaxFirstDt = 0.001;
constexpr double kCpuMaxDt = 5e-5;
// Candidate step when no element gives a smaller one.
constexpr double kCpuCandidateStart = 100.0;

namespace {
// True when a node's state is not finite: the run stops naming the node.
// The node steps report what they compute; at output points (and at the
// end) every node is checked as well, before any file is written.
bool stateStopsRun(FEMDynamic* d, bool everyNode) {
  if (everyNode) d->nodeManager->checkNodesFiniteCpu();
  return runStopsOnNonFiniteNode(d->time, d->cycle);
}

// True when the step cannot advance the run: the run stops with a message
// that names the element with the smallest step.
// True when the kinetic energy of the run has run away (looked at every
// kEnergyWatchCycles cycles and at the last): the run stops naming the
// element with the smallest step.
bool energyStopsRun(FEMDynamic* d, KineticEnergyWatch& watch, bool lastCycle) {
  if (d->cycle % kEnergyWatchCycles != 0 && !lastCycle) return false;
  const double energy = KineticEnergyWatch::kineticEnergy(d->nodeManager->node_array_cpu);
  if (!watch.runsAway(energy, d->cycle)) return false;
  reportRunawayEnergy(watch, energy, d->time, d->cycle,
                      smallestElementStepCpu(d->part_array, d->timeControl->safe_factor));
  return true;
}

bool stepStopsRun(FEMDynamic* d, bool firstStep = false) {
  return runStopsOnStep(*d->timeControl, d->dt, d->time, d->cycle, firstStep,
                        [d] { return smallestElementStepCpu(d->part_array, d->timeControl->safe_factor); });
}

// Contact records of the host loop, without any device call: the host
// pointer arrays and counters of the pairs, the searched pairs of slave side
// and master surface (those the device grids would get), the master nodes
// that are no contact nodes, the surface interactions and the search record.
void setUpHostContact(FEMDynamic* d, GlobalSearchRecord& record) {
  PairManager* pm = d->pairManager;
  pm->linkPairArraysCpu(d->contactNodeManager);
  pm->usePairCountersCpu();
  UnifiedContact* uc = d->unifiedContact;
  uc->buildSubDomainManagers(d->contactManager->contact_array, d->contactNodeManager, d);
  uc->collectMasterNodesCpu();
  d->contactManager->assignSurfaceInteracts(d);
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
  pm->motion.beginCycle(d, false);
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
  d->contactManager->imposeSurfaceInteractCpu(d, d->dt);
  d->contactManager->imposeSpecificSurfaceInteractCpu(d, d->dt);
}

// The search record lives as long as the loop; the solver's pointer to it
// is cleared on every way out.
struct SearchRecordScope {
  FEMDynamic* d;
  GlobalSearchRecord record;
  ~SearchRecordScope() { d->global_search_record = nullptr; }
};
// Every rigid wall moves and pushes its slave nodes (host twins).
void moveRigidWallsCpu(FEMDynamic* d) {
  for (RigidWall& w : *d->rigid_wall_array) {
    w.move(d->dt, d->time);
    w.applyForceCpu(d->time, d->dt, d->prev_dt);
  }
}

}  // namespace

bool femDynaAnalyCpu(FEMDynamic* domain, double* contactTime, double* outputTime) {
  FEMDynamic* d = domain;
  *contactTime = 0.0;
  *outputTime = 0.0;
  d->dt = 0.0;
  d->prev_dt = 0.0;
  d->time = 0.0;
  d->cycle = 0;
  double candidate = 0.0;
  clearInvertedElementReport();
  clearReturnMapFailures();
  clearNonFiniteNodeReport();

  if (!d->timeControl->limitsUsable() || !d->initialComputeCpu()) return false;
  SearchRecordScope search{d, {}};
  setUpHostContact(d, search.record);
  for (InitialCondition& ic : *d->initial_condition_array) ic.apply(d->rigidManager);
  d->curveManager->updateCurveValues(d->time);
  d->loadManager->initAll(d);
  d->boundaryManager->initAll(d);
  TimeControl* tc = d->timeControl;
  tc->calInitialDtCpu(d->part_array, &d->dt);
  // Capped as the GPU loop caps it: a model of rigid and null parts alone
  // has no element step at all.
  d->dt = d->smoothFemManager->limitStep(std::min(d->dt, kCpuMaxFirstDt), tc->safe_factor);
  // The later steps are measured against the first as they are capped.
  tc->first_step = std::min(d->dt, kCpuMaxDt);
  if (stepStopsRun(d, true)) return false;
  // An end time below the first step is reached in one shorter step.
  d->dt = tc->stepWithinEndTime(0.0, d->dt);
  d->loadManager->computeAllFactors(d->time);
  d->loadManager->applyAllCpu();
  d->boundaryManager->computeAllFactors(d->time);
  d->boundaryManager->applyAllCpu(d->time, d->dt, d->prev_dt);
  // Rigid bodies carry their initial and prescribed motion to their nodes.
  for (RigidConstrained& rc : d->rigidManager->rigid_constrained_array) {
    rc.computeFactor(d->time);
    rc.imposeMotion(d->dt, d->prev_dt);
  }
  for (RigidCuda& r : d->rigidManager->rigid_array) r.updateVelocity(d->dt, d->prev_dt);
  d->rigidManager->masterVelocitiesToSlaves();
  for (RigidCuda& r : d->rigidManager->rigid_array) r.updateNodesCpu(d->dt);
  // Walls act on the first velocity update, as in the GPU loop.
  moveRigidWallsCpu(d);
  d->nodeManager->allNodeAccelVelCalCpu(d->dt, d->prev_dt);
  d->slavesFollowMastersCpu();
  if (stateStopsRun(d, true)) return false;
  d->outputManager->initAll(d);
  d->outputManager->collectAll(d, d->time, d->dt);
  d->outputManager->writeAll(d, d->time, d->dt);

  // d->time is the time of the state the coming cycle computes; stateTime
  // that of the state reached.
  double stateTime = d->time;
  d->time = tc->timeAfterStep(d->time, d->dt);
  KineticEnergyWatch energyWatch;
  while (!tc->runEnded(stateTime, d->cycle)) {
    d->curveManager->updateCurveValues(d->time);
    d->nodeManager->allNodeDispCalCpu(d->dt);

    candidate = kCpuCandidateStart;
    for (Part& part : d->part_array) {
      // Rigid and null parts and parts without a material model take no
      // part, as in the element driver of the GPU loop.
      if (!partTakesPart(part)) continue;
      HourglassControl* hourglass = d->hourglassControlManager->partControlCpu(part.id);
      part.elmManager->computeInterForceCpu(part.materialNew, part.section, hourglass, d->dt, candidate, tc->safe_factor);
    }
    d->smoothFemManager->computeForcesCpu(d->materialManager, d->dt);
    if (runStopsOnInvertedElement(d->time, d->dt, d->cycle)) return false;
    tc->massScalingCpu(d->tieManager, d->constrainedManager, d->part_array, d->nodeManager, d->cycle,
                       &candidate);
    d->loadManager->computeAllFactors(d->time);
    d->loadManager->applyAllCpu();

    const double contactStart = wallClockMs();
    hostContactStep(d, stateTime);
    *contactTime += wallClockMs() - contactStart;

    moveRigidWallsCpu(d);
    // Boundaries and rigid bodies work with the steps of the coming update.
    d->prev_dt = d->dt;
    d->dt = d->smoothFemManager->limitStep(std::min(candidate, kCpuMaxDt), tc->safe_factor);
    if (stepStopsRun(d)) return false;
    stateTime = d->time;
    const bool lastCycle = tc->runEnded(stateTime, d->cycle + 1);
    if (!lastCycle) d->dt = tc->stepWithinEndTime(d->time, d->dt);
    // Slave forces reach their masters before the boundary conditions act.
    d->constrainedManager->transferSlaveForcesCpu();
    d->tieManager->addMasterForCpu();
    d->boundaryManager->computeAllFactors(d->time);
    d->boundaryManager->applyAllCpu(d->time, d->dt, d->prev_dt);

    RigidManager* rm = d->rigidManager;
    for (RigidCuda& r : rm->rigid_array) r.gatherForcesCpu();
    rm->slaveForcesToMaster();
    for (RigidCuda& r : rm->rigid_array) r.computeAccelerations();
    for (RigidConstrained& rc : rm->rigid_constrained_array) {
      rc.computeFactor(d->time);
      rc.projectAccelerations();
      rc.imposeMotion(d->dt, d->prev_dt);
    }
    for (RigidCuda& r : rm->rigid_array) r.updateVelocity(d->dt, d->prev_dt);
    rm->masterVelocitiesToSlaves();
    for (RigidCuda& r : rm->rigid_array) r.updateNodesCpu(d->dt);

    // Output after the velocity update, as in the GPU loop: rigid-body
    // nodes got their velocities above, so every node shows the same
    // half step.
    d->nodeManager->allNodeAccelVelCalCpu(d->dt, d->prev_dt);
    d->slavesFollowMastersCpu();  // also for the next displacement update
    if (stateStopsRun(d, lastCycle || d->outputManager->anyOutputDue(d->time, d->dt)) ||
        energyStopsRun(d, energyWatch, lastCycle))
      return false;

    const double outputStart = wallClockMs();
    if (lastCycle) d->outputManager->markFinalPoint();
    d->outputManager->collectAll(d, d->time, d->dt);
    d->outputManager->writeAll(d, d->time, d->dt);
    *outputTime += wallClockMs() - outputStart;
    if (runStopRequested()) return false;  // an interrupt, or a result file that could not be written

    d->time = tc->timeAfterStep(d->time, d->dt);
    d->cycle += 1;
  }
  d->time = stateTime;
  return true;
}
