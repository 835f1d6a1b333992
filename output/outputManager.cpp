#include "output/outputManager.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/logErrorPrint.h"

#include "core/runStop.h"
#include "output/paraViewOutput.h"
#include "output/outputModel.h"

BasicOutput* OutputManager::addOutput(std::unique_ptr<BasicOutput> output) {
  outputList_.push_back(std::move(output));
  return outputList_.back().get();
}

void OutputManager::initAll(OutputModel* fem) {
  for (auto& output : outputList_) {
    output->init(fem);
  }
}

// Once the run is asked to stop (an interrupt, a file that could not be
// written) no further output is gathered or written: every file written so
// far is whole, and nothing is started that the stop would cut.
void OutputManager::collectAll(OutputModel* fem, double time, double dt) {
  if (runStopRequested()) {
    return;
  }
  for (auto& output : outputList_) {
    output->collect(fem, time, dt);
  }
}

void OutputManager::writeAll(OutputModel* fem, double time, double dt) {
  for (auto& output : outputList_) {
    if (runStopRequested()) {
      return;
    }
    output->write(fem, time, dt);
  }
}

bool OutputManager::anyOutputDue(double time, double dt, bool passed) const {
  for (const auto& output : outputList_) {
    if (output->isOutputPoint(time, dt) || (passed && !output->passedPoints(time, dt).empty())) {
      return true;
    }
  }
  return false;
}

namespace {

// Steps whose passed points the run record lists one by one.
constexpr int kPassedPointNotes = 10;

// Names the passed points (of every output, each time once) in the run
// record and on the console.
void notePassedPoints(std::vector<double> times, double stepStart, double time, int& notes) {
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  if (times.empty() || ++notes > kPassedPointNotes + 1) return;
  std::string text;
  if (notes > kPassedPointNotes) {
    text = "Later steps pass further output points; these are written likewise with the state their step reaches.";
  } else {
    char part[64];
    text = times.size() == 1 ? "Output point" : "Output points";
    for (std::size_t k = 0; k < times.size(); ++k) {
      std::snprintf(part, sizeof part, "%s %.6g", k == 0 ? "" : ",", times[k]);
      text += part;
    }
    std::snprintf(part, sizeof part, " %s within the step from %.6g to %.6g", times.size() == 1 ? "lies" : "lie",
                  stepStart, time);
    text += part;
    std::snprintf(part, sizeof part, ": written with the state at time %.6g.", time);
    text += part;
  }
  std::printf("%s\n", text.c_str());
  if (g_runRecord.is_open()) g_runRecord << text << std::endl;
}

}  // namespace

void OutputManager::writePassedPoints(OutputModel* fem, double stepStart, double time, double dt) {
  std::vector<double> passed;
  for (auto& output : outputList_) {
    const std::vector<double> points = output->passedPoints(time, dt);
    if (!points.empty() && !runStopRequested()) {
      // The state the step reached stands for the points it passed, written once at its own time (times stay
      // strictly increasing in a viewer's series); when it is an output point itself it is written anyway.
      if (!output->isOutputPoint(time, dt)) {
        output->passedPoint_ = true;
        output->collect(fem, time, dt);
        output->write(fem, time, dt);
        output->passedPoint_ = false;
      }
      passed.insert(passed.end(), points.begin(), points.end());
    }
    output->takePointsUpTo(time, dt);
  }
  notePassedPoints(std::move(passed), stepStart, time, passedPointNotes_);
}

void OutputManager::markFinalPoint() {
  for (auto& output : outputList_) {
    output->finalPoint_ = true;
  }
}

namespace {

// Intervals below this count as not given.
constexpr double kUnsetInterval = 1e-10;

}  // namespace

void OutputManager::addDefaultOutput(double& runInterval, double endTime) {
  double interval = runInterval;

  // The largest interval among the outputs, or 0 when there are none.
  auto largestInterval = [this]() {
    double largest = 0.0;
    bool first = true;
    for (const auto& output : outputList_) {
      if (first || output->interval_ > largest) {
        largest = output->interval_;
        first = false;
      }
    }
    return largest;
  };

  if (interval < kUnsetInterval) {
    if (!hasParaView_ && !hasTecplot_) {
      interval = outputList_.empty() ? endTime / 100.0 : largestInterval();
    } else if (hasParaView_ != hasTecplot_) {
      interval = largestInterval();
    }
    // Fall back further when the rule above gave nothing usable.
    if (interval < kUnsetInterval) {
      interval = largestInterval();
    }
    if (interval < kUnsetInterval) {
      interval = endTime / 100.0;
    }
    if (interval < kUnsetInterval) {
      std::printf(
          "warning: no output interval is given (no end time, no \"OT=\"): "
          "results are written at time 0 only\n");
      interval = 0.0;
    }
  }

  if (!hasParaView_ && !hasTecplot_) {
    hasParaView_ = true;
    auto paraView = std::make_unique<ParaViewOutput>();
    paraView->dispFlag_ = true;
    paraView->interval_ = interval;
    addOutput(std::move(paraView));
  }
  if (runInterval < kUnsetInterval) {
    runInterval = interval;
  }
  // An output without an interval of its own follows the run's interval.
  for (auto& output : outputList_) {
    if (output->interval_ < kUnsetInterval) {
      output->interval_ = interval;
    }
    output->parseOutputVariables();
  }
}
