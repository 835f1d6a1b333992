// ".inp" amplitudes: tables of time and value, and the analytic forms
// DECAY, MODULATED, PERIODIC and SMOOTH STEP, which become load curves that
// hold their analytic amplitude.
#include <cmath>

#include "core/curvemanager.h"
#include "input/inp/inpReader.h"
#include "solver/femdynamic.h"

namespace {

// Reads every data field as a number; false with the field in bad.
bool allNumbers(const InpBlock& block, std::vector<double>& values, std::string& bad) {
  for (const std::vector<std::string>& line : block.lines) {
    for (const std::string& field : line) {
      double v = 0.0;
      if (!inpNumber(field, v)) {
        bad = field;
        return false;
      }
      values.push_back(v);
    }
  }
  return true;
}

// Checks the numbers of an amplitude against its form; empty when they fit.
std::string checkValues(const std::string& definition, const std::vector<double>& v) {
  if (definition == "DECAY") {
    if (v.size() != 4) return "the data must be A0, A, t0, td";
    if (!(v[3] > 0.0)) return "the decay time td must be > 0";
  } else if (definition == "MODULATED") {
    if (v.size() != 5) return "the data must be A0, A, t0, w1, w2";
  } else if (definition == "PERIODIC") {
    if (v.size() < 4 || v[0] != std::floor(v[0]) || v[0] < 0.0) {
      return "the first line must be N (a count of terms), w, t0, A0";
    }
    if (v[0] > kAmplitudeTermMax) return "more than " + std::to_string(kAmplitudeTermMax) + " terms";
    if (v.size() != 4 + 2 * static_cast<size_t>(v[0])) return "the data must give N pairs of coefficients A, B";
  } else {
    if (v.size() % 2 != 0 || v.size() < 2) return "the data must be pairs of time and value";
    // A table is held whole; a smooth step holds kAmplitudeTermMax points.
    if (definition == "SMOOTHSTEP" && v.size() / 2 > static_cast<size_t>(kAmplitudeTermMax)) {
      return std::to_string(v.size() / 2) + " points; a smooth step holds at most " + std::to_string(kAmplitudeTermMax);
    }
    for (size_t k = 2; k < v.size(); k += 2) {
      if (v[k] < v[k - 2]) return "the times must not decrease";
    }
  }
  return std::string();
}

}  // namespace

void InpReader::readAmplitude(const InpBlock& block) {
  refuseUnreadOptions(block, {"NAME", "DEFINITION", "TIME", "VALUE", "SMOOTH"});
  // Values relative to the magnitudes that name the amplitude; a table
  // between its points is linear (SMOOTH=0).
  const std::string value = block.keyword.choice("VALUE");
  double smooth = 0.0;
  if (!value.empty() && value != "RELATIVE") {
    unreadMechanics(block, "VALUE=" + value + " asks for amplitudes that replace the magnitudes naming them");
  }
  if (block.keyword.has("SMOOTH") && (!inpNumber(block.keyword.option("SMOOTH"), smooth) || smooth != 0.0)) {
    unreadMechanics(block,
                    "SMOOTH=" + block.keyword.option("SMOOTH") + " asks for a table smoothed between its points");
  }
  InpModel::Amplitude amplitude;
  amplitude.name = block.keyword.option("NAME");
  std::string definition = block.keyword.choice("DEFINITION");
  const std::string time = block.keyword.choice("TIME");
  if (amplitude.name.empty()) {
    refuse(block.where() + ": the amplitude name (NAME=) is missing");
    return;
  }
  const std::string where = block.where() + " " + amplitude.name;
  if (definition == "TABULAR") definition.clear();
  if (!definition.empty() && definition != "DECAY" && definition != "MODULATED" && definition != "PERIODIC" &&
      definition != "SMOOTHSTEP") {
    refuse(where + ": DEFINITION=" + definition +
           " is not read by this version (TABULAR, DECAY, MODULATED, PERIODIC or SMOOTH STEP)");
    return;
  }
  // A single step: its time and the total time are the same.
  if (!time.empty() && time != "STEPTIME" && time != "TOTALTIME") {
    refuse(where + ": TIME=" + time + " is not STEP TIME or TOTAL TIME");
    return;
  }
  for (const InpModel::Amplitude& other : model_.amplitudes) {
    if (other.name == amplitude.name) {
      refuse(block.where() + ": amplitude " + amplitude.name + " is defined twice");
      return;
    }
  }
  std::vector<double> values;
  std::string bad;
  if (!allNumbers(block, values, bad)) {
    refuse(where + ": \"" + bad + "\" is not a number");
    return;
  }
  const std::string why = checkValues(definition, values);
  if (!why.empty()) {
    refuse(where + ": " + why);
    return;
  }
  amplitude.definition = definition;
  if (definition.empty() || definition == "SMOOTHSTEP") {
    for (size_t k = 0; k < values.size(); k += 2) amplitude.points.emplace_back(values[k], values[k + 1]);
  } else {
    amplitude.parameters = values;
  }
  model_.amplitudes.push_back(amplitude);
}

std::vector<std::pair<double, double>> inpHeldPoints(const InpModel::Amplitude& amplitude, double endTime) {
  std::vector<std::pair<double, double>> points = amplitude.points;
  if (points.empty()) return points;
  if (points.front().first > 0.0) points.insert(points.begin(), {0.0, points.front().second});
  if (points.back().first < endTime) points.emplace_back(kHeldTime, points.back().second);
  return points;
}

namespace {

std::unique_ptr<AbaqusCurve> analyticCurve(const InpModel::Amplitude& amplitude, double endTime) {
  const std::vector<double>& v = amplitude.parameters;
  if (amplitude.definition == "DECAY") {
    auto decay = std::make_unique<DecayCurve>();
    decay->A0 = v[0], decay->A = v[1], decay->t0 = v[2], decay->td = v[3];
    return decay;
  }
  if (amplitude.definition == "MODULATED") {
    auto modulated = std::make_unique<ModulateCurve>();
    modulated->A0 = v[0], modulated->A = v[1], modulated->t0 = v[2], modulated->w1 = v[3], modulated->w2 = v[4];
    return modulated;
  }
  if (amplitude.definition == "PERIODIC") {
    auto periodic = std::make_unique<PeriodicCurve>();
    periodic->N = static_cast<int>(v[0]);
    periodic->w = v[1], periodic->t0 = v[2], periodic->A0 = v[3];
    for (int n = 0; n < periodic->N; ++n) {
      periodic->A[n] = v[4 + 2 * static_cast<size_t>(n)];
      periodic->B[n] = v[5 + 2 * static_cast<size_t>(n)];
    }
    return periodic;
  }
  const std::vector<std::pair<double, double>> points = inpHeldPoints(amplitude, endTime);
  auto step = std::make_unique<SmoothStepCurve>();
  step->N = static_cast<int>(points.size());
  for (int k = 0; k < step->N; ++k) {
    step->t[k] = points[static_cast<size_t>(k)].first;
    step->a[k] = points[static_cast<size_t>(k)].second;
  }
  return step;
}

}  // namespace

void attachInpAmplitudes(const InpModel& model, const InpTranslation& ids, FEMDynamic* fem) {
  for (const InpModel::Amplitude& amplitude : model.amplitudes) {
    if (amplitude.definition.empty()) continue;
    const int id = ids.curveIds.at(amplitude.name);
    for (Curve& curve : fem->curveManager->curve_array) {
      if (curve.id == id) curve.amplitude = analyticCurve(amplitude, model.endTime);
    }
  }
}
