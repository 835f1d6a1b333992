#include "output/outputManager.h"

#include <cstdio>

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

bool OutputManager::anyOutputDue(double time, double dt) const {
  for (const auto& output : outputList_) {
    if (output->isOutputPoint(time, dt)) {
      return true;
    }
  }
  return false;
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
