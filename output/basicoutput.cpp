#include "output/basicoutput.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "output/outputModel.h"

void BasicOutput::parseOutputVariables() {
  for (const std::string& name : variableNames_) {
    if (name == "tecplot") {
      variableCodes_.push_back(OUTPUT_TECPLOT);
    } else if (name == "RF") {
      variableCodes_.push_back(OUTPUT_CONTACT_FORCE);
    } else if (name == "S") {
      variableCodes_.push_back(OUTPUT_STRESS);
    } else if (name == "PE") {
      variableCodes_.push_back(OUTPUT_STRAIN);
    }
    // "U" and "LE" are known names without a code; others are ignored.
  }
}

bool BasicOutput::isOutputPoint(double time, double dt) const {
  return finalPoint_ || passedPoint_ || ::isOutputPoint(interval_, time, dt);
}

namespace {

// Index of the last multiple of interval at or before time, and whether
// the state at time, with the coming step dt, takes it (the second half of
// the output-point test).
int64_t lastMultiple(double interval, double time) { return static_cast<int64_t>(std::trunc(time / interval)); }
bool takesLast(double interval, double time, double dt) {
  const double last = std::trunc(time / interval) * interval;
  return (last - (time - dt)) > (time - last);
}

}  // namespace

std::vector<double> BasicOutput::passedPoints(double time, double dt) const {
  std::vector<double> times;
  if (!(interval_ > 0.0)) return times;
  const int64_t last = lastMultiple(interval_, time) - (takesLast(interval_, time, dt) ? 1 : 0);
  for (int64_t k = lastPoint_ + 1; k <= last; ++k) times.push_back(static_cast<double>(k) * interval_);
  return times;
}

void BasicOutput::takePointsUpTo(double time, double dt) {
  if (!(interval_ > 0.0)) return;
  const double next = std::trunc(time / interval_ + 1.0) * interval_;
  const int64_t taken = lastMultiple(interval_, time) + ((time + dt - next) > (next - time) ? 1 : 0);
  lastPoint_ = std::max(lastPoint_, taken);
}

bool isOutputPoint(double interval, double time, double dt) {
  if (!(interval > 0.0)) {
    // No interval: only the state at time 0 is written.
    return time == 0.0;
  }
  // Truncation in double precision: no integer overflow for long runs.
  const double next = std::trunc(time / interval + 1.0) * interval;
  if ((time + dt - next) > (next - time)) {
    return true;
  }
  const double last = std::trunc(time / interval) * interval;
  return (last - (time - dt)) > (time - last);
}

void BasicOutput::openRunFile(CheckedFile& stream, const std::string& path) {
  const bool first = startedFiles_.insert(path).second;
  stream.open(path, first ? FileMode::Fresh : FileMode::Append);
}

std::string workFolderOf(OutputModel* fem) { return fem->work_path.empty() ? std::string(".") : fem->work_path; }

std::string historyOutputFolder(OutputModel* fem, const char* name) {
  const std::string folder = workFolderOf(fem) + "/" + name;
  ensureOutputFolder(folder);
  return folder;
}

void setHistoryNumberFormat(std::ostream& out) {
  out.precision(6);
  out.setf(std::ios::left | std::ios::scientific);
}

std::string localTimeStamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  return stamp;
}
