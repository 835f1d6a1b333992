// The run sequence of impactfem: reads one deck into the solver, links the
// model, runs the GPU time loop (or the host loop when no GPU qualifies) and
// writes the run record with its banner and summary.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "core/checkedFile.h"
#include "core/logErrorPrint.h"
#include "core/repeatedMessage.h"
#include "core/runStop.h"
#include "input/commandLine.h"
#include "input/deckWorkingCopies.h"
#include "input/errorConsoleCopy.h"
#include "input/inp/inpReader.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"
#include "input/runSequence.h"
#include "input/workFolderLock.h"
#include "materials/returnMapFailure.h"
#include "output/resultFiles.h"
#include "platform/computeDevice.h"
#include "platform/gpuRuntime.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/multigpumanager.h"
#include "solver/runBanner.h"
#include "solver/runClock.h"
#include "solver/runLog.h"

namespace {
enum ExitCode { kExitOk = 0, kExitNoModel = 1, kExitRunStopped = 1, kExitBadArgument = 2, kExitSignalBase = 128 };

// The text after the last "." of the deck name, or the whole name.
std::string deckExtension(const std::string& inputFile) {
  // The file name's own: a dot in a folder name is none.
  const std::size_t name = inputFile.find_last_of("/\\");
  const std::size_t dot = inputFile.rfind('.');
  return dot == std::string::npos || (name != std::string::npos && dot < name) ? std::string()
                                                                               : inputFile.substr(dot + 1);
}

// Ends a run that cannot go on: closes the record, deletes the solver and
// resets the GPUs that were made current.
int abandonRun(FEMDynamic* fem, int code) {
  MultiGpuManager gpus = *fem->multiGpuManager;
  if (g_runRecord.is_open()) g_runRecord.close();
  delete[] fem;
  gpus.resetGpu();
  return code;
}

// The last line of a run that ends early, after whatever the console holds.
void printLastLine(const std::string& line) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", line.c_str());
}

// Where the results are and what the run wrote, before its last line.
void printResults(const std::string& work) {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::absolute(work, error).lexically_normal();
  std::printf("Results in %s: %s; the run record history/history_record.txt.\n",
              (error ? work : folder.string()).c_str(), describeResults(work).c_str());
}

const char* signalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "SIGTERM";
  }
}

// What keeps the named deck from being read, or empty. Checked before the
// work folder is touched, so that a run refused here leaves nothing behind.
std::string deckProblem(const std::string& inputFile) {
  const std::string extension = deckExtension(inputFile);
  if (!isKeywordDeckName(inputFile) && extension != "inp" && extension != "INP") {
    return "the deck " + inputFile +
           (extension.empty() ? " has no extension" : " has the extension \"" + extension + "\"") +
           "; expected k, key, dyn (any case), inp or INP";
  }
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(inputFile, error);
  if (!std::filesystem::exists(status)) return "the deck " + inputFile + " does not exist";
  if (!std::filesystem::is_regular_file(status)) return "the deck " + inputFile + " is not a file";
  if (!std::ifstream(inputFile)) return "the deck " + inputFile + " cannot be read: " + std::strerror(errno);
  return {};
}

// The run record's end of a run that stopped in its time loop, in place of
// the summary: the reason, when there is one, and "calculation error".
void recordStop(const std::string& reason) {
  if (!g_runRecord.is_open()) return;
  if (!reason.empty()) g_runRecord << reason << '\n';
  g_runRecord << "calculation error\n" << std::endl;
}

// The lines of `text` that `recorded` does not hold.
std::string linesNotIn(const std::string& text, const std::string& recorded) {
  std::istringstream lines(text);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && recorded.find(line + '\n') == std::string::npos) kept += (kept.empty() ? "" : "\n") + line;
  }
  return kept;
}

// The run record from `offset` on.
std::string recordSince(std::uintmax_t offset) {
  std::ifstream record(g_runRecord.path(), std::ios::binary);
  record.seekg(static_cast<std::streamoff>(offset));
  return std::string(std::istreambuf_iterator<char>(record), std::istreambuf_iterator<char>());
}

std::uintmax_t recordSize() {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(g_runRecord.path(), error);
  return error ? 0 : size;
}

// Ends a run whose deck or model was refused after the work folder was made:
// the run record gets the reason the console was given (what the record does
// not hold already) and "calculation error".
int endRefusedRun(FEMDynamic* fem, ErrorConsoleCopy& errors, std::uintmax_t recordStart) {
  errors.stop();
  if (g_runRecord.is_open()) {
    g_runRecord.flush();
    recordStop(linesNotIn(errors.text(), recordSince(recordStart)));
  }
  return abandonRun(fem, kExitNoModel);
}

// Ends a run that a stop request (an interrupt, a result file that could not
// be written) ended: the reason as the last line, the record's summary marked
// as an error. Exit status 128 + the signal for an interrupt, else 1.
int endStoppedRun(FEMDynamic* fem, const std::string& what) {
  const int signal = runStopSignal();
  std::string line;
  if (signal != 0) {
    char position[64];
    std::snprintf(position, sizeof position, "at time %g, cycle %d", fem->time, fem->cycle);
    line = std::string("The run of ") + what + " was interrupted (" + signalName(signal) + ") " + position +
           "; the result files written so far are whole.";
  } else {
    line = "The run of " + what + " stops: " + runStopMessage() + ".";
  }
  recordStop(line);
  printResults(fem->work_path);
  printLastLine(line);
  return abandonRun(fem, signal != 0 ? kExitSignalBase + signal : kExitRunStopped);
}

// The work folder, its lock and the run record. False after the last line
// when the folder cannot be used: it cannot be made, another run holds it, or
// the record cannot be opened.
bool prepareWorkFolder(const std::string& work, WorkFolderLock& lock) {
  if (!ensureOutputFolder(work)) {
    printLastLine("The run stops: " + runStopMessage() + ".");
    return false;
  }
  std::string why;
  if (!lock.acquire(work, why)) {
    printLastLine("The run is refused: " + why + ".");
    return false;
  }
  const std::filesystem::path history = std::filesystem::path(work) / "history";
  if (!ensureOutputFolder(history) || !g_runRecord.open(history / "history_record.txt", FileMode::Append)) {
    printLastLine("The run stops: " + runStopMessage() + ".");
    return false;
  }
  return true;
}

// Reads the deck by its extension; false (after a message) when it cannot
// be read.
bool readDeck(FEMDynamic* fem, const std::string& inputFile) {
  const std::string extension = deckExtension(inputFile);
  int deckRead = 0;
  if (isKeywordDeckName(inputFile)) {
    deckRead = readKeywordDeck(fem, inputFile);
  } else if (extension == "inp" || extension == "INP") {
    deckRead = readInpDeck(fem, inputFile);
  } else {
    fprintf(stderr, "Unknown deck extension \"%s\" of %s: expected k, key, dyn (any case), inp or INP\n",
            extension.c_str(), inputFile.c_str());
    return false;
  }
  if (deckRead == 0) {
    fprintf(stderr, "The deck %s was not read; the run stops.\n", inputFile.c_str());
    return false;
  }
  return true;
}
}  // namespace

int runImpactfem(int argc, char** argv) {
  // Each line reaches a redirected or piped console as it is printed.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (asksForHelp(argc, argv)) {
    printUsage(stdout);
    return kExitOk;
  }
  MultiGpuManager gpuCopy;
  FEMDynamic* fem = new FEMDynamic[1];
  fem->newManagers();

  std::string inputFile;
  std::string workPath;
  if (argc > 1) {
    if (!parseCommandLine(argc, argv, inputFile, workPath, fem)) return abandonRun(fem, kExitBadArgument);
  } else {
    std::cout << "please input calculation file" << std::endl;
    std::cin >> inputFile;
    std::cout << "please input work path" << std::endl;
    std::cin >> workPath;
  }
  if (inputFile.empty()) {
    printUsage(stderr);
    printLastLine("Command-line argument refused: no deck is given (INP=<deck>).");
    return abandonRun(fem, kExitBadArgument);
  }
  if (inputFile == workPath) std::cout << "输入文件有误" << std::endl;
  if (const std::string problem = deckProblem(inputFile); !problem.empty()) {
    printLastLine("The run is refused: " + problem + ".");
    return abandonRun(fem, kExitNoModel);
  }

  MultiGpuManager* gpus = fem->multiGpuManager;
  gpus->selectGpu();
  if (!gpus->gpu_id_array.empty() && cudaSetDevice(gpus->gpu_id_array[0]) != cudaSuccess) {
    fprintf(stderr, "cudaSetDevice failed!  Do you have a CUDA-capable GPU installed?\n");
  }

  fem->input_file = inputFile;
  // Without a work path the run works in the current folder.
  fem->work_path = workPath.empty() ? std::string(".") : workPath;
  // From here on an interrupt ends the run between two cycles, after the
  // file being written is closed.
  installRunStopSignals();
  WorkFolderLock lock;
  if (!prepareWorkFolder(fem->work_path, lock)) return abandonRun(fem, kExitRunStopped);
  printRunBanner(inputFile, workPath, argv[0], runComputeText(*gpus));
  if (runStopRequested()) return endStoppedRun(fem, inputFile);
  if (!gpus->gpu_id_array.empty()) cudaSetDevice(gpus->gpu_id_array[0]);

  // Messages that repeat per element or node are counted from the set-up on.
  clearRepeatedMessages();
  const std::uintmax_t recordStart = recordSize();
  ErrorConsoleCopy errors;
  if (!readDeck(fem, inputFile)) return endRefusedRun(fem, errors, recordStart);
  if (runStopRequested()) return endStoppedRun(fem, inputFile);
  if (preprocessModel(fem) == 0) {
    printRepeatedMessages();
    fprintf(stderr, "The model of %s could not be set up; the run stops.\n", inputFile.c_str());
    return endRefusedRun(fem, errors, recordStart);
  }
  errors.stop();
  if (runStopRequested()) return endStoppedRun(fem, inputFile);
  // The folder holds this run's results alone: what an earlier run left of
  // them goes before the first file is written.
  if (std::string problem; !removeStaleResults(fem->work_path, problem)) {
    recordStop(problem);
    printLastLine("The run stops: " + problem + ".");
    return abandonRun(fem, kExitRunStopped);
  }
  removeEarlierWorkingCopies(fem->work_path, inputFile);

  const double start = wallClockMs();
  double contactTime = 0.0;
  double outputTime = 0.0;
  bool completed = false;
  if (!gpus->gpu_id_array.empty()) {
    printf("Computing on %s.\n", computeDeviceText(gpus->gpu_id_array[0]).c_str());
    fem->host_path_flag = 0;
    completed = femDynaAnalyParalle(fem, &contactTime, &outputTime);
    if (completed) finishRunLog(fem);
  } else {
    printf("No GPU qualifies for the run: the model runs in the host loop on the CPU.\n");
    fem->host_path_flag = 1;
    completed = femDynaAnalyCpu(fem, &contactTime, &outputTime);
  }
  // Return mappings that did not converge and messages that repeat per
  // element or node are reported once, whatever the end of the run.
  printReturnMapFailures();
  printRepeatedMessages();
  // A stop request also catches a loop that ended with its last output
  // unwritten or a signal that came during the last cycle.
  if (runStopRequested()) return endStoppedRun(fem, inputFile);
  if (!completed) {
    printResults(fem->work_path);
    printLastLine("The run of " + inputFile + " stopped before its end; see the message above.");
    recordStop("");
    return abandonRun(fem, kExitRunStopped);
  }
  gpuCopy = *gpus;

  // The summary is written and the record closed before success is
  // announced: a record that cannot be written whole is a failed run.
  const double total = (wallClockMs() - start) / 1000.0;
  printContactRecord(*fem);
  printRunSummary(total, contactTime / 1000.0, outputTime / 1000.0, 1, fem->cycle, runComputeText(gpuCopy),
                  runGpuCount(gpuCopy));
  if (!g_runRecord.close()) return endStoppedRun(fem, inputFile);
  printf("Total calculate time: %lf\n\n", total);
  printResults(fem->work_path);
  printf("Calculation completed\n");
  delete[] fem;
  gpuCopy.resetGpu();
  return kExitOk;
}
