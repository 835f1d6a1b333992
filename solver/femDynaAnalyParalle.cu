#include "solver/femDynaAnalyParalle.h"
#include <algorithm>
#include <cstdio>
#include "contact/contactManager.h"
#include "contact/contactnodemanager.h"
#include "contact/pairmanager.h"
#include "contact/surfacemanager.h"
#include "contact/tiemanager.h"
#include "contact/unified_contact.h"
#include "core/curvemanager.h"
#include "core/logErrorPrint.h"
#include "solver/runLog.h"
#include "core/nodeManager.h"
#include "core/nonFiniteNode.h"
#include "core/runStop.h"
#include "core/sectionmanager.h"
#include "elements/elementControl.h"
#include "elements/hourglasscontrolmanager.h"
#include "elements/smoothFemManager.h"
#include "materials/elementInversion.h"
#include "materials/materialmanager.h"
#include "materials/returnMapFailure.h"
#include "output/outputManager.h"
#include "platform/computeDevice.h"
#include "platform/gpu_runtime.h"
#include "solver/boundary.h"
#include "solver/constrained.h"
#include "solver/femdynamic.h"
#include "solver/initialCondition.h"
#include "solver/load.h"
#include "solver/rigidmanager.h"
#include "solver/rigidwall.h"
#include "solver/runClock.h"
#include "solver/kineticEnergyWatch.h"
#include "solver/timeControl.h"

// Largest time step of the GPU loop.
constexpr double kGpuMaxDt = 0.001;

namespace {
// Prescribed rigid-body motion, velocities and node positions of the rigid
// bodies, without gathering forces (set-up) or after it (cycle).
void moveRigidBodies(FEMDynamic* d, double time) {
  RigidManager* rm = d->rigidManager;
  for (RigidConstrained& rc : rm->rigid_constrained_array) {
    rc.computeFactor(time);
    rc.imposeMotion(d->dt, d->prev_dt);
  }
  for (RigidCuda& r : rm->rigid_array) r.updateVelocity(d->dt, d->prev_dt);
  rm->masterVelocitiesToSlaves();
  for (RigidCuda& r : rm->rigid_array) r.updateNodesGpu(d->dt);
}

// True when a node's state is not finite: the run stops naming the node.
// The node steps report what they compute; at output points (and at the
// end) every node is checked as well, before any file is written.
bool stateStopsRun(FEMDynamic* d, bool everyNode) {
  if (everyNode) d->nodeManager->checkNodesFinite();
  return runStopsOnNonFiniteNode(d->time, d->cycle);
}

// True when the step cannot advance the run: the run stops with a message
// that names the element with the smallest step.  firstStep: the first
// step, which must also find every element with a step.
// True when the kinetic energy of the run has run away (looked at every
// kEnergyWatchCycles cycles and at the last): the run stops naming the
// element with the smallest step.
bool energyStopsRun(FEMDynamic* d, KineticEnergyWatch& watch, bool lastCycle) {
  if (d->cycle % kEnergyWatchCycles != 0 && !lastCycle) return false;
  const double energy = watch.kineticEnergyGpu(*d->nodeManager);
  if (!watch.runsAway(energy, d->cycle)) return false;
  reportRunawayEnergy(watch, energy, d->time, d->cycle, d->elementControl->smallestElementStep());
  return true;
}

bool stepStopsRun(FEMDynamic* d, bool firstStep = false) {
  return runStopsOnStep(*d->timeControl, d->dt, d->time, d->cycle, firstStep,
                        [d] { return d->elementControl->smallestElementStep(); });
}

void moveRigidWalls(FEMDynamic* d) {
  for (RigidWall& w : *d->rigid_wall_array) {
    w.move(d->dt, d->time);
    w.applyForce(d, d->time, d->dt);
  }
}
}  // namespace

bool femDynaAnalyParalle(FEMDynamic* domain, double* contactTime, double* outputTime) {
  FEMDynamic* d = domain;
  d->dt = kGpuMaxDt;
  d->prev_dt = 0.0;
  d->time = 0.0;
  d->cycle = 0;
  clearInvertedElementReport();
  clearReturnMapFailures();
  clearNonFiniteNodeReport();

  if (!d->timeControl->limitsUsable() || !d->initialComputeCpu()) return false;
  printf("initialComputeCpu success!\n");
  for (InitialCondition& ic : *d->initial_condition_array) ic.apply(d->rigidManager);
  d->curveManager->updateCurveValues(d->time);
  d->allocateAndCopySingleGpu();
  printf("allocateAndCopySingleGpu success!%s\n", emulationNote());
  if (!d->initialComputeSingleGpu()) return false;
  printf("initialComputeSingleGpu success!%s\n", emulationNote());
  cublasHandle_t handle = nullptr;
  cublasCreate_v2(&handle);
  d->loadManager->initAll(d);
  d->boundaryManager->initAll(d);

  TimeControl* tc = d->timeControl;
  double candidate = tc->calInitialDtGpu(d->sectionManager, d->materialManager, d->elementControl);
  tc->massScalingGpu(d->tieManager, d->constrainedManager, d->elementControl, d->nodeManager, 0, &candidate);
  d->dt = d->smoothFemManager->limitStep(std::min(candidate, kGpuMaxDt), tc->safe_factor);
  tc->first_step = d->dt;
  if (stepStopsRun(d, true)) {
    cublasDestroy_v2(handle);
    return false;
  }
  // An end time below the first step is reached in one shorter step.
  d->dt = tc->stepWithinEndTime(0.0, d->dt);
  // The added mass is reported only when mass scaling acted at the start.
  d->elementControl->gpuCountMass(tc->mass_scaled ? 1 : 0);
  tc->printTimeInfo(d->dt);

  d->loadManager->computeAllFactors(d->time);
  d->loadManager->applyAllGpu();
  d->boundaryManager->computeAllFactors(d->time);
  d->boundaryManager->applyAllGpu(d->time, d->dt, d->prev_dt);
  moveRigidBodies(d, d->time);
  // Walls act on the first velocity update: a node that starts on a wall
  // moving into it stays on it instead of stepping behind it.
  moveRigidWalls(d);
  d->nodeManager->allNodeAccelVelCal(d->dt, d->prev_dt);
  d->slavesFollowMastersGpu();
  if (stateStopsRun(d, true)) {
    cublasDestroy_v2(handle);
    return false;
  }
  d->outputManager->initAll(d);
  d->outputManager->collectAll(d, d->time, d->dt);
  d->outputManager->writeAll(d, d->time, d->dt);
  writeRunLog(d, d->dt);
  // d->time is the time of the state the coming cycle computes; stateTime
  // that of the state reached.
  double stateTime = d->time;
  d->time = tc->timeAfterStep(d->time, d->dt);

  const double loopStart = wallClockMs();
  CUDA_CHECK(cudaDeviceSynchronize());
  double outputTotal = 0.0;

  KineticEnergyWatch energyWatch;
  while (!tc->runEnded(stateTime, d->cycle)) {
    g_runTime = d->time;
    g_runDt = d->dt;
    g_runCycle = d->cycle;

    d->curveManager->updateCurveValues(d->time);
    d->nodeManager->allNodeDispCal(d->dt);
    d->elementControl->gpuAllElementInterFor(d->materialManager->materialNewArrayGpu_,
                                             d->sectionManager->section_array_gpu,
                                             d->hourglassControlManager->part_controls_gpu, d->dt, handle,
                                             &candidate, tc->safe_factor);
    if (runStopsOnInvertedElement(d->time, d->dt, d->cycle)) {
      cublasDestroy_v2(handle);
      return false;
    }
    d->nodeManager->gpuAddNodeInterForce();
    tc->massScalingGpu(d->tieManager, d->constrainedManager, d->elementControl, d->nodeManager, d->cycle, &candidate);
    d->loadManager->computeAllFactors(d->time);
    d->loadManager->applyAllGpu();

    const double contactStart = wallClockMs();
    d->surfaceManager->clearSurfaceFlags();
    if (!d->contactManager->contact_array.empty()) {
      PairManager* pm = d->pairManager;
      pm->motion.beginCycle(d, true);
      pm->searchAfterContactGpu(stateTime);
      if (pm->search_mode == 0) {
        pm->unifiedSearchGpu(d->unifiedContact);
      } else {
        pm->unifiedSearchBilateralGpu(d->unifiedContact);
      }
      pm->produceContactPairGpu(d->cycle, d->cycle);
      const int n = pm->contact_node_num;
      if (n > 0) launch(GpuClearTestPair2, dim3(static_cast<unsigned>(n / 32 + 1)), dim3(32), n, pm->test_pair_array_gpu);
      if (pm->decouplesForces()) {
        pm->penetrateAndDecoupleForceGpu(d->dt, d->cycle, d->contactNodeManager);
        d->unifiedContact->integraMasterContactForceGpu();
      } else {
        pm->penaCalContactGpu(d->dt, d->cycle);
      }
      d->contactManager->imposeSurfaceInteractGpu(d, d->dt);
      d->contactManager->imposeSpecificSurfaceInteractGpu(d, d->dt);
    }
    *contactTime += wallClockMs() - contactStart;
    CUDA_CHECK(cudaDeviceSynchronize());

    moveRigidWalls(d);
    d->prev_dt = d->dt;
    d->dt = d->smoothFemManager->limitStep(std::min(candidate, kGpuMaxDt), tc->safe_factor);
    if (stepStopsRun(d)) {
      cublasDestroy_v2(handle);
      return false;
    }
    stateTime = d->time;
    const bool lastCycle = tc->runEnded(stateTime, d->cycle + 1);
    if (!lastCycle) d->dt = tc->stepWithinEndTime(d->time, d->dt);

    // Slave forces reach their masters before the boundary conditions act,
    // so that a clamped or driven master stays as prescribed.
    d->constrainedManager->transferSlaveForcesGpu();
    d->tieManager->addMasterForGpu();
    d->boundaryManager->computeAllFactors(d->time);
    d->boundaryManager->applyAllGpu(d->time, d->dt, d->prev_dt);

    RigidManager* rm = d->rigidManager;
    for (RigidCuda& r : rm->rigid_array) r.gatherForcesGpu();
    rm->slaveForcesToMaster();
    for (RigidCuda& r : rm->rigid_array) r.computeAccelerations();
    moveRigidBodies(d, d->time);

    d->nodeManager->allNodeAccelVelCal(d->dt, d->prev_dt);
    // The outputs and the next displacement update see the slaves moving
    // with their masters.
    d->slavesFollowMastersGpu();
    if (stateStopsRun(d, lastCycle || d->outputManager->anyOutputDue(d->time, d->dt)) ||
        energyStopsRun(d, energyWatch, lastCycle)) {
      cublasDestroy_v2(handle);
      return false;
    }
    writeRunLog(d, d->dt);

    const double outputStart = wallClockMs();
    if (lastCycle) d->outputManager->markFinalPoint();
    d->outputManager->collectAll(d, d->time, d->dt);
    d->outputManager->writeAll(d, d->time, d->dt);
    outputTotal += wallClockMs() - outputStart;
    if (runStopRequested()) {  // an interrupt, or a result file that could not be written
      cublasDestroy_v2(handle);
      return false;
    }

    d->time = tc->timeAfterStep(d->time, d->dt);
    d->cycle += 1;
    CUDA_CHECK(cudaDeviceSynchronize());
  }
  d->time = stateTime;

  const double loopTotal = wallClockMs() - loopStart;
  const double perIteration = d->cycle > 0 ? loopTotal / d->cycle : 0.0;
  printf("\nNumber of iterations: %d\nTotal iteration time: %lf ms\nDuration of a single iteration: %lf ms\n", d->cycle,
         loopTotal, perIteration);
  printf("\nTotal time of contact calculate: %lf\n", *contactTime / 1000.0);
  *outputTime = outputTotal;
  cublasDestroy_v2(handle);
  return true;
}
