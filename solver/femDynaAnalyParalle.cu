#include "solver/femDynaAnalyParalle.h"
#include <cstdio>
#include "contact/contactManager.h"
#include "contact/contactnodemanager.h"
#include "contact/pairmanager.h"
#include "contact/surfacemanager.h"
#include "contact/unified_contact.h"
#include "core/curvemanager.h"
#include "core/logErrorPrint.h"
#include "solver/runLog.h"
#include "core/nodeManager.h"
#include "core/sectionmanager.h"
#include "elements/common/elementControl.h"
#include "elements/common/hourglassControlManager.h"
#include "elements/common/nodeGather.h"
#include "elements/smoothFem/smoothFemManager.h"
#include "materials/elementInversion.h"
#include "materials/materialmanager.h"
#include "platform/computeDevice.h"
#include "platform/cublasHandle.h"
#include "platform/gpuRuntime.h"
#include "solver/boundary.h"
#include "solver/contactMotion.h"
#include "solver/femdynamic.h"
#include "solver/initialCondition.h"
#include "solver/load.h"
#include "solver/runClock.h"
#include "solver/timeControl.h"
#include "solver/timeLoopSteps.h"
#include "solver/modelViews.h"

// Largest time step of the GPU loop.
constexpr double kGpuMaxDt = 0.001;

namespace {
// One contact step: search after contact, search, pair production and
// clean-up, penetration and forces, the forces into the master nodes, the
// model-wide and the contacts' own interactions.
void contactStepGpu(FEMDynamic* d, double lastStepTime) {
  d->surfaceManager->clearSurfaceFlags();
  if (d->contactManager->contact_array.empty()) return;
  PairManager* pm = d->pairManager;
  beginContactMotion(d, pm, true);
  pm->searchAfterContactGpu(lastStepTime);
  if (pm->search_mode == 0) {
    pm->unifiedSearchGpu(d->unifiedContact);
  } else {
    pm->unifiedSearchBilateralGpu(d->unifiedContact);
  }
  pm->produceContactPairGpu(d->cycle, d->cycle);
  pm->cleanTestPairsGpu();
  if (pm->decouplesForces()) {
    pm->penetrateAndDecoupleForceGpu(d->dt, d->cycle, d->contactNodeManager, d->unifiedContact);
  } else {
    pm->penaCalContactGpu(d->dt, d->cycle);
  }
  ContactModel model = contactModelOf(*d);
  d->contactManager->imposeSurfaceInteractGpu(&model, d->dt);
  d->contactManager->imposeSpecificSurfaceInteractGpu(&model, d->dt);
}
}  // namespace

bool femDynaAnalyParalle(FEMDynamic* domain, double* contactTime, double* outputTime) {
  FEMDynamic* d = domain;
  TimeLoopSteps steps(d, false);
  if (!steps.setUp(kGpuMaxDt)) return false;
  printf("initialComputeCpu success!\n");
  applyInitialConditions(*d);
  d->curveManager->updateCurveValues(d->time);
  d->allocateAndCopySingleGpu();
  printf("allocateAndCopySingleGpu success!%s\n", emulationNote());
  if (!d->initialComputeSingleGpu()) return false;
  printf("initialComputeSingleGpu success!%s\n", emulationNote());
  const CublasHandle handle;
  d->loadManager->initAll(d);
  d->boundaryManager->initAll(d);

  TimeControl* tc = d->timeControl;
  double candidate = tc->calInitialDtGpu(d->sectionManager, d->materialManager, d->elementControl);
  tc->massScalingGpu(d->tieManager, d->constrainedManager, d->elementControl, d->nodeManager, 0, &candidate);
  if (!steps.takeFirstStep(candidate, kGpuMaxDt, kGpuMaxDt)) return false;
  // The added mass is reported only when mass scaling acted at the start.
  d->elementControl->gpuCountMass(tc->mass_scaled ? 1 : 0);
  tc->printTimeInfo(d->dt);
  if (!steps.startState([d] {
        contactStepGpu(d, 0.0);
        CUDA_CHECK(cudaDeviceSynchronize());
      }))
    return false;
  writeRunLog(d, d->dt);
  steps.stepTime();

  const double loopStart = wallClockMs();
  CUDA_CHECK(cudaDeviceSynchronize());
  double outputTotal = 0.0;

  while (steps.running()) {
    g_runTime = d->time;
    g_runDt = d->dt;
    g_runCycle = d->cycle;

    steps.beginCycle();
    d->elementControl->gpuAllElementInterFor(d->materialManager->materialNewArrayGpu_,
                                             d->sectionManager->section_array_gpu,
                                             d->hourglassControlManager->part_controls_gpu, d->dt, handle.get(),
                                             &candidate, tc->safe_factor);
    if (runStopsOnInvertedElement(d->time, d->dt, d->cycle)) return false;
    steps.gatherElementForces();
    tc->massScalingGpu(d->tieManager, d->constrainedManager, d->elementControl, d->nodeManager, d->cycle, &candidate);
    steps.applyLoads();

    const double contactStart = wallClockMs();
    contactStepGpu(d, steps.stateTime);
    *contactTime += wallClockMs() - contactStart;
    CUDA_CHECK(cudaDeviceSynchronize());

    steps.moveRigidWalls();
    if (!steps.chooseNextStep(candidate, kGpuMaxDt)) return false;
    steps.constrainAndMoveBodies();
    if (!steps.updateVelocities()) return false;
    writeRunLog(d, d->dt);
    if (!steps.writeOutputs(outputTotal)) return false;
    steps.endCycle();
    CUDA_CHECK(cudaDeviceSynchronize());
  }
  steps.finish();

  const double loopTotal = wallClockMs() - loopStart;
  d->loop_ms = loopTotal;
  const double perIteration = d->cycle > 0 ? loopTotal / d->cycle : 0.0;
  printf("\nNumber of iterations: %d\nTotal iteration time: %lf ms\nDuration of a single iteration: %lf ms\n", d->cycle,
         loopTotal, perIteration);
  printf("\nTotal time of contact calculate: %lf\n", *contactTime / 1000.0);
  *outputTime = outputTotal;
  return true;
}
