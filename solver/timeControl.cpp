#include "solver/timeControl.h"
#include <cmath>
#include <cstdio>
#include "contact/tiemanager.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/sectionmanager.h"
#include "elements/common/elementControl.h"
#include "elements/common/elmmanager.h"
#include "elements/common/nodeGather.h"
#include "elements/common/partSelection.h"
#include "elements/common/partSetup.h"
#include "elements/solid1st/solid1stFormulation.h"
#include "materials/materialmanager.h"
#include "core/logErrorPrint.h"
#include "solver/constrained.h"

void TimeControl::takeMassScalingRequest() {
  if (target_dt == 0.0 && mass_scaling_dt != 0.0) target_dt = std::fabs(mass_scaling_dt);
  if (target_dt == 0.0) return;
  recompute_interval = 1;
  mass_scaling_flag = 1;
}

double TimeControl::runSafeFactor() const {
  if (target_dt < 0.0) return safe_factor > 1e-5 ? safe_factor : 0.7;
  return input_safe_factor != 0.0 ? input_safe_factor : 0.9;
}

void TimeControl::setSafeFactor() {
  takeMassScalingRequest();
  safe_factor = runSafeFactor();
  if (target_dt >= 0.0) {
    mass_scaling_flag = target_dt > 0.0 ? 1 : 0;
    printf("\nThe safeFactor is %.2lf\n", safe_factor);
    return;
  }
  mass_scaling_flag = 1;
  target_dt = std::fabs(target_dt * safe_factor);
}

double TimeControl::calInitialDtGpu(SectionManager* sections, MaterialManager* materials, ElementControl* elements) {
  return elements->gpuCalCriticalDt(materials->material_array_gpu, sections->section_array_gpu, safe_factor);
}

namespace {

// The lowest shape among the store's families with a material wave speed
// (Point when it has none): a part of bars and plates steps as bars.
FamilyShape lowestContinuumShape(const ElmManager& em) {
  FamilyShape lowest = FamilyShape::Point;
  em.forEachFamily([&lowest](auto tag, const auto& records) {
    constexpr ElementFamilyRow row = decltype(tag)::row;
    if (row.continuum && !records.empty() && (lowest == FamilyShape::Point || row.shape < lowest)) lowest = row.shape;
  });
  return lowest;
}

}  // namespace

double TimeControl::calInitialDtCpu(std::vector<Part>& parts, double* dt) {
  double result = 1000.0;
  for (Part& part : parts) {
    double waveSpeed = 0.0, factor = safe_factor;
    // Rigid and null parts give no step, as in the element driver.
    if (!partTakesPart(part)) continue;
    ElmManager* em = part.elmManager;
    const MaterialNew* material = part.materialNew;
    switch (lowestContinuumShape(*em)) {
      case FamilyShape::Line:
        waveSpeed = material->waveSpeed[2];
        break;
      case FamilyShape::Surface:
        waveSpeed = material->waveSpeed[1];
        break;
      case FamilyShape::Volume:
        waveSpeed = material->waveSpeed[0];
        factor = solid1st::boundScaleFactor(safe_factor);
        break;
      default:
        break;
    }
    // Beams, springs and trusses give their own first step (a spring's
    // comes from its stiffness and mass, not from a wave speed).
    if (!em->beam_element_array_cpu.empty()) {
      const double step = em->minBeamCriticalStep(waveSpeed, safe_factor);
      if (step < result) result = step;
      continue;
    }
    // The part lowers the length it is given, so start above any element.
    double length = 1e30;
    calMinCharactLength(part, &length);
    // Without a wave speed the part gives no step and cannot lower the minimum.
    if (!(waveSpeed > 0.0)) continue;
    const double step = length * factor / waveSpeed;
    if (step < result) result = step;
  }
  if (dt != nullptr) *dt = result;
  return result;
}

namespace {
// The mass of every node of the host array.
double modelMass(const NodeManager& nodes) {
  double mass = 0.0;
  for (const NodeCuda& node : nodes.node_array_cpu) mass += node.mass;
  return mass;
}
}  // namespace

bool TimeControl::addedMassRunsAway() const {
  // ENDMAS blank, 0 or below: the format's default, 1e8 percent.
  const double endmas = termination_values[2] > 0.0 ? termination_values[2] : 1.0e8;
  return mass_scaled && physical_mass > 0.0 && !(added_mass * 100.0 / physical_mass <= endmas);
}

bool TimeControl::massScalingDue(int cycle, double candidate) const {
  return mass_scaling_flag != 0 && recompute_interval != 0 && cycle % recompute_interval == 0 && candidate <= target_dt;
}

void TimeControl::massScalingGpu(TieManager* ties, ConstrainedManager* constraints, ElementControl* elements,
                                 NodeManager* nodes, int cycle, double* candidate) {
  if (candidate == nullptr || !massScalingDue(cycle, *candidate)) return;
  elements->gpuMassScale(target_dt);
  gpuGatherScaledMass(*nodes);
  ties->transferSlaveMassGpu();
  constraints->attachSlaveMassGpu();
  *candidate = target_dt;
  if (!mass_scaled) {
    const double2 sums = elements->gpuMassSums();
    physical_mass = sums.x;
    added_mass = sums.y - sums.x;
  }
  mass_scaled = true;
}

void TimeControl::massScalingCpu(TieManager* ties, ConstrainedManager* constraints, std::vector<Part>& parts,
                                 NodeManager* nodes, int cycle, double* candidate) {
  if (candidate == nullptr || !massScalingDue(cycle, *candidate)) return;
  nodes->massReductionCpu();
  const double physical = mass_scaled ? 0.0 : modelMass(*nodes);
  for (Part& part : parts)
    if (partTakesPart(part)) part.elmManager->massScaleCpu(target_dt);
  nodes->storeAllEquivalentMassCpu();
  ties->transferSlaveMassCpu();
  constraints->transferAllMass();
  *candidate = target_dt;
  if (!mass_scaled) {
    physical_mass = physical;
    added_mass = modelMass(*nodes) - physical;
  }
  mass_scaled = true;
}

void TimeControl::printTimeInfo(double dt) const {
  printf("\n");
  printf("Initial time step:\t %.4e\n", dt);
  printf("Data output time increment:\t%.4e\n", output_interval);
  printf("Complete simulation time:\t%.4e\n", end_time);
  printf("\n");
}

namespace {
// A step that reaches the end time to within this share of its length.
constexpr double kEndTimeSlack = 1e-9;

bool stepReachesEnd(double endTime, double time, double dt) {
  return endTime > 0.0 && time + dt * (1.0 + kEndTimeSlack) >= endTime;
}
}  // namespace

bool TimeControl::runEnded(double stateTime, int cycles) const {
  const bool timeGiven = end_time > 0.0, cyclesGiven = end_cycle > 0;
  if (!timeGiven && !cyclesGiven) return true;
  return (timeGiven && stateTime >= end_time) || (cyclesGiven && cycles >= end_cycle);
}

double TimeControl::stepWithinEndTime(double time, double dt) const {
  return stepReachesEnd(end_time, time, dt) && end_time > time ? end_time - time : dt;
}

double TimeControl::timeAfterStep(double time, double dt) const {
  return stepReachesEnd(end_time, time, dt) ? end_time : time + dt;
}

bool timeStepUsable(double dt) { return nodeValueIsFinite(dt) && dt > 0.0; }

namespace {
// Without DTMIN a step below this share of the first step stops the run.
constexpr double kDefaultStepFloor = 1e-6;
// A first step that needs more cycles than this to reach the end time stops
// the run (a billion cycles: hours of computing for the smallest model).
constexpr double kMostCycles = 1e9;

// The console's progress lines go out first, so that the message stays last.
void writeStopMessage(const char* text) {
  fflush(stdout);
  fprintf(stderr, "%s\n", text);
  if (g_runRecord.is_open()) g_runRecord << text << std::endl;
}

bool refuseLimit(const char* what, double value, const char* rule) {
  char text[200];
  snprintf(text, sizeof(text), "*CONTROL_TERMINATION: %s %g %s; the run stops.", what, value, rule);
  writeStopMessage(text);
  return false;
}
}  // namespace

double TimeControl::stepFloor() const {
  return (minStepFactor() > 0.0 ? minStepFactor() : kDefaultStepFloor) * first_step;
}

bool TimeControl::limitsUsable() const {
  if (!(end_time >= 0.0) || !std::isfinite(end_time))
    return refuseLimit("the end time", end_time, "is not a finite number of at least 0");
  if (end_cycle < 0) return refuseLimit("the end cycle", end_cycle, "is negative");
  if (!(minStepFactor() >= 0.0 && minStepFactor() < 1.0))
    return refuseLimit("DTMIN", minStepFactor(), "is not a number of at least 0 and below 1");
  return true;
}

StepProblem stepProblem(const TimeControl& tc, double dt, bool firstStep) {
  if (tc.addedMassRunsAway()) return StepProblem::MassRunaway;
  if (!timeStepUsable(dt)) return StepProblem::NotPositive;
  if (firstStep)
    return tc.end_cycle <= 0 && tc.end_time / dt > kMostCycles ? StepProblem::TooManyCycles : StepProblem::None;
  return dt < tc.stepFloor() ? StepProblem::BelowFloor : StepProblem::None;
}

void reportStepProblem(const TimeControl& tc, StepProblem problem, double dt, double time, int cycle,
                       const ElementStep& limit) {
  char element[96] = "";
  if (limit.found) snprintf(element, sizeof(element), "; element %d has the smallest step (%g)", limit.id, limit.step);
  char floor[96];
  if (tc.minStepFactor() > 0.0)
    snprintf(floor, sizeof(floor), "DTMIN %g", tc.minStepFactor());
  else
    snprintf(floor, sizeof(floor), "%g (no DTMIN given)", kDefaultStepFloor);
  char text[400];
  switch (problem) {
    case StepProblem::BelowFloor:
      snprintf(text, sizeof(text),
               "The time step %g at time %g, cycle %d has fallen below %s times the first step %g%s. "
               "The run stops.",
               dt, time, cycle, floor, tc.first_step, element);
      break;
    case StepProblem::MassRunaway:
      snprintf(text, sizeof(text),
               "Mass scaling towards the time step %g adds a mass of %g to the model's %g (%.3g %%), beyond "
               "*CONTROL_TERMINATION ENDMAS %g %%. The run stops.",
               tc.target_dt, tc.added_mass, tc.physical_mass, tc.added_mass * 100.0 / tc.physical_mass,
               tc.termination_values[2] > 0.0 ? tc.termination_values[2] : 1.0e8);
      break;
    case StepProblem::TooManyCycles:
      snprintf(text, sizeof(text),
               "The first time step %g would take %.3g cycles to reach the end time %g%s; check the material "
               "constants, densities and units. The run stops.",
               dt, tc.end_time / dt, tc.end_time, element);
      break;
    default:
      snprintf(text, sizeof(text), "The time step %g at cycle %d is not a positive number%s. The run stops.", dt, cycle,
               element);
      break;
  }
  writeStopMessage(text);
}

ElementStep smallestElementStepCpu(std::vector<Part>& parts, double safeFactor) {
  ElementStep worst;
  for (Part& part : parts) {
    if (!partTakesPart(part)) continue;
    for (SolidElementCuda& e : part.elmManager->solid_element_array_cpu) {
      e.computeSolidCharactLengthCpu();
      considerElementStep(worst, e.id, e.computeSolidTimeStepCpu(part.materialNew, safeFactor));
    }
    for (ShellElementCuda& e : part.elmManager->shell_element_array_cpu) {
      e.computeShellCharactLength();
      considerElementStep(worst, e.id, e.computeShellTimeStep(part.materialNew, safeFactor));
    }
    for (BeamElementCuda& e : part.elmManager->beam_element_array_cpu)
      considerElementStep(worst, e.id, e.computeBeamTimeStep(part.materialNew, safeFactor));
  }
  return worst;
}
