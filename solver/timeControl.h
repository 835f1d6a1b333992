// Run limits, output interval, safe factor and selective mass scaling.
#pragma once
#include <cstdint>
#include <vector>

#include "elements/common/elementStep.h"

class SectionManager;
class MaterialManager;
class ElementControl;
class TieManager;
class ConstrainedManager;
class NodeManager;
class Part;
class ElmManager;

class TimeControl {
 public:
  int32_t end_cycle = 0;           // last cycle; 0 = no cycle limit
  double end_time = 0.0;           // simulation end time
  double output_interval = 0.0;    // below 1e-10 counts as unset
  double input_safe_factor = 0.0;  // the deck's time-step scale; 0 = not given
  double mass_scaling_dt = 0.0;    // the deck's mass-scaling step
  double safe_factor = 0.0;        // scale of every critical element step
  int32_t recompute_interval = 0;  // mass scaling considered every this many cycles; 0 = never
  int32_t mass_scaling_flag = 0;   // 1 = mass scaling on
  double target_dt = 0.0;          // step that mass scaling enforces ("DT=" on the command line)
  bool mass_scaled = false;        // mass scaling has acted in this run
  double physical_mass = 0.0;      // the model's mass, and the mass scaling added to it
  double added_mass = 0.0;         // when it first acted
  // Remaining values of the termination and time-step cards, kept as read.
  double termination_values[3] = {0.0, 0.0, 0.0};
  int32_t termination_flag = 0;
  double timestep_value = 0.0;
  int32_t timestep_flag = 0;
  double timestep_value2 = 0.0;
  int32_t timestep_flags[3] = {0, 0, 0};
  std::vector<double> kept_values;
  // The run's first step (before an end time below it shortens it), set by
  // the time loops; the steps that follow are measured against it.
  double first_step = 0.0;

  // The mass-scaling request: the command line's "DT=" is the target step
  // whether or not the deck asks for mass scaling; without it the deck's
  // step (DT2MS, either sign) gives the target, its absolute value. A
  // request is considered every cycle. Asking again changes nothing.
  void takeMassScalingRequest();
  // Takes the request, then decides the safe factor and the mass-scaling
  // flag from the target step; called once after the deck is read.
  void setSafeFactor();
  // The safe factor setSafeFactor decides, asked before it runs: the
  // deck's, 0.9 without one, 0.7 under a negative "DT=".
  double runSafeFactor() const;
  // First step of the GPU loop before the cap: the smallest critical
  // element step with the safe factor.
  double calInitialDtGpu(SectionManager* sections, MaterialManager* materials, ElementControl* elements);
  // First step of the host loop from the parts' wave speeds and
  // characteristic lengths; written to *dt and returned.
  double calInitialDtCpu(std::vector<Part>& parts, double* dt);
  // Selective mass scaling when it is due: masses back to their stored
  // values, then every element brought to the target step; the candidate
  // step becomes the target.
  void massScalingGpu(TieManager* ties, ConstrainedManager* constraints, ElementControl* elements, NodeManager* nodes,
                      int cycle, double* candidate);
  void massScalingCpu(TieManager* ties, ConstrainedManager* constraints, std::vector<Part>& parts, NodeManager* nodes,
                      int cycle, double* candidate);
  // True when mass scaling acts at this cycle with this candidate step.
  bool massScalingDue(int cycle, double candidate) const;
  // Mass scaling, when it first acted, added more than ENDMAS percent
  // (*CONTROL_TERMINATION field 5) of the model's mass.
  bool addedMassRunsAway() const;
  void printTimeInfo(double dt) const;

  // The end of a run: it ends when its state has reached the end time (when
  // one is given) or when it has done its end cycle (when one is given),
  // whichever comes first.  With neither it does no cycle.
  bool runEnded(double stateTime, int cycles) const;
  // The step from `time` shortened so that it ends at the end time rather
  // than past it.  A step that falls short of the end by a rounding error
  // of its own length takes the rest too, leaving no sliver of a step.
  double stepWithinEndTime(double time, double dt) const;
  // time + dt; the end time itself when the step reaches it, so that the
  // last state lies at the end time exactly.
  double timeAfterStep(double time, double dt) const;

  // DTMIN, the termination card's third field: the share of the first step
  // below which the run stops (0: not given).
  double minStepFactor() const { return termination_values[0]; }
  // The step below which the run stops: DTMIN times the first step, or a
  // millionth of it without DTMIN.
  double stepFloor() const;
  // False, with a message, when the run's limits cannot be used: an end
  // time, end cycle or DTMIN that is negative or not a number, a DTMIN of 1
  // or more.
  bool limitsUsable() const;
};

// Why a step cannot go on: not a positive number; below the floor of the
// first step; a first step that would take more cycles than any run can
// do to reach the end time.
enum class StepProblem { None, NotPositive, BelowFloor, TooManyCycles, MassRunaway };
StepProblem stepProblem(const TimeControl& tc, double dt, bool firstStep);
// The message of a run that stops on its step, naming the element that
// limits it, the time and the cycle; written to the error stream and the
// run record.
void reportStepProblem(const TimeControl& tc, StepProblem problem, double dt, double time, int cycle,
                       const ElementStep& limit);

// True when dt can advance a run: a finite number above zero.
bool timeStepUsable(double dt);
// Whether a run stops on its step dt, at `time` and `cycle`: dt is not a
// positive number, has fallen below the floor of the first step or, for the
// first step, would take too many cycles; with firstStep the element with
// the worst step must also have a usable one.  limit() gives that element;
// it is asked only when needed.  The message is printed.
template <typename Limit>
bool runStopsOnStep(const TimeControl& tc, double dt, double time, int cycle, bool firstStep, Limit limit) {
  StepProblem problem = stepProblem(tc, dt, firstStep);
  if (problem == StepProblem::None && !firstStep) return false;
  const ElementStep worst = limit();
  if (problem == StepProblem::None && worst.found && !timeStepUsable(worst.step)) {
    problem = StepProblem::NotPositive;
    dt = worst.step;
  }
  if (problem == StepProblem::None) return false;
  reportStepProblem(tc, problem, dt, time, cycle, worst);
  return true;
}
// Host loop: the solid, shell or beam with the worst step over the parts
// with a material model, each step recomputed from the element's present
// shape.
ElementStep smallestElementStepCpu(std::vector<Part>& parts, double safeFactor);
