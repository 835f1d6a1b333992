#include "output/basicoutput.h"

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
  return finalPoint_ || ::isOutputPoint(interval_, time, dt);
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
