// Run limits, output interval, safe factor and selective mass scaling.
#pragma once
#include <cstdint>
#include <vector>

#include "elements/elementStep.h"

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
  int32_t end_cycle = 0;            // last cycle; 0 = no cycle limit
  double end_time = 0.0;            // simulation end time
  double output_interval = 0.0;     // below 1e-10 counts as unset
  double input_safe_factor = 0.0;   // the deck's time-step scale; 0 = not given
  double mass_scaling_dt = 0.0;     // the deck's mass-scaling step
  double safe_factor = 0.0;         // scale of every critical element step
  int32_t recompute_interval = 0;   // mass scaling considered every this many cycles; 0 = never
  int32_t mass_scaling_flag = 0;    // 1 = mass scaling on
  double target_dt = 0.0;           // step that mass scaling enforces ("DT=" on the command line)
  bool mass_scaled = false;         // mass scaling has acted in this run
  // Remaining values of the termination and time-step cards, kept as read.
  double termination_values[3] = {0.0, 0.0, 0.0};
  int32_t termination_flag = 0;
  double timestep_value = 0.0;
  int32_t timestep_flag = 0;
  double timestep_value2 = 0.0;
  int32_t timestep_flags[3] = {0, 0, 0};
  std::vector<double> kept_values;

  // The mass-scaling request: the command line's "DT=" is the target step
  // whether or not the deck asks for mass scaling; without it the deck's
  // step (DT2MS, either sign) gives the target, its absolute value. A
  // request is considered every cycle. Asking again changes nothing.
  void takeMassScalingRequest();
  // Takes the request, then decides the safe factor and the mass-scaling
  // flag from the target step; called once after the deck is read.
  void setSafeFactor();
  // First step of the GPU loop before the cap: the smallest critical
  // element step with the safe factor.
  double calInitialDtGpu(SectionManager* sections, MaterialManager* materials, ElementControl* elements);
  // First step of the host loop from the parts' wave speeds and
  // characteristic lengths; written to *dt and returned.
  double calInitialDtCpu(std::vector<Part>& parts, double* dt);
  // Selective mass scaling when it is due: masses back to their stored
  // values, then every element brought to the target step; the candidate
  // step becomes the target.
  void massScalingGpu(TieManager* ties, ConstrainedManager* constraints, ElementControl* elements,
                      NodeManager* nodes, int cycle, double* candidate);
  void massScalingCpu(TieManager* ties, ConstrainedManager* constraints, std::vector<Part>& parts,
                      NodeManager* nodes, int cycle, double* candidate);
  // True when mass scaling acts at this cycle with this candidate step.
  bool massScalingDue(int cycle, double candidate) const;
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
};

// True when dt can advance a run: a finite number above zero.
bool timeStepUsable(double dt);
// The message of a run that stops on an unusable step, naming the element
// that limits the step; written to the error stream and the run record.
void reportUnusableStep(double dt, int cycle, const ElementStep& limit);
// Whether a run stops on its step: dt is not a positive number or, with
// everyElement (the first step, over which the model's minimum may have
// passed), the element with the worst step has none.  limit() gives that
// element; it is asked only when needed.  The message is printed.
template <typename Limit>
bool runStopsOnStep(double dt, int cycle, bool everyElement, Limit limit) {
  if (timeStepUsable(dt) && !everyElement) return false;
  const ElementStep worst = limit();
  const bool elementUnusable = worst.found && !timeStepUsable(worst.step);
  if (timeStepUsable(dt) && !elementUnusable) return false;
  reportUnusableStep(elementUnusable ? worst.step : dt, cycle, worst);
  return true;
}
// Host loop: the solid with the worst step over the parts with a material
// model, each step recomputed from the element's present shape.
ElementStep smallestElementStepCpu(std::vector<Part>& parts, double safeFactor);
