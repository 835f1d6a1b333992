#include "solver/timeLoopSteps.h"

#include <algorithm>

#include "contact/contactManager.h"
#include "contact/pairmanager.h"
#include "contact/tiemanager.h"
#include "core/curvemanager.h"
#include "core/nodeManager.h"
#include "core/nonFiniteNode.h"
#include "core/runStop.h"
#include "elements/common/elementControl.h"
#include "elements/common/nodeGather.h"
#include "elements/smoothFem/smoothFemManager.h"
#include "materials/elementInversion.h"
#include "materials/returnMapFailure.h"
#include "output/outputManager.h"
#include "solver/boundary.h"
#include "solver/constrained.h"
#include "solver/femdynamic.h"
#include "solver/load.h"
#include "solver/modelViews.h"
#include "solver/rigidmanager.h"
#include "solver/rigidwall.h"
#include "solver/runClock.h"
#include "solver/timeControl.h"

bool TimeLoopSteps::setUp(double firstDt) {
  d_->dt = firstDt;
  d_->prev_dt = 0.0;
  d_->time = 0.0;
  d_->cycle = 0;
  clearInvertedElementReport();
  clearReturnMapFailures();
  clearNonFiniteNodeReport();
  return d_->timeControl->limitsUsable() && d_->initialComputeCpu();
}

bool TimeLoopSteps::takeFirstStep(double candidate, double firstMax, double laterMax) {
  TimeControl* tc = d_->timeControl;
  d_->dt = d_->smoothFemManager->limitStep(std::min(candidate, firstMax), tc->safe_factor);
  tc->first_step = std::min(d_->dt, laterMax);
  if (stepStopsRun(true)) return false;
  // An end time below the first step is reached in one shorter step.
  d_->dt = tc->stepWithinEndTime(0.0, d_->dt);
  return true;
}

bool TimeLoopSteps::startState(const std::function<void()>& contactStep) {
  applyLoads();
  applyBoundaries();
  // Rigid bodies take the loads on their nodes into the first update, as
  // the other nodes do, and carry their motion to their nodes.
  rigidBodiesTakeForces();
  moveRigidBodies(false);
  // Walls act on the first velocity update: a node that starts on a wall
  // moving into it stays on it instead of stepping behind it.
  moveRigidWalls();
  nodeVelocities();
  slavesFollowMasters();
  contactBeforeFirstMove(contactStep);
  if (stateStopsRun(true)) return false;
  OutputModel model = outputModelOf(*d_);
  d_->outputManager->initAll(&model);
  d_->outputManager->collectAll(&model, d_->time, d_->dt);
  d_->outputManager->writeAll(&model, d_->time, d_->dt);
  return true;
}

// d->time is the time of the state the coming cycle computes; stateTime
// that of the state reached.
void TimeLoopSteps::stepTime() {
  stateTime = d_->time;
  d_->time = d_->timeControl->timeAfterStep(d_->time, d_->dt);
}

bool TimeLoopSteps::running() const { return !d_->timeControl->runEnded(stateTime, d_->cycle); }

void TimeLoopSteps::beginCycle() {
  d_->curveManager->updateCurveValues(d_->time);
  if (host_)
    d_->nodeManager->allNodeDispCalCpu(d_->dt);
  else
    d_->nodeManager->allNodeDispCal(d_->dt);
}

// The host loop's elements add their forces to the nodes themselves: a pass
// of its own keeps them for the work sum.
void TimeLoopSteps::gatherElementForces() {
  if (host_)
    energyWatch_.keepElementForcesCpu(d_->nodeManager->node_array_cpu);
  else
    gpuAddNodeInterForceAndWork(*d_->nodeManager, energyWatch_.nodeWorkGpu(d_->nodeManager->totNodeNum));
}

void TimeLoopSteps::applyLoads() {
  d_->loadManager->computeAllFactors(d_->time);
  if (host_)
    d_->loadManager->applyAllCpu();
  else
    d_->loadManager->applyAllGpu();
}

void TimeLoopSteps::applyBoundaries() {
  d_->boundaryManager->computeAllFactors(d_->time, reachedTime());
  if (host_)
    d_->boundaryManager->applyAllCpu(d_->time, d_->dt, d_->prev_dt);
  else
    d_->boundaryManager->applyAllGpu(d_->time, d_->dt, d_->prev_dt);
}

void TimeLoopSteps::moveRigidWalls() {
  for (RigidWall& w : *d_->rigid_wall_array) {
    w.move(d_->dt, d_->time);
    if (host_)
      w.applyForceCpu(d_->time, d_->dt, d_->prev_dt);
    else
      w.applyForce(d_, d_->time, d_->dt);
  }
}

bool TimeLoopSteps::chooseNextStep(double candidate, double maxDt) {
  TimeControl* tc = d_->timeControl;
  // Boundaries and rigid bodies work with the steps of the coming update.
  d_->prev_dt = d_->dt;
  d_->dt = d_->smoothFemManager->limitStep(std::min(candidate, maxDt), tc->safe_factor);
  if (stepStopsRun(false)) return false;
  stateTime = d_->time;
  lastCycle = tc->runEnded(stateTime, d_->cycle + 1);
  if (!lastCycle) d_->dt = tc->stepWithinEndTime(d_->time, d_->dt);
  return true;
}

void TimeLoopSteps::constrainAndMoveBodies() {
  // Slave forces reach their masters before the boundary conditions act,
  // so that a clamped or driven master stays as prescribed.
  slaveForcesToMasters();
  applyBoundaries();
  rigidBodiesTakeForces();
  // The host loop keeps a prescribed motion's accelerations in its released
  // directions before the motion is imposed.
  moveRigidBodies(host_);
}

void TimeLoopSteps::rigidBodiesTakeForces() {
  RigidManager* rm = d_->rigidManager;
  for (RigidCuda& r : rm->rigid_array) {
    if (host_)
      r.gatherForcesCpu();
    else
      r.gatherForcesGpu();
  }
  rm->slaveForcesToMaster();
  for (RigidCuda& r : rm->rigid_array) r.computeAccelerations();
}

bool TimeLoopSteps::updateVelocities() {
  // The outputs and the next displacement update see the slaves moving with
  // their masters; every node shows the same half step.
  nodeVelocities();
  slavesFollowMasters();
  const bool everyNode = lastCycle || d_->outputManager->anyOutputDue(d_->time, d_->dt, true);
  return !(stateStopsRun(everyNode) || energyStopsRun());
}

bool TimeLoopSteps::writeOutputs(double& outputMs) {
  const double outputStart = wallClockMs();
  if (lastCycle) d_->outputManager->markFinalPoint();
  OutputModel model = outputModelOf(*d_);
  // A step longer than the output interval (the host loop's uncapped first
  // step, or any step of a loop whose cap exceeds the interval) passes
  // output points.
  d_->outputManager->writePassedPoints(&model, d_->time - d_->prev_dt, d_->time, d_->dt);
  d_->outputManager->collectAll(&model, d_->time, d_->dt);
  d_->outputManager->writeAll(&model, d_->time, d_->dt);
  outputMs += wallClockMs() - outputStart;
  return !runStopRequested();
}

double TimeLoopSteps::reachedTime() const { return d_->timeControl->timeAfterStep(d_->time, d_->dt); }

void TimeLoopSteps::endCycle() {
  d_->time = d_->timeControl->timeAfterStep(d_->time, d_->dt);
  d_->cycle += 1;
}

void TimeLoopSteps::finish() { d_->time = stateTime; }

// Prescribed rigid-body motion (project: the accelerations first kept in
// the released directions), velocities and node positions of the rigid
// bodies.
void TimeLoopSteps::moveRigidBodies(bool project) {
  RigidManager* rm = d_->rigidManager;
  for (RigidConstrained& rc : rm->rigid_constrained_array) {
    rc.computeFactor(d_->time, reachedTime());
    if (project) rc.projectAccelerations();
    rc.imposeMotion(d_->dt, d_->prev_dt);
  }
  for (RigidCuda& r : rm->rigid_array) r.updateVelocity(d_->dt, d_->prev_dt);
  rm->masterVelocitiesToSlaves();
  moveRigidBodyNodes();
}

void TimeLoopSteps::moveRigidBodyNodes() {
  for (RigidCuda& r : d_->rigidManager->rigid_array) {
    if (host_)
      r.updateNodesCpu(d_->dt);
    else
      r.updateNodesGpu(d_->dt);
  }
}

// Contact pairs are made a step before their node reaches the surface, from
// its approach over the last step, and their force lands it there.  The
// first move comes before any cycle's contact step: the loop's contact step
// runs first on the velocities of the first update, each node's coming step
// taken as its last, so that a node that reaches a face within the first
// step lands on it instead of crossing it.  The pairs' forces act over a
// whole step, the first update's over half of one: they are added by an
// update of their own (slave forces to their masters and the boundary
// conditions first, as in a cycle) whose acceleration adds to the first's,
// so that the state written at time 0 shows the loads' and the contact's
// together.  The rigid bodies take their share over the same whole step:
// the contact sees each body where its nodes are (back at the start of the
// step its first update began), and the body takes that step again with
// the velocity its share gives, so that the pair's momentum is kept.
void TimeLoopSteps::contactBeforeFirstMove(const std::function<void()>& contactStep) {
  if (d_->contactManager->contact_array.empty()) return;
  NodeManager* nm = d_->nodeManager;
  RigidManager* rm = d_->rigidManager;
  for (RigidCuda& r : rm->rigid_array) r.rewindStep();
  host_ ? nm->presetStepsCpu(d_->dt) : nm->presetSteps(d_->dt);
  contactStep();
  host_ ? nm->presetStepsCpu(0.0) : nm->presetSteps(0.0);
  const bool pairs = d_->pairManager->activePairCount() > 0;
  const double before = pairs ? kineticEnergy() : 0.0;
  if (pairs) {
    slaveForcesToMasters();
    applyBoundaries();
    rm->takeContactBeforeFirstMove(d_->time, d_->dt, host_);
  }
  moveRigidBodyNodes();
  if (!pairs) return;
  host_ ? nm->allNodeAccelVelAddCalCpu(d_->dt, d_->dt) : nm->allNodeAccelVelAddCal(d_->dt, d_->dt);
  slavesFollowMasters();
  energyWatch_.addStartContactWork(before, kineticEnergy());
}

double TimeLoopSteps::kineticEnergy() {
  return host_ ? energyWatch_.lookCpu(d_->nodeManager->node_array_cpu) : energyWatch_.lookGpu(*d_->nodeManager);
}

void TimeLoopSteps::slaveForcesToMasters() {
  if (host_) {
    d_->constrainedManager->transferSlaveForcesCpu();
    d_->tieManager->addMasterForCpu();
  } else {
    d_->constrainedManager->transferSlaveForcesGpu();
    d_->tieManager->addMasterForGpu();
  }
}

void TimeLoopSteps::nodeVelocities() {
  NodeManager* nm = d_->nodeManager;
  if (host_)
    nm->allNodeAccelVelWorkCalCpu(d_->dt, d_->prev_dt, energyWatch_.nodeWorkCpu());
  else
    nm->allNodeAccelVelWorkCal(d_->dt, d_->prev_dt, energyWatch_.nodeWorkGpu(nm->totNodeNum));
}

void TimeLoopSteps::slavesFollowMasters() {
  if (host_)
    d_->slavesFollowMastersCpu();
  else
    d_->slavesFollowMastersGpu();
}

// True when a node's state is not finite: the run stops naming the node.
// The node steps report what they compute; at output points (and at the
// end) every node is checked as well, before any file is written.
bool TimeLoopSteps::stateStopsRun(bool everyNode) {
  if (everyNode) {
    if (host_)
      d_->nodeManager->checkNodesFiniteCpu();
    else
      d_->nodeManager->checkNodesFinite();
  }
  return runStopsOnNonFiniteNode(d_->time, d_->cycle);
}

// True when the kinetic energy of the run has run away or outgrown its
// balance (looked at every kEnergyWatchCycles cycles and at the last): the
// run stops naming the element with the smallest step.
bool TimeLoopSteps::energyStopsRun() {
  if (d_->cycle % kEnergyWatchCycles != 0 && !lastCycle) return false;
  const double energy = kineticEnergy();
  if (energyWatch_.runsAway(energy, d_->cycle)) {
    reportRunawayEnergy(energyWatch_, energy, d_->time, d_->cycle, smallestElementStep());
    return true;
  }
  if (!energyWatch_.outgrowsBalance(energy)) return false;
  reportEnergyBeyondBalance(energy, d_->time, d_->cycle, smallestElementStep());
  return true;
}

// True when the step cannot advance the run: the run stops with a message
// that names the element with the smallest step.  firstStep: the first
// step, which must also find every element with a step.
bool TimeLoopSteps::stepStopsRun(bool firstStep) {
  return runStopsOnStep(*d_->timeControl, d_->dt, d_->time, d_->cycle, firstStep,
                        [this] { return smallestElementStep(); });
}

ElementStep TimeLoopSteps::smallestElementStep() const {
  if (host_) return smallestElementStepCpu(d_->part_array, d_->timeControl->safe_factor);
  return d_->elementControl->smallestElementStep();
}
