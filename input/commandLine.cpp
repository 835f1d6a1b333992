#include "input/commandLine.h"
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include "output/outputManager.h"
#include "platform/computeDevice.h"
#include "solver/femdynamic.h"
#include "solver/multigpumanager.h"
#include "solver/timeControl.h"

namespace {
// Digits from `at`; the index after them.
std::size_t skipDigits(const std::string& text, std::size_t at) {
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
  return at;
}

std::size_t skipSign(const std::string& text, std::size_t at) {
  return at < text.size() && (text[at] == '+' || text[at] == '-') ? at + 1 : at;
}

// A decimal number: sign, digits with at most one point (a digit on some
// side of it), an exponent with digits.
bool isDecimalNumber(const std::string& text) {
  std::size_t at = skipSign(text, 0);
  const std::size_t intEnd = skipDigits(text, at);
  std::size_t end = intEnd;
  bool digits = intEnd > at;
  if (end < text.size() && text[end] == '.') {
    const std::size_t fracEnd = skipDigits(text, end + 1);
    digits = digits || fracEnd > end + 1;
    end = fracEnd;
  }
  if (!digits) return false;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    const std::size_t expAt = skipSign(text, end + 1);
    const std::size_t expEnd = skipDigits(text, expAt);
    if (expEnd == expAt) return false;
    end = expEnd;
  }
  return end == text.size();
}
}  // namespace

bool parseWholeDouble(const std::string& text, double& value) {
  if (!isDecimalNumber(text)) return false;
  errno = 0;
  const double v = std::strtod(text.c_str(), nullptr);
  if (errno == ERANGE && std::isinf(v)) return false;
  value = v;
  return true;
}

bool parseWholeInt(const std::string& text, int& value) {
  const std::size_t at = skipSign(text, 0);
  if (at == text.size() || skipDigits(text, at) != text.size()) return false;
  errno = 0;
  const long v = std::strtol(text.c_str(), nullptr, 10);
  if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

bool asksForHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

void printUsage(std::FILE* out) {
  std::fputs(
      "Usage: impactfem INP=<deck> [WD=<work folder>] [KEY=value ...]\n"
      "       impactfem            (asks for the deck and the work folder)\n"
      "\n"
      "  INP=   the deck: .k, .key, .dyn (any case) for a keyword deck, .inp or .INP for an .inp deck\n"
      "  WD=    the work folder of every result; made when missing; default: the current folder\n"
      "  OT=    output interval of the field files, 0 or more; 0 or not given: the deck's, else end time / 100\n"
      "  DT=    mass-scaling target step: x adds mass where an element's stable step is below x;\n"
      "         -x targets 0.7 x and scales every element's stable step by 0.7 in place of the\n"
      "         deck's TSSFAC; 0 or not given: the deck's *CONTROL_TIMESTEP DT2MS\n"
      "  RFT=   output interval of the contact-force node histories, 0 or more\n"
      "  NGPU=  GPUs to list: 0 (every qualifying one) up to the devices present\n"
      "  IDG=   device number of the computing GPU, with NGPU= of 1 or more\n"
      "  CGN=   a whole number, read and not used\n"
      "\n"
      "Keys are upper case and given once each; a value is one number with nothing before or after it.\n"
      "Example: impactfem INP=examples/steel_bar/steel_bar.k WD=results OT=1e-3\n"
      "Results go to the work folder: result.vtk, result_1.vtk, ... (or the Tecplot files an .inp deck\n"
      "asks for), the run record and progress log in history/, the deck's working copy in temp/.\n"
      "Exit status: 0 completed, 1 refused or stopped, 2 a refused argument, 128 + signal when interrupted.\n",
      out);
}

namespace {
enum class Option { None, Inp, Wd, Dt, Ot, Ngpu, Idg, Cgn, Rft };

struct OptionKey {
  const char* key;
  Option option;
};
constexpr OptionKey kKeys[] = {{"INP", Option::Inp}, {"WD", Option::Wd},   {"OT", Option::Ot},
                               {"DT", Option::Dt},   {"RFT", Option::Rft}, {"NGPU", Option::Ngpu},
                               {"IDG", Option::Idg}, {"CGN", Option::Cgn}};
constexpr int kOptionCount = 9;

Option findOption(const std::string& key) {
  for (const OptionKey& entry : kKeys) {
    if (key == entry.key) return entry.option;
  }
  return Option::None;
}

// What is wrong with a key that names no option: the keys that exist, and
// the key meant when only its case differs.
std::string unknownKeyProblem(const std::string& arg, std::size_t equals) {
  std::string list;
  for (const OptionKey& entry : kKeys) list += std::string(list.empty() ? "" : ", ") + entry.key + "=";
  if (equals == std::string::npos) return "not KEY=value; the keys are " + list;
  std::string upper = arg.substr(0, equals);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string meant = findOption(upper) != Option::None ? " (keys are upper case: " + upper + "=)" : "";
  return "unknown key \"" + arg.substr(0, equals) + "\"" + meant + "; the keys are " + list;
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
  // The host build's one device is the CPU's emulation of a GPU: the run
  // record counts no GPU for it, and neither does this message.
  const std::string devices = std::to_string(present) + (computeDeviceEmulated() ? " emulated" : " GPU") + " device" +
                              (present == 1 ? " is" : "s are") + " present";
  const std::string found = present == 0              ? "no GPU device is present"
                            : computeDeviceEmulated() ? "no GPU is present: " + devices + " (the CPU runs the kernels)"
                                                      : devices;
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
    if (!parseWholeDouble(value, real)) return "the value is not one decimal number in range";
    return realValueProblem(option, real);
  }
  if (!parseWholeInt(value, whole)) return "the value is not one whole number in range";
  return option == Option::Cgn ? std::string() : deviceValueProblem(option, whole);
}

struct Settings {
  std::string input, work;
  double dt = 0.0, ot = 0.0, rft = 0.0;
  int ngpu = 0, idg = 0;
  bool given[kOptionCount] = {};
};

// Takes one argument into the settings; the problem is empty when it is
// usable.
std::string takeArgument(const std::string& arg, Settings& s) {
  const std::size_t equals = arg.find('=');
  const Option option = equals == std::string::npos ? Option::None : findOption(arg.substr(0, equals));
  if (option == Option::None) return unknownKeyProblem(arg, equals);
  bool& given = s.given[static_cast<int>(option)];
  if (given) return "the key " + arg.substr(0, equals + 1) + " is given twice";
  given = true;
  const std::string value = arg.substr(equals + 1);
  if (option == Option::Inp || option == Option::Wd) {
    if (value.empty()) {
      return option == Option::Inp ? "the value is empty: name the deck"
                                   : "the value is empty: name a folder, or leave WD= out for the current folder";
    }
    (option == Option::Inp ? s.input : s.work) = value;
    return {};
  }
  double real = 0.0;
  int whole = 0;
  const std::string problem = convertOption(option, value, real, whole);
  if (!problem.empty()) return problem;
  switch (option) {
    case Option::Dt:
      s.dt = real;
      break;
    case Option::Ot:
      s.ot = real;
      break;
    case Option::Rft:
      s.rft = real;
      break;
    case Option::Ngpu:
      s.ngpu = whole;
      break;
    case Option::Idg:
      s.idg = whole;
      break;
    default:
      break;  // CGN= is converted and discarded
  }
  return {};
}
}  // namespace

bool parseCommandLine(int argc, char** argv, std::string& inputFile, std::string& workPath, FEMDynamic* fem) {
  Settings s;
  s.input = inputFile;
  s.work = workPath;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    const std::string arg = argv[i];
    const std::string problem = takeArgument(arg, s);
    if (problem.empty()) continue;
    if (arg.find('=') == std::string::npos) printUsage(stderr);
    fprintf(stderr, "Command-line argument refused: %s: %s\n", arg.c_str(), problem.c_str());
    return false;
  }
  inputFile = s.input;
  workPath = s.work;
  if (fem == nullptr) return true;
  if (fem->timeControl != nullptr) {
    fem->timeControl->output_interval = s.ot;
    fem->timeControl->target_dt = s.dt;
  }
  if (fem->outputManager != nullptr) fem->outputManager->rftInterval_ = s.rft;
  if (s.ngpu > 0 && fem->multiGpuManager != nullptr) {
    fem->multiGpuManager->gpu_num = s.ngpu;
    fem->multiGpuManager->gpu_id_array.resize(s.ngpu, 0);
    fem->multiGpuManager->gpu_id_array[0] = s.idg;
  }
  return true;
}
