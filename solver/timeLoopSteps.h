// The steps the GPU loop (solver/femDynaAnalyParalle.cu) and the host-only
// loop (solver/femDynaAnalyCpu.cpp) share, each written once.  Where the
// loops differ inside a step, the step takes the loop's own twin: the device
// pass in the GPU loop, its host twin in the host loop.  The element forces,
// the contact step and what only one loop does stay in the loops.
#pragma once
#include <functional>

#include "elements/common/elementStep.h"
#include "solver/kineticEnergyWatch.h"

class FEMDynamic;

class TimeLoopSteps {
 public:
  // host: the host-only loop's twins, else the GPU loop's.
  TimeLoopSteps(FEMDynamic* d, bool host) : d_(d), host_(host) {}

  // Counters to zero (the step to firstDt), the reports of an earlier run
  // cleared, then the host set-up pass; false when the time limits or the
  // set-up refuse the model (the message is printed).
  bool setUp(double firstDt);
  // The first step: the elements' candidate capped at firstMax; the later
  // steps, capped at laterMax, are measured against it.  False when the
  // step cannot run the model (the message is printed).
  bool takeFirstStep(double candidate, double firstMax, double laterMax);
  // The initial state: loads, boundary conditions, rigid bodies and walls act
  // on the first velocity update, the slaves follow their masters; then the
  // loop's contact step (contactStep) acts before the first move, and the
  // outputs start and write the state.  False when a node is not finite.
  bool startState(const std::function<void()>& contactStep);
  // From the state reached to the time the coming cycle computes (the start
  // of the first cycle, after startState).
  void stepTime();
  // Whether another cycle runs.
  bool running() const;

  // Curves at the cycle's time, displacement update.
  void beginCycle();
  // The element forces into the nodes (GPU loop), and kept apart for the
  // energy watch's work sum (both loops).
  void gatherElementForces();
  // Loads at the cycle's time.
  void applyLoads();
  // Every rigid wall moves and pushes its slave nodes.
  void moveRigidWalls();
  // The coming step from the elements' candidate, capped at maxDt; the state
  // reached, and whether the coming cycle is the last.  False when the step
  // cannot advance the run (the message is printed).
  bool chooseNextStep(double candidate, double maxDt);
  // Slave forces to their masters, boundary conditions, then the rigid bodies.
  void constrainAndMoveBodies();
  // Accelerations and velocities, the slaves following their masters.  False
  // when a node is not finite or the kinetic energy has run away.
  bool updateVelocities();
  // The outputs due (every one at the last cycle; in the host loop first
  // once for each output point its step passed); their milliseconds are
  // added to outputMs.  False when the run is asked to stop (an interrupt,
  // or a result file that could not be written).
  bool writeOutputs(double& outputMs);
  // Time and cycle advance.
  void endCycle();
  // The run's time set to the last state reached.
  void finish();

  double stateTime = 0.0;  // time of the state reached
  bool lastCycle = false;  // the cycle under way is the last

 private:
  void applyBoundaries();
  // The time the coming displacement update reaches.
  double reachedTime() const;
  // Every rigid body takes the forces on its nodes into its accelerations.
  void rigidBodiesTakeForces();
  void moveRigidBodies(bool project);
  // Every rigid body writes its velocity into its nodes and steps on.
  void moveRigidBodyNodes();
  void slaveForcesToMasters();
  void nodeVelocities();
  void slavesFollowMasters();
  void contactBeforeFirstMove(const std::function<void()>& contactStep);
  bool stateStopsRun(bool everyNode);
  bool energyStopsRun();
  // The nodes' kinetic energy, as the energy watch looks at it.
  double kineticEnergy();
  bool stepStopsRun(bool firstStep);
  ElementStep smallestElementStep() const;

  FEMDynamic* d_;
  bool host_;
  KineticEnergyWatch energyWatch_;
};
