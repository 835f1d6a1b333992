#include "input/commandLine.h"
#include <cerrno>
#include <climits>
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
}  // namespace

bool parseCommandLine(int argc, char** argv, std::string& inputFile, std::string& workPath, FEMDynamic* fem) {
  double dtValue = 0.0, otValue = 0.0, rftValue = 0.0;
  int ngpu = 0, idg = 0, cgn = 0;
  std::string input = inputFile, work = workPath;
  for (int i = 0; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    const std::string arg = argv[i];
    const Option option = findOption(arg);
    if (option == Option::None) continue;
    const std::string value = arg.substr(arg.find('=') + 1);
    bool ok = true;
    switch (option) {
      case Option::Inp: input = value; break;
      case Option::Wd: work = value; break;
      case Option::Dt: ok = parseLeadingDouble(value, dtValue); break;
      case Option::Ot: ok = parseLeadingDouble(value, otValue); break;
      case Option::Rft: ok = parseLeadingDouble(value, rftValue); break;
      case Option::Ngpu: ok = parseLeadingInt(value, ngpu); break;
      case Option::Idg: ok = parseLeadingInt(value, idg); break;
      case Option::Cgn: ok = parseLeadingInt(value, cgn); break;
      case Option::None: break;
    }
    if (!ok) {
      fprintf(stderr, "Invalid number in command-line argument: %s\n", arg.c_str());
      return false;
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
