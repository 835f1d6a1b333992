#include "input/commandLine.h"
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include "output/outputManager.h"
#include "solver/femdynamic.h"
#include "solver/multigpumanager.h"
#include "solver/timeControl.h"

bool parseLeadingDouble(const std::string& text, double& value) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(begin, &end);
  if (end == begin || errno == ERANGE) return false;
  value = v;
  return true;
}

bool parseLeadingInt(const std::string& text, int& value) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(begin, &end, 10);
  if (end == begin || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

namespace {
enum class Option { None, Inp, Wd, Dt, Ot, Ngpu, Idg, Cgn, Rft };

// The first option (in the fixed search order) that the argument contains.
Option findOption(const std::string& arg) {
  static const struct {
    const char* key;
    Option option;
  } kOrder[] = {{"INP=", Option::Inp}, {"WD=", Option::Wd},    {"DT=", Option::Dt},   {"OT=", Option::Ot},
                {"NGPU=", Option::Ngpu}, {"IDG=", Option::Idg}, {"CGN=", Option::Cgn}, {"RFT=", Option::Rft}};
  for (const auto& entry : kOrder) {
    if (arg.find(entry.key) != std::string::npos) return entry.option;
  }
  return Option::None;
}

// What is wrong with a converted value, or empty. DT= is a step (its sign
// chooses the mass-scaling mode); OT= and RFT= are intervals.
std::string realValueProblem(Option option, double value) {
  if (!std::isfinite(value)) return "the value must be a finite number";
  if ((option == Option::Ot || option == Option::Rft) && value < 0.0) {
    return "an output interval must be 0 (not given) or more";
  }
  return {};
}

// NGPU= counts devices (0: every qualifying one), IDG= names one; both within
// the devices present.
std::string deviceValueProblem(Option option, int value) {
  const int present = countGpuDevices();
  const std::string found = present == 0 ? "no GPU device is present"
                                         : std::to_string(present) + " GPU device" + (present == 1 ? " is" : "s are") +
                                               " present";
  if (option == Option::Ngpu && (value < 0 || value > present)) {
    return found + "; NGPU= takes 0 (every qualifying device)" +
           (present > 0 ? " to " + std::to_string(present) : std::string(" only"));
  }
  if (option == Option::Idg && (value < 0 || value >= present)) {
    return found + (present > 0 ? "; IDG= takes a device number from 0 to " + std::to_string(present - 1)
                                : std::string("; IDG= cannot name one"));
  }
  return {};
}

// Converts one numeric option into its target; the problem is empty when
// the value is usable.
std::string convertOption(Option option, const std::string& value, double& real, int& whole) {
  const bool isReal = option == Option::Dt || option == Option::Ot || option == Option::Rft;
  if (isReal) {
    if (!parseLeadingDouble(value, real)) return "the value is not a number";
    return realValueProblem(option, real);
  }
  if (!parseLeadingInt(value, whole)) return "the value is not a whole number in range";
  return option == Option::Cgn ? std::string() : deviceValueProblem(option, whole);
}
}  // namespace

bool parseCommandLine(int argc, char** argv, std::string& inputFile, std::string& workPath, FEMDynamic* fem) {
  double dtValue = 0.0, otValue = 0.0, rftValue = 0.0;
  int ngpu = 0, idg = 0;
  std::string input = inputFile, work = workPath;
  for (int i = 0; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    const std::string arg = argv[i];
    const Option option = findOption(arg);
    if (option == Option::None) continue;
    const std::string value = arg.substr(arg.find('=') + 1);
    if (option == Option::Inp) {
      input = value;
      continue;
    }
    if (option == Option::Wd) {
      work = value;
      continue;
    }
    double real = 0.0;
    int whole = 0;
    const std::string problem = convertOption(option, value, real, whole);
    if (!problem.empty()) {
      fprintf(stderr, "Command-line argument refused: %s: %s\n", arg.c_str(), problem.c_str());
      return false;
    }
    switch (option) {
      case Option::Dt: dtValue = real; break;
      case Option::Ot: otValue = real; break;
      case Option::Rft: rftValue = real; break;
      case Option::Ngpu: ngpu = whole; break;
      case Option::Idg: idg = whole; break;
      default: break;  // CGN= is converted and discarded
    }
  }
  inputFile = input;
  workPath = work;
  if (fem == nullptr) return true;
  if (fem->timeControl != nullptr) {
    fem->timeControl->output_interval = otValue;
    fem->timeControl->target_dt = dtValue;
  }
  if (fem->outputManager != nullptr) fem->outputManager->rftInterval_ = rftValue;
  if (ngpu > 0 && fem->multiGpuManager != nullptr) {
    fem->multiGpuManager->gpu_num = ngpu;
    fem->multiGpuManager->gpu_id_array.resize(ngpu, 0);
    fem->multiGpuManager->gpu_id_array[0] = idg;
  }
  return true;
}
