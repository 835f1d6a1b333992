// The run sequence of impactfem: reads one deck into the solver, links the
// model, runs the GPU time loop (or the host loop when no GPU qualifies) and
// writes the run record with its banner and summary.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "core/logErrorPrint.h"
#include "input/commandLine.h"
#include "input/inpReader.h"
#include "input/keywordReader.h"
#include "input/preprocessModel.h"
#include "input/runSequence.h"
#include "platform/gpu_runtime.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/multigpumanager.h"
#include "solver/runBanner.h"
#include "solver/runClock.h"

namespace {
enum ExitCode { kExitOk = 0, kExitNoModel = 1, kExitRunStopped = 1, kExitBadArgument = 2 };

// Creates one directory when it does not exist; failures show later as a
// record that cannot be opened.
void ensureDirectory(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) std::filesystem::create_directory(path, ec);
}

// The text after the last "." of the deck name, or the whole name.
std::string deckExtension(const std::string& inputFile) {
  const std::size_t dot = inputFile.rfind('.');
  return dot == std::string::npos ? inputFile : inputFile.substr(dot + 1);
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
}  // namespace

int runImpactfem(int argc, char** argv) {
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
  if (inputFile == workPath) std::cout << "输入文件有误" << std::endl;

  MultiGpuManager* gpus = fem->multiGpuManager;
  gpus->selectGpu();
  if (!gpus->gpu_id_array.empty() && cudaSetDevice(gpus->gpu_id_array[0]) != cudaSuccess) {
    fprintf(stderr, "cudaSetDevice failed!  Do you have a CUDA-capable GPU installed?");
  }

  fem->input_file = inputFile;
  fem->work_path = workPath;
  const std::filesystem::path work(fem->work_path);
  ensureDirectory(work);
  const std::filesystem::path history = work / "history";
  ensureDirectory(history);
  if (!g_runRecord.is_open()) g_runRecord.open(history / "history_record.txt", std::ios::out | std::ios::app);
  if (!g_runRecord.is_open()) std::cout << "\n记录文件打开错误\n";
  printRunBanner(inputFile, workPath, argv[0]);
  if (!gpus->gpu_id_array.empty()) cudaSetDevice(gpus->gpu_id_array[0]);

  const std::string extension = deckExtension(inputFile);
  int deckRead = 0;
  if (isKeywordDeckName(inputFile)) {
    deckRead = readKeywordDeck(fem, inputFile);
  } else if (extension == "inp" || extension == "INP") {
    deckRead = readInpDeck(fem, inputFile);
  } else {
    fprintf(stderr, "Unknown deck extension \"%s\" of %s: expected k, key, dyn (any case), inp or INP\n", extension.c_str(),
            inputFile.c_str());
    return abandonRun(fem, kExitNoModel);
  }
  if (deckRead == 0) {
    fprintf(stderr, "The deck %s was not read; the run stops.\n", inputFile.c_str());
    return abandonRun(fem, kExitNoModel);
  }
  if (preprocessModel(fem) == 0) {
    fprintf(stderr, "The model of %s could not be set up; the run stops.\n", inputFile.c_str());
    return abandonRun(fem, kExitNoModel);
  }

  const double start = wallClockMs();
  double contactTime = 0.0;
  double outputTime = 0.0;
  bool completed = false;
  if (!gpus->gpu_id_array.empty()) {
    fem->host_path_flag = 0;
    completed = femDynaAnalyParalle(fem, &contactTime, &outputTime);
  } else {
    printf("No GPU qualifies for the run: the model runs in the host loop on the CPU.\n");
    fem->host_path_flag = 1;
    completed = femDynaAnalyCpu(fem, &contactTime, &outputTime);
  }
  if (!completed) {
    fprintf(stderr, "The run of %s stopped before its end; see the message above.\n", inputFile.c_str());
    return abandonRun(fem, kExitRunStopped);
  }
  gpuCopy = *gpus;

  const double total = (wallClockMs() - start) / 1000.0;
  printf("Total calculate time: %lf\n\n", total);
  printf("Calculation completed\n");
  printRunSummary(total, contactTime / 1000.0, outputTime / 1000.0, 1, fem->cycle, gpuCopy.gpu_num);
  g_runRecord.close();
  delete[] fem;
  gpuCopy.resetGpu();
  return kExitOk;
}
